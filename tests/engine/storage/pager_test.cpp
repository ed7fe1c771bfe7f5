#include "engine/storage/pager.h"

#include "engine/storage/memory_page_file.h"
#include "engine/storage/posix_page_file.h"

#include "support/engine_files.h"
#include "support/fixtures.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace engine::storage {
namespace {

constexpr uint32_t kPageSize = 4096;

// A file in memory that counts the writes made to it.
class CountingFile final : public PageFile {
public:
    explicit CountingFile(std::shared_ptr<std::vector<uint8_t>> bytes)
        : m_file(std::move(bytes), true, "(counted)") {}

    const std::string& path() const override { return m_file.path(); }
    bool writable() const override { return true; }
    uint64_t size() const override { return m_file.size(); }
    void read(uint64_t offset, MutableBytes out) override {
        ++reads;
        m_file.read(offset, out);
    }
    void readRun(uint64_t offset, std::span<const MutableBytes> pieces) override {
        ++reads;
        for (MutableBytes piece : pieces) {
            m_file.read(offset, piece);
            offset += piece.size();
        }
    }
    void write(uint64_t offset, Bytes data) override {
        ++writes;
        m_file.write(offset, data);
    }
    void sync() override {}
    void truncate(uint64_t size) override { m_file.truncate(size); }

    int writes = 0;
    int reads = 0;

private:
    MemoryPageFile m_file;
};

PageBuffer pageOf(PageNumber page, uint8_t version) {
    PageBuffer bytes(kPageSize);
    for (size_t index = 0; index < bytes.size(); ++index) {
        bytes[index] = static_cast<uint8_t>(page * 7 + index * 13 + version);
    }
    return bytes;
}

struct PagerOverMemory {
    std::shared_ptr<std::vector<uint8_t>> bytes;
    CountingFile* file;
    std::unique_ptr<Pager> pager;
};

PagerOverMemory pagerOver(PageNumber pages) {
    PagerOverMemory made;
    made.bytes = std::make_shared<std::vector<uint8_t>>();
    for (PageNumber page = 0; page < pages; ++page) {
        auto contents = pageOf(page, 0);
        made.bytes->insert(made.bytes->end(), contents.begin(), contents.end());
    }
    auto file = std::make_unique<CountingFile>(made.bytes);
    made.file = file.get();
    made.pager = std::make_unique<Pager>(std::move(file), kPageSize);
    return made;
}

// A table's new pages are filled a little out of order (a data page is finished after the
// long-value pages handed out after it); they must still reach the file whole, in few writes,
// and read back as last written while the change runs.
TEST(PagerWrites, newPagesFilledOutOfOrderReadBackAndLandInLargeWrites) {
    auto made = pagerOver(1);
    Pager& pager = *made.pager;
    pager.begin([](PageNumber) { return true; });
    const PageNumber last = 300;
    std::map<PageNumber, uint8_t> versions;
    auto write = [&](PageNumber page, uint8_t version) {
        pager.write(page, pageOf(page, version));
        versions[page] = version;
    };
    for (PageNumber page = 1; page <= last; page += 2) {
        // Pairs swapped: 2, 1, 4, 3, ...; every tenth page is written again later.
        write(page + 1, 1);
        write(page, 1);
        if (page > 20 && page % 10 == 1) write(page - 20, 2);
    }
    ASSERT_EQ(versions.size(), last);
    EXPECT_EQ(pager.pageCount(), last + 1);
    // Enough other reads to push every page out of the cache before it is read again.
    for (int round = 0; round < 2; ++round) {
        for (const auto& [page, version] : versions) {
            ASSERT_EQ(*pager.read(page), pageOf(page, version)) << "page " << page;
        }
    }
    pager.commit();
    ASSERT_EQ(made.bytes->size(), (last + 1) * uint64_t{kPageSize});
    for (const auto& [page, version] : versions) {
        auto expected = pageOf(page, version);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(),
                               made.bytes->begin() + static_cast<std::ptrdiff_t>(page) * kPageSize))
            << "page " << page;
    }
    // One write per page would be 300 and more; runs of consecutive pages take far fewer.
    EXPECT_LT(made.file->writes, 40);
}

// The cache lends the buffers of pages it lets go to later reads: a page a caller still holds
// must never be among them.
TEST(PagerCache, aPageACallerHoldsKeepsItsBytesWhileOthersComeAndGo) {
    auto made = pagerOver(1200);
    Pager& pager = *made.pager;
    PageRef held = pager.read(5);
    const PageBuffer expected = pageOf(5, 0);
    for (PageNumber page = 6; page < 1200; ++page) {
        ASSERT_EQ(*pager.read(page), pageOf(page, 0)) << "page " << page;
    }
    EXPECT_EQ(*held, expected);
    EXPECT_EQ(*pager.read(5), expected);
}

// Written pages wait for the file sharing their buffers with the cache; the cache lends the
// buffers it lets go to later reads and writes. A page still waiting must keep its bytes however
// many others pass through the cache meanwhile.
TEST(PagerWrites, pagesWaitingForTheFileKeepTheirBytesWhileTheCacheTurnsOver) {
    auto made = pagerOver(1000);
    Pager& pager = *made.pager;
    pager.begin([](PageNumber) { return false; });
    std::map<PageNumber, uint8_t> versions;
    for (PageNumber page = 1000; page < 1040; ++page) {
        pager.write(page, pageOf(page, 3));
        versions[page] = 3;
    }
    for (PageNumber page = 1; page < 1000; ++page) {
        ASSERT_EQ(*pager.read(page), pageOf(page, 0)) << "page " << page;
    }
    for (PageNumber page = 1040; page < 1060; ++page) {
        pager.write(page, pageOf(page, 4));
        versions[page] = 4;
    }
    pager.commit();
    for (const auto& [page, version] : versions) {
        auto expected = pageOf(page, version);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(),
                               made.bytes->begin() + static_cast<std::ptrdiff_t>(page) * kPageSize))
            << "page " << page;
    }
}

// Pages read ahead come in one read and then read as they would have: the read stops at a page
// the running change has written, which reads as written, and at the end of the file.
TEST(PagerReads, pagesReadAheadComeInOneReadAndReadAsBefore) {
    auto made = pagerOver(100);
    Pager& pager = *made.pager;
    pager.begin([](PageNumber) { return false; });
    pager.write(40, pageOf(40, 9));
    const int before = made.file->reads;
    pager.readAhead(10, 40);
    EXPECT_EQ(made.file->reads, before + 1);
    for (PageNumber page = 10; page < 40; ++page) {
        ASSERT_EQ(*pager.read(page), pageOf(page, 0)) << "page " << page;
    }
    EXPECT_EQ(*pager.read(40), pageOf(40, 9));
    EXPECT_EQ(made.file->reads, before + 1);
    // Cached pages end a run too: 41 is read alone, then 42 to 99 in one more read.
    (void)pager.read(41);
    pager.readAhead(41, 200);
    pager.readAhead(42, 200);
    for (PageNumber page = 41; page < 100; ++page) {
        ASSERT_EQ(*pager.read(page), pageOf(page, 0)) << "page " << page;
    }
    EXPECT_EQ(made.file->reads, before + 3);
    pager.rollback();
}

// A run of pieces lands as the pieces joined would, in a real file and in memory alike: empty
// pieces, more pieces than one system call takes, and a run that grows the file past a gap. It
// reads back as a run; one that passes the end is damage.
TEST(PageFileRuns, landAsTheirPiecesJoined) {
    support::TempDir folder;
    auto real = PosixPageFile::create((folder / "runs.bin").string());
    auto memory = std::make_unique<MemoryPageFile>(std::make_shared<std::vector<uint8_t>>(), true,
                                                   "(memory)");
    std::vector<std::vector<uint8_t>> pieces;
    for (size_t index = 0; index < 2500; ++index) {
        pieces.emplace_back(index % 7 == 3 ? 0 : 1 + index % 13,
                            static_cast<uint8_t>(index * 31 + 5));
    }
    std::vector<Bytes> run(pieces.begin(), pieces.end());
    std::vector<uint8_t> joined;
    for (const auto& piece : pieces) joined.insert(joined.end(), piece.begin(), piece.end());
    for (PageFile* file :
         {static_cast<PageFile*>(real.get()), static_cast<PageFile*>(memory.get())}) {
        file->write(0, std::vector<uint8_t>(10, 0xEE));
        file->writeRun(100, run);
        file->writeRun(100 + joined.size(), {});
        ASSERT_EQ(file->size(), 100 + joined.size()) << file->path();
        std::vector<uint8_t> back(joined.size());
        file->read(100, back);
        EXPECT_TRUE(back == joined) << file->path();
        std::vector<uint8_t> gap(90);
        file->read(10, gap);
        EXPECT_TRUE(std::all_of(gap.begin(), gap.end(), [](uint8_t byte) { return byte == 0; }))
            << file->path();
        // Read back as a run of the same pieces.
        std::vector<std::vector<uint8_t>> into;
        for (const auto& piece : pieces) into.emplace_back(piece.size(), 0);
        std::vector<MutableBytes> targets(into.begin(), into.end());
        file->readRun(100, targets);
        EXPECT_TRUE(into == pieces) << file->path();
        EXPECT_EQ(support::errorOf([&] { file->readRun(101, targets); }), ErrorCode::Corrupt)
            << file->path();
    }
}

}  // namespace
}  // namespace engine::storage

// The journal keeps the stretches of each page a change alters; whatever those stretches are,
// and however far the change got writing its pages, the journal gives back every page as the
// change found it and plays the file back to those bytes.
#include "engine/storage/journal.h"

#include "engine/storage/file_system.h"
#include "engine/storage/pager.h"
#include "engine/storage/posix_page_file.h"
#include "support/fixtures.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace engine::storage {
namespace {

constexpr uint32_t kJournaledPageSize = 4096;
constexpr size_t kSectorBytes = 512;

TEST(JournalEntries, giveBackAndPlayBackEveryPageAsFoundWhateverTheChangeAltered) {
    std::mt19937 random(17);
    auto flip = [&](PageBuffer& page, size_t at) { page[at] = static_cast<uint8_t>(~page[at]); };
    // How each page is changed: nothing, its first or last byte, bytes 3, 4 and 5 apart (around
    // the gap below which stretches join), every byte, scattered bytes.
    const std::vector<std::function<void(PageBuffer&)>> changes = {
        [](PageBuffer&) {},
        [&](PageBuffer& page) { flip(page, 0); },
        [&](PageBuffer& page) { flip(page, kJournaledPageSize - 1); },
        [&](PageBuffer& page) {
            for (size_t at = 100; at < 200; at += 4) flip(page, at);  // 3 equal bytes between
        },
        [&](PageBuffer& page) {
            for (size_t at = 100; at < 200; at += 5) flip(page, at);  // 4 between
        },
        [&](PageBuffer& page) {
            for (size_t at = kJournaledPageSize - 60; at < kJournaledPageSize; at += 6)
                flip(page, at);  // 5
        },
        [&](PageBuffer& page) {
            for (size_t at = 0; at < kJournaledPageSize; ++at) flip(page, at);
        },
        [&](PageBuffer& page) {
            for (int count = 0; count < 200; ++count) flip(page, random() % kJournaledPageSize);
        },
    };
    support::TempDir folder;
    const std::string path = (folder / "journaled.mdb").string();
    const PageNumber pages = static_cast<PageNumber>(changes.size() * 3 + 1);
    std::vector<uint8_t> before(static_cast<size_t>(pages) * kJournaledPageSize);
    for (auto& byte : before) byte = static_cast<uint8_t>(random());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(before.data()),
               static_cast<std::streamsize>(before.size()));

    FileSystem& files = defaultFileSystem();
    const std::string resolved = files.resolve(path);
    {
        auto database = files.open(path, OpenMode::ReadWrite);
        auto journal = Journal::create(files, resolved, *database, kJournaledPageSize);
        // Page 0 stays; the others change, each way three times. The change then reaches the
        // file as far as a crash let it: some pages whole, some not at all, some in a few of
        // their sectors.
        for (PageNumber page = 1; page < pages; ++page) {
            const Bytes found(before.data() + static_cast<size_t>(page) * kJournaledPageSize,
                              kJournaledPageSize);
            PageBuffer written(found.begin(), found.end());
            changes[(page - 1) % changes.size()](written);
            journal->append(page, found, written);
            if (page % 3 == 1) continue;
            for (size_t sector = 0; sector < kJournaledPageSize / kSectorBytes; ++sector) {
                if (page % 3 == 2 && sector % 3 == 0) continue;
                database->write(
                    static_cast<uint64_t>(page) * kJournaledPageSize + sector * kSectorBytes,
                    Bytes(written).subspan(sector * kSectorBytes, kSectorBytes));
            }
            if (page % 3 == 0) journal->sync();  // entries reach the file in between as well
        }
        journal->sync();
        database->sync();
    }  // the process dies: the journal stays

    auto database = files.open(path, OpenMode::ReadWrite);
    auto found = FoundJournal::find(files, resolved, path, *database, kJournaledPageSize);
    ASSERT_NE(found, nullptr);
    ASSERT_FALSE(found->empty());
    EXPECT_EQ(found->pages().size(), static_cast<size_t>(pages - 1));
    PageBuffer page(kJournaledPageSize);
    for (PageNumber number = 1; number < pages; ++number) {
        found->readPage(number, *database, page);
        EXPECT_TRUE(
            std::equal(page.begin(), page.end(),
                       before.begin() + static_cast<std::ptrdiff_t>(number * kJournaledPageSize)))
            << "page " << number;
    }
    found->rollBack(*database);
    std::vector<uint8_t> after(before.size());
    database->read(0, after);
    EXPECT_EQ(database->size(), before.size());
    EXPECT_TRUE(after == before);
    EXPECT_FALSE(files.exists(Journal::pathFor(resolved)));
}

}  // namespace
}  // namespace engine::storage

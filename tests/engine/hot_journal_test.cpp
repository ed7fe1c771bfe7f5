// A writer that dies halfway through a commit leaves its journal, the only copy of the pages it
// was overwriting. The journal is found from the file itself, whichever name opens it; a reader
// that cannot write reads the state before the change, writing nothing; the next writer plays
// the journal back, exactly once. A journal made for another file is never played back.
#include "engine/database.h"
#include "support/durability.h"
#include "support/engine_files.h"
#include "support/faulty_file_system.h"
#include "support/process.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace engine {
namespace {

using support::Change;
using support::FaultyFileSystem;

constexpr int kStoppedByFault = 77;

// Makes the change through path in a child process that dies at step.
void dieHalfway(const std::filesystem::path& path, Change change, uint64_t step) {
    int status = support::inChild([&] {
        FaultyFileSystem dying(step, FaultyFileSystem::Fault::ExitProcess);
        auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &dying});
        support::runChange(*database, change);
        return 0;
    });
    ASSERT_EQ(status, kStoppedByFault);
}

// Whether the database shows the state before the commit that died: Base whole and nothing
// copied, but for the copy of a rename, which committed before its drop died.
bool showsTheStateBefore(Database& database, const support::Tables& before) {
    const auto& catalog = database.catalog();
    return catalog.findTable("Base") && !catalog.findTable("Copied") &&
           support::allRows(database, "Base") == before.base &&
           (!catalog.findTable("Renamed") ||
            support::allRows(database, "Renamed") == before.base) &&
           support::integrityProblems(database).empty();
}

// A change made after the journal was played back.
void addTableAfter(Database& database) {
    std::vector<std::vector<format::Value>> rows = {{format::Value(int32_t{1})}};
    database.createTable("After", {{.name = "Id", .type = format::ColumnType::Long}},
                         support::RowFeed(rows));
}

bool hasTableAfter(Database& database) {
    return database.catalog().findTable("After") &&
           support::allRows(database, "After").size() == 1 &&
           support::integrityProblems(database).empty();
}

// The names of one file: its own, a symbolic link from another folder, a hard link in the same
// folder and one in another folder.
struct Names {
    std::filesystem::path real, symbolic, hard, farHard;
};

Names namesFor(const support::TempDir& folder, const std::filesystem::path& base) {
    Names names{folder / "real.mdb", folder / "links" / "symbolic.mdb", folder / "hard.mdb",
                folder / "links" / "far.mdb"};
    std::filesystem::copy_file(base, names.real);
    std::filesystem::create_directory(folder / "links");
    std::filesystem::create_symlink(names.real, names.symbolic);
    std::filesystem::create_hard_link(names.real, names.hard);
    std::filesystem::create_hard_link(names.real, names.farHard);
    return names;
}

class HotJournal : public ::testing::TestWithParam<Change> {
protected:
    void SetUp() override {
        m_base = support::makeTwoTables(m_shared, "base.mdb");
        m_before = support::tablesOf(m_base);
        m_step = support::halfwayThroughCommit(
            support::stepsOf(m_base, m_shared / "count.mdb", GetParam()));
        ASSERT_GT(m_step, 0u);
    }

    support::TempDir m_shared;
    std::filesystem::path m_base;
    support::Tables m_before;
    uint64_t m_step = 0;
};

TEST_P(HotJournal, isFoundThroughEveryNameAndPlayedBackOnce) {
    using Spelling = std::filesystem::path Names::*;
    const std::vector<std::pair<std::string, Spelling>> spellings = {
        {"hard link", &Names::hard},
        {"hard link in another folder", &Names::farHard},
        {"real path", &Names::real},
        {"symbolic link", &Names::symbolic}};
    // Every order; under the sanitizers one order for each name the writer died through.
    std::vector<std::vector<size_t>> orders;
    std::vector<size_t> order = {0, 1, 2, 3};
    do {
        orders.push_back(order);
    } while (std::next_permutation(order.begin(), order.end()));
    for (size_t crash = 0; crash < spellings.size(); ++crash) {
        const auto& [crashName, crashThrough] = spellings[crash];
        for (size_t which = 0; which < orders.size(); ++which) {
            if (support::underSanitizers() && which != crash % orders.size()) continue;
            const auto& order = orders[which];
            std::string trace =
                support::nameOf(GetParam()) + " died through the " + crashName + "; opened through";
            for (size_t index : order) trace += " the " + spellings[index].first + ",";
            SCOPED_TRACE(trace);
            support::TempDir folder;
            Names names = namesFor(folder, m_base);
            dieHalfway(names.*crashThrough, GetParam(), m_step);
            // Beside the file's own name, however it was reached: the name of the real file,
            // of a hard link.
            const std::filesystem::path journal =
                (crashThrough == &Names::hard || crashThrough == &Names::farHard
                     ? (names.*crashThrough).string()
                     : names.real.string()) +
                "-journal";
            EXPECT_TRUE(std::filesystem::exists(journal));
            for (size_t position = 0; position < order.size(); ++position) {
                const auto& [name, spelling] = spellings[order[position]];
                SCOPED_TRACE("opening through the " + name);
                const auto& path = names.*spelling;
                {
                    auto reader = Database::open(path);
                    if (position == 0) {
                        EXPECT_TRUE(showsTheStateBefore(*reader, m_before));
                    } else {
                        // The journal was not played back again over what came since.
                        EXPECT_TRUE(hasTableAfter(*reader));
                    }
                }
                auto writer = Database::open(path, {.mode = AccessMode::ReadWrite});
                if (position == 0) {
                    EXPECT_TRUE(showsTheStateBefore(*writer, m_before));
                    addTableAfter(*writer);
                }
                EXPECT_TRUE(hasTableAfter(*writer));
            }
            EXPECT_EQ(support::problemsAfter(names.real, GetParam(), m_before), "");
            EXPECT_TRUE(support::journalsIn(names.symbolic.parent_path()).empty());
        }
    }
}

// A file moved to another folder after its writer died finds the journal it left: a reader
// reads the state before the change, the next writer plays the journal back.
TEST_P(HotJournal, aFileMovedAfterACrashFindsItsJournal) {
    std::filesystem::create_directory(m_shared / "before");
    std::filesystem::create_directory(m_shared / "after");
    const auto path = m_shared / "before" / "moved.mdb";
    std::filesystem::copy_file(m_base, path);
    dieHalfway(path, GetParam(), m_step);
    ASSERT_EQ(support::journalsIn(m_shared / "before").size(), 1u);
    const auto moved = m_shared / "after" / "moved.mdb";
    std::filesystem::rename(path, moved);
    {
        auto reader = Database::open(moved);
        EXPECT_TRUE(showsTheStateBefore(*reader, m_before));
    }
    {
        auto writer = Database::open(moved, {.mode = AccessMode::ReadWrite});
        EXPECT_TRUE(showsTheStateBefore(*writer, m_before));
        addTableAfter(*writer);
    }
    EXPECT_TRUE(support::journalsIn(m_shared / "before").empty());
    auto reader = Database::open(moved);
    EXPECT_TRUE(hasTableAfter(*reader));
    EXPECT_EQ(support::integrityProblems(*reader), "");
}

TEST_P(HotJournal, aReaderThatCannotWriteReadsTheStateBeforeAndWritesNothing) {
    auto path = m_shared / "crashed.mdb";
    std::filesystem::copy_file(m_base, path);
    dieHalfway(path, GetParam(), m_step);
    const auto journal = m_shared / "crashed.mdb-journal";
    const auto fileBefore = support::bytesOf(path);
    const auto journalBefore = support::bytesOf(journal);
    ASSERT_FALSE(journalBefore.empty());

    // Playing a user who may not write the file or its folder: the writer it asks for falls
    // back to a reader. Then a reader opened as one.
    FaultyFileSystem noWrites(0, FaultyFileSystem::Fault::IoError);
    noWrites.refuseWrites();
    for (auto options : {OpenOptions{.mode = AccessMode::ReadWriteIfAble, .fileSystem = &noWrites},
                         OpenOptions{.mode = AccessMode::ReadOnly}}) {
        auto reader = Database::open(path, options);
        EXPECT_FALSE(reader->writable());
        EXPECT_TRUE(showsTheStateBefore(*reader, m_before));
        EXPECT_EQ(support::errorOf([&] { reader->dropTable("Other"); }), ErrorCode::ReadOnly);
    }
    EXPECT_EQ(noWrites.steps(), 0u);
    EXPECT_EQ(support::bytesOf(path), fileBefore);
    EXPECT_EQ(support::bytesOf(journal), journalBefore);
    EXPECT_EQ(support::problemsAfter(path, GetParam(), m_before), "");
}

// Journals of the layouts before this one, which keep whole pages (4, and 3 with 32-bit FNV-1a
// over single bytes for every checksum), are played back as well: a crash under an earlier
// program is undone by this one. Each is made from the journal the crash left (its header and
// the pages it names), the file before the change and the file as the crash left it.
TEST_P(HotJournal, oneInAnEarlierLayoutIsPlayedBack) {
    const auto u32 = [](const std::vector<uint8_t>& bytes, size_t at) {
        return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
               uint32_t{bytes[at + 3]} << 24;
    };
    const auto put32 = [](std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
        for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    const auto byteSum = [](uint32_t seed, const uint8_t* bytes, size_t size) {
        uint32_t hash = 2166136261u ^ seed;
        for (size_t at = 0; at < size; ++at) hash = (hash ^ bytes[at]) * 16777619u;
        return hash;
    };
    const auto wordSum = [](uint32_t seed, const uint8_t* bytes, size_t size) {
        uint64_t hash = 0xcbf29ce484222325ull ^ seed;
        for (size_t at = 0; at < size; at += 8) {
            // Whole words, then the bytes after the last one by one (the header's 60).
            const size_t width = std::min<size_t>(8, size - at);
            uint64_t word = 0;
            for (size_t i = 0; i < width; ++i) word |= uint64_t{bytes[at + i]} << (8 * i);
            for (size_t i = 0; i < (width == 8 ? 1 : width); ++i) {
                hash = (hash ^ (width == 8 ? word : bytes[at + i])) * 0x100000001b3ull;
                hash ^= hash >> 32;
            }
        }
        return static_cast<uint32_t>(hash ^ (hash >> 32));
    };
    for (const uint32_t layout : {3u, 4u}) {
        SCOPED_TRACE(layout);
        const auto path = m_shared / ("earlier" + std::to_string(layout) + ".mdb");
        std::filesystem::copy_file(m_base, path);
        dieHalfway(path, GetParam(), m_step);
        const auto journalPath = m_shared / ("earlier" + std::to_string(layout) + ".mdb-journal");
        const auto journal = support::bytesOf(journalPath);
        const auto database = support::bytesOf(path);
        const auto base = support::bytesOf(m_base);
        ASSERT_GE(journal.size(), 64u);
        const auto sum = [&](uint32_t seed, const uint8_t* bytes, size_t size) {
            return layout == 3 ? byteSum(seed, bytes, size) : wordSum(seed, bytes, size);
        };
        const size_t pageSize = u32(journal, 20);
        const size_t sectors = pageSize / 512;
        std::vector<uint8_t> earlier(journal.begin(), journal.begin() + 64);
        put32(earlier, 16, layout);
        put32(earlier, 56, sum(0, base.data(), pageSize));
        put32(earlier, 60, sum(0, earlier.data(), 60));
        size_t entries = 0;
        for (size_t at = 64; at + 16 + 8 * sectors <= journal.size(); ++entries) {
            const uint32_t page = u32(journal, at);
            const size_t kept = u32(journal, at + 12);  // the bytes of its stretches
            if (at + 16 + 8 * sectors + kept > journal.size()) break;
            at += 16 + 8 * sectors + kept;
            // The page as it was (zeros past the old end), and the checksums of what the change
            // was writing: the bytes the page holds now, where the crash let it reach them.
            const size_t entry = earlier.size();
            earlier.resize(entry + 8 + 4 * sectors + pageSize, 0);
            put32(earlier, entry, page);
            if ((page + 1) * pageSize <= base.size()) {
                std::copy_n(base.begin() + static_cast<std::ptrdiff_t>(page * pageSize), pageSize,
                            earlier.begin() + static_cast<std::ptrdiff_t>(entry + 8 + 4 * sectors));
            }
            if ((page + 1) * pageSize <= database.size()) {
                for (size_t sector = 0; sector < sectors; ++sector) {
                    put32(earlier, entry + 8 + 4 * sector,
                          sum(page, database.data() + page * pageSize + sector * 512, 512));
                }
            }
            put32(earlier, entry + 4,
                  sum(page, earlier.data() + entry + 8, 4 * sectors + pageSize));
        }
        ASSERT_GT(entries, 0u);
        std::ofstream(journalPath, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(earlier.data()),
                   static_cast<std::streamsize>(earlier.size()));
        {
            auto reader = Database::open(path);
            EXPECT_TRUE(showsTheStateBefore(*reader, m_before));
        }
        auto writer = Database::open(path, {.mode = AccessMode::ReadWrite});
        EXPECT_TRUE(showsTheStateBefore(*writer, m_before));
        writer.reset();
        EXPECT_TRUE(support::journalsIn(m_shared.path()).empty());
        EXPECT_EQ(support::problemsAfter(path, GetParam(), m_before), "");
    }
}

INSTANTIATE_TEST_SUITE_P(EveryChange, HotJournal, ::testing::ValuesIn(support::kEveryChange),
                         [](const auto& info) {
                             std::string name = support::nameOf(info.param);
                             std::erase(name, '-');
                             return name;
                         });

// A journal left beside a file that is not the one it was made for.
class ForeignJournal : public ::testing::Test {
protected:
    void SetUp() override {
        m_base = support::makeTwoTables(m_folder, "base.mdb");
        m_path = m_folder / "victim.mdb";
        std::filesystem::copy_file(m_base, m_path);
        dieHalfway(m_path, Change::Drop,
                   support::halfwayThroughCommit(
                       support::stepsOf(m_base, m_folder / "count.mdb", Change::Drop)));
    }

    // Opening path for reading or for writing is refused, naming the journal, and changes
    // neither file.
    void expectLeftAlone() {
        const auto file = support::bytesOf(m_path);
        const auto journal = support::bytesOf(m_journal);
        for (auto mode : {AccessMode::ReadOnly, AccessMode::ReadWrite}) {
            try {
                Database::open(m_path, {.mode = mode});
                ADD_FAILURE() << "opened beside a journal made for another file";
            } catch (const EngineError& error) {
                EXPECT_EQ(error.code(), ErrorCode::FileInUse);
                EXPECT_NE(std::string(error.what()).find(m_journal.string()), std::string::npos)
                    << error.what();
            }
        }
        EXPECT_EQ(support::bytesOf(m_path), file);
        EXPECT_EQ(support::bytesOf(m_journal), journal);
    }

    support::TempDir m_folder;
    std::filesystem::path m_base, m_path;
    std::filesystem::path m_journal = m_folder / "victim.mdb-journal";
};

TEST_F(ForeignJournal, aFileMadeAnewUnderTheSameNameIsNotTouched) {
    std::filesystem::remove(m_path);
    std::filesystem::copy_file(m_base, m_path);
    expectLeftAlone();
}

TEST_F(ForeignJournal, aFileOfAnotherPageSizeIsNotTouched) {
    std::filesystem::remove(m_path);
    std::filesystem::copy_file(support::fixture("jet3/testV1997.mdb"), m_path);
    expectLeftAlone();
}

TEST_F(ForeignJournal, aPlantedFileIsNotTouched) {
    std::filesystem::remove(m_path);
    std::filesystem::remove(m_journal);
    std::filesystem::copy_file(m_base, m_path);
    std::ofstream(m_journal) << std::string(5000, 'x');
    expectLeftAlone();
    // Shorter than a journal's header, too.
    std::ofstream(m_journal) << "notes";
    expectLeftAlone();
}

// A backup put back in place over the same file after a change died halfway (same inode, same
// length, the same page 0): the journal left would undo the change over the backup, so it is
// played back only over pages that are as that change left them.
TEST_F(ForeignJournal, aBackupPutBackInPlaceIsNotUndone) {
    std::filesystem::remove(m_path);
    std::filesystem::remove(m_journal);
    std::filesystem::copy_file(m_base, m_path);
    const auto backup = support::bytesOf(m_path);
    {
        auto database = Database::open(m_path, {.mode = AccessMode::ReadWrite});
        support::runChange(*database, Change::Drop);
    }
    // A second drop dies halfway through its commit: the drops free pages, so the length
    // stays that of the backup.
    auto dropOther = [](Database& database) { database.dropTable("Other"); };
    support::ChangeSteps steps;
    {
        const auto scratch = m_folder / "count.mdb";
        std::filesystem::copy_file(m_path, scratch);
        FaultyFileSystem counting(0, FaultyFileSystem::Fault::IoError);
        auto database =
            Database::open(scratch, {.mode = AccessMode::ReadWrite, .fileSystem = &counting});
        steps.opened = counting.steps();
        dropOther(*database);
        steps.log = counting.log();
    }
    const uint64_t halfway = support::halfwayThroughCommit(steps);
    ASSERT_EQ(support::inChild([&] {
                  FaultyFileSystem dying(halfway, FaultyFileSystem::Fault::ExitProcess);
                  auto database = Database::open(
                      m_path, {.mode = AccessMode::ReadWrite, .fileSystem = &dying});
                  dropOther(*database);
                  return 0;
              }),
              kStoppedByFault);
    ASSERT_TRUE(std::filesystem::exists(m_journal));
    struct stat before {};
    ASSERT_EQ(::stat(m_path.c_str(), &before), 0);
    ASSERT_EQ(static_cast<size_t>(before.st_size), backup.size());
    std::ofstream(m_path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(backup.data()),
               static_cast<std::streamsize>(backup.size()));
    struct stat after {};
    ASSERT_EQ(::stat(m_path.c_str(), &after), 0);
    ASSERT_EQ(after.st_ino, before.st_ino);
    expectLeftAlone();
}

TEST_F(ForeignJournal, theJournalOfARenamedFileFollowsIt) {
    // Not foreign after all: the same file under a new name finds its journal by identity.
    auto renamed = m_folder / "renamed.mdb";
    std::filesystem::rename(m_path, renamed);
    EXPECT_EQ(support::problemsAfter(renamed, Change::Drop, support::tablesOf(m_base)), "");
}

// The journal is the database's own: its mode and owner, so it shows no one else the rows.
TEST(JournalFile, hasTheDatabasesModeAndOwner) {
    support::TempDir folder;
    auto base = support::makeTwoTables(folder, "base.mdb");
    auto path = folder / "private.mdb";
    std::filesystem::copy_file(base, path);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 4242, 4343), 0);
    }
    dieHalfway(
        path, Change::Drop,
        support::halfwayThroughCommit(support::stepsOf(base, folder / "count.mdb", Change::Drop)));
    struct stat journal {};
    ASSERT_EQ(::stat((path.string() + "-journal").c_str(), &journal), 0);
    EXPECT_EQ(journal.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(journal.st_uid, 4242u);
        EXPECT_EQ(journal.st_gid, 4343u);
    }
}

}  // namespace
}  // namespace engine

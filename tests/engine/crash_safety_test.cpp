// A writer that dies, or whose disk fills, at any write of a change leaves a database that opens,
// passes the integrity check, and holds either the whole change or none of it, every other table
// unchanged.
#include "engine/database.h"
#include "support/durability.h"
#include "support/engine_files.h"
#include "support/faulty_file_system.h"
#include "support/process.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace engine {
namespace {

using support::Change;
using support::FaultyFileSystem;

constexpr int kStoppedByFault = 77;

// Which writes a sweep stops the writer at: every stretchStride-th of the last stretch, where the
// catalogue is changed and the change commits, and every stride-th one before it, where only new
// pages are written.
struct Sampling {
    support::BaseShape shape;
    uint64_t stride = 3;
    uint64_t stretchStride = 1;
};
// Access 97 files take more, smaller pages, and their commit goes through the same pager: their
// sweep is sampled more thinly, over a smaller table.
constexpr Sampling kAccess97 = {{storage::FileFormat::Jet3, 12}, 20, 2};

void sweep(Change change, const Sampling& sampling = {}) {
    support::TempDir folder;
    auto base = support::makeTwoTables(folder, "base.mdb", sampling.shape);
    auto before = support::tablesOf(base);
    const uint64_t steps = support::stepsOf(base, folder / "count.mdb", change).log.size();
    ASSERT_GT(steps, 10u);
    const uint64_t commitStretch = 80;
    for (uint64_t faultAt = 1; faultAt <= steps;
         faultAt += (faultAt + commitStretch >= steps ? sampling.stretchStride : sampling.stride)) {
        SCOPED_TRACE("fault at step " + std::to_string(faultAt));
        auto path = folder / ("crash-" + std::to_string(faultAt) + ".mdb");
        std::filesystem::copy_file(base, path);
        int status = support::inChild([&] {
            FaultyFileSystem dying(faultAt, FaultyFileSystem::Fault::ExitProcess);
            auto database =
                Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &dying});
            support::runChange(*database, change);
            return 1;
        });
        ASSERT_EQ(status, kStoppedByFault) << "the writer did not reach step " << faultAt;
        EXPECT_EQ(support::problemsAfter(path, change, before), "");
        std::filesystem::remove(path);
        // The lock file a killed writer made is stale; the next writer ignores it.
        std::filesystem::remove(path.replace_extension(".ldb"));
    }
}

TEST(CrashSafety, makeTableKilledAtSweptWrites) { sweep(Change::MakeTable); }

TEST(CrashSafety, dropKilledAtSweptWrites) { sweep(Change::Drop); }

TEST(CrashSafety, createIndexKilledAtSweptWrites) { sweep(Change::CreateIndex); }

TEST(CrashSafety, addColumnKilledAtSweptWrites) { sweep(Change::AddColumn); }

TEST(CrashSafety, access97MakeTableKilledAtSweptWrites) { sweep(Change::MakeTable, kAccess97); }

TEST(CrashSafety, access97DropKilledAtSweptWrites) { sweep(Change::Drop, kAccess97); }

// A full disk at any write is reported, and the database stays as it was and usable.
TEST(CrashSafety, fullDiskLeavesTheDatabaseAsItWas) {
    support::TempDir folder;
    auto base = support::makeTwoTables(folder);
    const auto steps = support::stepsOf(base, folder / "count.mdb", Change::MakeTable);
    auto original = support::bytesOf(base);
    // Up to the removal of the journal, the commit point: a failure after it (the flush of the
    // folder) reports a change that was made.
    uint64_t commitPoint = steps.log.size();
    for (uint64_t index = 0; index < steps.log.size(); ++index) {
        if (steps.log[index].action == FaultyFileSystem::Action::Remove &&
            steps.log[index].path.ends_with("-journal")) {
            commitPoint = index + 1;
        }
    }
    for (uint64_t faultAt = steps.opened + 1; faultAt <= commitPoint; faultAt += 7) {
        SCOPED_TRACE("full disk at step " + std::to_string(faultAt));
        auto path = folder / "full.mdb";
        std::filesystem::copy_file(base, path, std::filesystem::copy_options::overwrite_existing);
        FaultyFileSystem full(faultAt, FaultyFileSystem::Fault::DiskFull);
        auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &full});
        try {
            support::runChange(*database, Change::MakeTable);
            FAIL() << "the full disk went unreported";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::DiskFull);
        }
        EXPECT_EQ(database->catalog().findTable("Copied"), nullptr);
        database.reset();
        // Nothing was free in the file, so undoing restores it byte for byte.
        EXPECT_EQ(support::bytesOf(path), original);
        EXPECT_TRUE(support::journalsIn(folder.path()).empty());
    }
    // After a failed change the same connection goes on working.
    FaultyFileSystem once(steps.opened + 3, FaultyFileSystem::Fault::DiskFull);
    auto path = folder / "again.mdb";
    std::filesystem::copy_file(base, path, std::filesystem::copy_options::overwrite_existing);
    auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &once});
    EXPECT_THROW(support::runChange(*database, Change::MakeTable), EngineError);
    support::runChange(*database, Change::MakeTable);
    EXPECT_EQ(support::allRows(*database, "Copied").size(), support::kBaseRows);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

}  // namespace
}  // namespace engine

// A writer that dies, or whose disk fills, at any write of a change leaves a database that opens,
// passes the integrity check, and holds either the whole change or none of it, every other table
// unchanged.
#include "engine/database.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/faulty_file_system.h"
#include "support/fixtures.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace engine {
namespace {

using format::Value;
using support::FaultyFileSystem;

constexpr int kStoppedByFault = 77;
constexpr uint32_t kRows = 40;

// Which writes a sweep stops the writer at: every stretchStride-th of the last stretch, where the
// catalogue is changed and the change commits, and every stride-th one before it, where only new
// pages are written.
struct Sampling {
    storage::FileFormat format = storage::FileFormat::Jet4;
    uint32_t rows = kRows;  // in the base table
    uint64_t stride = 3;
    uint64_t stretchStride = 1;
};
// Access 97 files take more, smaller pages, and their commit goes through the same pager: their
// sweep is sampled more thinly, over a smaller table.
constexpr Sampling kAccess97 = {storage::FileFormat::Jet3, 12, 20, 2};

std::vector<uint8_t> bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A database with one table, "Base", whose rows the operations copy.
std::filesystem::path makeBase(const support::TempDir& folder, const Sampling& sampling = {}) {
    auto path = folder / "base.mdb";
    auto database = Database::create(path, {.format = sampling.format});
    auto columns = support::everyColumnType(sampling.format);
    database->createTable("Base", columns,
                          [&columns, &sampling, next = 0u](std::vector<Value>& row) mutable {
                              if (next == sampling.rows) return false;
                              row = support::sampleRow(columns, ++next, sampling.format);
                              return true;
                          });
    return path;
}

using Operation = std::function<void(Database&)>;

void copyBase(Database& database) { copyTable(database, "Base", database, "Copied"); }
void dropBase(Database& database) { database.dropTable("Base"); }

uint64_t stepsOf(const std::filesystem::path& base, const std::filesystem::path& scratch,
                 const Operation& operation) {
    std::filesystem::copy_file(base, scratch, std::filesystem::copy_options::overwrite_existing);
    FaultyFileSystem counting(0, FaultyFileSystem::Fault::ExitProcess);
    auto database =
        Database::open(scratch, {.mode = AccessMode::ReadWrite, .fileSystem = &counting});
    operation(*database);
    return counting.steps();
}

// Checks the file after a fault: sound, and the change either whole or absent.
void expectWholeOrNothing(const std::filesystem::path& path,
                          const std::vector<std::vector<Value>>& baseRows, bool dropping,
                          uint64_t faultAt) {
    SCOPED_TRACE("fault at step " + std::to_string(faultAt));
    auto database = Database::open(path, {.mode = AccessMode::ReadWrite});
    ASSERT_EQ(support::integrityProblems(*database), "");
    const catalog::Catalog& catalog = database->catalog();
    if (dropping) {
        if (catalog.findTable("Base")) {
            EXPECT_EQ(support::allRows(*database, "Base"), baseRows);
        }
    } else {
        EXPECT_EQ(support::allRows(*database, "Base"), baseRows);
        if (catalog.findTable("Copied")) {
            EXPECT_EQ(support::allRows(*database, "Copied"), baseRows);
        }
    }
}

void sweep(const Operation& operation, bool dropping, const Sampling& sampling = {}) {
    support::TempDir folder;
    auto base = makeBase(folder, sampling);
    auto baseRows = [&] {
        auto database = Database::open(base);
        return support::allRows(*database, "Base");
    }();
    uint64_t steps = stepsOf(base, folder / "count.mdb", operation);
    ASSERT_GT(steps, 10u);
    const uint64_t commitStretch = 80;
    for (uint64_t faultAt = 1; faultAt <= steps;
         faultAt += (faultAt + commitStretch >= steps ? sampling.stretchStride : sampling.stride)) {
        auto path = folder / ("crash-" + std::to_string(faultAt) + ".mdb");
        std::filesystem::copy_file(base, path);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FaultyFileSystem dying(faultAt, FaultyFileSystem::Fault::ExitProcess);
            try {
                auto database =
                    Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &dying});
                operation(*database);
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), kStoppedByFault)
            << "the writer did not reach step " << faultAt;
        expectWholeOrNothing(path, baseRows, dropping, faultAt);
        std::filesystem::remove(path);
    }
}

TEST(CrashSafety, makeTableKilledAtSweptWrites) { sweep(copyBase, false); }

TEST(CrashSafety, dropKilledAtSweptWrites) { sweep(dropBase, true); }

TEST(CrashSafety, access97MakeTableKilledAtSweptWrites) { sweep(copyBase, false, kAccess97); }

TEST(CrashSafety, access97DropKilledAtSweptWrites) { sweep(dropBase, true, kAccess97); }

// A full disk at any write is reported, and the database stays as it was and usable.
TEST(CrashSafety, fullDiskLeavesTheDatabaseAsItWas) {
    support::TempDir folder;
    auto base = makeBase(folder);
    uint64_t steps = stepsOf(base, folder / "count.mdb", copyBase);
    auto original = bytesOf(base);
    for (uint64_t faultAt = 1; faultAt <= steps; faultAt += 7) {
        SCOPED_TRACE("full disk at step " + std::to_string(faultAt));
        auto path = folder / "full.mdb";
        std::filesystem::copy_file(base, path, std::filesystem::copy_options::overwrite_existing);
        FaultyFileSystem full(faultAt, FaultyFileSystem::Fault::DiskFull);
        auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &full});
        try {
            copyBase(*database);
            FAIL() << "the full disk went unreported";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::DiskFull);
        }
        EXPECT_EQ(database->catalog().findTable("Copied"), nullptr);
        database.reset();
        // Nothing was free in the file, so undoing restores it byte for byte.
        EXPECT_EQ(bytesOf(path), original);
        EXPECT_FALSE(std::filesystem::exists(path.string() + "-journal"));
    }
    // After a failed change the same connection goes on working.
    FaultyFileSystem once(3, FaultyFileSystem::Fault::DiskFull);
    auto path = folder / "again.mdb";
    std::filesystem::copy_file(base, path, std::filesystem::copy_options::overwrite_existing);
    auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &once});
    EXPECT_THROW(copyBase(*database), EngineError);
    copyBase(*database);
    EXPECT_EQ(support::allRows(*database, "Copied").size(), kRows);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

}  // namespace
}  // namespace engine

// A writer killed at any write of a change that splits, merges and frees index pages leaves a
// file that passes the integrity check (every index equal to what its rows call for) and holds
// the whole change or none of it.
#include "engine/database.h"
#include "support/crash_sweep.h"
#include "support/engine_files.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

using catalog::NewColumn;
using catalog::NewIndex;
using format::ColumnType;
using format::Value;
using Rows = std::vector<std::vector<Value>>;

#if defined(__SANITIZE_ADDRESS__)
constexpr uint64_t kStride = 4;  // every fourth write before the commit under the sanitizers
#else
constexpr uint64_t kStride = 1;
#endif
constexpr uint64_t kCommitWrites = 40;

const std::vector<NewColumn> kColumns = {
    {.name = "Id", .type = ColumnType::Long, .autoNumber = true},
    {.name = "Name", .type = ColumnType::Text, .size = 255},
    {.name = "Code", .type = ColumnType::Text, .size = 20},
};

const std::vector<NewIndex> kIndexes = {
    {.name = "PrimaryKey", .columns = {"Id"}, .primaryKey = true},
    {.name = "ByName", .columns = {"Name"}},
    {.name = "ByCode", .columns = {"Code"}, .unique = true, .ignoreNulls = true},
};

// Rows whose long names fill an index leaf with about twenty entries.
Rows namedRows(int first, int count) {
    Rows rows;
    for (int index = first; index < first + count; ++index) {
        std::string name = std::to_string(index * 7919 % 1000);
        name += std::string(150, static_cast<char>('a' + index % 26));
        rows.push_back({Value(), Value(name), Value("c" + std::to_string(index))});
    }
    return rows;
}

// A table whose name index has a node root over a dozen leaves.
std::filesystem::path makeBase(const support::TempDir& folder) {
    auto path = folder / "indexed.mdb";
    auto database = Database::create(path, {});
    database->createTable("Words", kColumns, support::RowFeed(namedRows(0, 300)), kIndexes);
    return path;
}

Rows rowsOf(const std::filesystem::path& path) {
    auto database = Database::open(path);
    return support::allRows(*database, "Words");
}

void expectSoundAndOneOf(const std::filesystem::path& path, uint64_t faultAt, const Rows& before,
                         const Rows& after) {
    SCOPED_TRACE("killed at write " + std::to_string(faultAt));
    auto database = Database::open(path, {.mode = AccessMode::ReadWrite});
    ASSERT_EQ(support::integrityProblems(*database), "");
    auto rows = support::sortedRows(support::allRows(*database, "Words"));
    EXPECT_TRUE(rows == support::sortedRows(before) || rows == support::sortedRows(after));
}

// Three hundred more rows split leaves all over the name index and push its root a level down.
TEST(IndexCrash, insertThatSplitsPagesKilledAtEveryWrite) {
    support::TempDir folder;
    auto base = makeBase(folder);
    Rows before = rowsOf(base);
    auto insert = [](Database& database) {
        database.insertRows("Words", support::RowFeed(namedRows(300, 300)));
    };
    auto done = folder / "done.mdb";
    std::filesystem::copy_file(base, done);
    {
        auto database = Database::open(done, {.mode = AccessMode::ReadWrite});
        insert(*database);
    }
    Rows after = rowsOf(done);
    support::sweepCrashes(
        base, insert,
        [&](const std::filesystem::path& path, uint64_t faultAt) {
            expectSoundAndOneOf(path, faultAt, before, after);
        },
        kStride, kCommitWrites);
}

// Removing most rows empties and merges pages and lifts the root back up.
TEST(IndexCrash, deleteThatMergesPagesKilledAtEveryWrite) {
    support::TempDir folder;
    auto base = makeBase(folder);
    Rows before = rowsOf(base);
    auto remove = [](Database& database) {
        database.deleteRows("Words", [](const std::vector<Value>& row) {
            return std::get<int32_t>(row[0]) % 10 != 0;
        });
    };
    Rows after;
    for (const auto& row : before) {
        if (std::get<int32_t>(row[0]) % 10 == 0) after.push_back(row);
    }
    support::sweepCrashes(
        base, remove,
        [&](const std::filesystem::path& path, uint64_t faultAt) {
            expectSoundAndOneOf(path, faultAt, before, after);
        },
        kStride, kCommitWrites);
}

}  // namespace
}  // namespace engine

// A reader in one process and a writer committing in another: every read sees the file as it
// was before a commit or after it, never a mix, and the writer is not starved by the reads.
#include "engine/database.h"
#include "support/durability.h"
#include "support/engine_files.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>

namespace engine {
namespace {

using format::Value;

// Fewer under the sanitizers; always a multiple of 20.
const int kChanges = support::underSanitizers() ? 60 : 200;
constexpr int32_t kBatchRows = 5;
constexpr int kTableRows = 10;

std::vector<catalog::NewColumn> logColumns() {
    return {{.name = "Batch", .type = format::ColumnType::Long},
            {.name = "Line", .type = format::ColumnType::Long}};
}

std::vector<std::vector<Value>> rowsOf(int32_t batch, int32_t count) {
    std::vector<std::vector<Value>> rows;
    for (int32_t line = 1; line <= count; ++line) rows.push_back({Value(batch), Value(line)});
    return rows;
}

// The writer's changes: mostly batches of rows appended to Log; now and then a table made, and
// ten changes later dropped again.
int writeChanges(const std::filesystem::path& path) {
    auto database = Database::open(path, {.mode = AccessMode::ReadWrite});
    int32_t batch = 0;
    for (int change = 1; change <= kChanges; ++change) {
        std::string table = "Made" + std::to_string(change / 20);
        if (change % 20 == 5) {
            database->createTable(table, logColumns(), support::RowFeed(rowsOf(0, kTableRows)));
        } else if (change % 20 == 15) {
            database->dropTable(table);
        } else {
            database->insertRows("Log", support::RowFeed(rowsOf(++batch, kBatchRows)));
        }
    }
    return 0;
}

// What one reading of the whole file found wrong; empty when it is a state a commit left.
std::string readingProblems(Database& database, const std::vector<std::vector<Value>>& other) {
    std::string problems;
    std::map<int32_t, int32_t> lines;
    for (const auto& row : support::allRows(database, "Log")) ++lines[std::get<int32_t>(row[0])];
    int32_t expected = 1;
    for (const auto& [batch, count] : lines) {
        if (batch != expected++ || count != kBatchRows) {
            problems +=
                "batch " + std::to_string(batch) + " has " + std::to_string(count) + " rows\n";
        }
    }
    for (const auto& object : database.catalog().objects()) {
        if (object.name.starts_with("Made") &&
            support::allRows(database, object.name).size() != kTableRows) {
            problems += object.name + " is not whole\n";
        }
    }
    if (support::allRows(database, "Other") != other) problems += "Other changed\n";
    return problems;
}

TEST(ConcurrentReader, seesEachCommitWholeOrNotAtAll) {
    support::TempDir folder;
    auto path = support::makeTwoTables(folder);
    {
        auto database = Database::open(path, {.mode = AccessMode::ReadWrite});
        database->createTable("Log", logColumns());
    }
    const auto before = support::tablesOf(path);
    const auto other = [&] {
        auto database = Database::open(path);
        return support::allRows(*database, "Other");
    }();

    pid_t writer = support::startChild([&] { return writeChanges(path); });
    int readings = 0;
    int status = -1;
    while (true) {
        bool done = ::waitpid(writer, &status, WNOHANG) == writer;
        auto database = Database::open(path);
        std::string problems = readingProblems(*database, other);
        if (readings % 10 == 0) problems += support::integrityProblems(*database);
        ASSERT_EQ(problems, "") << "reading " << readings;
        ++readings;
        if (done) break;
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_GT(readings, 10);

    auto database = Database::open(path);
    const int batches = kChanges - 2 * (kChanges / 20);
    EXPECT_EQ(support::allRows(*database, "Log").size(), size_t(batches * kBatchRows));
    EXPECT_EQ(support::problemsAfter(path, support::Change::MakeTable, before), "");
}

}  // namespace
}  // namespace engine

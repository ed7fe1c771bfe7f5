// Long values added a few at a time share the pages of their column, as those of one copy do:
// rows inserted one statement at a time take about the room of the same rows made at once.
#include "engine/database.h"
#include "engine/sql/executor.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/unsynced_file_system.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

using format::ColumnType;
using format::Value;

#if defined(__SANITIZE_ADDRESS__)
constexpr int kRows = 300;
#else
constexpr int kRows = 1000;
#endif

std::string memo(int row) {
    std::string text = "Row " + std::to_string(row) + ": ";
    while (text.size() < 100) text += static_cast<char>('a' + (row + text.size()) % 26);
    return text;
}

TEST(LongValueSharing, rowsInsertedOneAtATimeTakeAboutTheRoomOfOneCopy) {
    support::TempDir folder;
    // Only the files' contents count here, not what survives a crash.
    auto& files = support::unsyncedFileSystem();
    std::vector<std::vector<Value>> rows;
    for (int row = 1; row <= kRows; ++row) rows.push_back({int32_t{row}, memo(row)});
    const std::vector<catalog::NewColumn> columns = {{.name = "Id", .type = ColumnType::Long},
                                                     {.name = "Note", .type = ColumnType::Memo}};

    auto atOnce = folder / "at-once.mdb";
    Database::create(atOnce, {.fileSystem = &files})
        ->createTable("Notes", columns, support::RowFeed(rows));

    auto oneByOne = folder / "one-by-one.mdb";
    {
        auto database = Database::create(oneByOne, {.fileSystem = &files});
        sql::execute(*database, "CREATE TABLE Notes (Id LONG, Note MEMO)");
        for (int row = 1; row <= kRows; ++row) {
            sql::execute(*database, "INSERT INTO Notes VALUES (" + std::to_string(row) + ", '" +
                                        memo(row) + "')");
        }
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
    EXPECT_EQ(support::mdbExport(oneByOne, "Notes"), support::mdbExport(atOnce, "Notes"));
    auto size = std::filesystem::file_size(oneByOne);
    auto reference = std::filesystem::file_size(atOnce);
    EXPECT_LE(size, 2 * reference) << size << " bytes against " << reference;
}

}  // namespace
}  // namespace engine

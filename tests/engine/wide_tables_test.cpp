// The widest tables a file can hold: 255 Memo columns, and 255 columns of every type in turn.
// Each is made, filled with values of every storage size (long values inline, on a page of
// their own, chained), copied into every writable format and read back alike by mdb-export.
#include "engine/database.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

using catalog::NewColumn;
using format::ColumnType;
using format::Value;
using storage::FileFormat;

constexpr size_t kMaxColumns = 255;
const FileFormat kWritableFormats[] = {FileFormat::Jet4, FileFormat::Ace12, FileFormat::Ace14,
                                       FileFormat::Ace16, FileFormat::Ace17};

std::filesystem::path newFile(const support::TempDir& folder, const std::string& name,
                              FileFormat format) {
    auto path = folder / (name + "-" + storage::formatName(format) +
                          (storage::isAce(format) ? ".accdb" : ".mdb"));
    Database::create(path, {.format = format});
    return path;
}

std::vector<NewColumn> memoColumns() {
    std::vector<NewColumn> columns;
    for (size_t index = 0; index < kMaxColumns; ++index) {
        columns.push_back({.name = "Note " + std::to_string(index), .type = ColumnType::Memo});
    }
    return columns;
}

std::vector<std::vector<Value>> memoRows() {
    std::vector<std::vector<Value>> rows(4, std::vector<Value>(kMaxColumns));
    for (size_t index = 0; index < kMaxColumns; ++index) {
        // Small enough to stay inline alone, too many to stay inline together.
        rows[0][index] = "note " + std::to_string(index);
        rows[1][index] = std::string(200, static_cast<char>('a' + index % 26));
        if (index % 50 == 0) rows[2][index] = std::string(9000, 'z');
    }
    return rows;
}

// Every type the format has, in turn, to 255 columns. Text and binary values stay short, so
// that a row fits; long values take every size.
std::vector<NewColumn> mixedColumns(FileFormat format) {
    auto types = support::everyColumnType(format);
    std::vector<NewColumn> columns;
    for (size_t index = 0; columns.size() < kMaxColumns; ++index) {
        NewColumn column = types[index % types.size()];
        column.name += " " + std::to_string(index);
        if (index >= types.size()) column.autoNumber = false;
        if (column.type == ColumnType::Text) column.size = 10;
        if (column.type == ColumnType::Binary) column.size = 8;
        columns.push_back(column);
    }
    return columns;
}

std::vector<std::vector<Value>> mixedRows(const std::vector<NewColumn>& columns) {
    std::vector<std::vector<Value>> rows;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        rows.push_back(support::sampleRow(columns, seed));
        for (size_t index = 0; index < columns.size(); ++index) {
            auto* bytes = std::get_if<format::ByteString>(&rows.back()[index]);
            if (bytes && columns[index].type == ColumnType::Binary) {
                bytes->resize(std::min<size_t>(bytes->size(), columns[index].size));
            }
        }
    }
    return rows;
}

void expectSameRows(Database& database, const std::string& table,
                    std::vector<std::vector<Value>> written) {
    auto read = support::allRows(database, table);
    // The first column numbers rows 1, 2, 3 ... where it is an AutoNumber.
    for (size_t row = 0; row < written.size() && row < read.size(); ++row) {
        if (format::isNull(written[row][0])) written[row][0] = read[row][0];
    }
    EXPECT_EQ(support::sortedRows(read), support::sortedRows(written));
}

TEST(WideTables, twoHundredFiftyFiveMemoColumnsCopyIntoEveryFormat) {
    support::TempDir folder;
    auto source = newFile(folder, "memos", FileFormat::Jet4);
    {
        auto database = support::openForWriting(source);
        auto rows = memoRows();
        database->createTable("Memos", memoColumns(), support::RowFeed(rows));
        expectSameRows(*database, "Memos", rows);
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
    const std::string expected = support::mdbExport(source, "Memos");
    ASSERT_NE(expected.find("zzzz"), std::string::npos);
    auto from = Database::open(source);
    for (FileFormat format : kWritableFormats) {
        SCOPED_TRACE(storage::formatName(format));
        auto path = newFile(folder, "memos-copy", format);
        {
            auto destination = support::openForWriting(path);
            copyTable(*from, "Memos", *destination, "Memos");
            EXPECT_EQ(support::integrityProblems(*destination), "");
        }
        EXPECT_EQ(support::mdbExport(path, "Memos"), expected);
    }
}

TEST(WideTables, twoHundredFiftyFiveColumnsOfEveryTypeCopyIntoEveryFormat) {
    support::TempDir folder;
    for (FileFormat format : kWritableFormats) {
        // Under the sanitizers the oldest and the newest format are enough.
#if defined(__SANITIZE_ADDRESS__)
        if (format != FileFormat::Jet4 && format != FileFormat::Ace17) continue;
#endif
        SCOPED_TRACE(storage::formatName(format));
        auto source = newFile(folder, "mixed", format);
        auto columns = mixedColumns(format);
        auto rows = mixedRows(columns);
        {
            auto database = support::openForWriting(source);
            database->createTable("Mixed", columns, support::RowFeed(rows));
            expectSameRows(*database, "Mixed", rows);
            EXPECT_EQ(support::integrityProblems(*database), "");
        }
        auto path = newFile(folder, "mixed-copy", format);
        {
            auto from = Database::open(source);
            auto destination = support::openForWriting(path);
            copyTable(*from, "Mixed", *destination, "Mixed");
            EXPECT_EQ(support::integrityProblems(*destination), "");
        }
        auto expected = support::mdbExport(source, "Mixed");
        EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 4) << expected;
        EXPECT_EQ(support::mdbExport(path, "Mixed"), expected);
    }
}

}  // namespace
}  // namespace engine

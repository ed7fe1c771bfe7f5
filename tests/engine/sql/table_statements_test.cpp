// CREATE TABLE, INSERT INTO ... VALUES, UPDATE, DELETE and DROP TABLE: the columns they make,
// the values they store, change or remove, and what they refuse.
#include "engine/format/rows/row_encoder.h"
#include "engine/format/rows/table_scan.h"
#include "engine/format/space/data_page_editor.h"
#include "engine/sql/executor.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <random>

namespace engine::sql {
namespace {

using format::ColumnType;
using format::Value;
using storage::FileFormat;
using support::errorOf;

TEST(CreateTable, typesMapToTheEnginesColumns) {
    support::TempDir folder;
    auto database = Database::create(folder / "new.accdb", {.format = FileFormat::Ace16});
    execute(*database,
            "CREATE TABLE [Every Type] (a BIT, b BYTE, c SHORT, d LONG, e COUNTER, f BIGINT, "
            "g MONEY, h REAL, i FLOAT, j DECIMAL(12, 3), k NUMERIC, l DATETIME, m GUID, "
            "n TEXT(20), o VARCHAR, p TEXT, q BINARY, r VARBINARY(510), s IMAGE, t LONGTEXT);");
    struct Expected {
        ColumnType type;
        uint16_t length;
    };
    const std::vector<Expected> expected = {
        {ColumnType::Boolean, 1},  {ColumnType::Byte, 1},     {ColumnType::Integer, 2},
        {ColumnType::Long, 4},     {ColumnType::Long, 4},     {ColumnType::BigInt, 8},
        {ColumnType::Currency, 8}, {ColumnType::Single, 4},   {ColumnType::Double, 8},
        {ColumnType::Numeric, 17}, {ColumnType::Numeric, 17}, {ColumnType::DateTime, 8},
        {ColumnType::Guid, 16},    {ColumnType::Text, 40},    {ColumnType::Text, 510},
        {ColumnType::Memo, 0},     {ColumnType::Binary, 255}, {ColumnType::Binary, 510},
        {ColumnType::Ole, 0},      {ColumnType::Memo, 0},
    };
    const auto definition = database->tableDefinition("every type");
    ASSERT_EQ(definition.columns.size(), expected.size());
    for (size_t index = 0; index < expected.size(); ++index) {
        const auto& column = definition.columns[index];
        EXPECT_EQ(column.name, std::string(1, static_cast<char>('a' + index)));
        EXPECT_EQ(column.type, expected[index].type) << column.name;
        EXPECT_EQ(column.length, expected[index].length) << column.name;
        EXPECT_EQ(column.isAutoNumber(), column.name == "e") << column.name;
    }
    EXPECT_EQ(definition.columns[9].precision, 12);
    EXPECT_EQ(definition.columns[9].scale, 3);
    EXPECT_EQ(definition.columns[10].precision, 18);
    EXPECT_EQ(definition.columns[10].scale, 0);
    EXPECT_TRUE(definition.realIndexes.empty());
    EXPECT_EQ(support::integrityProblems(*database), "");
}

// Access 97 files keep one byte a text character and have no Decimal type.
TEST(CreateTable, access97TablesTakeTheirTypesAndTextLengths) {
    support::TempDir folder;
    auto database = Database::create(folder / "old.mdb", {.format = FileFormat::Jet3});
    execute(*database, "CREATE TABLE T (n TEXT(6), b BINARY(255), m MEMO)");
    EXPECT_EQ(database->tableDefinition("T").columns[0].length, 6);
    execute(*database, "INSERT INTO T (n, m) VALUES ('sechs!', 'Œuvre')");
    EXPECT_EQ(errorOf([&] { execute(*database, "INSERT INTO T (n) VALUES ('sieben!')"); }),
              ErrorCode::FieldTooSmall);
    EXPECT_EQ(support::allRows(*database, "T"),
              (std::vector<std::vector<Value>>{
                  {Value(std::string("sechs!")), Value(), Value(std::string("Œuvre"))}}));
    EXPECT_EQ(errorOf([&] { execute(*database, "CREATE TABLE D (d DECIMAL(10, 2))"); }),
              ErrorCode::InvalidFieldType);
    EXPECT_EQ(errorOf([&] { execute(*database, "CREATE TABLE B (b BINARY(256))"); }),
              ErrorCode::InvalidArgument);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

TEST(CreateTable, refusesWhatItCannotMake) {
    support::TempDir folder;
    auto database = Database::create(folder / "new.accdb", {.format = FileFormat::Ace14});
    std::string wide = "CREATE TABLE Wide (";
    for (int index = 0; index < 256; ++index) {
        wide += (index ? ", c" : "c") + std::to_string(index) + " LONG";
    }
    const std::vector<std::pair<std::string, ErrorCode>> refused = {
        {"CREATE TABLE T (a BIGINT)", ErrorCode::InvalidFieldType},
        {"CREATE TABLE T (a LONG PRIMARY KEY, b LONG CONSTRAINT k PRIMARY KEY)",
         ErrorCode::CreateTableSyntax},
        {"CREATE TABLE T (a LONG, CONSTRAINT k UNIQUE (b))", ErrorCode::UnknownField},
        {"CREATE TABLE T (a LONG, CONSTRAINT k UNIQUE (a, A))", ErrorCode::DuplicateField},
        {"CREATE TABLE T (a LONG UNIQUE, CONSTRAINT k UNIQUE (a), CONSTRAINT K PRIMARY KEY (a))",
         ErrorCode::DuplicateField},
        {"CREATE TABLE T (a TEXT(256))", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a BINARY(511))", ErrorCode::FieldSyntax},
        {"CREATE TABLE T (a LONG, A TEXT)", ErrorCode::DuplicateField},
        {wide + ")", ErrorCode::TooManyColumns},
        {"CREATE TABLE [ T] (a LONG)", ErrorCode::InvalidName},
        {"CREATE TABLE MSysObjects (a LONG)", ErrorCode::TableExists},
    };
    for (const auto& [statement, code] : refused) {
        EXPECT_EQ(errorOf([&] { execute(*database, statement); }), code) << statement.substr(0, 80);
        EXPECT_EQ(database->catalog().findTable("T"), nullptr);
    }
    execute(*database, "CREATE TABLE T (a LONG)");
    EXPECT_EQ(errorOf([&] { execute(*database, "CREATE TABLE t (b LONG)"); }),
              ErrorCode::TableExists);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

// Keys and NOT NULL as other readers see them: mdb-schema lists the indexes and the NOT NULL
// the statement declared; the indexes stay exact as rows arrive, and refuse a repeated key, a
// NULL in the primary key and NULL for a required field with the engine's numbers.
TEST(CreateTable, keysAndNotNullMakeIndexesAndPropertiesOtherReadersSee) {
    for (FileFormat format :
         {FileFormat::Jet3, FileFormat::Jet4, FileFormat::Ace12, FileFormat::Ace16}) {
        SCOPED_TRACE(static_cast<int>(format));
        support::TempDir folder;
        const auto path = folder / (storage::isAce(format) ? "keys.accdb" : "keys.mdb");
        auto database = Database::create(path, {.format = format});
        const bool properties = !storage::isJet3(format);
        execute(*database, std::string("CREATE TABLE Stock (Id COUNTER CONSTRAINT pk PRIMARY KEY, "
                                       "Code TEXT(12) UNIQUE, Shelf LONG, Bin TEXT(4)") +
                               (properties ? " NOT NULL" : "") +
                               ", CONSTRAINT Place UNIQUE (Shelf, Bin))");
        execute(*database,
                "CREATE TABLE Pairs (a LONG, b TEXT(5), CONSTRAINT [Pair Key] "
                "PRIMARY KEY (b, a), c DOUBLE UNIQUE)");
        const std::string schema =
            support::runProcess({"mdb-schema", "--indexes", path.string(), "mysql"}).out;
        for (const char* line :
             {"ADD UNIQUE INDEX `Code` (`Code`)", "ADD UNIQUE INDEX `Place` (`Shelf`, `Bin`)",
              "ALTER TABLE `Stock` ADD PRIMARY KEY (`Id`)",
              "ALTER TABLE `Pairs` ADD PRIMARY KEY (`b`, `a`)", "ADD UNIQUE INDEX `c` (`c`)"}) {
            EXPECT_NE(schema.find(line), std::string::npos) << line << "\n" << schema;
        }
        EXPECT_EQ(schema.find("`Bin`\t\t\tvarchar (4) NOT NULL") != std::string::npos, properties)
            << schema;

        for (int shelf = 0; shelf < 300; ++shelf) {
            execute(*database, "INSERT INTO Stock (Code, Shelf, Bin) VALUES ('C" +
                                   std::to_string(shelf * 7919 % 300) + "', " +
                                   std::to_string(shelf % 10) + ", 'B" +
                                   std::to_string(shelf / 10) + "')");
        }
        // A unique index takes NULL any number of times.
        execute(*database, "INSERT INTO Stock (Code, Shelf, Bin) VALUES (NULL, NULL, 'x')");
        execute(*database, "INSERT INTO Stock (Code, Shelf, Bin) VALUES (NULL, NULL, 'y')");
        execute(*database, "INSERT INTO Pairs (a, b) VALUES (1, 'a')");
        execute(*database, "INSERT INTO Pairs (a, b) VALUES (2, 'a')");
        const std::vector<std::pair<std::string, ErrorCode>> refused = {
            {"INSERT INTO Stock (Code, Shelf, Bin) VALUES ('C7', 1, 'y')", ErrorCode::DuplicateKey},
            {"INSERT INTO Stock (Code, Shelf, Bin) VALUES ('new', 3, 'B0')",
             ErrorCode::DuplicateKey},
            {"INSERT INTO Pairs (a, b) VALUES (1, NULL)", ErrorCode::PrimaryKeyNull},
            {"UPDATE Stock SET Code = 'C1' WHERE Code = 'C2'", ErrorCode::DuplicateKey},
        };
        for (const auto& [statement, code] : refused) {
            EXPECT_EQ(errorOf([&] { execute(*database, statement); }), code) << statement;
        }
        if (properties) {
            EXPECT_EQ(errorOf([&] {
                          execute(*database, "INSERT INTO Stock (Code, Shelf) VALUES ('z', 1)");
                      }),
                      ErrorCode::RequiredValue);
            EXPECT_EQ(errorOf([&] { execute(*database, "UPDATE Stock SET Bin = NULL"); }),
                      ErrorCode::RequiredValue);
        } else {
            EXPECT_EQ(errorOf([&] { execute(*database, "CREATE TABLE N (a LONG NOT NULL)"); }),
                      ErrorCode::NotSupported);
        }
        EXPECT_EQ(support::allRows(*database, "Stock").size(), 302u);
        EXPECT_EQ(support::indexDifferences(*database, "Stock"), "");
        EXPECT_EQ(support::indexDifferences(*database, "Pairs"), "");
        EXPECT_EQ(support::integrityProblems(*database), "");
        database.reset();
        EXPECT_EQ(support::integrityProblems(path), "");
        const std::string exported = support::mdbExport(path, "Stock");
        EXPECT_EQ(std::count(exported.begin(), exported.end(), '\n'), 302)
            << exported.substr(0, 200);
    }
}

struct Stored {
    std::string column;
    std::string literal;
    Value expected;
};

struct Refused {
    std::string statement;
    ErrorCode code;
};

class InsertTest : public ::testing::Test {
protected:
    void SetUp() override {
        database = Database::create(folder / "insert.mdb", {.format = FileFormat::Jet4});
        execute(*database,
                "CREATE TABLE T (Id COUNTER, Flag BIT, Small BYTE, Tally SHORT, Total LONG, "
                "Price CURRENCY, Ratio REAL, Measure DOUBLE, Amount DECIMAL(6, 2), "
                "Moment DATETIME, Label TEXT(5), Notes MEMO, Tag GUID, Raw BINARY(4))");
    }

    support::TempDir folder;
    std::unique_ptr<Database> database;
};

TEST_F(InsertTest, literalsConvertIntoTheirFields) {
    using format::Currency;
    using format::DateTime;
    using format::Decimal;
    const std::vector<Stored> cases = {
        {"Flag", "TRUE", true},
        {"Flag", "0", false},
        {"Flag", "-3.5", true},
        {"Small", "255", uint8_t(255)},
        {"Small", "2.5", uint8_t(2)},
        {"Tally", "-32768", int16_t(-32768)},
        {"Tally", "TRUE", int16_t(-1)},
        {"Total", "3.5", int32_t(4)},
        {"Total", "1E3", int32_t(1000)},
        {"Price", "0.1", Currency{1000}},
        {"Price", "-922337203685477.5808", Currency{INT64_MIN}},
        {"Price", "1.00005", Currency{10000}},
        {"Ratio", "0.5", 0.5f},
        {"Measure", "-1.25E-3", -1.25e-3},
        {"Amount", "1234.565", Decimal{false, 0, 123456, 2}},
        {"Amount", "-0.5", Decimal{true, 0, 50, 2}},
        {"Moment", "#2020-02-29 13:30#", DateTime{43890 + 13.5 / 24}},
        {"Moment", "36526", DateTime{36526}},
        {"Label", "'héllo'", "héllo"},
        {"Label", "'it''s'", "it's"},
        {"Label", "12.50", "12.50"},
        {"Notes", "'" + std::string(3000, 'n') + "'", std::string(3000, 'n')},
        {"Tag", "{guid {11111101-1111-1111-1111-111111111111}}",
         format::Guid{{0x01, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                       0x11, 0x11, 0x11}}},
        {"Raw", "NULL", Value()},
        {"Label", "NULL", Value()},
    };
    for (const auto& [column, literal, expected] : cases) {
        SCOPED_TRACE(column + " = " + literal.substr(0, 40));
        execute(*database, "INSERT INTO T (" + column + ") VALUES (" + literal + ")");
        const auto rows = support::allRows(*database, "T");
        const auto definition = database->tableDefinition("T");
        const auto* field = definition.findColumn(column);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(rows.back()[static_cast<size_t>(field - definition.columns.data())], expected);
    }
    // The AutoNumber numbered every row, and a number given moves it on.
    execute(*database, "INSERT INTO T (Id, Total) VALUES (100, 1)");
    execute(*database, "INSERT INTO T (Total) VALUES (2)");
    const auto rows = support::allRows(*database, "T");
    EXPECT_EQ(rows.front()[0], Value(int32_t(1)));
    EXPECT_EQ(rows.back()[0], Value(int32_t(101)));
    EXPECT_EQ(rows.size(), cases.size() + 2);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

TEST_F(InsertTest, refusesValuesThatDoNotFitAndRowsItCannotAdd) {
    support::TempDir other;
    const auto complex = other.copyFixture("ace12/complexDataTestV2007.accdb");
    const std::vector<Refused> refused = {
        {"INSERT INTO T (Small) VALUES (256)", ErrorCode::NumericOverflow},
        {"INSERT INTO T (Small) VALUES (-1)", ErrorCode::NumericOverflow},
        {"INSERT INTO T (Small) VALUES (TRUE)", ErrorCode::NumericOverflow},
        {"INSERT INTO T (Tally) VALUES (32767.5)", ErrorCode::NumericOverflow},
        {"INSERT INTO T (Total) VALUES (1E20)", ErrorCode::NumericOverflow},
        {"INSERT INTO T (Price) VALUES (922337203685477.5808)", ErrorCode::NumericOverflow},
        {"INSERT INTO T (Ratio) VALUES (1E39)", ErrorCode::NumericOverflow},
        {"INSERT INTO T (Amount) VALUES (10000)", ErrorCode::NumericOverflow},
        {"INSERT INTO T (Moment) VALUES (3000000)", ErrorCode::NumericOverflow},
        {"INSERT INTO T (Label) VALUES ('toolong')", ErrorCode::FieldTooSmall},
        {"INSERT INTO T (Total) VALUES ('1')", ErrorCode::DataTypeMismatch},
        {"INSERT INTO T (Flag) VALUES ('yes')", ErrorCode::DataTypeMismatch},
        {"INSERT INTO T (Moment) VALUES ('2020-01-01')", ErrorCode::DataTypeMismatch},
        {"INSERT INTO T (Label) VALUES (#2020-01-01#)", ErrorCode::DataTypeMismatch},
        {"INSERT INTO T (Label) VALUES (TRUE)", ErrorCode::DataTypeMismatch},
        {"INSERT INTO T (Tag) VALUES ('x')", ErrorCode::DataTypeMismatch},
        {"INSERT INTO T (Raw) VALUES ('x')", ErrorCode::DataTypeMismatch},
        {"INSERT INTO T (Nothing) VALUES (1)", ErrorCode::UnknownInsertField},
        {"INSERT INTO T (Total, total) VALUES (1, 2)", ErrorCode::DuplicateField},
        {"INSERT INTO T (Total, Small) VALUES (1)", ErrorCode::ValueCountMismatch},
        {"INSERT INTO T VALUES (1, 2)", ErrorCode::ValueCountMismatch},
        {"INSERT INTO Nobody VALUES (1)", ErrorCode::InputTableNotFound},
        {"INSERT INTO MSysObjects (Id) VALUES (1)", ErrorCode::ReadOnly},
        {"INSERT INTO MSysACEs (ACM) VALUES (1)", ErrorCode::ReadOnly},
    };
    for (const auto& [statement, code] : refused) {
        EXPECT_EQ(errorOf([&] { execute(*database, statement); }), code) << statement;
    }
    EXPECT_TRUE(support::allRows(*database, "T").empty());
    EXPECT_EQ(support::integrityProblems(*database), "");

    auto withComplex = Database::open(complex, {.mode = AccessMode::ReadWrite});
    const auto before = support::allRows(*withComplex, "Table1");
    EXPECT_EQ(errorOf([&] { execute(*withComplex, "INSERT INTO Table1 (id) VALUES ('x')"); }),
              ErrorCode::NotSupported);
    EXPECT_EQ(support::allRows(*withComplex, "Table1"), before);
}

// INSERT INTO ... SELECT adds every row the query gives, each value converted as the literal
// that writes it would be, in one change: a row that does not fit leaves the table as it was.
TEST_F(InsertTest, insertSelectAddsEveryRowConvertedOrNone) {
    execute(*database,
            "CREATE TABLE S (Id COUNTER, Whole LONG, Cash CURRENCY, Word TEXT(20), "
            "Note MEMO, [When] DATETIME, Bytes BINARY(4))");
    const std::vector<std::string> values = {
        "1, 12.5, 'abc', 'short', #2001-02-03 04:05:06#, NULL",
        "-7, -0.0001, '12345', 'x', NULL, NULL",
        "NULL, NULL, NULL, NULL, NULL, NULL",
    };
    for (const auto& row : values) {
        execute(*database,
                "INSERT INTO S (Whole, Cash, Word, Note, [When], Bytes) VALUES (" + row + ")");
    }
    execute(*database,
            "INSERT INTO T (Measure, Amount, Label, Notes, Moment, Total, Price) "
            "SELECT Whole, Cash, Note, Word, [When], Cash AS Again, Whole AS W FROM S ORDER BY Id "
            "DESC");
    // Columns named as the table's fields go to them when no field list is given.
    execute(*database, "INSERT INTO T SELECT Whole AS Total, Word AS Label FROM S WHERE Id = 2");
    // A query that reads the table it fills reads it whole first.
    execute(*database, "INSERT INTO T (Total) SELECT Total FROM T WHERE Total IS NOT NULL");
    // Rounding halves to even: 12.5 is 12 as a Long; -0.0001 is 0 as a Long and 0.00 as a
    // Decimal(6, 2). Yes/No fields hold No where nothing is given.
    const Value no = false;
    EXPECT_EQ(support::sortedRows(support::allRows(*database, "T")),
              support::sortedRows(std::vector<std::vector<Value>>{
                  {int32_t(1), no, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}},
                  {int32_t(2),
                   no,
                   {},
                   {},
                   int32_t(0),
                   format::Currency{-70000},
                   {},
                   -7.0,
                   format::Decimal{false, 0, 0, 2},
                   {},
                   "x",
                   "12345",
                   {},
                   {}},
                  {int32_t(3),
                   no,
                   {},
                   {},
                   int32_t(12),
                   format::Currency{10000},
                   {},
                   1.0,
                   format::Decimal{false, 0, 1250, 2},
                   format::DateTime{36925.170208333335},
                   "short",
                   "abc",
                   {},
                   {}},
                  {int32_t(4), no, {}, {}, int32_t(-7), {}, {}, {}, {}, {}, "12345", {}, {}, {}},
                  {int32_t(5), no, {}, {}, int32_t(0), {}, {}, {}, {}, {}, {}, {}, {}, {}},
                  {int32_t(6), no, {}, {}, int32_t(12), {}, {}, {}, {}, {}, {}, {}, {}, {}},
                  {int32_t(7), no, {}, {}, int32_t(-7), {}, {}, {}, {}, {}, {}, {}, {}, {}},
              }));

    execute(*database, "INSERT INTO S (Word) VALUES ('longer than five')");
    const std::vector<Refused> refused = {
        {"INSERT INTO T SELECT Whole, Word FROM S", ErrorCode::UnknownInsertField},
        {"INSERT INTO T (Total) SELECT Whole, Word FROM S", ErrorCode::ValueCountMismatch},
        {"INSERT INTO T (Total, Small) SELECT Whole, Whole AS W FROM S",
         ErrorCode::NumericOverflow},
        {"INSERT INTO T (Label) SELECT Word FROM S", ErrorCode::FieldTooSmall},
        {"INSERT INTO T (Total) SELECT Word FROM S", ErrorCode::DataTypeMismatch},
        {"INSERT INTO T (Raw) SELECT Word FROM S", ErrorCode::DataTypeMismatch},
        {"INSERT INTO T (Total) SELECT Whole FROM Nowhere", ErrorCode::InputTableNotFound},
        {"INSERT INTO MSysObjects (Id) SELECT Id FROM S", ErrorCode::ReadOnly},
    };
    const auto before = support::sortedRows(support::allRows(*database, "T"));
    for (const auto& [statement, code] : refused) {
        EXPECT_EQ(errorOf([&] { execute(*database, statement); }), code) << statement;
        EXPECT_EQ(support::sortedRows(support::allRows(*database, "T")), before) << statement;
    }
    EXPECT_EQ(support::integrityProblems(*database), "");
}

TEST_F(InsertTest, dropTableRemovesOnlyTheTableNamed) {
    execute(*database, "CREATE TABLE U (a LONG)");
    execute(*database, "DROP TABLE t;");
    EXPECT_EQ(database->catalog().findTable("T"), nullptr);
    EXPECT_NE(database->catalog().findTable("U"), nullptr);
    EXPECT_EQ(errorOf([&] { execute(*database, "DROP TABLE T"); }), ErrorCode::TableNotFound);
    EXPECT_EQ(errorOf([&] { execute(*database, "DROP TABLE MSysACEs"); }), ErrorCode::NotSupported);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

// DELETE removes exactly the rows its condition holds for, as the same condition written in C++
// picks them, from a table of four indexes that spans many index pages: after each statement
// the file is sound, every index equals what its rows call for, and mdb-export reads the rows
// the engine reads.
TEST(DeleteStatement, removesTheRowsItsConditionHoldsForAndKeepsEveryIndex) {
    using catalog::NewColumn;
    using catalog::NewIndex;
    support::TempDir folder;
    const auto path = folder / "delete.mdb";
    auto database = Database::create(path, {.format = FileFormat::Jet4});
    database->createTable("Words",
                          {NewColumn{.name = "Id", .type = ColumnType::Long, .autoNumber = true},
                           NewColumn{.name = "Word", .type = ColumnType::Text, .size = 60},
                           NewColumn{.name = "Group", .type = ColumnType::Long},
                           NewColumn{.name = "Note", .type = ColumnType::Memo}},
                          {},
                          {NewIndex{.name = "PrimaryKey", .columns = {"Id"}, .primaryKey = true},
                           NewIndex{.name = "ByWord", .columns = {"Word"}},
                           NewIndex{.name = "ByGroupWord", .columns = {"Group", "Word"}},
                           NewIndex{.name = "ByNote", .columns = {"Note"}}});
    std::mt19937 random(17);
    int made = 0;
    database->insertRows("Words", [&](std::vector<Value>& row) {
        if (made++ == 3000) return false;
        std::string word;
        for (size_t letter = 0, length = 3 + random() % 30; letter < length; ++letter) {
            word += static_cast<char>('a' + random() % 26);
        }
        row = {Value(), Value(word), Value(static_cast<int32_t>(random() % 9)),
               random() % 4 == 0 ? Value() : Value(word + " noted")};
        return true;
    });

    using Row = std::vector<Value>;
    const auto id = [](const Row& row) { return std::get<int32_t>(row[0]); };
    const auto word = [](const Row& row) { return std::get<std::string>(row[1]); };
    const auto group = [](const Row& row) { return std::get<int32_t>(row[2]); };
    const std::vector<std::pair<std::string, std::function<bool(const Row&)>>> statements = {
        // Enough rows that every index is rewritten without them rather than edited row by row.
        {"DELETE FROM Words WHERE Id <= 1300", [&](const Row& row) { return id(row) <= 1300; }},
        {"DELETE * FROM [words] WHERE [Group] = 3 OR Word LIKE 'b*'",
         [&](const Row& row) { return group(row) == 3 || word(row)[0] == 'b'; }},
        {"DELETE FROM Words WHERE Note IS NULL AND NOT ([Group] < 5)",
         [&](const Row& row) { return row[3].index() == 0 && group(row) >= 5; }},
        {"DELETE FROM Words WHERE Word = 'no such word'", [](const Row&) { return false; }},
        {"DELETE FROM Words WHERE Id > 2900 OR Id = 1000",
         [&](const Row& row) { return id(row) > 2900 || id(row) == 1000; }},
    };
    auto expected = support::allRows(*database, "Words");
    for (const auto& [statement, goes] : statements) {
        SCOPED_TRACE(statement);
        std::erase_if(expected, goes);
        EXPECT_EQ(execute(*database, statement), nullptr);
        EXPECT_EQ(support::sortedRows(support::allRows(*database, "Words")),
                  support::sortedRows(expected));
        ASSERT_EQ(support::integrityProblems(*database), "");
        ASSERT_EQ(support::indexDifferences(*database, "Words"), "");
        // The primary key counts one key per row.
        EXPECT_EQ(database->tableDefinition("Words").realIndexes.at(0).uniqueEntryCount,
                  expected.size());
    }
    ASSERT_GT(expected.size(), 500u);
    database.reset();
    auto reopened = Database::open(path);
    const std::string exported = support::mdbExport(path, "Words");
    EXPECT_EQ(static_cast<size_t>(std::count(exported.begin(), exported.end(), '\n')),
              expected.size());
    for (const Row& row : expected) {
        EXPECT_NE(exported.find("\n" + std::to_string(id(row)) + "\x1f\"" + word(row) + "\x1f"),
                  std::string::npos)
            << word(row);
    }

    // Every row goes without a condition, and the table stays sound and empty.
    reopened.reset();
    database = Database::open(path, {.mode = AccessMode::ReadWrite});
    execute(*database, "DELETE FROM Words");
    EXPECT_TRUE(support::allRows(*database, "Words").empty());
    EXPECT_EQ(support::integrityProblems(*database), "");
    EXPECT_EQ(support::indexDifferences(*database, "Words"), "");
}

// A row that grew and moved within its own page (its home slot a pointer to a later slot of the
// same page, as files of other programs hold them) goes whole when deleted or stored anew:
// neither slot is left for a reader to find.
TEST(DeleteStatement, aRowMovedWithinItsPageGoesWhole) {
    support::TempDir folder;
    const auto path = folder / "moved.mdb";
    {
        auto database = Database::create(path, {.format = FileFormat::Jet4});
        execute(*database, "CREATE TABLE T (A LONG, B TEXT(40))");
        for (int number = 1; number <= 6; ++number) {
            execute(*database, "INSERT INTO T VALUES (" + std::to_string(number) + ", 'row " +
                                   std::to_string(number) + "')");
        }
    }
    // Rows 2, 4 and 6 move: a copy of each goes to a new slot of the page, flagged 0x8000
    // alone, and the home slot becomes a pointer to it (flag 0x4000).
    support::changePages(path, [](Database& database, format::PageAllocator&) {
        const auto definition = database.tableDefinition("T");
        const auto& jet = database.jetFormat();
        format::TableScan scan(database.pager(), jet, definition);
        std::vector<Value> row;
        while (scan.next(row)) {
            const int32_t number = std::get<int32_t>(row[0]);
            if (number % 2 != 0) continue;
            const format::RowLocation home = scan.location();
            storage::PageBuffer page = *database.pager().read(home.page);
            const auto stored =
                format::DataPageView(page, jet, home.page, "")
                    .rowBytes(format::DataPageView(page, jet, home.page, "").slot(home.row));
            const std::vector<uint8_t> copy(stored.begin(), stored.end());
            auto editor =
                format::DataPageEditor::copyOf(page, jet, home.page, "", definition.firstPage);
            const uint8_t moved = editor.appendRow(copy);
            page = editor.bytes();
            const size_t homeEntry = jet.dataRowTableOffset + 2u * home.row;
            const size_t movedEntry = jet.dataRowTableOffset + 2u * moved;
            const uint16_t start = storage::readU16LE(page, homeEntry) & 0x1FFF;
            page[start] = moved;
            storage::writeU24LE(page, start + 1u, home.page);
            storage::writeU16LE(page, homeEntry, storage::readU16LE(page, homeEntry) | 0x4000);
            storage::writeU16LE(page, movedEntry, storage::readU16LE(page, movedEntry) | 0x8000);
            database.pager().write(home.page, page);
        }
    });
    auto database = support::openForWriting(path);
    ASSERT_EQ(support::allRows(*database, "T").size(), 6u);
    execute(*database, "DELETE FROM T WHERE A = 2");
    execute(*database, "UPDATE T SET B = 'a longer text than before' WHERE A = 4");
    // A fixed field of a moved row changes where the row lives, not in its home slot.
    execute(*database, "UPDATE T SET A = 60 WHERE A = 6");
    std::vector<std::vector<Value>> expected;
    for (int32_t number : {1, 3, 4, 5, 6}) {
        expected.push_back(
            {number == 6 ? 60 : number, number == 4 ? std::string("a longer text than before")
                                                    : "row " + std::to_string(number)});
    }
    EXPECT_EQ(support::sortedRows(support::allRows(*database, "T")), support::sortedRows(expected));
    EXPECT_EQ(support::integrityProblems(*database), "");
    database.reset();
    const std::string exported = support::mdbExport(path, "T");
    EXPECT_EQ(static_cast<size_t>(std::count(exported.begin(), exported.end(), '\n')), 5u)
        << exported;
    EXPECT_EQ(exported.find("row 2"), std::string::npos);
}

// What DELETE refuses, it refuses before anything changes: the file's tables keep every row.
TEST(DeleteStatement, refusesTablesAndConditionsItCannotTakeAndChangesNothing) {
    support::TempDir folder;
    const auto related = folder.copyFixture("jet4/indexTestV2000.mdb");
    const auto complex = folder.copyFixture("ace12/complexDataTestV2007.accdb");
    const std::vector<std::tuple<std::filesystem::path, std::string, ErrorCode>> refused = {
        {related, "DELETE FROM Nobody", ErrorCode::InputTableNotFound},
        {related, "DELETE FROM MSysObjects", ErrorCode::ReadOnly},
        {related, "DELETE FROM MSysRelationships", ErrorCode::ReadOnly},
        {related, "DELETE FROM Table1 WHERE Nothing = 1", ErrorCode::UnknownField},
        {related, "DELETE FROM Table1 WHERE data = 1", ErrorCode::DataTypeMismatch},
        {related, "DELETE FROM Table1 WHERE data LIKE '[a'", ErrorCode::WhereSyntax},
        // Other tables' rows refer to these through relationships.
        {related, "DELETE FROM Table2", ErrorCode::NotSupported},
        {related, "DELETE FROM table3 WHERE id = 10", ErrorCode::NotSupported},
        {complex, "DELETE FROM Table1", ErrorCode::NotSupported},
    };
    for (const auto& [path, statement, code] : refused) {
        auto database = Database::open(path, {.mode = AccessMode::ReadWrite});
        std::map<std::string, std::vector<std::string>> before;
        for (const char* table : {"Table1", "Table2", "Table3"}) {
            if (database->findInTables(table)) {
                before[table] = support::sortedRows(support::allRows(*database, table));
            }
        }
        EXPECT_EQ(errorOf([&] { execute(*database, statement); }), code) << statement;
        for (const auto& [table, rows] : before) {
            EXPECT_EQ(support::sortedRows(support::allRows(*database, table)), rows) << statement;
        }
    }
    // The table that refers to the others may lose rows.
    auto database = Database::open(related, {.mode = AccessMode::ReadWrite});
    execute(*database, "DELETE FROM Table1 WHERE otherfk2 = 11");
    EXPECT_EQ(support::allRows(*database, "Table1").size(), 2u);
    EXPECT_EQ(support::integrityProblems(*database), "");
    EXPECT_EQ(support::indexDifferences(*database, "Table1"), "");
}

// UPDATE changes exactly the fields named in exactly the rows its condition holds for, as the
// same change written in C++ makes it, keeping every index exact; a unique index refuses a key
// twice and the whole statement then changes nothing.
TEST(UpdateStatement, changesTheRowsItsConditionHoldsForAndKeepsEveryIndex) {
    using catalog::NewColumn;
    using catalog::NewIndex;
    support::TempDir folder;
    const auto path = folder / "update.accdb";
    auto database = Database::create(path, {.format = FileFormat::Ace16});
    database->createTable(
        "Stock",
        {NewColumn{.name = "Id", .type = ColumnType::Long, .autoNumber = true},
         NewColumn{.name = "Code", .type = ColumnType::Text, .size = 12},
         NewColumn{.name = "Shelf", .type = ColumnType::Long},
         NewColumn{.name = "Price", .type = ColumnType::Currency},
         NewColumn{.name = "Note", .type = ColumnType::Memo}},
        {},
        {NewIndex{.name = "PrimaryKey", .columns = {"Id"}, .primaryKey = true},
         NewIndex{.name = "ByCode", .columns = {"Code"}, .unique = true, .ignoreNulls = true},
         NewIndex{.name = "ByShelfPrice", .columns = {"Shelf", "Price"}}});
    int made = 0;
    database->insertRows("Stock", [&](std::vector<Value>& row) {
        if (made++ == 2000) return false;
        row = {Value(), Value("C" + std::to_string(made)), Value(static_cast<int32_t>(made % 13)),
               Value(format::Currency{made * 1250}),
               made % 5 == 0 ? Value() : Value(std::string(made % 700, 'n'))};
        return true;
    });

    using Row = std::vector<Value>;
    const auto id = [](const Row& row) { return std::get<int32_t>(row[0]); };
    const auto shelf = [](const Row& row) { return std::get<int32_t>(row[2]); };
    struct Step {
        std::string statement;
        std::function<bool(const Row&)> matches;
        std::function<void(Row&)> change;
    };
    const std::vector<Step> steps = {
        {"UPDATE Stock SET Shelf = 40, Price = 1.5 WHERE Shelf = 3",
         [&](const Row& row) { return shelf(row) == 3; },
         [](Row& row) {
             row[2] = Value(int32_t{40});
             row[3] = Value(format::Currency{15000});
         }},
        {"UPDATE [stock] SET Note = 'moved' WHERE Id < 100 OR Note IS NULL",
         [&](const Row& row) { return id(row) < 100 || row[4].index() == 0; },
         [](Row& row) { row[4] = Value(std::string("moved")); }},
        {"UPDATE Stock SET Code = NULL WHERE Shelf > 10 AND NOT (Id > 1500)",
         [&](const Row& row) { return shelf(row) > 10 && id(row) <= 1500; },
         [](Row& row) { row[1] = Value(); }},
        {"UPDATE Stock SET Code = 'only' WHERE Id = 1999",
         [&](const Row& row) { return id(row) == 1999; },
         [](Row& row) { row[1] = Value(std::string("only")); }},
        {"UPDATE Stock SET Shelf = 0", [](const Row&) { return true; },
         [](Row& row) { row[2] = Value(int32_t{0}); }},
        // Many rows' keys change: their indexes are rewritten whole, NULLs left out of the one
        // that ignores them.
        {"UPDATE Stock SET Code = NULL WHERE Id > 500 AND Id < 1900",
         [&](const Row& row) { return id(row) > 500 && id(row) < 1900; },
         [](Row& row) { row[1] = Value(); }},
    };
    auto expected = support::allRows(*database, "Stock");
    for (const Step& step : steps) {
        SCOPED_TRACE(step.statement);
        for (Row& row : expected) {
            if (step.matches(row)) step.change(row);
        }
        EXPECT_EQ(execute(*database, step.statement), nullptr);
        EXPECT_EQ(support::sortedRows(support::allRows(*database, "Stock")),
                  support::sortedRows(expected));
        ASSERT_EQ(support::integrityProblems(*database), "");
        ASSERT_EQ(support::indexDifferences(*database, "Stock"), "");
    }

    // Rows whose new values take the bytes of the old are rewritten where they are: a change of
    // every row's fixed fields leaves the file no larger.
    const auto pages = database->pager().pageCount();
    EXPECT_EQ(execute(*database, "UPDATE Stock SET Price = 2, Shelf = 5"), nullptr);
    for (Row& row : expected) {
        row[2] = Value(int32_t{5});
        row[3] = Value(format::Currency{20000});
    }
    EXPECT_EQ(database->pager().pageCount(), pages);
    EXPECT_EQ(support::indexDifferences(*database, "Stock"), "");

    // Two rows may not take one code, nor a row the code another keeps; nothing changes then.
    for (const char* twice : {"UPDATE Stock SET Code = 'same' WHERE Id = 1 OR Id = 2",
                              "UPDATE Stock SET Code = 'only' WHERE Id = 7",
                              "UPDATE Stock SET Code = 'many' WHERE Id < 1500"}) {
        EXPECT_EQ(errorOf([&] { execute(*database, twice); }), ErrorCode::DuplicateKey) << twice;
        EXPECT_EQ(support::sortedRows(support::allRows(*database, "Stock")),
                  support::sortedRows(expected));
    }
    database.reset();
    EXPECT_EQ(support::integrityProblems(path), "");
    const std::string exported = support::mdbExport(path, "Stock");
    EXPECT_EQ(static_cast<size_t>(std::count(exported.begin(), exported.end(), '\n')),
              expected.size());
    EXPECT_NE(exported.find("\"only\x1f"
                            "5\x1f"),
              std::string::npos)
        << exported.substr(0, 300);
}

// A row that no longer fits its place is stored anew, and its old place goes, also when the new
// one is on the page where rows are being added (a small table's only page): no row is left
// twice. Rows stored before a field was added are stored anew in the table's new shape.
TEST(UpdateStatement, rowsStoredAnewLeaveNoCopyBehind) {
    support::TempDir folder;
    for (const auto format : {FileFormat::Jet3, FileFormat::Jet4, FileFormat::Ace12}) {
        SCOPED_TRACE(std::string(storage::formatName(format)));
        const auto path = folder / ("moved" + std::to_string(int(format)) + ".mdb");
        auto database = Database::create(path, {.format = format});
        execute(*database, "CREATE TABLE T (A LONG, B TEXT(40), C CURRENCY)");
        std::vector<std::vector<Value>> expected;
        for (int32_t number = 1; number <= 30; ++number) {
            execute(*database, "INSERT INTO T VALUES (" + std::to_string(number) + ", 'city" +
                                   std::to_string(number % 4) + "', " + std::to_string(number) +
                                   ")");
            expected.push_back(
                {number, "city" + std::to_string(number % 4), format::Currency{number * 10000}});
        }
        execute(*database, "CREATE INDEX ByB ON T (B, C DESC)");
        execute(*database, "UPDATE T SET B = 'a much longer name of a city' WHERE C > 20");
        for (auto& row : expected) {
            if (std::get<format::Currency>(row[2]).scaled > 200000) {
                row[1] = std::string("a much longer name of a city");
            }
        }
        EXPECT_EQ(support::sortedRows(support::allRows(*database, "T")),
                  support::sortedRows(expected));
        execute(*database, "ALTER TABLE T ADD COLUMN D YESNO");
        execute(*database, "UPDATE T SET D = TRUE WHERE C <= 10");
        for (auto& row : expected) {
            row.push_back(std::get<format::Currency>(row[2]).scaled <= 100000);
        }
        EXPECT_EQ(support::sortedRows(support::allRows(*database, "T")),
                  support::sortedRows(expected));
        // Fixed fields change in the stored row, which comes out as writing the row whole
        // would make it: NULLs leave zeros, and Yes/No lives in the null mask. A row stored
        // before D was added (11 to 25) is stored anew in the table's shape.
        execute(*database, "UPDATE T SET C = NULL, D = FALSE WHERE A > 25");
        execute(*database, "UPDATE T SET A = NULL, D = NULL WHERE A < 3");
        execute(*database, "UPDATE T SET C = -7.5, D = TRUE WHERE A >= 3 AND A < 6 OR A = 15");
        for (auto& row : expected) {
            const int32_t number = std::get<int32_t>(row[0]);
            if (number > 25) row[2] = Value(), row[3] = false;
            if (number < 3) row[0] = Value(), row[3] = false;
            if ((number >= 3 && number < 6) || number == 15) {
                row[2] = format::Currency{-75000}, row[3] = true;
            }
        }
        EXPECT_EQ(support::sortedRows(support::allRows(*database, "T")),
                  support::sortedRows(expected));
        const auto definition = database->tableDefinition("T");
        const format::RowEncoder encoder(database->jetFormat(), definition);
        const std::vector<format::ByteString> noLongValues(definition.columns.size());
        format::TableScan scan(database->pager(), database->jetFormat(), definition);
        std::vector<Value> row;
        std::vector<uint8_t> whole;
        size_t compared = 0;
        while (scan.next(row)) {
            encoder.encode(row, noLongValues, whole, 1);
            if (scan.rowBytes()[0] != whole[0]) continue;  // a row of the shape before D
            ++compared;
            EXPECT_TRUE(std::ranges::equal(scan.rowBytes(), whole)) << scan.location().page;
        }
        EXPECT_EQ(compared, 16u);  // 1 to 10, 15, 26 to 30
        EXPECT_EQ(support::integrityProblems(*database), "");
        EXPECT_EQ(support::indexDifferences(*database, "T"), "");
        database.reset();
        const std::string exported = support::mdbExport(path, "T");
        EXPECT_EQ(static_cast<size_t>(std::count(exported.begin(), exported.end(), '\n')), 30u);
        EXPECT_NE(exported.find("-7.5"), std::string::npos) << exported;
    }
}

// What UPDATE refuses, it refuses before anything changes.
TEST_F(InsertTest, updateRefusesFieldsAndValuesItCannotTakeAndChangesNothing) {
    execute(*database, "INSERT INTO T (Small, Label) VALUES (1, 'one')");
    support::TempDir other;
    const auto related = other.copyFixture("jet4/indexTestV2000.mdb");
    const auto complex = other.copyFixture("ace12/complexDataTestV2007.accdb");
    const std::vector<Refused> refused = {
        {"UPDATE T SET Small = 256", ErrorCode::NumericOverflow},
        {"UPDATE T SET Label = 'toolong'", ErrorCode::FieldTooSmall},
        {"UPDATE T SET Total = '1'", ErrorCode::DataTypeMismatch},
        {"UPDATE T SET Nothing = 1", ErrorCode::UnknownField},
        {"UPDATE T SET Small = 1, small = 2", ErrorCode::DuplicateField},
        {"UPDATE T SET Id = 5", ErrorCode::FieldNotUpdatable},
        {"UPDATE T SET Small = 2 WHERE Label = 1", ErrorCode::DataTypeMismatch},
        {"UPDATE T SET Small = 2 WHERE Nothing = 1", ErrorCode::UnknownField},
        {"UPDATE Nobody SET a = 1", ErrorCode::InputTableNotFound},
        {"UPDATE MSysObjects SET Id = 1", ErrorCode::ReadOnly},
    };
    const auto before = support::allRows(*database, "T");
    for (const auto& [statement, code] : refused) {
        EXPECT_EQ(errorOf([&] { execute(*database, statement); }), code) << statement;
    }
    EXPECT_EQ(support::allRows(*database, "T"), before);
    execute(*database, "UPDATE T SET Small = 2, Label = NULL WHERE Label = 'ONE'");
    const auto after = support::allRows(*database, "T");
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0][2], Value(uint8_t{2}));
    EXPECT_EQ(after[0][10], Value());

    // Fields a relationship joins on, on either side, and tables with complex fields.
    auto withRelationships = Database::open(related, {.mode = AccessMode::ReadWrite});
    const auto rows = support::allRows(*withRelationships, "Table1");
    EXPECT_EQ(errorOf([&] { execute(*withRelationships, "UPDATE Table1 SET otherfk1 = 2"); }),
              ErrorCode::NotSupported);
    EXPECT_EQ(errorOf([&] { execute(*withRelationships, "UPDATE Table2 SET id = 9"); }),
              ErrorCode::NotSupported);
    EXPECT_EQ(support::allRows(*withRelationships, "Table1"), rows);
    execute(*withRelationships, "UPDATE Table1 SET data = 'changed' WHERE id = 1");
    EXPECT_EQ(support::integrityProblems(*withRelationships), "");
    EXPECT_EQ(support::indexDifferences(*withRelationships, "Table1"), "");
    auto withComplex = Database::open(complex, {.mode = AccessMode::ReadWrite});
    EXPECT_EQ(errorOf([&] { execute(*withComplex, "UPDATE Table1 SET id = 'x'"); }),
              ErrorCode::NotSupported);
}

}  // namespace
}  // namespace engine::sql

// Running SELECT statements: which rows a WHERE keeps, what a select list makes of the columns,
// DISTINCT, make-table copies, and where the source and destination files come from.
#include "engine/sql/executor.h"

#include "support/engine_files.h"
#include "support/fixtures.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <set>

namespace engine::sql {
namespace {

using catalog::NewColumn;
using format::ColumnType;
using format::Value;
using storage::FileFormat;
using support::errorOf;

format::Guid guidOf(uint8_t first) {
    format::Guid guid;
    guid.bytes.fill(0x11);
    guid.bytes[0] = first;
    return guid;
}

// People: eight rows whose values each WHERE case below tells apart.
class ExecutorTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = folder / "people.mdb";
        database = Database::create(path, {.format = FileFormat::Jet4});
        const std::vector<NewColumn> columns = {
            {.name = "Id", .type = ColumnType::Long, .autoNumber = true},
            {.name = "Name", .type = ColumnType::Text, .size = 50},
            {.name = "Amount", .type = ColumnType::Currency},
            {.name = "Ratio", .type = ColumnType::Double},
            {.name = "Born", .type = ColumnType::DateTime},
            {.name = "Active", .type = ColumnType::Boolean},
            {.name = "Code", .type = ColumnType::Guid},
            {.name = "Big", .type = ColumnType::Numeric, .precision = 20, .scale = 4},
            {.name = "Notes", .type = ColumnType::Memo},
            {.name = "Raw", .type = ColumnType::Binary, .size = 10},
        };
        using format::Currency;
        using format::DateTime;
        using format::Decimal;
        const std::vector<std::vector<Value>> rows = {
            {{},
             "Ann",
             Currency{1000},
             0.1,
             DateTime{36000},
             true,
             guidOf(1),
             Decimal{false, 0, 12345678901234560001u, 4},
             "room 12",
             format::ByteString{1}},
            {{}, "ANN", Currency{1001}, 0.3, DateTime{36526}, false, guidOf(2), {}, "", {}},
            {{},
             "Bob",
             Currency{-5000000},
             -2.5,
             DateTime{37000.5},
             true,
             {},
             Decimal{true, 0, 1, 4},
             std::string(5000, 'x'),
             {}},
            {{}, "ann", {}, {}, {}, false, {}, {}, {}, {}},
            {{}, {}, Currency{990000}, 1e300, DateTime{-1}, true, guidOf(1), {}, "n/a", {}},
            {{}, "Zoë", Currency{0}, 0.0, DateTime{36526.25}, true, {}, {}, {}, {}},
            {{}, "zoe", Currency{1000000}, 7.0, DateTime{2958465}, false, {}, {}, "R2D2", {}},
            {{}, "[x]*", Currency{1}, 100.0, {}, false, {}, {}, {}, {}},
        };
        database->createTable("People", columns, support::RowFeed(rows));
    }

    std::set<int32_t> idsWhere(const std::string& condition) {
        auto rows = execute(*database, "SELECT Id FROM People AS p WHERE " + condition);
        std::set<int32_t> ids;
        for (std::vector<Value> row; rows->next(row);) ids.insert(std::get<int32_t>(row.at(0)));
        return ids;
    }

    std::vector<std::vector<Value>> rowsOf(const std::string& statement) {
        auto rows = execute(*database, statement);
        std::vector<std::vector<Value>> all;
        for (std::vector<Value> row; rows->next(row);) all.push_back(row);
        return all;
    }

    support::TempDir folder;
    std::filesystem::path path;
    std::unique_ptr<Database> database;
};

TEST_F(ExecutorTest, whereKeepsTheRowsTheConditionHoldsFor) {
    const std::vector<std::pair<std::string, std::set<int32_t>>> cases = {
        {"Name = 'ann'", {1, 2, 4}},
        {"Name <> 'ANN'", {3, 6, 7, 8}},
        {"Name > 'b' AND Name < 'Z'", {3}},
        {"Name IS NULL", {5}},
        {"Name IS NOT NULL AND NOT Name = 'Bob'", {1, 2, 4, 6, 7, 8}},
        {"Name = 'zoë'", {6}},
        {"Amount = 0.1", {1}},
        {"Amount = .1001", {2}},
        {"Amount > 0.1 AND Amount <= 100", {2, 5, 7}},
        {"Amount < 0", {3}},
        {"Amount = 0", {6}},
        {"Ratio = 0.1", {1}},
        {"Ratio >= 7 AND Ratio < 1E301", {5, 7, 8}},
        {"Ratio = 7", {7}},
        {"Big = 1234567890123456.0001", {1}},
        {"Big > 1234567890123456", {1}},
        {"Big < 0", {3}},
        {"Born < #2000-01-01#", {1, 5}},
        {"Born = #2000-01-01#", {2}},
        {"Born = 36526.25", {6}},
        {"Born >= #12/31/9999#", {7}},
        {"Born = #1899-12-29#", {5}},
        {"Active", {1, 3, 5, 6}},
        {"NOT Active", {2, 4, 7, 8}},
        {"Active = TRUE", {1, 3, 5, 6}},
        {"Active = -1 AND Active <> 0", {1, 3, 5, 6}},
        {"Active = Id", {}},
        {"Code = {guid {11111101-1111-1111-1111-111111111111}}", {1, 5}},
        {"Code <> {guid {11111101-1111-1111-1111-111111111111}}", {2}},
        {"Name LIKE 'a*'", {1, 2, 4}},
        {"Name LIKE 'zo?'", {6, 7}},
        {"Name NOT LIKE '*n'", {3, 6, 7, 8}},
        {"Name LIKE '[[]x]*'", {8}},
        {"Notes LIKE '*[0-9]*'", {1, 7}},
        {"Notes LIKE 'x*'", {3}},
        {"Notes = ''", {2}},
        {"Id > 6 OR Name IS NULL", {5, 7, 8}},
        {"NOT (Amount > 1)", {1, 2, 3, 6, 8}},
        {"Amount > 1 OR Amount IS NULL", {4, 5, 7}},
        {"(Amount > 1) = FALSE", {1, 2, 3, 6, 8}},
        {"1 = 1", {1, 2, 3, 4, 5, 6, 7, 8}},
        {"NULL", {}},
        {"Id = NULL", {}},
        {"NOT Id = NULL", {}},
        {"Id", {1, 2, 3, 4, 5, 6, 7, 8}},
        {"p.Id = 3 OR [p].[Name] = 'bob'", {3}},
        {"ID = 3 AND name = 'BOB'", {3}},
    };
    for (const auto& [condition, expected] : cases) {
        EXPECT_EQ(idsWhere(condition), expected) << condition;
    }
}

TEST_F(ExecutorTest, conditionsThatCannotHoldAreRefusedBeforeAnyRowIsRead) {
    const std::vector<std::pair<std::string, ErrorCode>> cases = {
        {"Name = 1", ErrorCode::DataTypeMismatch},
        {"Amount = 'x'", ErrorCode::DataTypeMismatch},
        {"Born = 'x'", ErrorCode::DataTypeMismatch},
        {"Code = 'x'", ErrorCode::DataTypeMismatch},
        {"Code = 1", ErrorCode::DataTypeMismatch},
        {"Raw = Raw", ErrorCode::DataTypeMismatch},
        {"Name", ErrorCode::DataTypeMismatch},
        {"'x'", ErrorCode::DataTypeMismatch},
        {"Amount LIKE '1*'", ErrorCode::DataTypeMismatch},
        {"Name LIKE 1", ErrorCode::DataTypeMismatch},
        {"Name LIKE 'a[b'", ErrorCode::WhereSyntax},
        {"Missing = 1", ErrorCode::UnknownField},
        {"People.Id = 1", ErrorCode::UnknownField},  // with an alias, the alias names the table
        {"q.Id = 1", ErrorCode::UnknownField},
    };
    for (const auto& [condition, code] : cases) {
        EXPECT_EQ(errorOf([&] { idsWhere(condition); }), code) << condition;
        EXPECT_EQ(errorOf([&] {
                      execute(*database, "SELECT * INTO Made FROM People AS p WHERE " + condition);
                  }),
                  code)
            << condition;
        EXPECT_EQ(database->catalog().findTable("Made"), nullptr);
    }
    // Without an alias, the table's own name qualifies its fields.
    auto rows = execute(*database, "SELECT people.Name FROM People WHERE People.Id = 3");
    std::vector<Value> row;
    ASSERT_TRUE(rows->next(row));
    EXPECT_EQ(row, std::vector<Value>{"Bob"});
}

TEST_F(ExecutorTest, selectListsNameAndOrderTheColumns) {
    auto rows = execute(*database,
                        "SELECT Name AS Who, p.Id, Name, Amount AS [Sum total] "
                        "FROM People AS p WHERE Id <= 2");
    EXPECT_EQ(rows->columnNames(), (std::vector<std::string>{"Who", "Id", "Name", "Sum total"}));
    std::vector<Value> row;
    ASSERT_TRUE(rows->next(row));
    EXPECT_EQ(row, (std::vector<Value>{"Ann", int32_t(1), "Ann", format::Currency{1000}}));
    ASSERT_TRUE(rows->next(row));
    EXPECT_EQ(row, (std::vector<Value>{"ANN", int32_t(2), "ANN", format::Currency{1001}}));
    EXPECT_FALSE(rows->next(row));

    EXPECT_EQ(rowsOf("SELECT p.*, Id AS Again FROM People AS p").at(2).size(), 11u);
    EXPECT_EQ(rowsOf("SELECT People.* FROM People").size(), 8u);

    const std::vector<std::pair<std::string, ErrorCode>> refused = {
        {"SELECT Id, ID FROM People", ErrorCode::DuplicateField},
        {"SELECT Name, Id AS name FROM People", ErrorCode::DuplicateField},
        {"SELECT *, Name FROM People", ErrorCode::DuplicateField},
        {"SELECT q.* FROM People AS p", ErrorCode::UnknownField},
        {"SELECT People.* FROM People AS p", ErrorCode::UnknownField},
        {"SELECT Nobody FROM People", ErrorCode::UnknownField},
        {"SELECT 1 FROM People", ErrorCode::NotSupported},
        {"SELECT Id = 1 FROM People", ErrorCode::NotSupported},
        {"SELECT * FROM Nobody", ErrorCode::InputTableNotFound},
    };
    for (const auto& [statement, code] : refused) {
        EXPECT_EQ(errorOf([&] { execute(*database, statement); }), code) << statement;
    }
}

TEST_F(ExecutorTest, distinctCountsRowsEqualApartFromLetterCaseOnce) {
    auto names = rowsOf("SELECT DISTINCT Name FROM People");
    std::vector<Value> expected = {"Ann", "Bob", Value(), "Zoë", "zoe", "[x]*"};
    ASSERT_EQ(names.size(), expected.size());
    for (size_t index = 0; index < names.size(); ++index) {
        EXPECT_EQ(names[index].at(0), expected[index]);
    }
    EXPECT_EQ(rowsOf("SELECT DISTINCT Active FROM People").size(), 2u);
    EXPECT_EQ(rowsOf("SELECT DISTINCT Name, Active FROM People").size(), 7u);
    EXPECT_EQ(rowsOf("SELECT DISTINCT Code FROM People").size(), 3u);
    EXPECT_EQ(rowsOf("SELECT DISTINCT * FROM People").size(), 8u);

    execute(*database, "SELECT DISTINCT Name AS Who INTO Names FROM People WHERE Name LIKE 'a*'");
    EXPECT_EQ(support::allRows(*database, "Names"), (std::vector<std::vector<Value>>{{"Ann"}}));
}

TEST_F(ExecutorTest, orderBySortsAsTheProductAndTopKeepsTies) {
    auto idsOf = [this](const std::string& statement) {
        std::vector<int32_t> ids;
        for (const auto& row : rowsOf(statement)) ids.push_back(std::get<int32_t>(row.at(0)));
        return ids;
    };
    // NULL first; letter case does not count, ties keep the table's order; an accented letter
    // sorts after its plain one, never after z.
    EXPECT_EQ(idsOf("SELECT Id FROM People ORDER BY Name"),
              (std::vector<int32_t>{5, 8, 1, 2, 4, 3, 7, 6}));
    EXPECT_EQ(idsOf("SELECT Id FROM People ORDER BY Amount DESC, Id"),
              (std::vector<int32_t>{7, 5, 2, 1, 8, 6, 3, 4}));
    EXPECT_EQ(idsOf("SELECT Id FROM People WHERE Active ORDER BY Born DESC"),
              (std::vector<int32_t>{3, 6, 1, 5}));
    EXPECT_EQ(idsOf("SELECT Id FROM People ORDER BY Active, Big DESC, Name"),
              (std::vector<int32_t>{1, 3, 5, 6, 8, 2, 4, 7}));
    // A sort key need not be selected, and may be a result column's name.
    EXPECT_EQ(rowsOf("SELECT Name AS Who FROM People WHERE Id < 4 ORDER BY Who DESC"),
              (std::vector<std::vector<Value>>{{"Bob"}, {"Ann"}, {"ANN"}}));
    // Every sort gives the same rows as the plain query, and DESC the reverse of ASC where
    // no two rows sort alike.
    for (const char* column : {"Id", "Amount", "Ratio", "Born", "Code", "Big", "Notes"}) {
        const std::string plain = std::string("SELECT Id FROM People ORDER BY ") + column;
        auto ascending = idsOf(plain);
        auto descending = idsOf(plain + " DESC, Id DESC");
        std::reverse(descending.begin(), descending.end());
        EXPECT_EQ(idsOf(plain + ", Id"), descending) << column;
        std::sort(ascending.begin(), ascending.end());
        EXPECT_EQ(ascending, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8})) << column;
    }

    EXPECT_EQ(idsOf("SELECT TOP 3 Id FROM People"), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(idsOf("SELECT TOP 100 Id FROM People WHERE Id > 6"), (std::vector<int32_t>{7, 8}));
    // Ann, ANN and ann sort alike: TOP 3 keeps all three after NULL and [x]*.
    EXPECT_EQ(idsOf("SELECT TOP 3 Id FROM People ORDER BY Name"),
              (std::vector<int32_t>{5, 8, 1, 2, 4}));
    // Yes is -1 and sorts before No.
    EXPECT_EQ(idsOf("SELECT TOP 2 Id FROM People ORDER BY Active DESC, Id DESC"),
              (std::vector<int32_t>{8, 7}));
}

TEST_F(ExecutorTest, aggregatesSummariseEachGroup) {
    auto all = support::allRows(*database, "People");
    // The figures, computed here from the rows for each value of Active.
    for (bool active : {false, true}) {
        int32_t rows = 0, names = 0;
        int64_t cents = 0;
        double ratios = 0;
        int32_t ratioCount = 0;
        std::optional<double> firstBorn;
        for (const auto& row : all) {
            if (std::get<bool>(row[5]) != active) continue;
            ++rows;
            if (!format::isNull(row[1])) ++names;
            if (const auto* amount = std::get_if<format::Currency>(&row[2])) {
                cents += amount->scaled;
            }
            if (const auto* ratio = std::get_if<double>(&row[3])) {
                ratios += *ratio;
                ++ratioCount;
            }
            if (const auto* born = std::get_if<format::DateTime>(&row[4])) {
                firstBorn = std::min(firstBorn.value_or(born->days), born->days);
            }
        }
        auto result = rowsOf(std::string("SELECT COUNT(*) AS N, Count(Name), SUM(Amount), "
                                         "AVG(Ratio), MIN(Born), Active FROM People WHERE "
                                         "Active = ") +
                             (active ? "TRUE" : "FALSE") + " GROUP BY Active");
        ASSERT_EQ(result.size(), 1u);
        EXPECT_EQ(result[0],
                  (std::vector<Value>{rows, names, format::Currency{cents}, ratios / ratioCount,
                                      format::DateTime{*firstBorn}, active}));
    }
    auto named = execute(*database, "SELECT COUNT(*) AS N, SUM(Id), Max(Name) FROM People");
    EXPECT_EQ(named->columnNames(), (std::vector<std::string>{"N", "Expr1000", "Expr1001"}));
    std::vector<Value> row;
    ASSERT_TRUE(named->next(row));
    EXPECT_EQ(row, (std::vector<Value>{int32_t(8), int64_t(36), "Zoë"}));
    EXPECT_FALSE(named->next(row));

    // Over no rows: one row, counts 0 and the rest NULL; grouped, no row at all.
    EXPECT_EQ(rowsOf("SELECT COUNT(*), SUM(Ratio), MIN(Name) FROM People WHERE Id > 99"),
              (std::vector<std::vector<Value>>{{int32_t(0), Value(), Value()}}));
    EXPECT_TRUE(rowsOf("SELECT Name, COUNT(*) FROM People WHERE Id > 99 GROUP BY Name").empty());

    // Groups count letter case as one and come in their fields' order; ORDER BY and TOP work
    // on the groups.
    EXPECT_EQ(rowsOf("SELECT Name, COUNT(*) FROM People WHERE Id < 5 GROUP BY Name"),
              (std::vector<std::vector<Value>>{{"Ann", int32_t(3)}, {"Bob", int32_t(1)}}));
    EXPECT_EQ(rowsOf("SELECT TOP 1 Active, COUNT(*) AS N FROM People GROUP BY Active "
                     "ORDER BY COUNT(*) DESC"),
              (std::vector<std::vector<Value>>{{true, int32_t(4)}, {false, int32_t(4)}}));
    EXPECT_EQ(rowsOf("SELECT DISTINCT COUNT(*) FROM People GROUP BY Active"),
              (std::vector<std::vector<Value>>{{int32_t(4)}}));

    const std::vector<std::pair<std::string, ErrorCode>> refused = {
        {"SELECT Name, COUNT(*) FROM People", ErrorCode::NotAggregated},
        {"SELECT Name FROM People GROUP BY Active", ErrorCode::NotAggregated},
        {"SELECT Active FROM People GROUP BY Active ORDER BY Name", ErrorCode::NotAggregated},
        {"SELECT * FROM People GROUP BY Active", ErrorCode::GroupOnStar},
        {"SELECT DISTINCT Name FROM People ORDER BY Id", ErrorCode::OrderByDistinct},
        {"SELECT Id FROM People ORDER BY Raw", ErrorCode::CannotSort},
        {"SELECT MAX(Raw) FROM People", ErrorCode::CannotSort},
        {"SELECT COUNT(*) FROM People GROUP BY Raw", ErrorCode::CannotSort},
        {"SELECT SUM(Name) FROM People", ErrorCode::DataTypeMismatch},
        {"SELECT AVG(Code) FROM People", ErrorCode::DataTypeMismatch},
        {"SELECT COUNT(*) AS Id, Id FROM People GROUP BY Id", ErrorCode::DuplicateField},
        {"SELECT Id FROM People ORDER BY Nobody", ErrorCode::UnknownField},
        {"SELECT SUM(Nobody) FROM People", ErrorCode::UnknownField},
        {"SELECT TOP 2 * INTO Copy FROM People", ErrorCode::NotSupported},
        {"SELECT Name INTO Copy FROM People ORDER BY Name", ErrorCode::NotSupported},
    };
    for (const auto& [statement, code] : refused) {
        EXPECT_EQ(errorOf([&] { execute(*database, statement); }), code) << statement;
    }
    EXPECT_EQ(database->catalog().findTable("Copy"), nullptr);
}

TEST_F(ExecutorTest, makeTableCopiesTheSelectedColumnsAndRows) {
    execute(*database,
            "SELECT Name AS Who, Id, Big, Notes INTO Picked FROM People "
            "WHERE Active = FALSE");
    const auto definition = database->tableDefinition("Picked");
    ASSERT_EQ(definition.columns.size(), 4u);
    EXPECT_EQ(definition.columns[0].name, "Who");
    EXPECT_EQ(definition.columns[0].type, ColumnType::Text);
    EXPECT_EQ(definition.columns[0].length, 100);
    EXPECT_EQ(definition.columns[1].type, ColumnType::Long);
    EXPECT_FALSE(definition.columns[1].isAutoNumber());
    EXPECT_EQ(definition.columns[2].precision, 20);
    EXPECT_EQ(definition.columns[2].scale, 4);
    EXPECT_EQ(definition.columns[3].type, ColumnType::Memo);
    EXPECT_TRUE(definition.realIndexes.empty());

    const auto rows = support::allRows(*database, "Picked");
    std::vector<int32_t> ids;
    for (const auto& row : rows) ids.push_back(std::get<int32_t>(row[1]));
    EXPECT_EQ(ids, (std::vector<int32_t>{2, 4, 7, 8}));
    EXPECT_EQ(rows[0], (std::vector<Value>{"ANN", int32_t(2), Value(), ""}));

    // The whole table: the AutoNumber column arrives as plain numbers, kept.
    execute(*database, "SELECT a.* INTO [All of them] FROM People a");
    EXPECT_EQ(support::allRows(*database, "All of them"), support::allRows(*database, "People"));
    EXPECT_EQ(support::mdbExport(path, "All of them"), support::mdbExport(path, "People"));
    EXPECT_EQ(errorOf([&] { execute(*database, "SELECT * INTO picked FROM People"); }),
              ErrorCode::TableExists);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

TEST_F(ExecutorTest, sourcesAndDestinationsInOtherFiles) {
    const auto other = folder / "other.accdb";
    Database::create(other, {.format = FileFormat::Ace14})
        ->createTable("Numbers", {{.name = "N", .type = ColumnType::Long}},
                      support::RowFeed({{int32_t(1)}, {int32_t(2)}, {int32_t(3)}}));
    const std::string otherSource = "[MS Access;DATABASE=" + other.string() + "].[Numbers]";

    // From another file into this one, and from this one into another.
    execute(*database, "SELECT * INTO Numbers FROM " + otherSource + " WHERE N >= 2");
    EXPECT_EQ(support::allRows(*database, "Numbers"),
              (std::vector<std::vector<Value>>{{int32_t(2)}, {int32_t(3)}}));
    execute(*database, "SELECT Name INTO Names IN '" + other.string() + "' FROM People");
    // From the other file into itself, through this database's statement.
    execute(*database, "SELECT N AS M INTO Again IN '" + other.string() + "' FROM " + otherSource);
    // This file named by another spelling is the database itself.
    std::filesystem::create_directory(folder / "sub");
    const std::string self = (folder / "sub" / ".." / "people.mdb").string();
    execute(*database, "SELECT * INTO Self FROM [MS Access;DATABASE=" + self + "].[People]");
    execute(*database, "SELECT * INTO Self2 IN '" + self + "' FROM People");
    EXPECT_EQ(support::allRows(*database, "Self2"), support::allRows(*database, "People"));
    auto otherDatabase = Database::open(other);
    EXPECT_EQ(support::allRows(*otherDatabase, "Names").size(), 8u);
    EXPECT_EQ(support::allRows(*otherDatabase, "Again"),
              support::allRows(*otherDatabase, "Numbers"));
    otherDatabase.reset();

    // Refusals: no changes on a read-only statement run, no ACE files where they are unknown.
    for (const std::string statement :
         {"SELECT * INTO X FROM People", "DROP TABLE People", "CREATE TABLE X (A LONG)",
          "INSERT INTO People (Id) VALUES (9)"}) {
        EXPECT_EQ(errorOf([&] { execute(*database, statement, {.readOnly = true}); }),
                  ErrorCode::ReadOnly)
            << statement;
    }
    EXPECT_EQ(rowsOf("SELECT * FROM People").size(), 8u);
    EXPECT_EQ(errorOf([&] {
                  execute(*database, "SELECT * FROM " + otherSource, {.opensAceFiles = false});
              }),
              ErrorCode::UnrecognizedFormat);
    EXPECT_EQ(errorOf([&] {
                  execute(*database, "SELECT * INTO Y IN '" + other.string() + "' FROM People",
                          {.opensAceFiles = false});
              }),
              ErrorCode::UnrecognizedFormat);
    EXPECT_EQ(errorOf([&] {
                  execute(*database, "SELECT * INTO Y FROM [MS Access;DATABASE=" +
                                         support::fixture("jet4/queryTestV2003.mdb").string() +
                                         "].[SelectQuery]");
              }),
              ErrorCode::NotSupported);
    EXPECT_EQ(errorOf([&] {
                  execute(*database, "SELECT * INTO Y FROM [MS Access;DATABASE=" +
                                         support::fixture("ace12/linkerTestV2007.accdb").string() +
                                         "].[Table2]");
              }),
              ErrorCode::NotSupported);
    EXPECT_EQ(support::integrityProblems(*database), "");
    EXPECT_EQ(support::integrityProblems(other), "");
}

TEST_F(ExecutorTest, jet3TablesCopyIntoNewerFormats) {
    const auto source = support::fixture("jet3/testV1997.mdb");
    auto jet3 = Database::open(source);
    for (const auto& object : jet3->catalog().objects()) {
        if (object.kind != catalog::ObjectKind::Table) continue;
        SCOPED_TRACE(object.name);
        execute(*database, "SELECT * INTO [" + object.name + "] FROM [MS Access;DATABASE=" +
                               source.string() + "].[" + object.name + "]");
        EXPECT_EQ(support::allRows(*database, object.name), support::allRows(*jet3, object.name));
        EXPECT_EQ(support::mdbExport(path, object.name), support::mdbExport(source, object.name));
    }
    EXPECT_EQ(support::integrityProblems(*database), "");
}

}  // namespace
}  // namespace engine::sql

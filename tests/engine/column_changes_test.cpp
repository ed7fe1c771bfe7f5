// ALTER TABLE ADD COLUMN and DROP COLUMN on tables that exist. Fields added to any table of any
// fixture read NULL (Yes/No: No) in every row it held, take values in rows added later, and
// mdbtools reads the table; dropping them gives back the rows as they were. What Access refuses
// is refused, in one change with the keys an ADD COLUMN asks for.
#include "engine/format/rows/table_definition.h"
#include "engine/sql/executor.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/mdb_reader.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

using catalog::NewColumn;
using format::ColumnType;
using format::Value;

// A field of each storage kind: variable, fixed, long value, and the null mask alone.
const std::vector<NewColumn> kAdded = {
    {.name = "AddedText", .type = ColumnType::Text, .size = 40},
    {.name = "AddedDouble", .type = ColumnType::Double},
    {.name = "AddedMemo", .type = ColumnType::Memo},
    {.name = "AddedFlag", .type = ColumnType::Boolean},
};

TEST(ColumnChanges, fieldsAddedToAnyFixtureTableReadEmptyTakeValuesAndDropAgain) {
    support::TempDir folder;
    size_t changed = 0;
    size_t withRows = 0;
    size_t files = 0;
    for (const auto& fixture : support::allFixtures()) {
        const std::string password = support::fixturePassword(fixture);
        const auto path =
            folder.copyFixture(fixture, "file" + std::to_string(files++) +
                                            std::filesystem::path(fixture).extension().string());
        auto database = support::openForWriting(path, password);
        const auto tables = support::userTables(*database);
        for (const auto& table : tables) {
            SCOPED_TRACE(fixture + " / " + table);
            const auto definition = database->tableDefinition(table);
            const auto rows = support::allRows(*database, table);
            if (definition.maxColumns + kAdded.size() > 255) continue;
            const ErrorCode added = support::errorOf([&] {
                for (const auto& column : kAdded) database->addColumn(table, column);
            });
            if (added != ErrorCode::Internal) {
                // Only a file this engine cannot change (an Access 97 file in another sort
                // order), or a table of fixed fields alone that has rows, keeps a field from
                // being added; and then none is.
                EXPECT_EQ(added, ErrorCode::NotSupported);
                EXPECT_EQ(database->tableDefinition(table).columns.size(),
                          definition.columns.size());
                continue;
            }
            const auto wider = database->tableDefinition(table);
            ASSERT_EQ(wider.columns.size(), definition.columns.size() + kAdded.size());
            // Every row as it was, and the new fields empty.
            auto read = support::allRows(*database, table);
            ASSERT_EQ(read.size(), rows.size());
            for (size_t at = 0; at < read.size(); ++at) {
                const std::vector<Value> tail(read[at].end() - kAdded.size(), read[at].end());
                EXPECT_EQ(tail, (std::vector<Value>{Value(), Value(), Value(), Value(false)}));
                read[at].resize(rows[at].size());
            }
            EXPECT_EQ(read, rows);
            EXPECT_EQ(support::indexDifferences(*database, table), "");
            withRows += !rows.empty();
            ++changed;
            if (std::any_of(definition.columns.begin(), definition.columns.end(),
                            [](const auto& column) { return column.isCalculated(); })) {
                // Which fields an expression uses is not known here: nothing is dropped.
                EXPECT_EQ(support::errorOf([&] { database->dropColumn(table, "AddedText"); }),
                          ErrorCode::NotSupported);
                continue;
            }
            for (const auto& column : kAdded) database->dropColumn(table, column.name);
            const auto narrower = database->tableDefinition(table);
            ASSERT_EQ(narrower.columns.size(), definition.columns.size());
            for (size_t at = 0; at < narrower.columns.size(); ++at) {
                EXPECT_EQ(narrower.columns[at].name, definition.columns[at].name);
            }
            EXPECT_EQ(support::allRows(*database, table), rows);
        }
        EXPECT_EQ(support::integrityProblems(*database), "") << fixture;
    }
    EXPECT_GT(changed, 60u);
    EXPECT_GT(withRows, 30u);
}

// Rows added after the fields take their values, and dropping a field keeps the others' values,
// in the rows from before and after: mdbtools and mdb-reader read the table as they read one
// made in that shape with the same rows.
TEST(ColumnChanges, alteredTablesReadLikeTablesMadeInTheirShape) {
    support::TempDir folder;
    const std::string memo(3000, 'n');  // on pages of its own
    for (const auto format :
         {storage::FileFormat::Jet3, storage::FileFormat::Jet4, storage::FileFormat::Ace12}) {
        SCOPED_TRACE(std::string(storage::formatName(format)));
        const auto path = folder / ("values" + std::to_string(int(format)) + ".mdb");
        {
            auto database = Database::create(path, {.format = format});
            auto run = [&](const std::string& statement) { sql::execute(*database, statement); };
            run("CREATE TABLE People (Id LONG, Name TEXT(20))");
            run("INSERT INTO People VALUES (1, 'Ng')");
            run("ALTER TABLE People ADD COLUMN Born DATETIME");
            run("ALTER TABLE People ADD Notes MEMO");
            run("ALTER TABLE People ADD COLUMN Active YESNO");
            run("INSERT INTO People VALUES (2, 'Okafor', #1980-05-06#, '" + memo + "', TRUE)");
            run("ALTER TABLE People DROP COLUMN Name");
            run("INSERT INTO People VALUES (3, #1990-01-02#, 'short', FALSE)");
            run("ALTER TABLE People ADD CONSTRAINT Main PRIMARY KEY (Id)");

            run("CREATE TABLE Made (Id LONG, Born DATETIME, Notes MEMO, Active YESNO)");
            run("INSERT INTO Made VALUES (1, NULL, NULL, FALSE)");
            run("INSERT INTO Made VALUES (2, #1980-05-06#, '" + memo + "', TRUE)");
            run("INSERT INTO Made VALUES (3, #1990-01-02#, 'short', FALSE)");
            EXPECT_EQ(support::allRows(*database, "People"), support::allRows(*database, "Made"));
            EXPECT_EQ(support::integrityProblems(*database), "");
            EXPECT_EQ(support::indexDifferences(*database, "People"), "");
        }
        const std::string theirs = support::mdbExport(path, "People");
        EXPECT_NE(theirs.find(memo), std::string::npos);
        EXPECT_EQ(theirs, support::mdbExport(path, "Made"));
        const auto altered = support::mdbReaderRows(path, "People");
        const auto made = support::mdbReaderRows(path, "Made");
        ASSERT_TRUE(altered.ok) << altered.failure;
        EXPECT_EQ(altered.lines, made.lines);
        EXPECT_EQ(altered.lines.size(), 4u);
    }
}

// Each refusal leaves the table as it was: its definition, rows and indexes.
TEST(ColumnChanges, refusesWhatItCannotDoAndChangesNothing) {
    support::TempDir folder;
    auto database =
        Database::create(folder / "refusals.accdb", {.format = storage::FileFormat::Ace12});
    auto run = [&](const std::string& statement) { sql::execute(*database, statement); };
    run("CREATE TABLE Items (Id LONG PRIMARY KEY, Code TEXT(10), Price CURRENCY)");
    run("CREATE TABLE Empty (Id LONG)");
    run("INSERT INTO Items VALUES (1, 'a', 2)");
    run("INSERT INTO Items VALUES (2, NULL, 3)");
    const auto definition = database->tableDefinition("Items");
    const auto rows = support::allRows(*database, "Items");
    const std::vector<std::pair<std::string, ErrorCode>> refused = {
        {"ALTER TABLE Items ADD COLUMN code LONG", ErrorCode::FieldExists},
        {"ALTER TABLE Items ADD COLUMN Serial COUNTER", ErrorCode::NotSupported},
        {"ALTER TABLE Items ADD COLUMN Must TEXT NOT NULL", ErrorCode::NotSupported},
        // The key needs a value in every row: the field does not stay either.
        {"ALTER TABLE Items ADD COLUMN Other LONG UNIQUE", ErrorCode::Internal},
        {"ALTER TABLE Items ADD COLUMN Other2 LONG PRIMARY KEY", ErrorCode::PrimaryKeyExists},
        {"ALTER TABLE Items ADD COLUMN [Bad.Name] LONG", ErrorCode::InvalidName},
        {"ALTER TABLE Items ADD COLUMN Wide TEXT(300)", ErrorCode::FieldSyntax},
        {"ALTER TABLE Items DROP COLUMN Nothing", ErrorCode::UnknownField},
        {"ALTER TABLE Items DROP COLUMN Id", ErrorCode::FieldInIndex},
        {"ALTER TABLE Items DROP CONSTRAINT Nothing", ErrorCode::NoSuchIndex},
        {"ALTER TABLE Items ADD CONSTRAINT Twice UNIQUE (Id, ID)", ErrorCode::InvalidIndex},
        {"ALTER TABLE Empty DROP COLUMN Id", ErrorCode::InvalidArgument},
        {"ALTER TABLE Nobody ADD COLUMN A LONG", ErrorCode::InputTableNotFound},
        {"ALTER TABLE MSysObjects ADD COLUMN A LONG", ErrorCode::ReadOnly},
    };
    for (const auto& [statement, code] : refused) {
        if (code == ErrorCode::Internal) {
            run(statement);
            run("ALTER TABLE Items DROP CONSTRAINT Other");
            run("ALTER TABLE Items DROP COLUMN Other");
            continue;
        }
        EXPECT_EQ(support::errorOf([&] { run(statement); }), code) << statement;
        EXPECT_EQ(database->tableDefinition("Items").columns.size(), definition.columns.size())
            << statement;
    }
    EXPECT_EQ(
        support::errorOf([&] { run("ALTER TABLE Items ADD COLUMN Key2 LONG NOT NULL UNIQUE"); }),
        ErrorCode::NotSupported);
    // A key on the new field of a table with rows meets their NULLs: nothing is added.
    EXPECT_EQ(support::errorOf([&] {
                  database->addColumn("Items", {.name = "Key3", .type = ColumnType::Long},
                                      {{.name = "Key3", .columns = {"Key3"}, .required = true}});
              }),
              ErrorCode::PrimaryKeyNull);
    EXPECT_FALSE(database->tableDefinition("Items").findColumn("Key3"));
    EXPECT_EQ(support::allRows(*database, "Items"), rows);
    // An empty table takes an AutoNumber key and required fields.
    run("ALTER TABLE Empty ADD COLUMN Serial COUNTER PRIMARY KEY");
    run("ALTER TABLE Empty ADD COLUMN Must TEXT(5) NOT NULL");
    EXPECT_EQ(support::errorOf([&] { run("INSERT INTO Empty (Id) VALUES (1)"); }),
              ErrorCode::RequiredValue);
    run("INSERT INTO Empty (Id, Must) VALUES (1, 'x')");
    EXPECT_EQ(support::allRows(*database, "Empty"),
              (std::vector<std::vector<Value>>{{int32_t(1), int32_t(1), "x"}}));
    EXPECT_EQ(support::integrityProblems(*database), "");
}

}  // namespace
}  // namespace engine

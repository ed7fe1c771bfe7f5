// CREATE INDEX and DROP INDEX on tables that exist. An index made on a table of any fixture holds
// exactly the entries its rows call for, counts its distinct keys, and is listed by mdbtools;
// dropping it again gives the table's stored definition back byte for byte. What Access refuses
// is refused with its error, and the file stays as it was.
#include "engine/format/indexes/index_tree.h"
#include "engine/format/rows/table_definition.h"
#include "engine/sql/executor.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace engine {
namespace {

using format::ColumnType;

constexpr char kProbe[] = "CorvantaProbe";

// The stored definition of a table, through its length.
std::vector<uint8_t> storedDefinition(Database& database, const std::string& table) {
    const auto definition = database.tableDefinition(table);
    auto bytes = format::readTableDefinitionBytes(database.pager(), definition.firstPage);
    bytes.resize(definition.stored.end);
    return bytes;
}

const format::LogicalIndex* logicalNamed(const format::TableDefinition& table,
                                         const std::string& name) {
    for (const auto& logical : table.logicalIndexes) {
        if (logical.name == name) return &logical;
    }
    return nullptr;
}

// How many lines of mdb-schema's account of the file name an index of this name.
size_t indexesMdbtoolsLists(const std::filesystem::path& path, const std::string& name) {
    std::istringstream out(
        support::runProcess({"mdb-schema", "--indexes", path.string(), "postgres"}).out);
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t count = 0;
    for (std::string line; std::getline(out, line);) {
        count += line.starts_with("CREATE INDEX") && line.find(lower) != std::string::npos;
    }
    return count;
}

bool indexable(const format::ColumnDefinition& column) {
    return !column.isCalculated() && !format::isLongValueType(column.type) &&
           column.type != ColumnType::Complex;
}

TEST(IndexChanges, anIndexOnAnyFixtureTableIsExactAndDroppingItRestoresTheDefinition) {
    support::TempDir folder;
    size_t made = 0;
    size_t withRows = 0;
    size_t skipped = 0;
    std::set<std::string> formats;
    for (const auto& fixture : support::allFixtures()) {
        const std::string password = support::fixturePassword(fixture);
        const auto path =
            folder.copyFixture(fixture, "file" + std::to_string(made + skipped) +
                                            std::filesystem::path(fixture).extension().string());
        auto database = support::openForWriting(path, password);
        std::vector<std::pair<std::string, std::vector<uint8_t>>> indexed;
        // Each change reads the catalogue afresh: the names are taken first.
        const auto tables = support::userTables(*database);
        for (const auto& table : tables) {
            SCOPED_TRACE(fixture + " / " + table);
            const auto definition = database->tableDefinition(table);
            const auto column =
                std::find_if(definition.columns.begin(), definition.columns.end(), indexable);
            if (column == definition.columns.end()) continue;
            const auto before = storedDefinition(*database, table);
            const ErrorCode made1 = support::errorOf([&] {
                database->createIndex(
                    table, {.name = kProbe, .columns = {column->name}, .descending = {true}});
            });
            if (made1 != ErrorCode::Internal) {
                // Only keys this engine cannot compute exactly keep an index from being made:
                // an Access 97 file in another sort order, a text in an order known in part.
                EXPECT_EQ(made1, ErrorCode::NotSupported);
                EXPECT_EQ(storedDefinition(*database, table), before);
                ++skipped;
                continue;
            }
            const auto after = database->tableDefinition(table);
            const auto* logical = logicalNamed(after, kProbe);
            ASSERT_NE(logical, nullptr);
            const auto& real = after.realIndexes.at(logical->realIndexNumber);
            EXPECT_EQ(real.columns.size(), 1u);
            EXPECT_FALSE(real.columns[0].ascending);
            EXPECT_EQ(after.logicalIndexes.size(), definition.logicalIndexes.size() + 1);
            EXPECT_EQ(after.columns.size(), definition.columns.size());
            EXPECT_EQ(support::indexDifferences(*database, table), "");
            const auto entries = format::readIndexEntries(database->pager(), database->jetFormat(),
                                                          real, after.firstPage);
            std::set<std::vector<uint8_t>> keys;
            for (const auto& entry : entries) keys.insert(entry.key);
            EXPECT_EQ(real.uniqueEntryCount, keys.size());
            withRows += !entries.empty();
            formats.insert(std::string(storage::formatName(database->format())));
            indexed.emplace_back(table, before);
            ++made;
        }
        EXPECT_EQ(support::integrityProblems(*database), "") << fixture;
        if (password.empty() && !indexed.empty()) {
            database.reset();
            EXPECT_EQ(indexesMdbtoolsLists(path, kProbe), indexed.size()) << fixture;
            database = support::openForWriting(path, password);
        }
        for (const auto& [table, before] : indexed) {
            database->dropIndex(table, kProbe);
            EXPECT_EQ(storedDefinition(*database, table), before) << fixture << " / " << table;
        }
        EXPECT_EQ(support::integrityProblems(*database), "") << fixture;
    }
    EXPECT_GT(made, 60u);
    EXPECT_GT(withRows, 30u);
    EXPECT_LT(skipped, made / 4);
    EXPECT_GE(formats.size(), 5u);
}

// Each refusal leaves the table's definition and rows as they were.
TEST(IndexChanges, refusesWhatAccessRefusesAndChangesNothing) {
    support::TempDir folder;
    for (const auto format :
         {storage::FileFormat::Jet3, storage::FileFormat::Jet4, storage::FileFormat::Ace12}) {
        SCOPED_TRACE(std::string(storage::formatName(format)));
        auto database = Database::create(folder / ("refusals" + std::to_string(int(format))),
                                         {.format = format});
        database->createTable(
            "People",
            {{.name = "Id", .type = ColumnType::Long},
             {.name = "Name", .type = ColumnType::Text, .size = 40},
             {.name = "Notes", .type = ColumnType::Memo},
             {.name = "Age", .type = ColumnType::Integer}},
            support::RowFeed({{int32_t(1), "Ng", "a", int16_t(30)},
                              {int32_t(2), "Okafor", format::Value(), format::Value()},
                              {int32_t(3), "Ng", format::Value(), int16_t(41)}}),
            {{.name = "PrimaryKey", .columns = {"Id"}, .primaryKey = true}});
        const auto definition = storedDefinition(*database, "People");
        const auto rows = support::allRows(*database, "People");
        auto run = [&](const std::string& statement) { sql::execute(*database, statement); };
        const std::vector<std::pair<std::string, ErrorCode>> refused = {
            {"CREATE INDEX PrimaryKey ON People (Name)", ErrorCode::IndexNameTaken},
            {"CREATE INDEX primarykey ON People (Name)", ErrorCode::IndexNameTaken},
            {"CREATE INDEX ByName ON People (Nom)", ErrorCode::InvalidIndexField},
            {"CREATE INDEX ByNotes ON People (Notes)", ErrorCode::InvalidIndexField},
            {"CREATE INDEX Twice ON People (Name, Age, name)", ErrorCode::InvalidIndex},
            {"CREATE INDEX Eleven ON People (Id, Name, Age, Id, Name, Age, Id, Name, Age, Id, "
             "Name)",
             ErrorCode::InvalidIndex},
            {"CREATE INDEX Another ON People (Name) WITH PRIMARY", ErrorCode::PrimaryKeyExists},
            {"CREATE UNIQUE INDEX ByName ON People (Name)", ErrorCode::DuplicateKey},
            {"CREATE INDEX ByAge ON People (Age) WITH DISALLOW NULL", ErrorCode::PrimaryKeyNull},
            {"CREATE INDEX [Bad.Name] ON People (Age)", ErrorCode::InvalidName},
            {"CREATE INDEX ByAge ON Nobody (Age)", ErrorCode::InputTableNotFound},
            {"CREATE INDEX ByName ON MSysObjects (Name)", ErrorCode::ReadOnly},
            {"DROP INDEX ByName ON People", ErrorCode::NoSuchIndex},
            {"DROP INDEX PrimaryKey ON Nobody", ErrorCode::InputTableNotFound},
        };
        for (const auto& [statement, code] : refused) {
            EXPECT_EQ(support::errorOf([&] { run(statement); }), code) << statement;
        }
        // 32 indexes at most, counting the primary key.
        for (int number = 1; number < 32; ++number) {
            run("CREATE INDEX I" + std::to_string(number) + " ON People (Age, Id)");
        }
        EXPECT_EQ(support::errorOf([&] { run("CREATE INDEX I32 ON People (Name)"); }),
                  ErrorCode::TooManyIndexes);
        for (int number = 1; number < 32; ++number) {
            run("DROP INDEX I" + std::to_string(number) + " ON People");
        }
        EXPECT_EQ(storedDefinition(*database, "People"), definition);
        EXPECT_EQ(support::allRows(*database, "People"), rows);
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
}

// The new index takes part in every later change: a unique one refuses a duplicate, DISALLOW
// NULL a NULL, IGNORE NULL leaves rows out; multi-field orders hold through inserts, updates
// and deletes.
TEST(IndexChanges, aNewIndexKeepsStepWithLaterChanges) {
    support::TempDir folder;
    auto database =
        Database::create(folder / "later.accdb", {.format = storage::FileFormat::Ace12});
    sql::execute(*database, "CREATE TABLE Items (Id LONG, Code TEXT(10), Price CURRENCY)");
    for (int number = 1; number <= 300; ++number) {
        sql::execute(*database, "INSERT INTO Items VALUES (" + std::to_string(number) + ", " +
                                    (number % 5 == 0 ? std::string("NULL")
                                                     : "'C" + std::to_string(number % 37) + "'") +
                                    ", " + std::to_string(number % 11) + ".25)");
    }
    sql::execute(*database, "CREATE UNIQUE INDEX ById ON Items (Id) WITH DISALLOW NULL");
    sql::execute(*database, "CREATE INDEX ByCode ON Items (Code DESC, Price)");
    sql::execute(*database, "CREATE INDEX Coded ON Items (Code) WITH IGNORE NULL");
    sql::execute(*database, "CREATE INDEX Main ON Items (Id) WITH PRIMARY");
    const auto definition = database->tableDefinition("Items");
    EXPECT_EQ(logicalNamed(definition, "Main")->indexType, 1);
    const auto& coded =
        definition.realIndexes.at(logicalNamed(definition, "Coded")->realIndexNumber);
    EXPECT_EQ(coded.flags & 0x0B, format::index_flags::kIgnoreNulls);
    // Rows with no code have no entry.
    EXPECT_EQ(format::readIndexEntries(database->pager(), database->jetFormat(), coded,
                                       definition.firstPage)
                  .size(),
              240u);
    EXPECT_EQ(support::indexDifferences(*database, "Items"), "");

    EXPECT_EQ(
        support::errorOf([&] { sql::execute(*database, "INSERT INTO Items VALUES (7, 'X', 1)"); }),
        ErrorCode::DuplicateKey);
    EXPECT_EQ(support::errorOf(
                  [&] { sql::execute(*database, "INSERT INTO Items VALUES (NULL, 'X', 1)"); }),
              ErrorCode::PrimaryKeyNull);
    sql::execute(*database, "UPDATE Items SET Code = 'Z' WHERE Id < 100");
    sql::execute(*database, "DELETE FROM Items WHERE Price > 5");
    sql::execute(*database, "INSERT INTO Items VALUES (1000, NULL, 3)");
    EXPECT_EQ(support::indexDifferences(*database, "Items"), "");
    sql::execute(*database, "DROP INDEX ByCode ON Items");
    sql::execute(*database, "DROP INDEX ById ON Items");
    EXPECT_EQ(database->tableDefinition("Items").realIndexes.size(), 2u);
    EXPECT_EQ(support::indexDifferences(*database, "Items"), "");
    EXPECT_EQ(support::integrityProblems(*database), "");
}

// An index a relationship uses stays; so does any whose drop would renumber one a relationship
// names.
TEST(IndexChanges, indexesOfRelationshipsStay) {
    support::TempDir folder;
    const auto path = folder.copyFixture("ace14/indexTestV2010.accdb");
    auto database = support::openForWriting(path);
    const auto definition = database->tableDefinition("Table1");
    const auto before = storedDefinition(*database, "Table1");
    size_t checked = 0;
    for (const auto& logical : definition.logicalIndexes) {
        if (logical.relatedTablePage == 0) continue;
        EXPECT_EQ(support::errorOf([&] { database->dropIndex("Table1", logical.name); }),
                  ErrorCode::InRelationship)
            << logical.name;
        ++checked;
    }
    EXPECT_GT(checked, 0u);
    EXPECT_EQ(storedDefinition(*database, "Table1"), before);
}

}  // namespace
}  // namespace engine

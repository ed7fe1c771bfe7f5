// A whole copy (copyWholeTable) of every table of every Access 2000 and later fixture: the copy
// holds the same rows, columns, AutoNumber, indexes and properties (GUIDs aside), its indexes
// are exact, and mdbtools, reading both files, reports the same keys for both.
#include "engine/catalog/table_properties.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <sstream>

namespace engine {
namespace {

std::string passwordOf(const std::string& fixture) {
    return fixture.find("with-password") != std::string::npos ? "password" : "";
}

// The indexes of a table as text: name, kind, flags, and each column with its order.
std::vector<std::string> indexesOf(const format::TableDefinition& definition) {
    std::vector<std::string> texts;
    for (const auto& logical : definition.logicalIndexes) {
        if (logical.indexType == 2) continue;
        for (const auto& real : definition.realIndexes) {
            if (real.number != logical.realIndexNumber) continue;
            std::string text = logical.name + " kind " + std::to_string(logical.indexType) +
                               " flags " + std::to_string(real.flags & 0x0B);
            for (const auto& part : real.columns) {
                for (const auto& column : definition.columns) {
                    if (column.number == part.columnNumber) {
                        text += " " + column.name + (part.ascending ? "+" : "-");
                    }
                }
            }
            texts.push_back(text);
        }
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

std::vector<std::string> propertiesOf(Database& database, const std::string& table) {
    std::vector<std::string> texts;
    auto object = database.findInTables(table);
    catalog::readProperties(database.pager(), database.jetFormat(), database.header().codePage(),
                            *object)
        .forEach([&](const std::string& column, const std::string& name,
                     const catalog::Property& property) {
            if (name == "GUID") return;
            std::string text = column + "." + name + " " + std::to_string(int(property.type)) +
                               (property.ddl ? " ddl " : " ");
            for (uint8_t byte : property.value) text += std::to_string(byte) + ",";
            texts.push_back(text);
        });
    std::sort(texts.begin(), texts.end());
    return texts;
}

// mdb-schema's lines that declare the table's keys and indexes.
std::vector<std::string> keysMdbtoolsSees(const std::filesystem::path& path,
                                          const std::string& table) {
    std::vector<std::string> command = {"mdb-schema", "--indexes",   "-T",
                                        table,        path.string(), "mysql"};
    std::istringstream out(support::runProcess(command).out);
    std::vector<std::string> lines;
    for (std::string line; std::getline(out, line);) {
        if (line.find("INDEX") != std::string::npos ||
            line.find("PRIMARY KEY") != std::string::npos) {
            lines.push_back(line);
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(WholeCopy, everyTableArrivesWithItsKeysIndexesAutoNumberAndProperties) {
    support::TempDir folder;
    size_t copied = 0;
    size_t withIndexes = 0;
    size_t withProperties = 0;
    size_t files = 0;
    for (const auto& fixture : support::allFixtures()) {
        if (fixture.find("encrypted") != std::string::npos || fixture.rfind("jet3", 0) == 0) {
            continue;
        }
        const std::string password = passwordOf(fixture);
        auto source = Database::open(support::fixture(fixture), {.password = password});
        const auto path = folder / ("copy" + std::to_string(files++) + ".accdb");
        auto destination = Database::create(path, {.format = source->format()});
        std::vector<std::string> copiedNames;
        for (const auto& object : source->catalog().objects()) {
            if (!object.isLocalTable() || object.name.rfind("MSys", 0) == 0 ||
                object.name.rfind("f_", 0) == 0) {
                continue;
            }
            SCOPED_TRACE(fixture + " / " + object.name);
            const auto definition = source->tableDefinition(object.name);
            if (std::any_of(definition.columns.begin(), definition.columns.end(),
                            [](const auto& column) {
                                return column.type == format::ColumnType::Complex;
                            })) {
                EXPECT_EQ(support::errorOf([&] {
                              copyWholeTable(*source, object.name, *destination, object.name);
                          }),
                          ErrorCode::NotSupported);
                continue;
            }
            copyWholeTable(*source, object.name, *destination, object.name);
            copiedNames.push_back(object.name);
            ++copied;
            const auto copy = destination->tableDefinition(object.name);
            ASSERT_EQ(copy.columns.size(), definition.columns.size());
            for (size_t at = 0; at < copy.columns.size(); ++at) {
                EXPECT_EQ(copy.columns[at].name, definition.columns[at].name);
                EXPECT_EQ(copy.columns[at].type, definition.columns[at].type);
                EXPECT_EQ(copy.columns[at].isAutoNumber(), definition.columns[at].isAutoNumber());
                EXPECT_EQ(copy.columns[at].isCalculated(), definition.columns[at].isCalculated());
            }
            EXPECT_GE(copy.lastAutoNumber, definition.lastAutoNumber);
            EXPECT_EQ(indexesOf(copy), indexesOf(definition));
            EXPECT_EQ(propertiesOf(*destination, object.name), propertiesOf(*source, object.name));
            EXPECT_EQ(support::sortedRows(support::allRows(*destination, object.name)),
                      support::sortedRows(support::allRows(*source, object.name)));
            EXPECT_EQ(support::indexDifferences(*destination, object.name), "");
            withIndexes += !copy.logicalIndexes.empty();
            withProperties += !propertiesOf(*source, object.name).empty();
        }
        EXPECT_EQ(support::integrityProblems(*destination), "") << fixture;
        destination.reset();
        // mdb-schema takes no password; and where it cannot name a source index's columns
        // (a table whose columns were deleted) there is nothing to compare.
        for (const auto& name : copiedNames) {
            if (!password.empty()) continue;
            const auto theirs = keysMdbtoolsSees(support::fixture(fixture), name);
            if (std::any_of(theirs.begin(), theirs.end(), [](const std::string& line) {
                    return line.find("();") != std::string::npos;
                })) {
                continue;
            }
            EXPECT_EQ(keysMdbtoolsSees(path, name), theirs) << fixture << " / " << name;
        }
    }
    EXPECT_GT(copied, 40u);
    EXPECT_GT(withIndexes, 10u);
    EXPECT_GT(withProperties, 10u);
}

// What a whole copy cannot carry is refused before anything is written: properties to or from
// an Access 97 file, a calculated column into a format without them; a calculated column into a
// format with them keeps its expression.
TEST(WholeCopy, refusesWhatItCannotCarryAndKeepsExpressions) {
    support::TempDir folder;
    auto source = Database::create(folder / "calc.accdb", {.format = storage::FileFormat::Ace14});
    using catalog::NewColumn;
    using format::ColumnType;
    source->createTable(
        "Calc",
        {NewColumn{.name = "Id", .type = ColumnType::Long, .autoNumber = true},
         NewColumn{.name = "Last", .type = ColumnType::Text, .size = 20},
         NewColumn{.name = "Size", .type = ColumnType::Long, .expression = "Len([Last])"}},
        support::RowFeed(
            {{format::Value(), "Ng", int32_t(2)}, {format::Value(), "Okafor", int32_t(6)}}),
        {catalog::NewIndex{.name = "PrimaryKey", .columns = {"Id"}, .primaryKey = true},
         catalog::NewIndex{.name = "ByLast", .columns = {"Last"}, .descending = {true}}});
    auto newer = Database::create(folder / "newer.accdb", {.format = storage::FileFormat::Ace14});
    copyWholeTable(*source, "Calc", *newer, "Copy");
    EXPECT_EQ(propertiesOf(*newer, "Copy"), propertiesOf(*source, "Calc"));
    EXPECT_EQ(indexesOf(newer->tableDefinition("Copy")),
              indexesOf(source->tableDefinition("Calc")));
    EXPECT_TRUE(newer->tableDefinition("Copy").columns[2].isCalculated());
    EXPECT_EQ(support::allRows(*newer, "Copy"), support::allRows(*source, "Calc"));
    EXPECT_EQ(support::indexDifferences(*newer, "Copy"), "");

    auto older = Database::create(folder / "older.mdb", {.format = storage::FileFormat::Jet4});
    auto access97 = Database::open(support::fixture("jet3/testV1997.mdb"));
    const std::vector<std::tuple<Database*, std::string, Database*, ErrorCode>> refused = {
        {source.get(), "Calc", older.get(), ErrorCode::NotSupported},
        {access97.get(), "Table1", older.get(), ErrorCode::NotSupported},
        {source.get(), "Nothing", older.get(), ErrorCode::InputTableNotFound},
        {source.get(), "Calc", newer.get(), ErrorCode::TableExists},
    };
    for (const auto& [from, table, to, code] : refused) {
        EXPECT_EQ(support::errorOf([&] { copyWholeTable(*from, table, *to, "Copy"); }), code)
            << table;
    }
    EXPECT_FALSE(older->findInTables("Copy"));
    EXPECT_EQ(support::integrityProblems(*newer), "");
}

}  // namespace
}  // namespace engine

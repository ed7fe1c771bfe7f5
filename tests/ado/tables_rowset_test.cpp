// The tables schema rowset: which objects it lists with which type, in which order, with which
// dates, and how the rowset behaves when read.
#include "ado/tables_rowset.h"

#include "ado/connection.h"
#include "engine/catalog/table_creator.h"
#include "engine/storage/unicode.h"
#include "support/fixtures.h"
#include "support/process.h"

#include "ado_helpers.h"

#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace ado {
namespace {

using testing::aceString;
using testing::opened;
using testing::raisedBy;

struct ListedRow {
    std::string name;
    std::string type;
};

std::vector<ListedRow> readRows(Recordset& rowset) {
    std::vector<ListedRow> rows;
    for (; !rowset.eof(); rowset.moveNext()) {
        for (const char* empty :
             {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_GUID", "DESCRIPTION", "TABLE_PROPID"}) {
            EXPECT_TRUE(engine::format::isNull(rowset.field(empty))) << empty;
        }
        rows.push_back({std::get<std::string>(rowset.field("TABLE_NAME")),
                        std::get<std::string>(rowset.field("TABLE_TYPE"))});
    }
    return rows;
}

std::set<std::string> linesOf(const std::string& text) {
    std::set<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
}

TEST(TablesRowset, listsTheCatalogueByTypeThenName) {
    struct Expected {
        std::string fixture;
        std::vector<ListedRow> mustHave;
    };
    const std::vector<Expected> fixtures = {
        {"jet4/queryTestV2003.mdb",
         {{"SelectQuery", "VIEW"}, {"MSysObjects", "SYSTEM TABLE"}, {"Table1", "TABLE"}}},
        {"ace12/linkerTestV2007.accdb",
         {{"Table2", "LINK"}, {"MSysResources", "ACCESS TABLE"}, {"Table1", "TABLE"}}},
        {"jet3/testV1997.mdb", {{"MSysACEs", "SYSTEM TABLE"}}},
        {"ace17/empty2019.accdb", {{"MSysComplexColumns", "SYSTEM TABLE"}}},
    };
    const std::vector<std::string> typeOrder = {"ACCESS TABLE", "LINK",  "PASS-THROUGH",
                                                "SYSTEM TABLE", "TABLE", "VIEW"};
    for (const auto& expected : fixtures) {
        SCOPED_TRACE(expected.fixture);
        const auto path = support::fixture(expected.fixture);
        auto rowset = opened(aceString(path), kModeRead)->openSchema(kSchemaTables);
        EXPECT_EQ(rowset->fieldCount(), 9u);
        EXPECT_EQ(rowset->fieldName(7), "DATE_CREATED");
        const auto rows = readRows(*rowset);

        for (const auto& must : expected.mustHave) {
            EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const ListedRow& row) {
                return row.name == must.name && row.type == must.type;
            })) << must.name;
        }
        std::set<std::string> tables;
        for (size_t index = 0; index < rows.size(); ++index) {
            const auto typeAt = std::find(typeOrder.begin(), typeOrder.end(), rows[index].type);
            ASSERT_NE(typeAt, typeOrder.end()) << rows[index].type;
            if (rows[index].type == "TABLE") tables.insert(rows[index].name);
            if (index == 0) continue;
            const auto& before = rows[index - 1];
            if (before.type == rows[index].type) {
                EXPECT_LT(engine::storage::foldedCase(before.name),
                          engine::storage::foldedCase(rows[index].name));
            } else {
                EXPECT_LT(before.type, rows[index].type);
            }
        }
        // An independent reader agrees on the user tables.
        EXPECT_EQ(tables, linesOf(support::runProcess({"mdb-tables", "-1", path}).out));
    }
}

TEST(TablesRowset, datesComeFromTheCatalogue) {
    support::TempDir folder;
    const auto path = folder / "dated.accdb";
    {
        auto database =
            engine::Database::create(path, {.format = engine::storage::FileFormat::Ace12});
        database->createTable("Zeta", {{.name = "A", .type = engine::format::ColumnType::Long}});
        database->createTable("alpha", {{.name = "A", .type = engine::format::ColumnType::Long}});
    }
    auto rowset = opened(aceString(path))->openSchema(kSchemaTables);
    std::vector<std::string> tables;
    const double today = engine::catalog::now().days;
    for (; !rowset->eof(); rowset->moveNext()) {
        if (std::get<std::string>(rowset->field("TABLE_TYPE")) != "TABLE") continue;
        tables.push_back(std::get<std::string>(rowset->field("TABLE_NAME")));
        const auto created = std::get<engine::format::DateTime>(rowset->field("DATE_CREATED"));
        const auto modified = std::get<engine::format::DateTime>(rowset->field("date_modified"));
        EXPECT_NEAR(created.days, today, 1.0);
        EXPECT_NEAR(modified.days, today, 1.0);
    }
    EXPECT_EQ(tables, (std::vector<std::string>{"alpha", "Zeta"}));
}

TEST(TablesRowset, isReadForwardAndOutlivesItsConnection) {
    support::TempDir folder;
    const auto path = folder.copyFixture("jet4/testV2003.mdb");
    auto connection = opened(aceString(path));
    auto rowset = connection->openSchema(kSchemaTables);
    connection->close();
    connection.reset();

    EXPECT_EQ(rowset->fieldName(2), "TABLE_NAME");
    EXPECT_EQ(raisedBy([&] { rowset->field("NAME"); }).number, 3265);
    EXPECT_EQ(raisedBy([&] { rowset->fieldName(9); }).number, 3265);
    EXPECT_EQ(std::get<std::string>(rowset->field("table_type")), "ACCESS TABLE");
    size_t count = 0;
    while (!rowset->eof()) {
        rowset->moveNext();
        ++count;
    }
    EXPECT_EQ(count, 13u);
    EXPECT_EQ(raisedBy([&] { rowset->moveNext(); }).number, 3021);
    EXPECT_EQ(raisedBy([&] { rowset->field("TABLE_NAME"); }).number, 3021);
    rowset->close();
    EXPECT_FALSE(rowset->isOpen());
    EXPECT_EQ(raisedBy([&] { rowset->eof(); }).number, 3704);
    EXPECT_EQ(raisedBy([&] { rowset->close(); }).number, 3704);
}

}  // namespace
}  // namespace ado

// The catalogue row of a table the engine makes looks like the rows of the tables the product
// made in the same file, as mdbtools reads them.
#include "engine/database.h"
#include "support/csv.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <map>

namespace engine {
namespace {

using Row = std::map<std::string, std::string>;

// MSysObjects as mdb-export reads it, by object name.
std::map<std::string, Row> catalogueRows(const std::filesystem::path& path) {
    auto records = support::parseCsv(
        support::runProcess({"mdb-export", "-b", "hex", path.string(), "MSysObjects"}).out);
    std::map<std::string, Row> rows;
    for (size_t index = 1; index < records.size(); ++index) {
        Row row;
        for (size_t column = 0; column < records[0].size(); ++column) {
            row[records[0][column].text] = records[index][column].text;
        }
        rows[row["Name"]] = row;
    }
    return rows;
}

TEST(CatalogueRows, aNewTableIsOwnedAsTheProductsTablesAre) {
    const std::pair<const char*, const char*> fixtures[] = {
        {"jet4/testV2003.mdb", "Table1"},
        {"ace12/queryTestV2007.accdb", "Table2"},
        {"ace14/testV2010.accdb", "Table1"},
        {"ace17/extDateTestV2019.accdb", "Table1"},
    };
    support::TempDir folder;
    for (const auto& [fixture, productTable] : fixtures) {
        SCOPED_TRACE(fixture);
        auto path = folder.copyFixture(fixture);
        support::openForWriting(path)->createTable("Fresh", {{.name = "A"}});
        auto rows = catalogueRows(path);
        const Row& theirs = rows.at(productTable);
        const Row& ours = rows.at("Fresh");
        EXPECT_FALSE(theirs.at("Owner").empty());
        for (const char* column : {"Owner", "ParentId", "Type", "Flags"}) {
            EXPECT_EQ(ours.at(column), theirs.at(column)) << column;
        }
    }
}

}  // namespace
}  // namespace engine

#include "engine/database.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/read_all.h"

#include <fstream>
#include <gtest/gtest.h>

namespace engine {
namespace {

using format::ColumnType;
using format::Value;

std::unique_ptr<Database> openFixture(const std::string& name, const std::string& password = "") {
    return Database::open(support::fixture(name), {.password = password});
}

const catalog::CatalogObject& objectNamed(Database& database, const std::string& name) {
    for (const auto& object : database.catalog().objects()) {
        if (object.name == name) return object;
    }
    throw std::runtime_error("no object " + name);
}

TEST(DatabaseRead, opensEveryFormatAndReportsIt) {
    EXPECT_EQ(openFixture("jet3/testV1997.mdb")->format(), storage::FileFormat::Jet3);
    EXPECT_EQ(openFixture("jet4/testV2003.mdb")->format(), storage::FileFormat::Jet4);
    EXPECT_EQ(openFixture("ace12/testV2007.accdb")->format(), storage::FileFormat::Ace12);
    EXPECT_EQ(openFixture("ace14/testV2010.accdb")->format(), storage::FileFormat::Ace14);
    EXPECT_EQ(openFixture("ace16/empty2016.accdb")->format(), storage::FileFormat::Ace16);
    EXPECT_EQ(openFixture("ace17/empty2019.accdb")->format(), storage::FileFormat::Ace17);
}

TEST(DatabaseRead, classifiesCatalogueObjectsAsTheTablesRowsetDoes) {
    auto database = openFixture("ace12/queryTestV2007.accdb");
    using catalog::ObjectKind;
    EXPECT_EQ(objectNamed(*database, "Table1").kind, ObjectKind::Table);
    EXPECT_EQ(objectNamed(*database, "MSysObjects").kind, ObjectKind::SystemTable);
    EXPECT_EQ(objectNamed(*database, "MSysAccessStorage").kind, ObjectKind::AccessTable);
    EXPECT_EQ(objectNamed(*database, "SelectQuery").kind, ObjectKind::View);
    for (const char* action :
         {"AppendQuery", "DeleteQuery", "UpdateQuery", "MakeTableQuery", "CrosstabQuery",
          "UnionQuery", "PassthroughQuery", "DataDefinitionQuery"}) {
        EXPECT_EQ(objectNamed(*database, action).kind, ObjectKind::Other) << action;
    }
    EXPECT_EQ(objectNamed(*database, "Tables").kind, ObjectKind::Other);
    EXPECT_EQ(objectNamed(*database, "MSysDb").kind, ObjectKind::Other);

    auto linked = openFixture("ace12/linkerTestV2007.accdb");
    int links = 0;
    for (const auto& object : linked->catalog().objects()) {
        if (object.kind == ObjectKind::Link) {
            ++links;
            EXPECT_FALSE(object.database.empty()) << object.name;
        }
    }
    EXPECT_GT(links, 0);
}

TEST(DatabaseRead, findsTablesIgnoringLetterCase) {
    auto database = openFixture("jet4/testV2003.mdb");
    EXPECT_EQ(database->tableDefinition("table1").firstPage,
              database->tableDefinition("TABLE1").firstPage);
    try {
        database->tableDefinition("No Such Table");
        FAIL() << "found a missing table";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.code(), ErrorCode::InputTableNotFound);
        EXPECT_STREQ(error.what(),
                     "The database engine cannot find the input table or query 'No Such Table'. "
                     "Make sure it exists and that its name is spelled correctly.");
    }
    // Queries live in the same name space but are not tables.
    auto queries = openFixture("jet4/queryTestV2003.mdb");
    EXPECT_EQ(support::errorOf([&] { queries->tableDefinition("SelectQuery"); }),
              ErrorCode::InputTableNotFound);
}

TEST(DatabaseRead, checksTheJetDatabasePassword) {
    const std::string locked = "jet4/password-V2000_with-password.mdb";
    EXPECT_EQ(support::errorOf([&] { openFixture(locked); }), ErrorCode::InvalidPassword);
    EXPECT_EQ(support::errorOf([&] { openFixture(locked, "Password"); }), ErrorCode::InvalidPassword);
    EXPECT_EQ(support::errorOf([&] { openFixture(locked, "password "); }), ErrorCode::InvalidPassword);
    auto database = openFixture(locked, "password");
    EXPECT_FALSE(database->catalog().objects().empty());
    // A password given for a file without one is ignored.
    EXPECT_NO_THROW(openFixture("jet4/password-V2000_no-password.mdb", "anything"));
    try {
        openFixture(locked, "secret-guess");
    } catch (const EngineError& error) {
        EXPECT_STREQ(error.what(), "Not a valid password.");
    }
}

TEST(DatabaseRead, readsIndexDefinitions) {
    auto database = openFixture("jet4/testV2003.mdb");
    auto catalogTable = database->tableDefinitionAt(catalog::kCatalogTablePage);
    ASSERT_EQ(catalogTable.logicalIndexes.size(), 2u);
    std::vector<std::string> names;
    for (const auto& index : catalogTable.logicalIndexes) names.push_back(index.name);
    EXPECT_NE(std::find(names.begin(), names.end(), "ParentIdName"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Id"), names.end());
    for (const auto& real : catalogTable.realIndexes) {
        EXPECT_TRUE(real.isUnique());
        EXPECT_GT(real.rootPage, 0u);
        EXPECT_FALSE(real.columns.empty());
        for (const auto& part : real.columns) EXPECT_TRUE(part.ascending);
    }
}

// Calculated columns, which mdbtools reads as plain ones, are checked against the column they
// are calculated from: the fixture's DateNormalCalc is DateNormal.
TEST(DatabaseRead, readsCalculatedColumns) {
    auto database = openFixture("ace17/extDateTestV2019.accdb");
    auto reader = database->readTable("Table1");
    const auto& definition = reader->definition();
    auto at = [&](const char* name) {
        return static_cast<size_t>(definition.findColumn(name) - definition.columns.data());
    };
    EXPECT_EQ(definition.columns[at("DateExt")].type, ColumnType::ExtDateTime);
    ASSERT_TRUE(definition.columns[at("DateNormalCalc")].isCalculated());
    std::vector<Value> row;
    int dated = 0;
    while (reader->next(row)) {
        EXPECT_EQ(row[at("DateNormalCalc")], row[at("DateNormal")]);
        if (!format::isNull(row[at("DateNormal")])) ++dated;
    }
    EXPECT_EQ(dated, 8);
}

TEST(DatabaseRead, reportsComplexColumnKinds) {
    auto database = openFixture("ace12/complexDataTestV2007.accdb");
    auto definition = database->tableDefinition("Table1");
    auto kindOf = [&](const char* name) {
        return database->complexKind(*definition.findColumn(name));
    };
    EXPECT_EQ(kindOf("attach-data"), catalog::ComplexKind::Attachment);
    EXPECT_EQ(kindOf("multi-value-data"), catalog::ComplexKind::MultiValue);
    EXPECT_EQ(kindOf("VersionHistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880"),
              catalog::ComplexKind::VersionHistory);
}

TEST(DatabaseRead, refusesEncryptedAceFilesClearly) {
    auto code = support::errorOf([] { openFixture("ace14/encrypted-office-agile-4.4.accdb"); });
    EXPECT_TRUE(code == ErrorCode::NotSupported || code == ErrorCode::InvalidPassword);
}

TEST(DatabaseRead, readsEveryObjectOfEveryFixture) {
    for (const auto& fixture : support::allFixtures()) {
        if (fixture.find("encrypted") != std::string::npos) continue;
        SCOPED_TRACE(fixture);
        std::string password = fixture.find("with-password") != std::string::npos ? "password" : "";
        auto database = openFixture(fixture, password);
        EXPECT_GT(support::readEverything(*database), 0u);
    }
}

}  // namespace
}  // namespace engine

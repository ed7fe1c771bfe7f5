// The program's own statements, exactly as it builds them, run through ADO connections opened
// as it opens them: the transfer's copy and drop, the delete command's drop, the rename's copy
// and drop. Every pair of formats, with and without source passwords, and one file as both
// source and destination. Copies are compared with their sources through the engine and
// through mdbtools.
#include "ado/connection.h"
#include "engine/database.h"
#include "support/engine_files.h"
#include "support/fixtures.h"

#include "ado_helpers.h"

#include <gtest/gtest.h>

namespace ado {
namespace {

using engine::Database;
using engine::storage::FileFormat;
using testing::opened;
using testing::programString;
using testing::Raised;
using testing::raisedBy;

std::string transferCopy(const std::string& name, const std::filesystem::path& path,
                         const std::string& password) {
    std::string statement =
        "SELECT " + std::string(" * INTO ") + name + " FROM [MS Access;DATABASE=" + path.string();
    if (!password.empty()) statement += ";PWD=" + password;
    return statement + "].[" + name + "]";
}
std::string transferDrop(const std::string& name) { return "DROP TABLE `" + name + "`"; }
std::string deleteDrop(const std::string& name) { return "DROP TABLE `" + name + "`;"; }
std::string renameCopy(const std::string& oldName, const std::string& newName) {
    return "SELECT a1.* INTO `" + newName + "` FROM `" + oldName + "` AS a1;";
}

std::string extensionOf(FileFormat format) {
    return engine::storage::isAce(format) ? ".accdb" : ".mdb";
}

// A database with the table "Orders": every column type both formats have, rows of every size.
void makeSource(const std::filesystem::path& path, FileFormat format, const std::string& password,
                FileFormat columnsOf) {
    auto database = Database::create(path, {.format = format, .password = password});
    const auto columns = support::everyColumnType(columnsOf);
    std::vector<std::vector<engine::format::Value>> rows;
    for (uint32_t seed = 0; seed < 30; ++seed) rows.push_back(support::sampleRow(columns, seed));
    database->createTable("Orders", columns, support::RowFeed(rows));
}

// The copy's columns are the source's: names, order, types, sizes; plain numbers where the
// source numbered its rows; and no indexes.
void expectSameShape(Database& source, const std::string& table, Database& copy,
                     const std::string& copyName) {
    const auto from = source.tableDefinition(table);
    const auto to = copy.tableDefinition(copyName);
    ASSERT_EQ(from.columns.size(), to.columns.size());
    const bool jet3 = engine::storage::isJet3(source.format());
    for (size_t index = 0; index < from.columns.size(); ++index) {
        const auto expected = engine::catalog::NewColumn::of(from.columns[index], jet3);
        const auto actual = engine::catalog::NewColumn::of(to.columns[index], false);
        EXPECT_EQ(actual.name, expected.name);
        EXPECT_EQ(actual.type, expected.type) << expected.name;
        EXPECT_EQ(actual.size, expected.size) << expected.name;
        EXPECT_EQ(actual.precision, expected.precision) << expected.name;
        EXPECT_EQ(actual.scale, expected.scale) << expected.name;
        EXPECT_EQ(actual.hyperlink, expected.hyperlink) << expected.name;
        EXPECT_FALSE(to.columns[index].isAutoNumber()) << expected.name;
        EXPECT_FALSE(to.columns[index].isGuidAutoNumber()) << expected.name;
    }
    EXPECT_TRUE(to.realIndexes.empty());
    EXPECT_TRUE(to.logicalIndexes.empty());
}

void expectSameRows(const std::filesystem::path& sourcePath, const std::string& sourcePassword,
                    const std::string& table, const std::filesystem::path& copyPath,
                    const std::string& copyName) {
    auto source = Database::open(sourcePath, {.password = sourcePassword});
    auto copy = Database::open(copyPath);
    expectSameShape(*source, table, *copy, copyName);
    EXPECT_EQ(support::sortedRows(support::allRows(*copy, copyName)),
              support::sortedRows(support::allRows(*source, table)));
}

struct FormatPair {
    FileFormat source;
    FileFormat destination;
};

TEST(ProgramStatements, transferDeleteAndRenameBetweenEveryPairOfFormats) {
    const FormatPair pairs[] = {{FileFormat::Jet4, FileFormat::Jet4},
                                {FileFormat::Jet4, FileFormat::Ace14},
                                {FileFormat::Ace14, FileFormat::Jet4},
                                {FileFormat::Ace12, FileFormat::Ace14},
                                {FileFormat::Ace17, FileFormat::Ace17}};
    for (const auto& pair : pairs) {
        for (const std::string& password : {std::string(), std::string("s3cret pw")}) {
            SCOPED_TRACE(std::string(engine::storage::formatName(pair.source)) + " -> " +
                         engine::storage::formatName(pair.destination) + " password '" + password +
                         "'");
            support::TempDir folder;
            const FileFormat columns = std::min(pair.source, pair.destination);
            const auto source = folder / ("source" + extensionOf(pair.source));
            const auto twin = folder / ("twin" + extensionOf(pair.source));
            const auto destination = folder / ("destination" + extensionOf(pair.destination));
            makeSource(source, pair.source, password, columns);
            makeSource(twin, pair.source, "", columns);  // for mdbtools, which reads no AES
            Database::create(destination, {.format = pair.destination});

            // Database #1 is the ACE file when there is one, so that both connections work;
            // the command runs in the direction that sends the source to the destination.
            const bool sourceFirst =
                engine::storage::isAce(pair.source) || !engine::storage::isAce(pair.destination);
            const auto& first = sourceFirst ? source : destination;
            auto database1 = opened(programString(first, first, sourceFirst ? password : ""));
            const auto& second = sourceFirst ? destination : source;
            auto database2 = opened(programString(first, second, sourceFirst ? "" : password));
            Connection& target = sourceFirst ? *database2 : *database1;

            target.execute(transferCopy("Orders", source, password));
            expectSameRows(source, password, "Orders", destination, "Orders");
            EXPECT_EQ(support::mdbExport(destination, "Orders"),
                      support::mdbExport(twin, "Orders"));

            // Overwriting: the drop, then the copy again.
            target.execute(transferDrop("Orders"));
            target.execute(transferCopy("Orders", source, password));
            // Renaming: copy under the new name, drop the old.
            target.execute(renameCopy("Orders", "Orders 2"));
            target.execute(transferDrop("Orders"));
            expectSameRows(source, password, "Orders", destination, "Orders 2");
            EXPECT_EQ(support::mdbExport(destination, "Orders 2"),
                      support::mdbExport(twin, "Orders"));
            // Deleting.
            target.execute(deleteDrop("Orders 2"));
            EXPECT_EQ(raisedBy([&] { target.execute(deleteDrop("Orders 2")); }).description,
                      "Table 'Orders 2' does not exist.");

            database1.reset();
            database2.reset();
            EXPECT_EQ(support::integrityProblems(destination), "");
            EXPECT_EQ(support::integrityProblems(source, password), "");
            auto check = Database::open(destination);
            EXPECT_EQ(check->catalog().findTable("Orders"), nullptr);
        }
    }
}

TEST(ProgramStatements, protectedFixturesAndProtectedDestinations) {
    for (const std::string fixture :
         {"jet4/password-V2000_with-password.mdb", "ace14/encrypted-office-agile-4.4.accdb"}) {
        for (FileFormat format : {FileFormat::Jet4, FileFormat::Ace12}) {
            SCOPED_TRACE(fixture + " into " + engine::storage::formatName(format));
            support::TempDir folder;
            const auto source = folder.copyFixture(fixture);
            const auto destination = folder / ("guarded" + extensionOf(format));
            Database::create(destination, {.format = format, .password = "dest pw"});
            // Send To Access #1: database #1 is the destination and chooses the provider.
            auto database1 = opened(programString(destination, destination, "dest pw"));
            const bool jetReadsAce =
                !engine::storage::isAce(format) && fixture.find("accdb") != std::string::npos;
            if (jetReadsAce) {
                // The Jet provider can open neither the ACE source nor a statement naming it.
                const std::string refused =
                    "Unrecognized database format '" + source.string() + "'.";
                EXPECT_EQ(raisedBy([&] {
                              opened(programString(destination, source, "password"));
                          }).description,
                          refused);
                Raised copy = raisedBy(
                    [&] { database1->execute(transferCopy("Table1", source, "password")); });
                EXPECT_EQ(copy.number, error_number::kGeneralFailure);
                EXPECT_EQ(copy.description, refused);
                continue;
            }
            auto database2 = opened(programString(destination, source, "password"));
            database1->execute(transferCopy("Table1", source, "password"));
            auto sourceDatabase = Database::open(source, {.password = "password"});
            auto copy = Database::open(destination, {.password = "dest pw"});
            expectSameShape(*sourceDatabase, "Table1", *copy, "Table1");
            EXPECT_EQ(support::sortedRows(support::allRows(*copy, "Table1")),
                      support::sortedRows(support::allRows(*sourceDatabase, "Table1")));
            EXPECT_EQ(support::integrityProblems(*copy), "");

            for (const std::string wrong : {"pass", "", "password "}) {
                Raised raised =
                    raisedBy([&] { database1->execute(transferCopy("Table1", source, wrong)); });
                EXPECT_EQ(raised.number, error_number::kInvalidPassword) << wrong;
            }
        }
    }
}

TEST(ProgramStatements, oneFileAsSourceAndDestination) {
    for (FileFormat format : {FileFormat::Jet4, FileFormat::Ace14}) {
        SCOPED_TRACE(engine::storage::formatName(format));
        support::TempDir folder;
        const auto path = folder / ("both" + extensionOf(format));
        makeSource(path, format, "pw", format);
        std::filesystem::create_symlink(path, folder / ("alias" + extensionOf(format)));
        const auto alias = folder / ("alias" + extensionOf(format));
        auto database1 = opened(programString(path, path, "pw"));
        auto database2 = opened(programString(path, alias, "pw"));
        EXPECT_EQ(sharedDatabaseCount(), 1u);

        // The transfer's copy of a table onto itself finds it there already.
        Raised onto = raisedBy([&] { database2->execute(transferCopy("Orders", path, "pw")); });
        EXPECT_EQ(onto.number, error_number::kErrorsInStatement);
        EXPECT_EQ(onto.description, "Table 'Orders' already exists.");

        // Naming the file by another path, the source password still checked.
        EXPECT_EQ(raisedBy([&] {
                      database2->execute("SELECT * INTO Copied FROM [MS Access;DATABASE=" +
                                         alias.string() + ";PWD=wrong].[Orders]");
                  }).number,
                  error_number::kInvalidPassword);
        database2->execute("SELECT  * INTO Copied FROM [MS Access;DATABASE=" + alias.string() +
                           ";PWD=pw].[Orders]");
        database1->execute(renameCopy("Copied", "Renamed"));
        database2->execute(transferDrop("Copied"));
        database1.reset();
        database2.reset();

        auto database = Database::open(path, {.password = "pw"});
        EXPECT_EQ(database->catalog().findTable("Copied"), nullptr);
        expectSameShape(*database, "Orders", *database, "Renamed");
        EXPECT_EQ(support::sortedRows(support::allRows(*database, "Renamed")),
                  support::sortedRows(support::allRows(*database, "Orders")));
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
}

// A connection that carries a progress callback tells it of each row the transfer's copy reads,
// with the rows the source table holds. A callback that throws ends the copy, and the
// destination stays as it was.
TEST(ProgramStatements, theTransfersCopyTellsItsProgressRowByRow) {
    support::TempDir folder;
    const auto source = folder / "source.mdb";
    const auto destination = folder / "destination.mdb";
    makeSource(source, FileFormat::Jet4, "", FileFormat::Jet4);
    Database::create(destination, {});
    auto connection = opened(programString(source, destination, ""));

    std::vector<std::pair<uint64_t, uint64_t>> told;
    connection->setCopyProgress(
        [&](uint64_t rows, uint64_t total) { told.emplace_back(rows, total); });
    connection->execute(transferCopy("Orders", source, ""));
    ASSERT_EQ(told.size(), 30u);
    for (uint64_t row = 0; row < told.size(); ++row) {
        EXPECT_EQ(told[row], std::make_pair(row + 1, uint64_t{30}));
    }

    struct Stopped {};
    connection->setCopyProgress([](uint64_t rows, uint64_t) {
        if (rows == 10) throw Stopped{};
    });
    EXPECT_THROW(connection->execute(renameCopy("Orders", "Again")), Stopped);
    connection.reset();
    auto database = Database::open(destination);
    EXPECT_EQ(database->catalog().findTable("Again"), nullptr);
    EXPECT_EQ(support::allRows(*database, "Orders").size(), 30u);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

}  // namespace
}  // namespace ado

// Malformed and hostile statements sent to a connection: each raises its error, no other
// statement runs, and the database is sound and holds the same tables afterwards.
#include "ado/connection.h"
#include "ado/tables_rowset.h"
#include "engine/database.h"
#include "support/engine_files.h"
#include "support/fixtures.h"

#include "ado_helpers.h"

#include <gtest/gtest.h>

namespace ado {
namespace {

using testing::aceString;
using testing::opened;
using testing::Raised;
using testing::raisedBy;

std::vector<std::string> tableNames(Connection& connection) {
    std::vector<std::string> names;
    auto rowset = connection.openSchema(kSchemaTables);
    for (; !rowset->eof(); rowset->moveNext()) {
        names.push_back(std::get<std::string>(rowset->field("TABLE_NAME")));
    }
    return names;
}

struct Hostile {
    std::string statement;
    int32_t number;
    std::string descriptionPart;
};

TEST(HostileStatements, eachFailsAloneAndLeavesTheDatabaseSound) {
    support::TempDir folder;
    const auto path = folder.copyFixture("jet4/testV2003.mdb");
    const auto other = folder.copyFixture("jet4/password-V2000_with-password.mdb", "other.mdb");
    const auto complex = folder.copyFixture("ace12/complexDataTestV2007.accdb");
    const std::string file = path.string();
    const std::string from = " FROM [MS Access;DATABASE=" + other.string() + ";PWD=password]";
    const auto nested = [](int depth) {
        return "SELECT * FROM Table1 WHERE " + std::string(depth, '(') + "A = 'x'" +
               std::string(depth, ')');
    };
    const int32_t statementError = error_number::kErrorsInStatement;
    const std::vector<Hostile> statements = {
        {"", statementError, "The statement is empty."},
        {"   ;  ", statementError, ""},
        {"SELECT " + std::string(1 << 20, 'a') + " FROM Table1", statementError,
         "longer than 64000 characters"},
        {std::string(1 << 20, ' ') + "DROP TABLE `Table1`", statementError, "longer"},
        // Unbalanced brackets and quotes.
        {"SELECT  * INTO Copy FROM [MS Access;DATABASE=" + file + ".[Table1]", statementError, ""},
        {"SELECT  * INTO Copy FROM [MS Access;DATABASE=" + file + "].[Table1", statementError,
         "never closed"},
        {"DROP TABLE `Table1", statementError, "never closed"},
        {"SELECT * FROM Table1 WHERE A = 'x", statementError, "never closed"},
        {nested(150), statementError, "nest more than 100"},
        // A second statement never runs.
        {"DROP TABLE `Table1`; DROP TABLE `Table2`", statementError,
         "Characters found after end of SQL statement."},
        {"DROP TABLE `Table1`;;", statementError, ""},
        {"SELECT a1.* INTO `New` FROM `Table1` AS a1; DROP TABLE `Table2`", statementError, ""},
        {"SELECT  * INTO Copy" + from + ".[Table1]; DROP TABLE Table2", statementError, ""},
        // Names the program inserts unchanged: with "]", ";", a backquote, a blank, reserved.
        {"SELECT  * INTO Ta]ble1" + from + ".[Ta]ble1]", statementError, ""},
        {"SELECT  * INTO Table1" + from + ".[Table1]]", statementError, ""},
        {"SELECT a1.* INTO `Ne`w` FROM `Table1` AS a1;", statementError, ""},
        {"DROP TABLE `Tab`le1`", statementError, ""},
        {"DROP TABLE `Table1`` DROP TABLE `Table2`", statementError, ""},
        {"SELECT  * INTO Order" + from + ".[Order]", statementError, "reserved word 'Order'"},
        {"SELECT  * INTO Select" + from + ".[Select]", statementError, "reserved word"},
        {"SELECT  * INTO Order Details" + from + ".[Order Details]", statementError, ""},
        {"SELECT  * INTO Table1;" + from + ".[Table1]", statementError, ""},
        // Paths and passwords holding "]" or ";".
        {"SELECT  * INTO Copy FROM [MS Access;DATABASE=" + folder.path().string() +
             "/a]b.mdb].[Table1]",
         statementError, ""},
        {"SELECT  * INTO Copy FROM [MS Access;DATABASE=" + folder.path().string() +
             "/a;b.mdb].[Table1]",
         statementError, "not of the form KEYWORD=value"},
        {"SELECT  * INTO Copy FROM [MS Access;DATABASE=" + other.string() +
             ";PWD=pass]word].[Table1]",
         statementError, ""},
        {"SELECT  * INTO Copy FROM [MS Access;DATABASE=" + other.string() +
             ";PWD=pass;word].[Table1]",
         statementError, ""},
        {"SELECT  * INTO Copy FROM [ODBC;DATABASE=" + file + "].[Table1]",
         error_number::kGeneralFailure, "only MS Access files"},
        // Statements that parse but cannot run.
        {"SELECT  * INTO Copy FROM [MS Access;DATABASE=" + folder.path().string() +
             "/missing.mdb].[Table1]",
         error_number::kGeneralFailure, "Could not find file"},
        {"SELECT  * INTO Copy FROM [MS Access;DATABASE=" + other.string() + "].[Table1]",
         error_number::kInvalidPassword, "Not a valid password."},
        {"SELECT  * INTO Copy" + from + ".[Missing]", error_number::kTableNotFound,
         "cannot find the input table or query 'Missing'"},
        {"SELECT  * INTO Table2" + from + ".[Table1]", statementError,
         "Table 'Table2' already exists."},
        {"SELECT  * INTO table2" + from + ".[Table1]", statementError,
         "Table 'table2' already exists."},
        {"SELECT  * INTO Copy FROM [MS Access;DATABASE=" + complex.string() + "].[Table1]",
         error_number::kGeneralFailure, "holds attachments or several values"},
        {"SELECT  * INTO MSysObjects" + from + ".[Table1]", statementError, "already exists"},
        {"DROP TABLE `Missing`", error_number::kTableNotFound, "Table 'Missing' does not exist."},
        {"DROP TABLE `MSysObjects`;", error_number::kGeneralFailure, "is a system table"},
        {"INSERT INTO MSysObjects (Name) VALUES ('x')", error_number::kGeneralFailure, "read-only"},
        {"SELECT Nothing INTO Copy FROM Table1", error_number::kMissingParameter, "'Nothing'"},
        {"SELECT * INTO Copy FROM Table1 WHERE A = 1", error_number::kTypeMismatch,
         "Data type mismatch"},
        {"SELECT * INTO Copy FROM Table1 WHERE A LIKE '[a'", statementError, "LIKE pattern"},
        {"SELECT A, A INTO Copy FROM Table1", statementError, "more than once"},
        {"SELECT * INTO [Copy] IN '' FROM Table1", statementError, "names no file"},
        {"SELECT * INTO [Copy] IN '" + folder.path().string() + "/none.mdb' FROM Table1",
         error_number::kGeneralFailure, "Could not find file"},
        {"CREATE TABLE Copy (A TEXT(10), B LONG, PRIMARY KEY (A))", statementError,
         "field definition"},
    };

    auto connection = opened(aceString(path));
    const auto before = tableNames(*connection);
    for (const auto& hostile : statements) {
        SCOPED_TRACE(hostile.statement.substr(0, 200));
        Raised raised = raisedBy([&] { connection->execute(hostile.statement); });
        EXPECT_EQ(raised.number, hostile.number) << raised.description;
        EXPECT_NE(raised.description.find(hostile.descriptionPart), std::string::npos)
            << raised.description;
        EXPECT_EQ(raised.description.find("word]"), std::string::npos) << raised.description;
        EXPECT_EQ(tableNames(*connection), before);
    }
    connection.reset();
    EXPECT_EQ(support::integrityProblems(path), "");
    EXPECT_EQ(support::integrityProblems(other, "password"), "");
}

TEST(HostileStatements, closedAndReadOnlyConnectionsChangeNothing) {
    support::TempDir folder;
    const auto path = folder.copyFixture("jet4/testV2003.mdb");

    Connection closed;
    for (const char* statement : {"DROP TABLE `Table1`", "SELECT * FROM Table1", ""}) {
        Raised raised = raisedBy([&] { closed.execute(statement); });
        EXPECT_EQ(raised.number, 3704);
        EXPECT_EQ(raised.description, "Operation is not allowed when the object is closed.");
    }

    auto reader = opened(aceString(path), kModeRead);
    auto writer = opened(aceString(path));  // shares the file, now for writing
    for (const std::string statement :
         {"DROP TABLE `Table1`", "SELECT * INTO Copy FROM Table1", "CREATE TABLE T (A LONG)",
          "INSERT INTO Table1 (A) VALUES ('x')"}) {
        Raised raised = raisedBy([&] { reader->execute(statement); });
        EXPECT_EQ(raised.number, error_number::kGeneralFailure) << statement;
        EXPECT_EQ(raised.description, "Cannot update. Database or object is read-only.");
    }
    auto rows = reader->execute("SELECT A FROM Table1 WHERE A LIKE 'a*'");
    EXPECT_FALSE(rows->eof());
    writer->execute("SELECT * INTO Copy FROM Table1");
    EXPECT_EQ(tableNames(*reader), tableNames(*writer));
}

// Access 97 files take the same statements as the later formats.
TEST(HostileStatements, access97ConnectionsChangeTheirFile) {
    support::TempDir folder;
    const auto jet3 = folder.copyFixture("jet3/testV1997.mdb");
    auto old = opened(aceString(jet3));
    EXPECT_FALSE(old->execute("SELECT * FROM Table1")->eof());
    old->execute("SELECT * INTO Copy FROM Table1");
    old->execute("CREATE TABLE T (A LONG)");
    old->execute("DROP TABLE `Table1`");
    EXPECT_EQ(tableNames(*old),
              (std::vector<std::string>{"MSysModules", "MSysModules2", "MSysACEs", "MSysObjects",
                                        "MSysQueries", "MSysRelationships", "Copy", "T", "Table2",
                                        "Table3", "Table4"}));
    old.reset();
    EXPECT_EQ(support::integrityProblems(jet3), "");
}

}  // namespace
}  // namespace ado

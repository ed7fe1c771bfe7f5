// Opening and closing connections: the connection strings the program builds, the two
// providers and the formats each opens, passwords, sharing one file between connections, and
// the run-time errors of each failure.
#include "ado/connection.h"

#include "ado/object_factory.h"
#include "ado/tables_rowset.h"
#include "engine/database.h"
#include "engine/storage/unicode.h"
#include "support/fixtures.h"
#include "support/process.h"

#include "ado_helpers.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace ado {
namespace {

using testing::aceString;
using testing::jetString;
using testing::opened;
using testing::Raised;
using testing::raisedBy;

// The names of the user tables a connection lists.
std::vector<std::string> userTables(Connection& connection) {
    std::vector<std::string> names;
    auto rowset = connection.openSchema(kSchemaTables);
    for (; !rowset->eof(); rowset->moveNext()) {
        if (std::get<std::string>(rowset->field("TABLE_TYPE")) == "TABLE") {
            names.push_back(std::get<std::string>(rowset->field("TABLE_NAME")));
        }
    }
    rowset->close();
    return names;
}

// The user tables as mdbtools lists them, in the rowset's order (by name).
std::vector<std::string> mdbTables(const std::filesystem::path& path) {
    std::vector<std::string> names;
    std::istringstream lines(support::runProcess({"mdb-tables", "-1", path.string()}).out);
    for (std::string line; std::getline(lines, line);) names.push_back(line);
    std::sort(names.begin(), names.end(), [](const std::string& left, const std::string& right) {
        return engine::storage::foldedCase(left) < engine::storage::foldedCase(right);
    });
    return names;
}

TEST(ObjectFactory, createsConnectionsByClassNameOnly) {
    ObjectFactory factory;
    for (const char* name : {"ADODB.Connection", "adodb.connection", "ADODB.CONNECTION"}) {
        auto connection = factory.createObject(name);
        ASSERT_NE(connection, nullptr) << name;
        EXPECT_EQ(connection->state(), kStateClosed);
    }
    for (const char* name : {"ADODB.Recordset", "", "ADODB.Connection ", "ADODB"}) {
        Raised raised = raisedBy([&] { factory.createObject(name); });
        EXPECT_EQ(raised.number, 429) << name;
        EXPECT_EQ(raised.description, "ActiveX component can't create object");
    }
    factory.setConnectionClassAbsent(true);
    EXPECT_EQ(raisedBy([&] { factory.createObject("ADODB.Connection"); }).number, 429);
    EXPECT_EQ(raisedBy([&] { ObjectFactory().createObject("ADODB.Connection"); }).number, 0);
    factory.setConnectionClassAbsent(false);
    EXPECT_NE(factory.createObject("ADODB.Connection"), nullptr);
}

TEST(ConnectionString, keywordsIgnoreCaseAndValuesAreVerbatim) {
    support::TempDir folder;
    const auto path = folder / "guarded.accdb";
    engine::Database::create(path,
                             {.format = engine::storage::FileFormat::Ace14, .password = " a=b "});
    const std::string file = path.string();

    for (const std::string& text : {
             aceString(path, " a=b "),
             "provider=microsoft.ace.oledb.12.0;DATA SOURCE=" + file +
                 ";jet oledb:database password= a=b ",
             ";;  Provider =Microsoft.ACE.OLEDB.12.0;; Data Source=" + file +
                 ";JET OLEDB:Database Password= a=b ;",
             "JET OLEDB:Database Password= a=b ;Data Source=" + file +
                 ";Provider=Microsoft.ACE.OLEDB.12.0",
         }) {
        SCOPED_TRACE(text);
        EXPECT_EQ(raisedBy([&] { opened(text); }).number, 0);
    }
    // The blanks around the password belong to it.
    EXPECT_EQ(raisedBy([&] { opened(aceString(path, "a=b")); }).number,
              error_number::kInvalidPassword);
    // ... and those after "Provider=" to the provider's name.
    EXPECT_EQ(raisedBy([&] {
                  opened("Provider= Microsoft.ACE.OLEDB.12.0;Data Source=" + file +
                         ";JET OLEDB:Database Password= a=b ");
              }).number,
              error_number::kProviderNotFound);
    // Blanks after the path make it another path.
    Raised blankAfterPath = raisedBy([&] { opened(aceString(file + " ", " a=b ")); });
    EXPECT_EQ(blankAfterPath.number, error_number::kGeneralFailure);
    EXPECT_EQ(blankAfterPath.description, "Could not find file '" + file + " '.");
}

TEST(ConnectionString, malformedStringsAndUnknownKeywordsAreRefused) {
    support::TempDir folder;
    const std::string file = folder.copyFixture("jet4/testV2003.mdb").string();
    const std::string provider = "Provider=Microsoft.ACE.OLEDB.12.0;";
    struct Case {
        std::string text;
        int32_t number;
        std::string description;
    };
    const std::vector<Case> cases = {
        {provider + "Data Source=" + file + ";garbage", error_number::kBadConnectionString,
         "The connection string is malformed: part 3 is not of the form KEYWORD=value."},
        {provider + "=x;Data Source=" + file, error_number::kBadConnectionString, "part 2"},
        {provider + "Data Source=" + file + ";DATA SOURCE=" + file,
         error_number::kBadConnectionString, "part 3 gives a keyword that an earlier part"},
        {provider + "Data Source=" + file + ";Persist Security Info=False",
         error_number::kGeneralFailure, "Could not find installable ISAM."},
        {provider + "Data Source=" + file + ";Mode=Share Deny None", error_number::kGeneralFailure,
         "Could not find installable ISAM."},
        {"Data Source=" + file, error_number::kProviderNotFound,
         "Provider cannot be found. It may not be properly installed."},
        {"", error_number::kProviderNotFound, "Provider cannot be found."},
        {"Provider=Microsoft.ACE.OLEDB.16.0;Data Source=" + file, error_number::kProviderNotFound,
         "Provider cannot be found."},
        {"Provider=SQLOLEDB;Data Source=" + file, error_number::kProviderNotFound,
         "Provider cannot be found."},
        {"Provider=Microsoft.Jet.OLEDB.4.0 ;Data Source=" + file, error_number::kProviderNotFound,
         "Provider cannot be found."},
        // The provider is looked for before the file.
        {"Provider=Other;Data Source=" + file + ".missing", error_number::kProviderNotFound,
         "Provider cannot be found."},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.text);
        Raised raised = raisedBy([&] { opened(test.text); });
        EXPECT_EQ(raised.number, test.number);
        EXPECT_NE(raised.description.find(test.description), std::string::npos)
            << raised.description;
    }
}

TEST(Providers, jetOpensJetFilesAndAceOpensEveryFormat) {
    support::TempDir folder;
    const std::vector<std::pair<std::string, bool>> files = {
        {"jet3/testV1997.mdb", true},
        {"jet4/testV2003.mdb", true},
        {"ace12/testV2007.accdb", false},
        {"ace14/testV2010.accdb", false},
        {"ace16/empty2016.accdb", false},
        {"ace17/extDateTestV2019.accdb", false},
        {"ace14/encrypted-office-agile-4.4.accdb", false},
    };
    for (const auto& [fixture, jetFile] : files) {
        SCOPED_TRACE(fixture);
        const auto path = folder.copyFixture(fixture);
        const std::string password =
            fixture.find("encrypted") != std::string::npos ? "password" : "";
        EXPECT_EQ(raisedBy([&] { opened(aceString(path, password)); }).number, 0);
        Raised jet = raisedBy([&] { opened(jetString(path, password)); });
        if (jetFile) {
            EXPECT_EQ(jet.number, 0);
        } else {
            EXPECT_EQ(jet.number, error_number::kGeneralFailure);
            EXPECT_EQ(jet.description, "Unrecognized database format '" + path.string() + "'.");
            // The format is refused before the password is looked at.
            EXPECT_EQ(raisedBy([&] { opened(jetString(path, "wrong")); }).description,
                      jet.description);
        }
    }
}

TEST(Providers, theFileDecidesNotItsName) {
    support::TempDir folder;
    const auto upper = folder.copyFixture("ace14/testV2010.accdb", "SALES.ACCDB");
    const auto noDot = folder.copyFixture("ace14/testV2010.accdb", "salesaccdb");
    const auto jetNamedAccdb = folder.copyFixture("jet4/testV2003.mdb", "old.accdb");
    const auto aceTables = mdbTables(support::fixture("ace14/testV2010.accdb"));
    EXPECT_EQ(userTables(*opened(aceString(upper))), aceTables);
    EXPECT_EQ(userTables(*opened(aceString(noDot))), aceTables);
    EXPECT_EQ(raisedBy([&] { opened(jetString(upper)); }).description,
              "Unrecognized database format '" + upper.string() + "'.");
    EXPECT_EQ(raisedBy([&] { opened(jetString(noDot)); }).number, error_number::kGeneralFailure);
    const auto jetTables = mdbTables(jetNamedAccdb);
    EXPECT_EQ(userTables(*opened(jetString(jetNamedAccdb))), jetTables);
    EXPECT_EQ(userTables(*opened(aceString(jetNamedAccdb))), jetTables);
}

TEST(Providers, missingForeignAndBusyFilesAreGeneralFailures) {
    support::TempDir folder;
    const auto missing = folder / "missing.mdb";
    const auto text = folder / "notes.mdb";
    std::ofstream(text) << "not a database, though longer than nothing at all\n";
    const auto busy = folder.copyFixture("jet4/testV2003.mdb");
    auto otherWriter = engine::Database::open(busy, {.mode = engine::AccessMode::ReadWrite});

    for (const auto& make : {aceString, jetString}) {
        Raised absent = raisedBy([&] { opened(make(missing, "")); });
        EXPECT_EQ(absent.number, error_number::kGeneralFailure);
        EXPECT_EQ(absent.description, "Could not find file '" + missing.string() + "'.");
        Raised foreign = raisedBy([&] { opened(make(text, "")); });
        EXPECT_EQ(foreign.number, error_number::kGeneralFailure);
        EXPECT_EQ(foreign.description, "Unrecognized database format '" + text.string() + "'.");
        Raised folderItself = raisedBy([&] { opened(make(folder.path(), "")); });
        EXPECT_EQ(folderItself.number, error_number::kGeneralFailure);
        Raised inUse = raisedBy([&] { opened(make(busy, "")); });
        EXPECT_EQ(inUse.number, error_number::kGeneralFailure);
        EXPECT_EQ(inUse.description, "Could not use '" + busy.string() + "'; file already in use.");
        // Reading does not need the writer's lock.
        EXPECT_EQ(userTables(*opened(make(busy, ""), kModeRead)).size(), 4u);
    }
}

TEST(Passwords, openOnlyWithTheRightPasswordAndAreNeverShown) {
    support::TempDir folder;
    const auto jetFixture = folder.copyFixture("jet4/password-V2000_with-password.mdb");
    const auto agile = folder.copyFixture("ace14/encrypted-office-agile-4.4.accdb");
    const auto made = folder / "made.mdb";
    engine::Database::create(
        made, {.format = engine::storage::FileFormat::Jet4, .password = "Sekr1t pass"});
    const auto madeAce = folder / "made.accdb";
    engine::Database::create(
        madeAce, {.format = engine::storage::FileFormat::Ace12, .password = "Sekr1t pass"});

    struct Case {
        std::filesystem::path path;
        std::string password;
    };
    for (const auto& [path, password] : {Case{jetFixture, "password"}, Case{agile, "password"},
                                         Case{made, "Sekr1t pass"}, Case{madeAce, "Sekr1t pass"}}) {
        SCOPED_TRACE(path.string());
        EXPECT_EQ(raisedBy([&] { opened(aceString(path, password)); }).number, 0);
        for (const std::string& wrong : {std::string(), password + " ", std::string("PASSWORD")}) {
            Raised raised = raisedBy([&] { opened(aceString(path, wrong)); });
            EXPECT_EQ(raised.number, error_number::kInvalidPassword) << wrong;
            EXPECT_EQ(raised.description, "Not a valid password.");
        }
    }

    // Whatever fails, the description holds no part of the password, even of one holding ";".
    const std::string secret = "Sekr1t";
    const std::vector<std::string> failing = {
        aceString(folder / "missing.mdb", secret),
        aceString(made, secret + ";" + secret),
        aceString(made, "x;" + secret + "=1;" + secret),
        aceString(made, "x;" + secret),
        "Provider=" + secret + ";Data Source=" + made.string(),
        jetString(madeAce, secret),
        aceString(made, secret) + ";" + secret + "=" + secret,
    };
    for (const auto& text : failing) {
        Raised raised = raisedBy([&] { opened(text); });
        EXPECT_NE(raised.number, 0) << text;
        EXPECT_EQ(raised.description.find(secret), std::string::npos) << raised.description;
    }
}

TEST(ConnectionState, propertiesAndOperationsFollowTheState) {
    support::TempDir folder;
    const auto path = folder.copyFixture("jet4/testV2003.mdb");
    Connection connection;
    EXPECT_EQ(connection.cursorLocation(), kUseServer);
    EXPECT_EQ(connection.mode(), kModeUnknown);
    EXPECT_EQ(connection.state(), kStateClosed);
    EXPECT_EQ(raisedBy([&] { connection.setCursorLocation(1); }).number, 3001);
    EXPECT_EQ(raisedBy([&] { connection.setMode(4); }).number, 3001);
    EXPECT_EQ(raisedBy([&] { connection.setMode(-1); }).number, 3001);
    connection.setCursorLocation(kUseClient);
    connection.setCursorLocation(kUseServer);
    connection.setMode(kModeReadWrite);

    const std::string closed = "Operation is not allowed when the object is closed.";
    EXPECT_EQ(raisedBy([&] { connection.openSchema(kSchemaTables); }).description, closed);
    EXPECT_EQ(raisedBy([&] { connection.close(); }).number, 3704);

    connection.open(jetString(path));
    EXPECT_EQ(connection.state(), kStateOpen);
    EXPECT_EQ(connection.mode(), kModeReadWrite);
    const std::string open = "Operation is not allowed when the object is open.";
    EXPECT_EQ(raisedBy([&] { connection.open(jetString(path)); }).description, open);
    EXPECT_EQ(raisedBy([&] { connection.setMode(kModeRead); }).number, 3705);
    connection.setCursorLocation(kUseClient);
    Raised otherSchema = raisedBy([&] { connection.openSchema(4); });
    EXPECT_EQ(otherSchema.number, 3251);
    EXPECT_EQ(userTables(connection).size(), 4u);

    connection.close();
    EXPECT_EQ(connection.state(), kStateClosed);
    EXPECT_EQ(raisedBy([&] { connection.openSchema(kSchemaTables); }).number, 3704);
    EXPECT_EQ(raisedBy([&] { connection.close(); }).number, 3704);
    // A failed open leaves it closed and ready for another.
    EXPECT_NE(raisedBy([&] { connection.open(jetString(folder / "none.mdb")); }).number, 0);
    EXPECT_EQ(connection.state(), kStateClosed);
    connection.open(aceString(path));
    EXPECT_EQ(connection.state(), kStateOpen);
}

TEST(SharedFiles, connectionsToOneFileShareItAndTheLastOneClosesIt) {
    support::TempDir folder;
    const auto path = folder.copyFixture("jet4/testV2003.mdb");
    std::filesystem::create_symlink(path, folder / "link.mdb");
    std::filesystem::create_directory(folder / "sub");
    const auto writerIsRefused = [&] {
        try {
            engine::Database::open(path, {.mode = engine::AccessMode::ReadWrite});
            return false;
        } catch (const engine::EngineError& error) {
            return error.code() == engine::ErrorCode::FileInUse;
        }
    };

    EXPECT_EQ(sharedDatabaseCount(), 0u);
    auto first = opened(jetString(path));
    auto second = opened(aceString(folder / "sub" / ".." / "testV2003.mdb"), kModeReadWrite);
    auto third = opened(jetString(folder / "link.mdb"));
    EXPECT_EQ(sharedDatabaseCount(), 1u);
    EXPECT_TRUE(writerIsRefused());
    // A connection to the file must still give its password (none here is wrong).
    EXPECT_EQ(raisedBy([&] { opened(jetString(path, "anything")); }).number, 0);

    first->close();
    EXPECT_EQ(userTables(*second).size(), 4u);
    second.reset();
    EXPECT_EQ(userTables(*third).size(), 4u);
    EXPECT_TRUE(writerIsRefused());
    third.reset();
    EXPECT_EQ(sharedDatabaseCount(), 0u);
    EXPECT_FALSE(writerIsRefused());
}

TEST(SharedFiles, aJoiningConnectionNeedsThePasswordAndAWriterReplacesAReader) {
    support::TempDir folder;
    const auto path = folder.copyFixture("jet4/password-V2000_with-password.mdb");
    auto reader = opened(jetString(path, "password"), kModeRead);
    // Reading does not take the writer's lock.
    EXPECT_NO_THROW(engine::Database::open(
        path, {.password = "password", .mode = engine::AccessMode::ReadWrite}));
    EXPECT_EQ(raisedBy([&] { opened(jetString(path, "wrong")); }).number,
              error_number::kInvalidPassword);
    EXPECT_EQ(raisedBy([&] { opened(jetString(path, ""), kModeRead); }).number,
              error_number::kInvalidPassword);

    auto writer = opened(jetString(path, "password"));
    EXPECT_EQ(sharedDatabaseCount(), 1u);
    try {
        engine::Database::open(path,
                               {.password = "password", .mode = engine::AccessMode::ReadWrite});
        ADD_FAILURE() << "a second writer opened the file";
    } catch (const engine::EngineError& error) {
        EXPECT_EQ(error.code(), engine::ErrorCode::FileInUse);
    }
    EXPECT_EQ(userTables(*reader), userTables(*writer));
}

}  // namespace
}  // namespace ado

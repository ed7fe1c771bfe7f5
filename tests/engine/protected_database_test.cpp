// Password-protected and encrypted databases: opened with the password exactly as typed,
// written so that every page stays encrypted, read back in a new process.
#include "engine/database.h"
#include "engine/storage/unicode.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/process.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace engine {
namespace {

using format::ColumnType;
using format::Value;
using storage::FileFormat;

const std::string kMarker = "A sentence nobody could find in the clear, with Ünïcödé";

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool holdsInClear(const std::filesystem::path& path, const std::string& text) {
    std::string bytes = fileText(path);
    std::u16string wide = storage::utf8ToUtf16(text);
    std::string utf16;
    for (char16_t unit : wide) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    // Text columns may store compressed (one byte a character) or UTF-16 text.
    std::string latin = storage::utf8ToCodePage(text, 1252);
    return bytes.find(utf16) != std::string::npos || bytes.find(latin) != std::string::npos;
}

ErrorCode openError(const std::filesystem::path& path, const std::string& password) {
    try {
        Database::open(path, {.password = password});
    } catch (const EngineError& error) {
        const std::string text = error.what();
        if (!password.empty() &&
            std::string("Not a valid password.").find(password) == std::string::npos) {
            EXPECT_EQ(text.find(password), std::string::npos) << "the error names the password";
        }
        return error.code();
    }
    return ErrorCode::Internal;
}

void writeMarkerTable(Database& database, const std::string& name) {
    std::vector<std::vector<Value>> rows;
    for (int index = 0; index < 50; ++index) {
        rows.push_back(
            {Value(int32_t{index}), Value(kMarker), Value(kMarker + " " + std::to_string(index))});
    }
    database.createTable(name,
                         {{.name = "Id", .type = ColumnType::Long},
                          {.name = "Line", .type = ColumnType::Text},
                          {.name = "Note", .type = ColumnType::Memo}},
                         support::RowFeed(rows));
}

// Reads a table's rows in a new process and reports their count through the exit status.
int rowsSeenByAnotherProcess(const std::filesystem::path& path, const std::string& password,
                             const std::string& table) {
    pid_t child = ::fork();
    if (child == 0) {
        try {
            auto database = Database::open(path, {.password = password});
            auto rows = support::allRows(*database, table);
            bool intact = true;
            for (const auto& row : rows) {
                intact = intact && row.at(1) == Value(kMarker);
            }
            ::_exit(intact ? static_cast<int>(rows.size()) : 255);
        } catch (...) {
            ::_exit(254);
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ProtectedDatabase, theAgileFixtureOpensOnlyWithItsPassword) {
    auto path = support::fixture("ace14/encrypted-office-agile-4.4.accdb");
    auto database = Database::open(path, {.password = "password"});
    auto rows = support::allRows(*database, "Table1");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<Value>{Value(int32_t{1}), Value(std::string("One"))}));
    EXPECT_EQ(rows[1], (std::vector<Value>{Value(int32_t{2}), Value(std::string("Two"))}));
    EXPECT_EQ(rows[2], (std::vector<Value>{Value(int32_t{3}), Value(std::string("Three"))}));
    EXPECT_EQ(support::integrityProblems(*database), "");
    for (const char* wrong : {"", "Password", "password ", " password", "passwort", "pässword"}) {
        EXPECT_EQ(openError(path, wrong), ErrorCode::InvalidPassword) << wrong;
    }
}

TEST(ProtectedDatabase, tablesCopiedIntoTheAgileFixtureStayEncrypted) {
    support::TempDir folder;
    auto path = folder.copyFixture("ace14/encrypted-office-agile-4.4.accdb");
    {
        auto database = support::openForWriting(path, "password");
        writeMarkerTable(*database, "Secret");
        copyTable(*database, "Table1", *database, "Table1 copy");
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
    EXPECT_EQ(rowsSeenByAnotherProcess(path, "password", "Secret"), 50);
    EXPECT_FALSE(holdsInClear(path, kMarker));
    EXPECT_FALSE(holdsInClear(path, "Secret"));
    auto database = Database::open(path, {.password = "password"});
    EXPECT_EQ(support::allRows(*database, "Table1 copy"), support::allRows(*database, "Table1"));
}

TEST(ProtectedDatabase, theJetPasswordFixtureCopiesOut) {
    support::TempDir folder;
    auto source = support::fixture("jet4/password-V2000_with-password.mdb");
    auto sourceDatabase = Database::open(source, {.password = "password"});
    auto targetPath = folder / "out.mdb";
    auto target = Database::create(targetPath, {});
    for (const auto& object : sourceDatabase->catalog().objects()) {
        if (object.kind != catalog::ObjectKind::Table) continue;
        copyTable(*sourceDatabase, object.name, *target, object.name);
        // mdbtools opens the protected file as it ignores the Jet password.
        EXPECT_EQ(support::mdbExport(targetPath, object.name),
                  support::mdbExport(source, object.name));
    }
}

// New protected files of each kind: opened with exactly their password, written, read back by
// another process, and (for encrypted files) without the data in the clear.
TEST(ProtectedDatabase, newProtectedFilesRoundTrip) {
    support::TempDir folder;
    struct Case {
        FileFormat format;
        bool encodePages;
        bool encrypted;
        const char* name;
    };
    const Case cases[] = {{FileFormat::Jet3, false, false, "header97.mdb"},
                          {FileFormat::Jet3, true, true, "encoded97.mdb"},
                          {FileFormat::Jet4, false, false, "header.mdb"},
                          {FileFormat::Jet4, true, true, "encoded.mdb"},
                          {FileFormat::Ace12, false, true, "rc4.accdb"},
                          {FileFormat::Ace14, false, true, "agile14.accdb"},
                          {FileFormat::Ace17, false, true, "agile17.accdb"}};
    const std::string password = "p@ss word; ]ü€";
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        auto path = folder / test.name;
        {
            auto database = Database::create(
                path,
                {.format = test.format, .password = password, .encodePages = test.encodePages});
            writeMarkerTable(*database, "Secret");
            EXPECT_EQ(support::integrityProblems(*database), "");
        }
        EXPECT_EQ(rowsSeenByAnotherProcess(path, password, "Secret"), 50);
        for (const std::string& wrong :
             {std::string(""), password + " ", std::string("p@ss word; ]u€")}) {
            EXPECT_EQ(openError(path, wrong), ErrorCode::InvalidPassword);
        }
        EXPECT_EQ(holdsInClear(path, kMarker), !test.encrypted);
        {
            auto database = support::openForWriting(path, password);
            database->dropTable("Secret");
            writeMarkerTable(*database, "Again");
            EXPECT_EQ(support::integrityProblems(*database), "");
        }
        EXPECT_EQ(rowsSeenByAnotherProcess(path, password, "Again"), 50);
        if (!storage::isAce(test.format)) {
            // mdbtools reads Jet page encoding and ignores the header password.
            auto exported = support::runProcess({"mdb-export", path.string(), "Again"});
            EXPECT_NE(exported.out.find("with Ü"), std::string::npos) << exported.err;
        }
    }
}

TEST(ProtectedDatabase, aJetPasswordIsAtMostTwentyCharacters) {
    support::TempDir folder;
    EXPECT_THROW(Database::create(folder / "long.mdb", {.password = std::string(21, 'x')}),
                 EngineError);
    EXPECT_FALSE(std::filesystem::exists(folder / "long.mdb"));
    auto database = Database::create(folder / "twenty.mdb", {.password = std::string(20, 'x')});
    EXPECT_EQ(support::integrityProblems(*database), "");
}

}  // namespace
}  // namespace engine

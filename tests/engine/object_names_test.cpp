// Table names as the catalogue compares them: two names are one exactly when the catalogue's
// unique index on (ParentId, Name) cannot hold both. Each file format's sort order is tried:
// General Legacy (Jet 4) and General (Access 2010).
#include "engine/database.h"
#include "engine/sql/executor.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/mdb_reader.h"
#include "support/process.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>

namespace engine {
namespace {

using storage::FileFormat;

struct NamePair {
    const char* stored;
    const char* asked;
};

// One name apart from letter case, in several scripts, and the sort order's own equalities.
const NamePair kSameName[] = {
    {"Ấp Bắc", "ấp bắc"},   // Vietnamese: letters with two accents
    {"ΟΔΟΣ", "οδος"},       // Greek: final sigma against capital sigma
    {"Москва", "МОСКВА"},   // Cyrillic
    {"ＡＢＣ", "ａｂｃ"},   // full-width Latin
    {"ＡＢＣ", "abc"},      // full-width against plain Latin
    {"Straße", "STRASSE"},  // German sharp s against double s
    {"Orders ", "orders"},  // trailing blanks do not count
};

// Names the index keeps apart: accents, the Turkish dotted and dotless i, different emoji.
const NamePair kOtherName[] = {
    {"Izmir", "İzmir"},
    {"Izmir", "ızmir"},
    {"Résumé", "Resume"},
    {"😀", "😃"},
};

void run(Database& database, const std::string& statement) { sql::execute(database, statement); }

std::vector<std::string> listedTables(const std::filesystem::path& path) {
    auto listed = support::runProcess({"mdb-tables", "-1", path.string()});
    std::vector<std::string> names;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);) names.push_back(line);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ObjectNames, oneNameInAnyLetterCaseOfAnyScript) {
    support::TempDir folder;
    for (FileFormat format : {FileFormat::Jet4, FileFormat::Ace14}) {
        SCOPED_TRACE(storage::formatName(format));
        auto path = folder / (std::string("names-") + storage::formatName(format));
        auto database = Database::create(path, {.format = format});
        for (const auto& pair : kSameName) {
            SCOPED_TRACE(pair.asked);
            const std::string stored = std::string("[") + pair.stored + "]";
            const std::string asked = std::string("[") + pair.asked + "]";
            run(*database, "CREATE TABLE " + stored + " (Id INT)");
            run(*database, "INSERT INTO " + stored + " VALUES (7)");
            EXPECT_EQ(
                support::errorOf([&] { run(*database, "CREATE TABLE " + asked + " (A INT)"); }),
                ErrorCode::TableExists);
            auto rows = sql::execute(*database, "SELECT " + asked + ".* FROM " + asked);
            std::vector<format::Value> row;
            ASSERT_TRUE(rows && rows->next(row));
            EXPECT_EQ(row, std::vector<format::Value>{int32_t{7}});
            run(*database, "DROP TABLE " + asked);
            EXPECT_EQ(database->catalog().findTable(pair.stored), nullptr);
        }
        for (const auto& pair : kOtherName) {
            SCOPED_TRACE(pair.asked);
            run(*database, std::string("CREATE TABLE [") + pair.stored + "] (A INT)");
            run(*database, std::string("CREATE TABLE [") + pair.asked + "] (A INT)");
            EXPECT_EQ(database->catalog().findTable(pair.asked)->name, pair.asked);
            EXPECT_EQ(database->catalog().findTable(pair.stored)->name, pair.stored);
            run(*database, std::string("DROP TABLE [") + pair.asked + "]");
            run(*database, std::string("DROP TABLE [") + pair.stored + "]");
        }
        EXPECT_EQ(support::integrityProblems(*database), "");
        database.reset();
        EXPECT_EQ(listedTables(path), std::vector<std::string>{});
    }
}

// What the index keeps apart stands side by side for another reader too.
TEST(ObjectNames, namesTheIndexKeepsApartAreListedApart) {
    support::TempDir folder;
    auto path = folder / "apart.accdb";
    auto database = Database::create(path, {.format = FileFormat::Ace14});
    std::vector<std::string> names;
    for (const auto& pair : kOtherName) {
        for (const char* name : {pair.stored, pair.asked}) {
            if (database->catalog().findTable(name)) continue;
            run(*database, std::string("CREATE TABLE [") + name + "] (A INT)");
            names.push_back(name);
        }
    }
    EXPECT_EQ(support::integrityProblems(*database), "");
    database.reset();
    // mdbtools prints characters beyond the first 65536 as '?': mdb-reader lists these.
    auto listed = support::mdbReaderTables(path);
    ASSERT_TRUE(listed.ok) << listed.failure;
    std::sort(listed.lines.begin(), listed.lines.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(listed.lines, names);
}

}  // namespace
}  // namespace engine

// Every table of every fixture the engine can write, renamed as the program renames a table (a
// copy under the new name, then a drop of the old one) and then dropped, one step at a time.
// After each step the engine, mdb-tables and mdb-reader list the same user tables, and the
// integrity check passes. Dropped catalogue rows that once moved are the case that matters:
// readers that do not follow moved rows kept listing such tables. The changes skip the disk's
// flushes: what counts here is what the files hold.
#include "engine/database.h"
#include "engine/sql/executor.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/mdb_reader.h"
#include "support/process.h"
#include "support/unsynced_file_system.h"

#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace engine {
namespace {

using Names = std::set<std::string>;

struct Snapshot {
    std::string step;
    std::filesystem::path path;
    Names tables;  // as the engine lists them
};

Names engineTables(Database& database) {
    Names names;
    for (const auto& object : database.catalog().objects()) {
        if (object.kind == catalog::ObjectKind::Table) names.insert(object.name);
    }
    return names;
}

Names mdbTables(const std::filesystem::path& path) {
    std::istringstream lines(support::runProcess({"mdb-tables", "-1", path.string()}).out);
    Names names;
    for (std::string line; std::getline(lines, line);) names.insert(line);
    return names;
}

std::string passwordOf(const std::string& fixture) {
    return fixture.find("with-password") != std::string::npos ? "password" : "";
}

// Runs one of the program's statements; a refusal the engine gives for a reason of its own (a
// field it cannot copy, a relationship that holds the table) leaves the file as it was.
void run(Database& database, const std::string& statement) {
    try {
        sql::execute(database, statement);
    } catch (const EngineError& error) {
        EXPECT_TRUE(error.code() == ErrorCode::NotSupported ||
                    error.code() == ErrorCode::InRelationship)
            << statement << ": " << error.what();
    }
}

// Under the sanitizers every third table (counted across the fixtures) is enough.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kTableStride = 3;
#else
constexpr size_t kTableStride = 1;
#endif

TEST(EveryTableDropped, readersAgreeAfterEveryRenameAndDrop) {
    support::TempDir folder;
    std::vector<Snapshot> snapshots;
    std::vector<support::MdbReaderRequest> requests;
    size_t fixtures = 0;
    size_t tables = 0;
    size_t position = 0;
    for (const auto& fixture : support::allFixtures()) {
        // mdbtools cannot read the encrypted file.
        if (fixture.find("encrypted") != std::string::npos) continue;
        const std::string extension = std::filesystem::path(fixture).extension().string();
        auto work = folder.copyFixture(fixture, std::filesystem::path(fixture).filename());
        auto database = Database::open(work, {.password = passwordOf(fixture),
                                              .mode = AccessMode::ReadWrite,
                                              .fileSystem = &support::unsyncedFileSystem()});
        // Files this engine does not write (Jet 3, for now) refuse every change.
        if (support::errorOf([&] { sql::execute(*database, "DROP TABLE `no such table`"); }) ==
            ErrorCode::ReadOnly) {
            continue;
        }
        ++fixtures;
        auto snapshot = [&](const std::string& step) {
            auto copy = folder / ("step" + std::to_string(snapshots.size()) + extension);
            std::filesystem::copy_file(work, copy);
            snapshots.push_back({fixture + ", after the " + step, copy, engineTables(*database)});
            requests.push_back({.path = copy, .password = passwordOf(fixture)});
            EXPECT_EQ(mdbTables(copy), snapshots.back().tables) << snapshots.back().step;
            EXPECT_EQ(support::integrityProblems(copy, passwordOf(fixture)), "")
                << snapshots.back().step;
        };
        const Names original = engineTables(*database);
        for (const auto& table : original) {
            if (position++ % kTableStride != 0) continue;
            const std::string renamed = table + " renamed";
            run(*database, "SELECT a1.* INTO `" + renamed + "` FROM `" + table + "` AS a1;");
            snapshot("copy of " + table);
            run(*database, "DROP TABLE `" + table + "`");
            snapshot("drop of " + table);
            if (database->catalog().findTable(renamed)) {
                run(*database, "DROP TABLE `" + renamed + "`");
                snapshot("drop of " + renamed);
            }
            ++tables;
        }
    }
    EXPECT_GE(fixtures, 35u);
    EXPECT_GE(tables, 55u / kTableStride);

    // One run of mdb-reader for every step: starting Node.js takes a good part of a second.
    auto theirs = support::mdbReader(requests);
    for (size_t index = 0; index < snapshots.size(); ++index) {
        SCOPED_TRACE(snapshots[index].step);
        ASSERT_TRUE(theirs[index].ok) << theirs[index].failure;
        EXPECT_EQ(Names(theirs[index].lines.begin(), theirs[index].lines.end()),
                  snapshots[index].tables);
    }
}

}  // namespace
}  // namespace engine

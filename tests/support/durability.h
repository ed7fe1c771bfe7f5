// Databases and changes for tests of what a failed, interrupted or concurrent change leaves
// behind: a file that opens and passes the integrity check, the change whole or absent, and
// every other table as it was (compared with mdb-export, an independent reader).
#pragma once

#include "engine/database.h"
#include "support/faulty_file_system.h"
#include "support/fixtures.h"

#include <filesystem>
#include <string>
#include <vector>

namespace support {

inline constexpr uint32_t kBaseRows = 40;

// The format of a test database and how many rows its Base table holds.
struct BaseShape {
    engine::storage::FileFormat format = engine::storage::FileFormat::Jet4;
    uint32_t rows = kBaseRows;
};

// A database with two tables: "Base" (a column of every type the format has, shape.rows rows),
// which the changes below copy or drop, and "Other", which no change touches.
std::filesystem::path makeTwoTables(const TempDir& folder, const std::string& name = "base.mdb",
                                    const BaseShape& shape = {});

// A make-table of Base as "Copied"; a drop of Base; the program's rename of Base to "Renamed"
// (a copy under the new name, then a drop of the old table: two changes).
// CreateIndex: an index on two of Base's fields, made from its rows; AddColumn: a Memo field
// "Added" on Base. Neither is among kEveryChange: each is swept for crashes on its own.
enum class Change { MakeTable, Drop, Rename, CreateIndex, AddColumn };
inline constexpr Change kEveryChange[] = {Change::MakeTable, Change::Drop, Change::Rename};
std::string nameOf(Change change);
void runChange(engine::Database& database, Change change);

// The tables of a file before a change: Base's rows, Other as mdb-export shows it.
struct Tables {
    std::vector<std::vector<engine::format::Value>> base;
    std::string other;
};
Tables tablesOf(const std::filesystem::path& path);

// Opens the file for writing (which plays back a journal left beside it) and returns what is
// wrong with it: the integrity check's problems, Other changed, the change neither whole nor
// absent, a journal left in its folder. Empty when all is well.
std::string problemsAfter(const std::filesystem::path& path, Change change, const Tables& before);

// The journals in a folder (names ending in "-journal").
std::vector<std::string> journalsIn(const std::filesystem::path& folder);

// The steps (writes, flushes, files made and removed) of opening a copy of base for writing and
// making a change, as the file-system seam sees them.
struct ChangeSteps {
    uint64_t opened = 0;  // how many of them opening took
    std::vector<FaultyFileSystem::Step> log;
};
ChangeSteps stepsOf(const std::filesystem::path& base, const std::filesystem::path& scratch,
                    Change change);
// The steps of each commit: from the first write to the journal after its header up to the
// journal's removal.
std::vector<uint64_t> commitSteps(const ChangeSteps& steps);
// The same, thinned to the first, the middle and the last of each run of like steps (writes of
// journal entries, of pages in use; flushes; the removal).
std::vector<uint64_t> sampledCommitSteps(const ChangeSteps& steps);
// A step in the middle of the last commit's writes to pages in use: when the process dies
// there, the file is half changed and only the journal can undo it.
uint64_t halfwayThroughCommit(const ChangeSteps& steps);

// Whether the tests run under the sanitizers, where sweeps take fewer samples.
bool underSanitizers();

}  // namespace support

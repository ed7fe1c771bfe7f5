// The command line's bulk changes against the make-table copy of the same rows, measured in the
// same run. Every measured step runs in a child process, so its peak memory is its own; the
// steps run in rounds, each once a round and in turn, and each ratio is the median of the
// ratios within a round.
//   import  `corvanta-db import` of ROWS mixed rows from the CSV file export wrote, into a new
//           table (its types guessed, Amount named Currency), against a make-table copy of the
//           same table into a new database (goal: at most 2x)
//   update  UPDATE of every row of a table of ROWS rows with three indexes (primary key, a text
//           and a date), against the make-table copy of that table (goal: at most 3x)
//   delete  DELETE of half of those rows, against the same copy (goal: at most 2x)
//   index   CREATE INDEX on the text field of the mixed table, against a scan of that table
//           that computes the same keys and sorts them (goal: at most 2x)
// Peak memory goal for the import: 64 MB at ten million rows, flat in the number of rows.
//
//   command_line_bench [ROWS [ROUNDS]]   default 1000000 rows, 3 rounds
#include "engine/database.h"
#include "engine/format/indexes/index_key.h"
#include "engine/format/indexes/index_page.h"
#include "engine/format/rows/table_scan.h"
#include "engine/sql/executor.h"
#include "engine/table_copy.h"

#include "bench_support.h"
#include "csv_import.h"

#include <iostream>

namespace {

constexpr int kDefaultRounds = 3;

using engine::catalog::NewColumn;
using engine::catalog::NewIndex;
using engine::format::ColumnType;
using engine::format::Value;

void buildTable(const std::filesystem::path& path, const std::string& name, uint32_t rows,
                const std::vector<NewIndex>& indexes) {
    auto database = engine::Database::create(path, {});
    const std::vector<NewColumn> columns = {
        {.name = "Id", .type = ColumnType::Long},
        {.name = "Name", .type = ColumnType::Text, .size = 50},
        {.name = "Amount", .type = ColumnType::Currency},
        {.name = "Measured", .type = ColumnType::Double},
        {.name = "When", .type = ColumnType::DateTime},
        {.name = "Active", .type = ColumnType::Boolean},
        {.name = "Notes", .type = ColumnType::Memo},
    };
    uint32_t next = 0;
    database->createTable(
        name, columns,
        [&](std::vector<Value>& row) {
            if (next == rows) return false;
            ++next;
            row = {Value(static_cast<int32_t>(next)),
                   Value("Customer " + std::to_string(next * 7919 % 100000)),
                   Value(engine::format::Currency{static_cast<int64_t>(next % 100000) * 125}),
                   Value(next / 3.0),
                   Value(engine::format::DateTime{40000.0 + next % 5000 + 0.25}),
                   Value(next % 2 == 0),
                   Value("note " + std::to_string(next % 977))};
            return true;
        },
        indexes);
}

void copyInto(const std::filesystem::path& from, const std::filesystem::path& to,
              const std::string& table) {
    std::filesystem::remove(to);
    auto source = engine::Database::open(from);
    auto destination = engine::Database::create(to, {});
    engine::copyTable(*source, table, *destination, table);
}

// What CREATE INDEX cannot do without: every row's key for an index on the column, sorted.
void sortKeys(const std::filesystem::path& path, const std::string& table,
              const std::string& column) {
    auto database = engine::Database::open(path);
    const auto definition = database->tableDefinition(table);
    engine::format::RealIndex index;
    std::vector<bool> wanted(definition.columns.size(), false);
    for (size_t at = 0; at < definition.columns.size(); ++at) {
        if (definition.columns[at].name != column) continue;
        index.columns.push_back({definition.columns[at].number, true});
        wanted[at] = true;
    }
    engine::format::TableScan scan(database->pager(), database->jetFormat(), definition);
    std::vector<engine::format::IndexEntry> entries;
    std::vector<Value> row;
    while (scan.next(wanted, row)) {
        engine::format::IndexEntry entry;
        engine::format::encodeIndexKey(definition, index, row, database->format(), entry.key);
        entry.row = scan.location();
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end());
}

void runStatement(const std::filesystem::path& path, const std::string& statement) {
    auto database = engine::Database::open(path, {.mode = engine::AccessMode::ReadWrite});
    engine::sql::execute(*database, statement);
}

// Copies from into to, on disk before the copy is used.
void freshCopy(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    bench::flushFile(to);
}

}  // namespace

int main(int argc, char** argv) {
    const auto rows = static_cast<uint32_t>(argc > 1 ? std::stoul(argv[1]) : 1000000);
    const int rounds = argc > 2 ? std::stoi(argv[2]) : kDefaultRounds;
    try {
        bench::Folder folder("command-line");
        const auto mixed = folder / "mixed.mdb";
        const auto indexed = folder / "indexed.mdb";
        const auto csv = folder / "mixed.csv";
        const auto work = folder / "work.mdb";
        auto start = bench::Clock::now();
        buildTable(mixed, "Mixed", rows, {});
        buildTable(indexed, "Indexed", rows,
                   {NewIndex{.name = "PrimaryKey", .columns = {"Id"}, .primaryKey = true},
                    NewIndex{.name = "ByName", .columns = {"Name"}},
                    NewIndex{.name = "ByWhen", .columns = {"When"}}});
        const std::string tool = (bench::programFolder() / "corvanta-db").string();
        bench::run("'" + tool + "' export '" + mixed.string() + "' Mixed > '" + csv.string() + "'");
        bench::flushFile(mixed);
        bench::flushFile(indexed);
        std::printf("built %u rows twice and their CSV (%.1f MB) in %.1f s\n", rows,
                    static_cast<double>(std::filesystem::file_size(csv)) / 1e6,
                    bench::secondsSince(start));
        const std::string startLoad = bench::loadText();

        bench::Runs copy, imported, copyIndexed, updated, deleted, sorted, created;
        for (int round = 0; round < rounds; ++round) {
            copy.add(bench::inChild([&] { copyInto(mixed, folder / "copy.mdb", "Mixed"); }));
            imported.add(bench::inChild([&] {
                std::filesystem::remove(folder / "imported.mdb");
                auto database = engine::Database::create(folder / "imported.mdb", {});
                tools::ImportOptions options;
                options.types = {{"Amount", "currency"}};
                if (tools::importCsv(*database, csv.string(), "Mixed", options) != rows) {
                    throw std::runtime_error("rows missing");
                }
            }));
            copyIndexed.add(
                bench::inChild([&] { copyInto(indexed, folder / "copy.mdb", "Indexed"); }));
            // Each statement gets a fresh copy of its table, flushed first: its own flush at the
            // end must not write out the copy as well.
            freshCopy(indexed, work);
            updated.add(bench::inChild(
                [&] { runStatement(work, "UPDATE Indexed SET Measured = 0.5, Active = TRUE"); }));
            freshCopy(indexed, work);
            deleted.add(bench::inChild([&] {
                runStatement(work, "DELETE FROM Indexed WHERE Id > " + std::to_string(rows / 2));
            }));
            sorted.add(bench::inChild([&] { sortKeys(mixed, "Mixed", "Name"); }));
            freshCopy(mixed, work);
            created.add(
                bench::inChild([&] { runStatement(work, "CREATE INDEX ByName ON Mixed (Name)"); }));
        }

        std::printf("load %s at the start, %s at the end; %d rounds, each step once a round\n",
                    startLoad.c_str(), bench::loadText().c_str(), rounds);
        constexpr int kWidth = 34;
        bench::printHeading(kWidth);
        bench::printStep(kWidth, "copy: make-table copy, mixed", copy);
        bench::printStep(kWidth, "import: the same rows from CSV", imported);
        bench::printStep(kWidth, "copy: make-table copy, indexed", copyIndexed);
        bench::printStep(kWidth, "update: every row, 3 indexes", updated);
        bench::printStep(kWidth, "delete: half the rows, 3 indexes", deleted);
        bench::printStep(kWidth, "sort: the text keys of every row", sorted);
        bench::printStep(kWidth, "index: CREATE INDEX on the text", created);
        bench::printRatioHeading(kWidth);
        bench::printRatio(kWidth, "import / copy", imported, copy, "<= 2");
        bench::printRatio(kWidth, "update / copy of the table", updated, copyIndexed, "<= 3");
        bench::printRatio(kWidth, "delete / copy of the table", deleted, copyIndexed, "<= 2");
        bench::printRatio(kWidth, "index / sorting its keys", created, sorted, "<= 2");
    } catch (const std::exception& error) {
        std::cerr << "command_line_bench: " << error.what() << '\n';
        return 1;
    }
    return 0;
}

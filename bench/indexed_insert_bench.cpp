// One INSERT statement (the ADO stand-in's Connection.Execute) into a table of ROWS rows with
// three indexes, against the same INSERT into an empty table with the same indexes, runs
// alternating (goal: within 10x). Each measured INSERT runs in a child process, which also
// gives its peak memory.
//
//   indexed_insert_bench [ROWS]   default 1000000
#include "ado/connection.h"
#include "engine/database.h"
#include "support/unsynced_file_system.h"

#include "bench_support.h"

#include <iostream>

namespace {

using engine::format::ColumnType;
using engine::format::Value;

constexpr int kRuns = 9;

const std::vector<engine::catalog::NewColumn> kColumns = {
    {.name = "Id", .type = ColumnType::Long, .autoNumber = true},
    {.name = "Name", .type = ColumnType::Text, .size = 50},
    {.name = "Amount", .type = ColumnType::Double},
    {.name = "Note", .type = ColumnType::Text, .size = 100},
};

const std::vector<engine::catalog::NewIndex> kIndexes = {
    {.name = "PrimaryKey", .columns = {"Id"}, .primaryKey = true},
    {.name = "ByName", .columns = {"Name"}},
    {.name = "ByAmount", .columns = {"Amount"}},
};

std::string nameOf(uint32_t number) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "customer %09u", number);
    return buffer;
}

void makeTable(const std::filesystem::path& path, uint32_t rows) {
    auto& files = support::unsyncedFileSystem();
    engine::Database::create(path, {.fileSystem = &files});
    auto database =
        engine::Database::open(path, {.mode = engine::AccessMode::ReadWrite, .fileSystem = &files});
    uint32_t next = 0;
    // Names and amounts grow with the rows, so the build appends to every index.
    database->createTable(
        "Orders", kColumns,
        [&](std::vector<Value>& row) {
            if (next == rows) return false;
            ++next;
            row = {Value(), Value(nameOf(next * 2)), Value(next * 1.5),
                   Value("note " + std::to_string(next))};
            return true;
        },
        kIndexes);
    database.reset();
    bench::flushFile(path);
}

// An INSERT whose keys land in the middle of every index.
bench::Measure timeInsert(const std::filesystem::path& path, uint32_t rows, int run) {
    return bench::inChild([&] {
        ado::Connection connection;
        connection.open("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + path.string() +
                        ";JET OLEDB:Database Password=");
        uint32_t middle = rows + 1 + static_cast<uint32_t>(run);
        connection.execute("INSERT INTO Orders (Name, Amount, Note) VALUES ('" + nameOf(middle) +
                           "', " + std::to_string(middle * 0.75) + ", 'inserted')");
        connection.close();
    });
}

}  // namespace

int main(int argc, char** argv) {
    const auto rows = static_cast<uint32_t>(argc > 1 ? std::stoul(argv[1]) : 1000000);
    try {
        bench::Folder folder("indexed-insert");
        auto empty = folder / "empty.mdb";
        auto large = folder / "large.mdb";
        auto start = bench::Clock::now();
        makeTable(empty, 0);
        makeTable(large, rows);
        std::printf("built %u rows with three indexes in %.1f s (%.1f MB)\n", rows,
                    bench::secondsSince(start),
                    static_cast<double>(std::filesystem::file_size(large)) / 1e6);
        std::vector<double> intoEmpty;
        std::vector<double> intoLarge;
        double peak = 0;
        for (int run = 0; run < kRuns; ++run) {
            intoEmpty.push_back(timeInsert(empty, 0, run).seconds);
            auto measure = timeInsert(large, rows, run);
            intoLarge.push_back(measure.seconds);
            peak = std::max(peak, measure.peakMegabytes);
        }
        const double small = bench::median(intoEmpty);
        const double big = bench::median(intoLarge);
        std::printf("one INSERT (open, execute, close), median of %d alternating runs (load %s)\n",
                    kRuns, bench::loadText().c_str());
        std::printf("  into an empty table        %8.2f ms\n", small * 1e3);
        std::printf("  into %9u rows          %8.2f ms (peak memory %.1f MB)\n", rows, big * 1e3,
                    peak);
        std::printf("  ratio                      %8.2f   (goal <= 10)\n", big / small);
    } catch (const std::exception& error) {
        std::cerr << "indexed_insert_bench: " << error.what() << '\n';
        return 1;
    }
    return 0;
}

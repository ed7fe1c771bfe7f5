// Reading, exporting and copying large tables, against references measured in the same run.
// Every measured step runs in a child process, so its peak memory is its own. The steps run in
// rounds, all of them once a round and in turn, so each pair compared runs the same number of
// times under the same conditions; each figure is the median of its runs with their spread
// (least-most), in wall-clock and processor time, and each ratio the median of the ratios
// within a round.
//   scan    the engine reading every value of ROWS mixed rows (numbers, texts, a date, a
//           Yes/No, a memo)
//   export  `corvanta-db export` of the same table to /dev/null, against the engine's own scan
//           (goal: at most 1.5x) and against mdb-export (goal: at least 10x faster). The
//           goals are in wall-clock time; export reads on one thread and writes on another,
//           so its processor time counts both
//   narrow  the engine reading 5 x ROWS rows of three columns (goal: at least 10 M rows/s)
//   copy    a make-table copy of the mixed table into a new database, against cp and a flush
//           of the source file (goal: at most 2x)
// Peak memory goal: 64 MB for every step at ten times the default size.
//
//   table_scan_copy_bench [ROWS [ROUNDS]]   default 1000000 rows, 5 rounds
#include "engine/database.h"
#include "engine/table_copy.h"

#include "bench_support.h"

#include <iostream>

namespace {

constexpr int kDefaultRounds = 5;

using engine::format::ColumnType;
using engine::format::Value;

std::string memo(uint32_t row) {
    // Most memos are short; every 100th runs over a page, so it is stored as a chain.
    size_t size = row % 100 == 0 ? 5000 + row % 3000 : 10 + row % 60;
    std::string text;
    while (text.size() < size) text += "memo text " + std::to_string(row) + " ";
    text.resize(size);
    return text;
}

void buildMixed(const std::filesystem::path& path, uint32_t rows) {
    auto database = engine::Database::create(path, {});
    std::vector<engine::catalog::NewColumn> columns = {
        {.name = "Id", .type = ColumnType::Long},
        {.name = "Name", .type = ColumnType::Text, .size = 50},
        {.name = "Amount", .type = ColumnType::Currency},
        {.name = "Measured", .type = ColumnType::Double},
        {.name = "When", .type = ColumnType::DateTime},
        {.name = "Active", .type = ColumnType::Boolean},
        {.name = "Notes", .type = ColumnType::Memo},
    };
    uint32_t next = 0;
    database->createTable("Mixed", columns, [&](std::vector<Value>& row) {
        if (next == rows) return false;
        ++next;
        row = {Value(static_cast<int32_t>(next)),
               Value("Customer " + std::to_string(next * 7919 % 100000)),
               Value(engine::format::Currency{static_cast<int64_t>(next) * 12345}),
               Value(next / 3.0),
               Value(engine::format::DateTime{40000.0 + next % 5000 + 0.25}),
               Value(next % 2 == 0),
               Value(memo(next))};
        return true;
    });
}

void buildNarrow(const std::filesystem::path& path, uint32_t rows) {
    auto database = engine::Database::create(path, {});
    std::vector<engine::catalog::NewColumn> columns = {
        {.name = "Id", .type = ColumnType::Long},
        {.name = "Price", .type = ColumnType::Double},
        {.name = "Code", .type = ColumnType::Text, .size = 10},
    };
    uint32_t next = 0;
    database->createTable("Narrow", columns, [&](std::vector<Value>& row) {
        if (next == rows) return false;
        ++next;
        row = {Value(static_cast<int32_t>(next)), Value(next * 0.25),
               Value("c" + std::to_string(next % 1000))};
        return true;
    });
}

size_t scanAll(const std::filesystem::path& path, const std::string& table) {
    auto database = engine::Database::open(path);
    auto reader = database->readTable(table);
    std::vector<Value> row;
    size_t rows = 0;
    while (reader->next(row)) ++rows;
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    const auto rows = static_cast<uint32_t>(argc > 1 ? std::stoul(argv[1]) : 1000000);
    const int rounds = argc > 2 ? std::stoi(argv[2]) : kDefaultRounds;
    try {
        bench::Folder folder("scan-copy");
        const auto source = folder / "mixed.mdb";
        const auto narrowFile = folder / "narrow.mdb";
        auto start = bench::Clock::now();
        buildMixed(source, rows);
        buildNarrow(narrowFile, rows * 5);
        std::printf("built %u mixed rows (%.1f MB) and %u narrow rows (%.1f MB) in %.1f s\n", rows,
                    static_cast<double>(std::filesystem::file_size(source)) / 1e6, rows * 5,
                    static_cast<double>(std::filesystem::file_size(narrowFile)) / 1e6,
                    bench::secondsSince(start));
        const std::string quoted = "'" + source.string() + "'";
        const std::string startLoad = bench::loadText();
        const std::string tool = (bench::programFolder() / "corvanta-db").string();

        bench::Runs scan, exported, mdbExport, narrow, copy, plain;
        for (int round = 0; round < rounds; ++round) {
            scan.add(bench::inChild([&] {
                if (scanAll(source, "Mixed") != rows) throw std::runtime_error("rows missing");
            }));
            exported.add(bench::inChild(
                [&] { bench::run("'" + tool + "' export " + quoted + " Mixed > /dev/null"); }));
            mdbExport.add(
                bench::inChild([&] { bench::run("mdb-export " + quoted + " Mixed > /dev/null"); }));
            narrow.add(bench::inChild([&] {
                if (scanAll(narrowFile, "Narrow") != rows * 5ull) {
                    throw std::runtime_error("rows missing");
                }
            }));
            copy.add(bench::inChild([&] {
                std::filesystem::remove(folder / "copy.mdb");
                auto from = engine::Database::open(source);
                auto to = engine::Database::create(folder / "copy.mdb", {});
                engine::copyTable(*from, "Mixed", *to, "Mixed");
            }));
            plain.add(bench::inChild([&] {
                std::filesystem::remove(folder / "plain.mdb");
                bench::run("cp " + quoted + " '" + (folder / "plain.mdb").string() +
                           "' && sync '" + (folder / "plain.mdb").string() + "'");
            }));
        }

        std::printf(
            "load %s at the start, %s at the end; %d rounds, each step once a round in "
            "turn\n",
            startLoad.c_str(), bench::loadText().c_str(), rounds);
        constexpr int kWidth = 28;
        bench::printHeading(kWidth);
        bench::printStep(kWidth, "scan: engine, every value", scan);
        bench::printStep(kWidth, "export: corvanta-db export", exported);
        bench::printStep(kWidth, "export: mdb-export", mdbExport);
        bench::printStep(kWidth, "narrow: 3-column scan", narrow);
        bench::printStep(kWidth, "copy: make-table copy", copy);
        bench::printStep(kWidth, "copy: cp + sync of the file", plain);
        bench::printRatioHeading(kWidth);
        bench::printRatio(kWidth, "export / scan", exported, scan, "<= 1.5 (wall)");
        bench::printRatio(kWidth, "mdb-export / export", mdbExport, exported, ">= 10 (wall)");
        bench::printRatio(kWidth, "copy / (cp + sync)", copy, plain, "<= 2 (wall)");
        std::vector<double> wallRate, processorRate;
        for (size_t run = 0; run < narrow.wall.size(); ++run) {
            wallRate.push_back(rows * 5.0 / narrow.wall[run] / 1e6);
            processorRate.push_back(rows * 5.0 / narrow.processor[run] / 1e6);
        }
        std::printf("  %-28s %-26s %-26s %s\n", "narrow scan, M rows/s",
                    bench::spreadText(wallRate, "%.1f").c_str(),
                    bench::spreadText(processorRate, "%.1f").c_str(), ">= 10 (wall)");
    } catch (const std::exception& error) {
        std::cerr << "table_scan_copy_bench: " << error.what() << '\n';
        return 1;
    }
    return 0;
}

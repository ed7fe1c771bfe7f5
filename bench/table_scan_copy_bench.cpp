// Scanning and copying a large table, against references measured in the same run:
//   (a) reading every value with the engine against mdb-export of the same table;
//   (b) copying the table into a new database against a plain cp of the source file.
// Each measured step runs in a child process, so its peak memory is its own.
//
// Usage: table_scan_copy_bench [ROWS]   (default 100000; the full-size run is 1000000)
#include "engine/database.h"
#include "engine/table_copy.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using engine::format::ColumnType;
using engine::format::Value;

struct Measure {
    double seconds = 0;
    long peakKilobytes = 0;
};

// Runs work in a child process; returns its wall time and peak resident memory.
Measure inChild(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    pid_t child = ::fork();
    if (child == 0) {
        try {
            work();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "failed: %s\n", error.what());
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "a measured step failed\n");
        std::exit(1);
    }
    return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss};
}

void runCommand(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("command failed: " + command);
}

std::string memo(uint32_t row) {
    // Most memos are short; every 25th is over 4 KB, so it is stored as a chain of pages.
    size_t size = row % 25 == 0 ? 5000 + row % 3000 : 20 + row % 200;
    std::string text;
    while (text.size() < size) text += "memo text " + std::to_string(row) + " ";
    text.resize(size);
    return text;
}

void buildTable(const std::filesystem::path& path, uint32_t rows) {
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
    database->createTable("Big", columns, [&](std::vector<Value>& row) {
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

}  // namespace

int main(int argc, char** argv) {
    uint32_t rows = argc > 1 ? static_cast<uint32_t>(std::stoul(argv[1])) : 100000;
    auto folder =
        std::filesystem::temp_directory_path() / ("corvanta-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto source = folder / "source.mdb";

    Measure build = inChild([&] { buildTable(source, rows); });
    std::printf("built %u rows (%.1f MB) in %.2f s\n", rows,
                std::filesystem::file_size(source) / 1e6, build.seconds);

    Measure scan = inChild([&] {
        auto database = engine::Database::open(source);
        auto reader = database->readTable("Big");
        std::vector<Value> row;
        size_t values = 0;
        while (reader->next(row)) values += row.size();
        if (values != static_cast<size_t>(rows) * 7) throw std::runtime_error("rows missing");
    });
    Measure exported =
        inChild([&] { runCommand("mdb-export '" + source.string() + "' Big > /dev/null"); });
    Measure copy = inChild([&] {
        auto from = engine::Database::open(source);
        auto to = engine::Database::create(folder / "copy.mdb", {});
        engine::copyTable(*from, "Big", *to, "Big");
    });
    Measure plainCopy = inChild([&] {
        runCommand("cp '" + source.string() + "' '" + (folder / "plain.mdb").string() +
                   "' && sync");
    });

    std::printf("scan:  engine %.2f s, mdb-export %.2f s: engine is %.1fx faster\n", scan.seconds,
                exported.seconds, exported.seconds / scan.seconds);
    std::printf("copy:  engine %.2f s, cp %.2f s: copy takes %.2fx the time of cp\n", copy.seconds,
                plainCopy.seconds, copy.seconds / plainCopy.seconds);
    std::printf("peak memory: scan %.1f MB, copy %.1f MB\n", scan.peakKilobytes / 1024.0,
                copy.peakKilobytes / 1024.0);
    if (!std::getenv("CORVANTA_BENCH_KEEP")) std::filesystem::remove_all(folder);
    return 0;
}

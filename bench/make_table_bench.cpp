// The make-table statement the program sends, copying one large table between two files through
// an ADO connection, against `corvanta-db copy` of the same table (the same engine copy without
// SQL or ADO) and against `cp` of the whole source file. Prints times and ratios; asserts
// nothing.
//
//   make_table_bench [ROWS]     ROWS defaults to 200000; the full run uses 1000000
#include "ado/connection.h"
#include "engine/database.h"

#include "commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <spawn.h>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using engine::format::Value;

constexpr int kRuns = 3;

// A table of ordinary columns: numbers, texts, a date, a short memo.
void makeSource(const std::filesystem::path& path, uint32_t rows) {
    using engine::format::ColumnType;
    auto database = engine::Database::create(path, {.format = engine::storage::FileFormat::Jet4});
    const std::vector<engine::catalog::NewColumn> columns = {
        {.name = "Id", .type = ColumnType::Long},
        {.name = "Name", .type = ColumnType::Text, .size = 40},
        {.name = "City", .type = ColumnType::Text, .size = 30},
        {.name = "Amount", .type = ColumnType::Currency},
        {.name = "Ratio", .type = ColumnType::Double},
        {.name = "Placed", .type = ColumnType::DateTime},
        {.name = "Paid", .type = ColumnType::Boolean},
        {.name = "Notes", .type = ColumnType::Memo},
    };
    static const char* const kCities[] = {"Lisboa", "Zürich", "Kraków", "Tromsø", "Nagoya"};
    uint32_t next = 0;
    database->createTable("Orders", columns, [&](std::vector<Value>& row) {
        if (next == rows) return false;
        const uint32_t n = next++;
        row = {static_cast<int32_t>(n),
               "Customer " + std::to_string(n * 7919u % 100000u),
               kCities[n % 5],
               engine::format::Currency{static_cast<int64_t>(n) * 137 % 10000000},
               n / 7.0,
               engine::format::DateTime{36526.0 + n % 9000 + (n % 86400) / 86400.0},
               n % 3 == 0,
               n % 4 == 0 ? Value() : Value("note " + std::to_string(n))};
        return true;
    });
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A fresh empty destination for each run.
std::filesystem::path freshDestination(const std::filesystem::path& folder, int run) {
    const auto path = folder / ("destination" + std::to_string(run) + ".mdb");
    std::filesystem::remove(path);
    engine::Database::create(path, {.format = engine::storage::FileFormat::Jet4});
    return path;
}

double timeStatement(const std::filesystem::path& source, const std::filesystem::path& target) {
    const auto start = Clock::now();
    ado::Connection connection;
    connection.open("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + target.string() +
                    ";JET OLEDB:Database Password=");
    connection.execute("SELECT  * INTO Orders FROM [MS Access;DATABASE=" + source.string() +
                       "].[Orders]");
    connection.close();
    return secondsSince(start);
}

double timeCopyCommand(const std::filesystem::path& source, const std::filesystem::path& target) {
    std::ostringstream out;
    std::ostringstream err;
    const auto start = Clock::now();
    const int status =
        tools::runCommandLine({"copy", source.string(), "Orders", target.string()}, out, err);
    const double seconds = secondsSince(start);
    if (status != 0) throw std::runtime_error("corvanta-db copy failed: " + err.str());
    return seconds;
}

double timeCp(const std::filesystem::path& source, const std::filesystem::path& target) {
    std::string program = "cp";
    std::string from = source.string();
    std::string to = target.string();
    char* argv[] = {program.data(), from.data(), to.data(), nullptr};
    const auto start = Clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, "cp", nullptr, nullptr, argv, environ) != 0) {
        throw std::runtime_error("cannot run cp");
    }
    int status = 0;
    waitpid(child, &status, 0);
    const double seconds = secondsSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("cp failed");
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t rows = argc > 1 ? static_cast<uint32_t>(std::stoul(argv[1])) : 200000;
    std::string pattern = (std::filesystem::temp_directory_path() / "make-table-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::cerr << "cannot create a temporary folder\n";
        return 1;
    }
    const std::filesystem::path folder = pattern;
    try {
        const auto source = folder / "source.mdb";
        makeSource(source, rows);
        const auto bytes = std::filesystem::file_size(source);

        std::vector<double> statement;
        std::vector<double> copy;
        std::vector<double> cp;
        for (int run = 0; run < kRuns; ++run) {
            statement.push_back(timeStatement(source, freshDestination(folder, run)));
            copy.push_back(timeCopyCommand(source, freshDestination(folder, run)));
            const auto target = folder / ("cp" + std::to_string(run) + ".mdb");
            std::filesystem::remove(target);
            cp.push_back(timeCp(source, target));
        }
        const double sql = median(statement);
        const double tool = median(copy);
        const double file = median(cp);
        std::printf("make-table of %u rows (source file %.1f MB), median of %d runs\n", rows,
                    static_cast<double>(bytes) / 1e6, kRuns);
        std::printf("  SQL statement through ADO   %8.3f s\n", sql);
        std::printf("  corvanta-db copy            %8.3f s\n", tool);
        std::printf("  cp of the source file       %8.3f s\n", file);
        std::printf("  statement / copy            %8.3f  (the SQL layer's share: %+.1f%%)\n",
                    sql / tool, (sql / tool - 1) * 100);
        std::printf("  statement / cp              %8.1f\n", sql / file);
    } catch (const std::exception& error) {
        std::cerr << "make_table_bench: " << error.what() << '\n';
        std::filesystem::remove_all(folder);
        return 1;
    }
    std::filesystem::remove_all(folder);
    return 0;
}

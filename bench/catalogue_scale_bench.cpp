// Changes that should cost the same in a database of thousands of tables as in an empty one,
// through the statements the program sends (the ADO stand-in's Connection.Execute):
//   (a) one make-table into a database of TABLES tables, against the same into an empty
//       database, runs alternating (goal: within 1.2x);
//   (b) sending SEND one-row tables in one command, as the program's transfer does: one
//       connection, one make-table statement per table (goal: 2,000 within 60 s on a 2-core
//       machine).
//   (c) one drop of a table from the database of TABLES tables, against the same from the
//       small one, runs alternating, in wall-clock and processor time (goal: within 1.2x).
// The databases are built through a file system that does not flush (building them is not what
// is measured); the measured statements flush as they always do.
//
//   catalogue_scale_bench [TABLES [SEND]]   defaults 5000 and 2000
#include "ado/connection.h"
#include "engine/database.h"
#include "support/unsynced_file_system.h"

#include "bench_support.h"

#include <iostream>
#include <sys/resource.h>

namespace {

using engine::format::ColumnType;
using engine::format::Value;

constexpr int kRuns = 9;

const std::vector<engine::catalog::NewColumn> kColumns = {
    {.name = "Id", .type = ColumnType::Long},
    {.name = "Name", .type = ColumnType::Text, .size = 50},
    {.name = "Amount", .type = ColumnType::Currency},
};

// A database of count one-row tables named prefix0, prefix1 ...
void makeTables(const std::filesystem::path& path, int count, const std::string& prefix) {
    auto& files = support::unsyncedFileSystem();
    engine::Database::create(path,
                             {.format = engine::storage::FileFormat::Jet4, .fileSystem = &files});
    auto database =
        engine::Database::open(path, {.mode = engine::AccessMode::ReadWrite, .fileSystem = &files});
    for (int index = 0; index < count; ++index) {
        bool given = false;
        database->createTable(
            prefix + std::to_string(index), kColumns, [&](std::vector<Value>& row) {
                if (given) return false;
                given = true;
                row = {Value(index), Value("row of table " + std::to_string(index)),
                       Value(engine::format::Currency{index * 100})};
                return true;
            });
    }
    database.reset();
    bench::flushFile(path);
}

std::string connectionString(const std::filesystem::path& path) {
    return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + path.string() +
           ";JET OLEDB:Database Password=";
}

std::string makeTable(const std::filesystem::path& source, const std::string& table,
                      const std::string& as) {
    return "SELECT * INTO " + as + " FROM [MS Access;DATABASE=" + source.string() + "].[" + table +
           "]";
}

// One make-table statement on an open connection.
double timeMakeTable(const std::filesystem::path& target, const std::filesystem::path& source,
                     const std::string& newName) {
    ado::Connection connection;
    connection.open(connectionString(target));
    auto start = bench::Clock::now();
    connection.execute(makeTable(source, "T0", newName));
    double seconds = bench::secondsSince(start);
    connection.close();
    return seconds;
}

// The processor time this process has used, in seconds.
double processorSeconds() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    double wall = 0;
    double processor = 0;
};

// One DROP TABLE statement on an open connection.
Timing timeDrop(const std::filesystem::path& target, const std::string& name) {
    ado::Connection connection;
    connection.open(connectionString(target));
    const double processor = processorSeconds();
    auto start = bench::Clock::now();
    connection.execute("DROP TABLE " + name);
    Timing timing{bench::secondsSince(start), processorSeconds() - processor};
    connection.close();
    return timing;
}

}  // namespace

int main(int argc, char** argv) {
    const int tables = argc > 1 ? std::stoi(argv[1]) : 5000;
    const int send = argc > 2 ? std::stoi(argv[2]) : 2000;
    try {
        bench::Folder folder("catalogue-scale");
        auto source = folder / "source.mdb";
        auto empty = folder / "empty.mdb";
        auto large = folder / "large.mdb";
        auto start = bench::Clock::now();
        makeTables(source, std::max(send, 1), "T");
        makeTables(empty, 0, "E");
        makeTables(large, tables, "L");
        std::printf("built the databases in %.1f s (large: %d tables, %.1f MB)\n",
                    bench::secondsSince(start), tables,
                    static_cast<double>(std::filesystem::file_size(large)) / 1e6);

        std::vector<double> intoEmpty;
        std::vector<double> intoLarge;
        for (int run = 0; run < kRuns; ++run) {
            const std::string name = "Copy" + std::to_string(run);
            intoEmpty.push_back(timeMakeTable(empty, source, name));
            intoLarge.push_back(timeMakeTable(large, source, name));
        }
        const double small = bench::median(intoEmpty);
        const double big = bench::median(intoLarge);
        std::printf("(a) make-table statement, median of %d alternating runs (load %s)\n", kRuns,
                    bench::loadText().c_str());
        std::printf("    into an empty database          %8.2f ms\n", small * 1e3);
        std::printf("    into a database of %6d tables %8.2f ms\n", tables, big * 1e3);
        std::printf("    ratio                            %8.2f   (goal <= 1.2)\n", big / small);

        // The tables (a) made are dropped again, alternating between the databases.
        std::vector<double> wallSmall, wallLarge, processorSmall, processorLarge;
        for (int run = 0; run < kRuns; ++run) {
            const std::string name = "Copy" + std::to_string(run);
            const Timing fromSmall = timeDrop(empty, name);
            const Timing fromLarge = timeDrop(large, name);
            wallSmall.push_back(fromSmall.wall);
            wallLarge.push_back(fromLarge.wall);
            processorSmall.push_back(fromSmall.processor);
            processorLarge.push_back(fromLarge.processor);
        }
        std::printf("(c) drop statement, median of %d alternating runs (load %s)\n", kRuns,
                    bench::loadText().c_str());
        std::printf("    from a database of %6d tables  %8.2f ms wall, %8.2f ms processor\n", kRuns,
                    bench::median(wallSmall) * 1e3, bench::median(processorSmall) * 1e3);
        std::printf("    from a database of %6d tables  %8.2f ms wall, %8.2f ms processor\n",
                    tables + kRuns, bench::median(wallLarge) * 1e3,
                    bench::median(processorLarge) * 1e3);
        std::printf(
            "    ratio                              %8.2f wall, %8.2f processor "
            "(goal <= 1.2)\n",
            bench::median(wallLarge) / bench::median(wallSmall),
            bench::median(processorLarge) / bench::median(processorSmall));

        auto destination = folder / "destination.mdb";
        makeTables(destination, 0, "D");
        ado::Connection connection;
        connection.open(connectionString(destination));
        start = bench::Clock::now();
        for (int index = 0; index < send; ++index) {
            std::string name = "T" + std::to_string(index);
            connection.execute(makeTable(source, name, name));
        }
        const double sending = bench::secondsSince(start);
        connection.close();
        std::printf(
            "(b) %d one-row tables sent in one command: %.1f s, %.1f ms a table "
            "(load %s; goal: 2,000 within 60 s)\n",
            send, sending, sending / send * 1e3, bench::loadText().c_str());
    } catch (const std::exception& error) {
        std::cerr << "catalogue_scale_bench: " << error.what() << '\n';
        return 1;
    }
    return 0;
}

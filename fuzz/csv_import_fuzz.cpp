// Imports any bytes as a CSV file: into a new table of an empty database, its types judged from
// the values, and then once more into the table that made. Each import either stores every row
// or throws CsvError (the file cannot be read as CSV) or EngineError (a value does not convert,
// or a name is refused); after either, the database must pass the integrity check. Anything
// else (a crash, a sanitizer report, another exception, an abort below) is a bug.
#include "engine/catalog/integrity_check.h"
#include "engine/database.h"
#include "engine/storage/memory_page_file.h"

#include "csv_import.h"
#include "csv_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// The file the bytes are written to: the import reads a file by its path.
const std::string& csvPath() {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("csv_import_fuzz_" + std::to_string(::getpid()) + ".csv"))
                                        .string();
    return path;
}

void import(engine::Database& database, const tools::ImportOptions& options) {
    try {
        tools::importCsv(database, csvPath(), "Imported", options);
    } catch (const tools::CsvError&) {
    } catch (const engine::EngineError&) {
    }
    const auto report = engine::catalog::checkIntegrity(database.pager(), database.jetFormat(),
                                                        database.header().codePage());
    if (!report.ok()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        std::ofstream out(csvPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    engine::storage::MemoryFileSystem files;
    auto database = engine::Database::create("fuzz.mdb", {.fileSystem = &files});
    tools::ImportOptions options;
    // The first byte picks the order dates are read in, so that both are fuzzed.
    if (size > 0 && (data[0] & 1) != 0) options.dateOrder = tools::DateOrder::DayMonthYear;
    import(*database, options);
    import(*database, options);
    return 0;
}

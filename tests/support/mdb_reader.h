// The npm package mdb-reader as a second independent reader beside mdbtools: its table list and
// its rows of a table, read without the engine (tests/support/mdb_reader/dump.mjs). Starting
// Node.js costs a good part of a second on a busy machine, so many requests go in one run.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace support {

struct MdbReaderRequest {
    std::filesystem::path path;
    std::string password;  // empty: none
    std::string table;     // empty: the table list
};

struct MdbReaderResult {
    bool ok = false;
    std::string failure;             // what the reader said when !ok
    std::vector<std::string> lines;  // table list: names as listed; rows: column names, then rows
};

// One result per request, in order. A table's rows (after the column-name line) come sorted,
// since tables have no row order.
std::vector<MdbReaderResult> mdbReader(const std::vector<MdbReaderRequest>& requests);

// The user tables mdb-reader lists, in its order.
MdbReaderResult mdbReaderTables(const std::filesystem::path& path,
                                const std::string& password = "");
// The column names (first line, as JSON) and the rows, one JSON array per line, sorted.
MdbReaderResult mdbReaderRows(const std::filesystem::path& path, const std::string& table,
                              const std::string& password = "");

}  // namespace support

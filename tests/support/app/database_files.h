// Real database files for tests of the program: made by the engine in a test's own folder, with
// named tables of a few rows each, and read back the same way.
#pragma once

#include "engine/format/rows/value.h"
#include "engine/storage/header_page.h"

#include <filesystem>
#include <string>
#include <vector>

namespace support {

// Creates a database holding the named tables, each with an ID and a Name column and a few rows
// that differ from table to table.
void makeDatabase(const std::filesystem::path& path, const std::vector<std::string>& tables,
                  const std::string& password = "",
                  engine::storage::FileFormat format = engine::storage::FileFormat::Jet4);

// The names of the database's user tables, sorted.
std::vector<std::string> userTables(const std::filesystem::path& path,
                                    const std::string& password = "");

// The rows of a table, in stored order.
std::vector<std::vector<engine::format::Value>> tableRows(const std::filesystem::path& path,
                                                          const std::string& table,
                                                          const std::string& password = "");

}  // namespace support

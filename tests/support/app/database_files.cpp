#include "support/app/database_files.h"

#include "engine/database.h"
#include "support/engine_files.h"

#include <algorithm>

namespace support {

using engine::format::ColumnType;
using engine::format::Value;

void makeDatabase(const std::filesystem::path& path, const std::vector<std::string>& tables,
                  const std::string& password, engine::storage::FileFormat format) {
    auto database = engine::Database::create(path, {.format = format, .password = password});
    for (const std::string& table : tables) {
        std::vector<std::vector<Value>> rows;
        for (int32_t number = 1; number <= 3; ++number) {
            rows.push_back({number, table + " row " + std::to_string(number)});
        }
        database->createTable(table,
                              {{.name = "ID", .type = ColumnType::Long},
                               {.name = "Name", .type = ColumnType::Text, .size = 80}},
                              RowFeed(rows));
    }
}

std::vector<std::string> userTables(const std::filesystem::path& path,
                                    const std::string& password) {
    auto database = engine::Database::open(path, {.password = password});
    std::vector<std::string> names;
    for (const auto& object : database->catalog().objects()) {
        if (object.kind == engine::catalog::ObjectKind::Table) {
            names.push_back(object.name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::vector<Value>> tableRows(const std::filesystem::path& path,
                                          const std::string& table, const std::string& password) {
    auto database = engine::Database::open(path, {.password = password});
    return allRows(*database, table);
}

}  // namespace support

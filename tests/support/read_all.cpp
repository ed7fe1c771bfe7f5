#include "support/read_all.h"

namespace support {

size_t readEverything(engine::Database& database) {
    size_t values = 0;
    for (const auto& object : database.catalog().objects()) {
        if (!object.isLocalTable()) continue;
        engine::TableReader reader(database, database.tableDefinitionAt(object.tablePage()));
        std::vector<engine::format::Value> row;
        while (reader.next(row)) values += row.size();
    }
    return values;
}

}  // namespace support

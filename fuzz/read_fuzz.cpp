// Opens any bytes as a database and reads everything in it: the catalogue, every table's
// definition and every row. Anything but a clean read or an EngineError is a bug.
#include "engine/database.h"
#include "engine/storage/memory_page_file.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    try {
        auto file = std::make_unique<engine::storage::MemoryPageFile>(std::move(bytes), false);
        auto database = engine::Database::open(std::move(file), {});
        std::vector<engine::format::Value> row;
        for (const auto& object : database->catalog().objects()) {
            if (!object.isLocalTable()) continue;
            engine::TableReader reader(*database, database->tableDefinitionAt(object.tablePage()));
            while (reader.next(row)) {
            }
        }
    } catch (const engine::EngineError&) {
    }
    return 0;
}

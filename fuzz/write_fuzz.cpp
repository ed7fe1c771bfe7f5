// Opens any bytes as a database and changes it as the program and the command line do: a
// make-table into it (a new table with rows, then a copy of a table it already holds), an index
// and a field added to a table and dropped again, its rows updated and half of them deleted,
// and a drop of the table. Each change either succeeds or throws EngineError. A change that
// fails must leave every byte as it was; one that succeeds must not grow the file past what it
// could have written. Anything else (a crash, a sanitizer report, another exception, an abort
// below) is a bug.
#include "engine/database.h"
#include "engine/storage/memory_page_file.h"
#include "engine/table_copy.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using engine::catalog::NewColumn;
using engine::format::ColumnType;
using engine::format::Value;

constexpr const char* kPath = "fuzz.mdb";

const std::vector<NewColumn>& newColumns() {
    static const std::vector<NewColumn> columns = {
        {.name = "Number", .type = ColumnType::Long, .autoNumber = true},
        {.name = "Label", .type = ColumnType::Text, .size = 50},
        {.name = "Notes", .type = ColumnType::Memo},
        {.name = "When", .type = ColumnType::DateTime},
    };
    return columns;
}

bool newRows(std::vector<Value>& row, int& left) {
    if (left == 0) return false;
    --left;
    row = {Value(), std::string("row ") + std::to_string(left),
           std::string(static_cast<size_t>(left) * 1500, 'n'),
           engine::format::DateTime{45000.5 + left}};
    return true;
}

// Runs one change; aborts when a failed change left the bytes changed or a successful one grew
// the file out of all proportion.
void change(engine::storage::MemoryFileSystem& files, engine::Database& database,
            const std::function<void(engine::Database&)>& body) {
    const std::vector<uint8_t> before = files.bytes(kPath);
    try {
        body(database);
    } catch (const engine::EngineError&) {
        if (files.bytes(kPath) != before) std::abort();
        return;
    }
    // A copy takes at most the pages its source has, twice over with its long values and maps.
    if (files.bytes(kPath).size() > 3 * before.size() + (1u << 20)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    engine::storage::MemoryFileSystem files;
    files.bytes(kPath).assign(data, data + size);
    std::unique_ptr<engine::Database> database;
    try {
        database = engine::Database::open(
            kPath, {.mode = engine::AccessMode::ReadWrite, .fileSystem = &files});
    } catch (const engine::EngineError&) {
        return 0;
    }

    change(files, *database, [](engine::Database& target) {
        int left = 3;
        target.createTable("FuzzNew", newColumns(),
                           [&left](std::vector<Value>& row) { return newRows(row, left); });
    });
    std::string userTable;
    try {
        for (const auto& object : database->catalog().objects()) {
            if (object.kind == engine::catalog::ObjectKind::Table && object.name != "FuzzNew") {
                userTable = object.name;
                break;
            }
        }
    } catch (const engine::EngineError&) {
        return 0;
    }
    if (userTable.empty()) userTable = "FuzzNew";
    change(files, *database, [&](engine::Database& target) {
        engine::copyTable(target, userTable, target, "FuzzCopy");
    });
    // Changes to the table's design: an index on its first field, a field added and dropped.
    std::string firstField;
    try {
        firstField = database->tableDefinition(userTable).columns.front().name;
    } catch (const engine::EngineError&) {
    }
    if (!firstField.empty()) {
        change(files, *database, [&](engine::Database& target) {
            target.createIndex(userTable, {.name = "FuzzIndex", .columns = {firstField}});
        });
        change(files, *database,
               [&](engine::Database& target) { target.dropIndex(userTable, "FuzzIndex"); });
        change(files, *database, [&](engine::Database& target) {
            target.addColumn(userTable, {.name = "FuzzAdded", .type = ColumnType::Memo});
        });
        change(files, *database,
               [&](engine::Database& target) { target.dropColumn(userTable, "FuzzAdded"); });
    }
    // Its rows: each written back unchanged (in its place), its first field emptied (a fixed
    // field in the stored bytes; any other by writing the row anew, and a row that no longer
    // fits is stored anew), then every other row deleted, without decoding any field.
    const auto everyRow = [](const std::vector<Value>&) { return true; };
    change(files, *database,
           [&](engine::Database& target) { target.updateRows(userTable, everyRow, {}); });
    if (!firstField.empty()) {
        change(files, *database, [&](engine::Database& target) {
            target.updateRows(userTable, everyRow, {{.position = 0, .value = Value()}});
        });
    }
    change(files, *database, [&](engine::Database& target) {
        size_t seen = 0;
        target.deleteRows(
            userTable, [&seen](const std::vector<Value>&) { return seen++ % 2 == 0; },
            std::vector<size_t>{});
    });
    change(files, *database, [&](engine::Database& target) { target.dropTable(userTable); });
    return 0;
}

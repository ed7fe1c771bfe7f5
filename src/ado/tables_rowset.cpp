#include "ado/tables_rowset.h"

#include "engine/storage/unicode.h"

#include <algorithm>
#include <tuple>

namespace ado {

namespace {

engine::format::Value dateOrNull(const std::optional<engine::format::DateTime>& date) {
    if (!date) return {};
    return *date;
}

}  // namespace

Recordset tablesRowset(engine::Database& database) {
    struct Listed {
        std::string type;
        std::string foldedName;
        const engine::catalog::CatalogObject* object;
    };
    std::vector<Listed> listed;
    for (const auto& object : database.catalog().objects()) {
        if (const char* type = engine::catalog::tableTypeName(object.kind)) {
            listed.push_back({type, engine::storage::foldedCase(object.name), &object});
        }
    }
    std::sort(listed.begin(), listed.end(), [](const Listed& left, const Listed& right) {
        return std::tie(left.type, left.foldedName, left.object->name) <
               std::tie(right.type, right.foldedName, right.object->name);
    });

    std::vector<Row> rows;
    for (const auto& entry : listed) {
        rows.push_back({{},
                        {},
                        entry.object->name,
                        entry.type,
                        {},
                        {},
                        {},
                        dateOrNull(entry.object->dateCreate),
                        dateOrNull(entry.object->dateUpdate)});
    }
    return Recordset({"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE", "TABLE_GUID",
                      "DESCRIPTION", "TABLE_PROPID", "DATE_CREATED", "DATE_MODIFIED"},
                     std::move(rows));
}

}  // namespace ado

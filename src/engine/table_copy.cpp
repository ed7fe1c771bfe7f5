#include "engine/table_copy.h"

namespace engine {

void copyTable(Database& source, std::string_view table, Database& destination,
               const std::string& newName) {
    format::TableDefinition definition = source.tableDefinition(table);
    std::vector<catalog::ColumnSpec> columns;
    for (const auto& column : definition.columns) {
        if (column.type == format::ColumnType::Complex) {
            throw EngineError(ErrorCode::NotSupported,
                              "The field '" + column.name +
                                  "' holds attachments or several values, which a make-table "
                                  "query cannot copy.");
        }
        if (!format::columnTypeFromCode(static_cast<uint8_t>(column.type)) ||
            column.type == format::ColumnType::UnknownBinary ||
            column.type == format::ColumnType::UnknownFixed) {
            throw EngineError(ErrorCode::NotSupported, "The field '" + column.name +
                                                           "' has a type this engine cannot copy.");
        }
        columns.push_back(catalog::ColumnSpec::of(column, storage::isJet3(source.format())));
    }
    TableReader reader(source, std::move(definition));
    destination.createTable(
        newName, columns, [&reader](std::vector<format::Value>& row) { return reader.next(row); });
}

}  // namespace engine

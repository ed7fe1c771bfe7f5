#include "engine/catalog/column_changes.h"

#include "engine/catalog/table_creator.h"
#include "engine/catalog/table_dropper.h"
#include "engine/catalog/table_editor.h"
#include "engine/catalog/table_properties.h"
#include "engine/format/rows/table_definition_writer.h"
#include "engine/format/rows/table_scan.h"
#include "engine/format/space/usage_map_editor.h"
#include "engine/storage/unicode.h"

#include <algorithm>

namespace engine::catalog {

namespace {

constexpr uint16_t kMaxColumnSlots = 255;

bool hasRows(const WriteContext& context, const format::TableDefinition& table) {
    format::TableScan scan(context.pager, context.format, table);
    return scan.nextRaw();
}

// Where a new fixed column goes: after the fixed bytes of every column the table has.
uint16_t fixedAreaEnd(const format::TableDefinition& table) {
    uint32_t end = 0;
    for (const auto& column : table.columns) {
        if (!column.isFixed() || column.type == format::ColumnType::Boolean) continue;
        end = std::max(end, column.fixedOffset + column.fixedBytes());
    }
    return static_cast<uint16_t>(end);
}

TableProperties propertiesOf(const WriteContext& context, const CatalogObject& table) {
    return readProperties(context.pager, context.format, context.codePage, table);
}

}  // namespace

void recordDesignChange(const WriteContext& context, const CatalogObject& table,
                        const format::ByteString* properties) {
    TableEditor objects(context, format::readTableDefinition(context.pager, context.format,
                                                             context.codePage, kCatalogTablePage));
    const size_t id = objects.columnPosition("Id");
    const size_t updated = objects.columnPosition("DateUpdate");
    const auto* lvProp = objects.definition().findColumn("LvProp");
    const format::DateTime stamp = now();
    std::vector<ColumnValue> values = {{updated, stamp}};
    if (properties && lvProp) {
        const auto position = static_cast<size_t>(lvProp - objects.definition().columns.data());
        values.push_back(
            {position, properties->empty() ? format::Value() : format::Value(*properties)});
    }
    objects.updateWhere(
        [&](const std::vector<format::Value>& row) {
            const auto* value = std::get_if<int32_t>(&row[id]);
            return value && *value == table.id;
        },
        values, std::vector<size_t>{id});
    objects.finish();
}

void addColumn(const WriteContext& context, const CatalogObject& table, const NewColumn& request) {
    auto definition = format::readTableDefinition(context.pager, context.format, context.codePage,
                                                  table.tablePage());
    if (definition.findColumn(request.name)) {
        throw EngineError(
            ErrorCode::FieldExists,
            "Field '" + request.name + "' already exists in table '" + table.name + "'.");
    }
    if (definition.maxColumns >= kMaxColumnSlots) {
        throw EngineError(ErrorCode::TooManyColumns,
                          "Too many fields defined: '" + table.name + "' has had " +
                              std::to_string(definition.maxColumns) +
                              " fields since it was last compacted; at most " +
                              std::to_string(kMaxColumnSlots) + " are allowed.");
    }
    auto refuse = [&](const std::string& why) {
        throw EngineError(ErrorCode::NotSupported,
                          "The field '" + request.name + "' cannot be added: " + why + ".");
    };
    if (!request.expression.empty()) refuse("this engine does not add calculated fields");
    if (request.required && context.format.jet3) {
        refuse("Access 97 files keep the Required property in a form this engine does not write");
    }
    const bool rows = hasRows(context, definition);
    if (rows && (request.autoNumber || request.guidAutoNumber)) {
        refuse("an AutoNumber field would need a number in every row the table holds");
    }
    if (rows && request.required) {
        refuse("the rows the table holds have no value for it, and it would require one");
    }
    format::ColumnDefinition column =
        defineColumns({request}, context.format.format, context.codePage, context.sortOrder).at(0);
    // Rows of a table without variable fields are stored without the trailer variable fields
    // need, and every reader takes the definition's word for whether a row has one.
    if (!column.isFixed() && definition.varColumns == 0 && rows) {
        refuse(
            "the table's rows are stored without the part a field of variable length needs, "
            "and this engine does not rewrite them");
    }
    column.number = definition.maxColumns;
    if (column.isFixed()) {
        column.fixedOffset =
            column.type == format::ColumnType::Boolean ? 0 : fixedAreaEnd(definition);
        column.varIndex = 0;
    } else {
        column.fixedOffset = 0;
        column.varIndex = definition.varColumns;
    }
    if (format::isLongValueType(column.type)) {
        const auto maps = placeMapRows(context, definition.ownedPages.page,
                                       {format::newReferenceMapRow(context.format),
                                        format::newInlineMapRow(context.format, 0)});
        column.lvOwnedMap = maps.at(0);
        column.lvFreeMap = maps.at(1);
    }
    const auto bytes = format::readTableDefinitionBytes(context.pager, definition.firstPage);
    const auto spliced = format::spliceColumnIn(bytes, definition, context.format, context.codePage,
                                                context.sortOrder.version, column);
    format::writeTableDefinition(context.pager, context.format, context.allocator, spliced,
                                 definition);
    if (request.required) {
        TableProperties properties = propertiesOf(context, table);
        markRequired(properties, column.name);
        const auto blob = properties.toBlob();
        recordDesignChange(context, table, &blob);
    } else {
        recordDesignChange(context, table);
    }
}

void dropColumn(const WriteContext& context, const CatalogObject& table, std::string_view name) {
    auto definition = format::readTableDefinition(context.pager, context.format, context.codePage,
                                                  table.tablePage());
    const format::ColumnDefinition* found = definition.findColumn(name);
    if (!found) {
        throw EngineError(ErrorCode::UnknownField, "The table '" + table.name + "' has no field '" +
                                                       std::string(name) + "'.");
    }
    const format::ColumnDefinition column = *found;
    for (const auto& real : definition.realIndexes) {
        for (const auto& part : real.columns) {
            if (part.columnNumber == column.number) {
                throw EngineError(ErrorCode::FieldInIndex,
                                  "Cannot delete a field that is part of an index or is needed by "
                                  "the system: an index of '" +
                                      table.name + "' holds '" + column.name + "'.");
            }
        }
    }
    if (definition.columns.size() == 1) {
        throw EngineError(ErrorCode::InvalidArgument, "The field '" + column.name +
                                                          "' is the last of '" + table.name +
                                                          "'; a table must have a field.");
    }
    if (std::any_of(definition.columns.begin(), definition.columns.end(),
                    [](const auto& other) { return other.isCalculated(); })) {
        throw EngineError(ErrorCode::NotSupported,
                          "'" + table.name +
                              "' has calculated fields; this engine cannot tell which fields "
                              "their expressions use, so it drops none.");
    }
    TableProperties properties = propertiesOf(context, table);
    const bool hadProperties = properties.forget(column.name);
    if (hadProperties && context.format.jet3) {
        throw EngineError(ErrorCode::NotSupported,
                          "The field '" + column.name +
                              "' has properties, kept in a form of Access 97 files this engine "
                              "does not write; it is left in place.");
    }

    const auto bytes = format::readTableDefinitionBytes(context.pager, definition.firstPage);
    const auto spliced = format::spliceColumnOut(bytes, definition, context.format, column.number);
    format::writeTableDefinition(context.pager, context.format, context.allocator, spliced,
                                 definition);
    if (hadProperties) {
        const auto blob = properties.empty() ? format::ByteString() : properties.toBlob();
        recordDesignChange(context, table, &blob);
    } else {
        recordDesignChange(context, table);
    }
    if (!column.lvOwnedMap.empty() || !column.lvFreeMap.empty()) {
        // A definition that holds nothing but the column: only its long values are freed.
        format::TableDefinition only;
        only.firstPage = definition.firstPage;
        only.columns = {column};
        freeTableStorage(context, only);
    }
}

}  // namespace engine::catalog

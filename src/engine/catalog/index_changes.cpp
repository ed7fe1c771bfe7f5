#include "engine/catalog/index_changes.h"

#include "engine/catalog/column_changes.h"
#include "engine/catalog/table_creator.h"
#include "engine/catalog/table_dropper.h"
#include "engine/format/indexes/index_build.h"
#include "engine/format/indexes/index_key.h"
#include "engine/format/indexes/index_tree.h"
#include "engine/format/indexes/index_tree_editor.h"
#include "engine/format/indexes/index_updater.h"
#include "engine/format/rows/table_definition_writer.h"
#include "engine/format/rows/table_scan.h"
#include "engine/format/space/usage_map_editor.h"
#include "engine/storage/unicode.h"

#include <algorithm>

namespace engine::catalog {

namespace {

constexpr size_t kMaxIndexFields = 10;
constexpr size_t kMaxIndexes = 32;
constexpr uint8_t kPrimaryKeyIndex = 1;
constexpr uint8_t kForeignKeyIndex = 2;
constexpr uint8_t kOrdinaryCascades = 4;  // what Access stores for indexes outside relationships

// The real index the request asks for on table: its fields by number and its flags. Throws as
// createIndex says.
format::RealIndex realIndexFor(const format::TableDefinition& table, const std::string& tableName,
                               const NewIndex& request, storage::FileFormat fileFormat) {
    if (request.primaryKey) {
        for (const auto& other : table.logicalIndexes) {
            if (other.indexType == kPrimaryKeyIndex) {
                throw EngineError(
                    ErrorCode::PrimaryKeyExists,
                    "Primary key already exists: '" + tableName + "' has '" + other.name + "'.");
            }
        }
    }
    for (const auto& other : table.logicalIndexes) {
        if (storage::equalsIgnoringCase(other.name, request.name)) {
            throw EngineError(
                ErrorCode::IndexNameTaken,
                "Table '" + tableName + "' already has an index named '" + request.name + "'.");
        }
    }
    if (table.logicalIndexes.size() >= kMaxIndexes || table.realIndexes.size() >= kMaxIndexes) {
        throw EngineError(ErrorCode::TooManyIndexes, "There are too many indexes on table '" +
                                                         tableName +
                                                         "'. Delete some of the indexes on the "
                                                         "table and try the operation again.");
    }
    if (request.columns.empty() || request.columns.size() > kMaxIndexFields ||
        (!request.descending.empty() && request.descending.size() != request.columns.size())) {
        throw EngineError(ErrorCode::InvalidIndex,
                          "Invalid index definition: an index takes 1 to " +
                              std::to_string(kMaxIndexFields) + " fields.");
    }
    format::RealIndex real;
    real.number = static_cast<uint32_t>(table.realIndexes.size());
    for (size_t at = 0; at < request.columns.size(); ++at) {
        const std::string& name = request.columns[at];
        const auto* column = table.findColumn(name);
        const bool indexable = column && !column->isCalculated() &&
                               !format::isLongValueType(column->type) &&
                               column->type != format::ColumnType::Complex;
        if (!indexable) {
            throw EngineError(ErrorCode::InvalidIndexField,
                              "Invalid field definition '" + name +
                                  "' in definition of index or relationship" +
                                  (column ? ": a field of its type cannot be indexed." : "."));
        }
        for (const auto& part : real.columns) {
            if (part.columnNumber == column->number) {
                throw EngineError(ErrorCode::InvalidIndex, "Invalid index definition: the field '" +
                                                               name + "' is named twice.");
            }
        }
        real.columns.push_back(
            {column->number, at >= request.descending.size() || !request.descending[at]});
    }
    if (request.unique || request.primaryKey) real.flags |= format::index_flags::kUnique;
    if (request.ignoreNulls) real.flags |= format::index_flags::kIgnoreNulls;
    if (request.primaryKey || request.required) real.flags |= format::index_flags::kRequired;
    if (!format::canEncodeIndex(table, real, fileFormat)) {
        throw EngineError(ErrorCode::NotSupported,
                          "The index '" + request.name +
                              "' is on a field whose keys this engine cannot compute.");
    }
    return real;
}

}  // namespace

void createIndex(const WriteContext& context, const CatalogObject& object,
                 const NewIndex& request) {
    validateName(request.name, context.format.format, context.codePage);
    auto table = format::readTableDefinition(context.pager, context.format, context.codePage,
                                             object.tablePage());
    const auto bytes = format::readTableDefinitionBytes(context.pager, table.firstPage);
    format::RealIndex real = realIndexFor(table, object.name, request, context.format.format);

    // The tree first: nothing names its pages until the definition does.
    real.rootPage = context.allocator.allocate();
    context.pager.write(real.rootPage, format::emptyIndexLeaf(context.format, table.firstPage));
    auto mapRow = format::newInlineMapRow(context.format, real.rootPage);
    mapRow[format::kInlineMapHeaderSize] = 0x01;  // the root
    real.pagesMap = placeMapRows(context, table.ownedPages.page, {mapRow}).at(0);
    const auto built =
        format::buildIndexEntries(context.pager, context.format, table, real, request.name,
                                  format::maxIndexKeySize(context.format));
    format::rewriteIndex(context.pager, context.format, context.allocator, real, table.firstPage,
                         built.entries);
    real.uniqueEntryCount = built.distinctKeys;

    format::LogicalIndex logical;
    logical.name = request.name;
    // Logical indexes are numbered in the order they were made: the new one comes last.
    for (const auto& other : table.logicalIndexes) {
        logical.number = std::max(logical.number, other.number + 1);
    }
    logical.realIndexNumber = real.number;
    logical.indexType = request.primaryKey ? kPrimaryKeyIndex : 0;
    logical.cascadeUpdates = kOrdinaryCascades;
    logical.cascadeDeletes = kOrdinaryCascades;
    const auto spliced =
        format::spliceIndexIn(bytes, table, context.format, context.codePage, &real, logical);
    format::writeTableDefinition(context.pager, context.format, context.allocator, spliced, table);
    recordDesignChange(context, object);
}

void dropIndex(const WriteContext& context, const CatalogObject& object, std::string_view name) {
    auto table = format::readTableDefinition(context.pager, context.format, context.codePage,
                                             object.tablePage());
    const auto found = std::find_if(table.logicalIndexes.begin(), table.logicalIndexes.end(),
                                    [&](const format::LogicalIndex& index) {
                                        return storage::equalsIgnoringCase(index.name, name);
                                    });
    if (found == table.logicalIndexes.end()) {
        throw EngineError(ErrorCode::NoSuchIndex,
                          "Cannot find table or constraint: the table has "
                          "no index named '" +
                              std::string(name) + "'.");
    }
    const format::LogicalIndex gone = *found;
    if (gone.relatedTablePage != 0 || gone.indexType == kForeignKeyIndex) {
        throw EngineError(ErrorCode::InRelationship,
                          "Cannot delete this index or table. It is either the current index or "
                          "is used in a relationship.");
    }
    // Other tables name this table's indexes by number in their relationships; those numbers
    // would move.
    for (const auto& other : table.logicalIndexes) {
        if (other.number > gone.number && other.relatedTablePage != 0) {
            throw EngineError(ErrorCode::NotSupported,
                              "The index '" + gone.name +
                                  "' cannot be dropped by this engine: the indexes after it "
                                  "would be renumbered, and a relationship names one by its "
                                  "number.");
        }
    }
    const bool shared = std::count_if(table.logicalIndexes.begin(), table.logicalIndexes.end(),
                                      [&](const format::LogicalIndex& index) {
                                          return index.realIndexNumber == gone.realIndexNumber;
                                      }) > 1;
    const auto bytes = format::readTableDefinitionBytes(context.pager, table.firstPage);
    const auto spliced =
        format::spliceIndexOut(bytes, table, context.format,
                               static_cast<size_t>(found - table.logicalIndexes.begin()), !shared);
    const format::RealIndex real = table.realIndexes.at(gone.realIndexNumber);
    format::writeTableDefinition(context.pager, context.format, context.allocator, spliced, table);
    recordDesignChange(context, object);
    if (!shared) freeIndexStorage(context, table, real);
}

}  // namespace engine::catalog

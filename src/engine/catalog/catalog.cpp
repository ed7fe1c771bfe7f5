#include "engine/catalog/catalog.h"

#include "engine/catalog/object_name.h"
#include "engine/format/index_key.h"
#include "engine/format/table_definition.h"
#include "engine/storage/unicode.h"

#include <algorithm>

namespace engine::catalog {

namespace {

constexpr uint32_t kQueryKindMask = 0xF0;
constexpr uint32_t kSelectQuery = 0x00;

template <typename T>
std::optional<T> valueAs(const format::Value& value) {
    if (const T* typed = std::get_if<T>(&value)) return *typed;
    return std::nullopt;
}

// Reads an integer column that may be stored as any integer width.
int64_t integerOf(const format::Value& value) {
    if (auto v = valueAs<int32_t>(value)) return *v;
    if (auto v = valueAs<int16_t>(value)) return *v;
    if (auto v = valueAs<uint8_t>(value)) return *v;
    if (auto v = valueAs<int64_t>(value)) return *v;
    return 0;
}

std::string textOf(const format::Value& value) {
    if (auto v = valueAs<std::string>(value)) return *v;
    return {};
}

// MSysQueries holds one row per part of each query; Attribute 2 rows declare parameters.
constexpr int64_t kParameterAttribute = 2;

std::vector<int32_t> readParameterQueries(storage::Pager& pager, const format::JetFormat& format,
                                          uint16_t codePage, PageNumber page) {
    auto definition = format::readTableDefinition(pager, format, codePage, page);
    const auto* objectId = definition.findColumn("ObjectId");
    const auto* attribute = definition.findColumn("Attribute");
    if (!objectId || !attribute) return {};
    std::vector<bool> wanted(definition.columns.size(), false);
    size_t objectIdAt = static_cast<size_t>(objectId - definition.columns.data());
    size_t attributeAt = static_cast<size_t>(attribute - definition.columns.data());
    wanted[objectIdAt] = wanted[attributeAt] = true;
    std::vector<int32_t> ids;
    format::TableScan scan(pager, format, definition);
    std::vector<format::Value> values;
    while (scan.next(wanted, values)) {
        if (integerOf(values[attributeAt]) == kParameterAttribute) {
            ids.push_back(static_cast<int32_t>(integerOf(values[objectIdAt])));
        }
    }
    return ids;
}

}  // namespace

bool keepsRowCount(const CatalogObject& object, const format::TableDefinition& table) {
    return table.tableType != 'S' && (object.flags & (kSystemObjectFlag | kAccessObjectFlag)) == 0;
}

const char* tableTypeName(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Table:
            return "TABLE";
        case ObjectKind::SystemTable:
            return "SYSTEM TABLE";
        case ObjectKind::AccessTable:
            return "ACCESS TABLE";
        case ObjectKind::Link:
            return "LINK";
        case ObjectKind::PassThrough:
            return "PASS-THROUGH";
        case ObjectKind::View:
            return "VIEW";
        case ObjectKind::Other:
            return nullptr;
    }
    return nullptr;
}

ObjectKind classify(const CatalogObject& object, bool queryHasParameters) {
    if (object.parentId != kTablesContainerId) return ObjectKind::Other;
    switch (static_cast<ObjectType>(object.type)) {
        case ObjectType::LocalTable:
            if (object.flags & kSystemObjectFlag) return ObjectKind::SystemTable;
            if (object.flags & kAccessObjectFlag) return ObjectKind::AccessTable;
            return ObjectKind::Table;
        case ObjectType::Link:
            return ObjectKind::Link;
        case ObjectType::OdbcLink:
            return ObjectKind::PassThrough;
        case ObjectType::Query:
            // Only plain select queries without parameters return rows as a view; action,
            // crosstab, union, pass-through and data-definition queries are procedures.
            if ((object.flags & kQueryKindMask) == kSelectQuery && !queryHasParameters) {
                return ObjectKind::View;
            }
            return ObjectKind::Other;
        default:
            return ObjectKind::Other;
    }
}

Catalog Catalog::read(storage::Pager& pager, const format::JetFormat& format, uint16_t codePage) {
    auto definition = format::readTableDefinition(pager, format, codePage, kCatalogTablePage);
    auto position = [&](std::string_view name) -> std::optional<size_t> {
        for (size_t index = 0; index < definition.columns.size(); ++index) {
            if (storage::equalsIgnoringCase(definition.columns[index].name, name)) return index;
        }
        return std::nullopt;
    };
    auto id = position("Id");
    auto parentId = position("ParentId");
    auto name = position("Name");
    auto type = position("Type");
    auto flags = position("Flags");
    if (!id || !parentId || !name || !type || !flags) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + pager.path() +
                              "' is damaged: its catalogue lacks the columns it must have.",
                          kCatalogTablePage);
    }
    auto dateCreate = position("DateCreate");
    auto dateUpdate = position("DateUpdate");
    auto database = position("Database");
    auto connect = position("Connect");
    auto foreignName = position("ForeignName");
    auto owner = position("Owner");

    std::vector<bool> wanted(definition.columns.size(), false);
    for (auto column : {id, parentId, name, type, flags, dateCreate, dateUpdate, database, connect,
                        foreignName, owner}) {
        if (column) wanted[*column] = true;
    }

    Catalog catalog;
    catalog.m_nameOrder = format::sortOrderOf(definition.columns[*name], format.jet3);
    format::TableScan scan(pager, format, definition);
    std::vector<format::Value> values;
    while (scan.next(wanted, values)) {
        CatalogObject object;
        object.id = static_cast<int32_t>(integerOf(values[*id]));
        object.parentId = static_cast<int32_t>(integerOf(values[*parentId]));
        object.name = textOf(values[*name]);
        object.type = static_cast<int16_t>(integerOf(values[*type]));
        object.flags = static_cast<uint32_t>(integerOf(values[*flags]));
        if (dateCreate) object.dateCreate = valueAs<format::DateTime>(values[*dateCreate]);
        if (dateUpdate) object.dateUpdate = valueAs<format::DateTime>(values[*dateUpdate]);
        if (database) object.database = textOf(values[*database]);
        if (connect) object.connect = textOf(values[*connect]);
        if (foreignName) object.foreignName = textOf(values[*foreignName]);
        if (owner) {
            if (auto bytes = valueAs<format::ByteString>(values[*owner])) object.owner = *bytes;
        }
        object.location = scan.location();
        catalog.m_objects.push_back(std::move(object));
    }

    std::vector<int32_t> parameterQueries;
    if (const CatalogObject* queries = catalog.findTable("MSysQueries")) {
        parameterQueries = readParameterQueries(pager, format, codePage, queries->tablePage());
    }
    for (auto& object : catalog.m_objects) {
        bool parameters = std::find(parameterQueries.begin(), parameterQueries.end(), object.id) !=
                          parameterQueries.end();
        object.kind = classify(object, parameters);
    }
    return catalog;
}

const CatalogObject* Catalog::findInTables(std::string_view name) const {
    const std::vector<uint8_t> wanted = objectNameKey(name, m_nameOrder);
    for (const auto& object : m_objects) {
        if (object.parentId == kTablesContainerId &&
            objectNameKey(object.name, m_nameOrder) == wanted) {
            return &object;
        }
    }
    return nullptr;
}

bool Catalog::sameName(std::string_view left, std::string_view right) const {
    return sameObjectName(left, right, m_nameOrder);
}

const CatalogObject* Catalog::findTable(std::string_view name) const {
    const CatalogObject* object = findInTables(name);
    return object && object->isLocalTable() ? object : nullptr;
}

const CatalogObject* Catalog::findById(int32_t id) const {
    for (const auto& object : m_objects) {
        if (object.id == id) return &object;
    }
    return nullptr;
}

}  // namespace engine::catalog

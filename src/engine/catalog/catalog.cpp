#include "engine/catalog/catalog.h"

#include "engine/catalog/object_name.h"
#include "engine/format/indexes/index_key.h"
#include "engine/format/indexes/index_tree.h"
#include "engine/format/rows/row_fetch.h"
#include "engine/format/rows/table_definition.h"
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

namespace {

// Where MSysObjects keeps the columns the catalogue reads (the definition orders them as it
// likes), and which of them a scan decodes.
struct CatalogColumns {
    size_t id, parentId, name, type, flags;
    std::optional<size_t> dateCreate, dateUpdate, database, connect, foreignName, owner;
    std::vector<bool> wanted;

    CatalogColumns(const format::TableDefinition& definition, const std::string& path) {
        auto position = [&](std::string_view column) -> std::optional<size_t> {
            for (size_t index = 0; index < definition.columns.size(); ++index) {
                if (storage::equalsIgnoringCase(definition.columns[index].name, column)) {
                    return index;
                }
            }
            return std::nullopt;
        };
        auto required = [&](std::string_view column) {
            auto found = position(column);
            if (!found) {
                throw EngineError(ErrorCode::Corrupt,
                                  "The database '" + path +
                                      "' is damaged: its catalogue (the table on page 2) "
                                      "lacks the columns it must have.",
                                  kCatalogTablePage);
            }
            return *found;
        };
        id = required("Id");
        parentId = required("ParentId");
        name = required("Name");
        type = required("Type");
        flags = required("Flags");
        dateCreate = position("DateCreate");
        dateUpdate = position("DateUpdate");
        database = position("Database");
        connect = position("Connect");
        foreignName = position("ForeignName");
        owner = position("Owner");
        wanted.assign(definition.columns.size(), false);
        for (auto column : {std::optional(id), std::optional(parentId), std::optional(name),
                            std::optional(type), std::optional(flags), dateCreate, dateUpdate,
                            database, connect, foreignName, owner}) {
            if (column) wanted[*column] = true;
        }
    }

    CatalogObject objectOf(const std::vector<format::Value>& values,
                           format::RowLocation location) const {
        CatalogObject object;
        object.id = static_cast<int32_t>(integerOf(values[id]));
        object.parentId = static_cast<int32_t>(integerOf(values[parentId]));
        object.name = textOf(values[name]);
        object.type = static_cast<int16_t>(integerOf(values[type]));
        object.flags = static_cast<uint32_t>(integerOf(values[flags]));
        if (dateCreate) object.dateCreate = valueAs<format::DateTime>(values[*dateCreate]);
        if (dateUpdate) object.dateUpdate = valueAs<format::DateTime>(values[*dateUpdate]);
        if (database) object.database = textOf(values[*database]);
        if (connect) object.connect = textOf(values[*connect]);
        if (foreignName) object.foreignName = textOf(values[*foreignName]);
        if (owner) {
            if (auto bytes = valueAs<format::ByteString>(values[*owner])) object.owner = *bytes;
        }
        object.location = location;
        return object;
    }
};

}  // namespace

Catalog Catalog::read(storage::Pager& pager, const format::JetFormat& format, uint16_t codePage) {
    auto definition = format::readTableDefinition(pager, format, codePage, kCatalogTablePage);
    const CatalogColumns columns(definition, pager.path());
    Catalog catalog;
    catalog.m_nameOrder = format::sortOrderOf(definition.columns[columns.name], format.jet3);
    format::TableScan scan(pager, format, definition);
    std::vector<format::Value> values;
    while (scan.next(columns.wanted, values)) {
        catalog.m_objects.push_back(columns.objectOf(values, scan.location()));
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

std::optional<CatalogObject> lookUpObject(storage::Pager& pager, const format::JetFormat& format,
                                          uint16_t codePage, int32_t parentId,
                                          std::string_view name) {
    auto definition = format::readTableDefinition(pager, format, codePage, kCatalogTablePage);
    const CatalogColumns columns(definition, pager.path());
    const uint16_t parentColumn = definition.columns[columns.parentId].number;
    const uint16_t nameColumn = definition.columns[columns.name].number;
    const auto order = format::sortOrderOf(definition.columns[columns.name], format.jet3);
    const NameMatcher wanted(name, order);
    for (const auto& real : definition.realIndexes) {
        if (!wanted.hasOrderKey() || real.columns.size() != 2 ||
            real.columns[0].columnNumber != parentColumn ||
            real.columns[1].columnNumber != nameColumn ||
            !format::canEncodeIndex(definition, real, format.format)) {
            continue;
        }
        // Names are one name exactly when their keys are equal, so the entries with the probe's
        // key are all the candidates there are.
        std::vector<format::Value> probe(definition.columns.size());
        probe[columns.parentId] = parentId;
        probe[columns.name] = std::string(name);
        std::vector<uint8_t> key;
        format::encodeIndexKey(definition, real, probe, format.format, key);
        format::RowFetcher fetcher(pager, format, definition);
        std::vector<format::Value> values;
        for (const auto& entry :
             format::readIndexEntries(pager, format, real, definition.firstPage, key)) {
            // The entry's key is the probe's: its row must hold the name, or the index and the
            // rows disagree.
            const bool live = fetcher.fetch(entry.row, columns.wanted, values);
            CatalogObject object;
            if (live) object = columns.objectOf(values, entry.row);
            if (!live || object.parentId != parentId || !wanted.matches(object.name)) {
                throw EngineError(ErrorCode::Corrupt,
                                  "The database '" + pager.path() +
                                      "' is damaged: its catalogue's index names row " +
                                      std::to_string(entry.row.row) + " of page " +
                                      std::to_string(entry.row.page) + " for '" +
                                      std::string(name) + "', which holds no such object.",
                                  entry.row.page);
            }
            // Only plain tables are looked up this way; a query's kind needs MSysQueries.
            object.kind = classify(object, false);
            return object;
        }
        // In the General order a miss is final. In another, the key Access stored may follow
        // rules that real files have not shown this engine, so the rows are read too.
        if (order.lcid == format::kGeneralSortLcid) return std::nullopt;
        break;
    }
    Catalog catalog = Catalog::read(pager, format, codePage);
    for (const auto& object : catalog.objects()) {
        if (object.parentId == parentId && wanted.matches(object.name)) return object;
    }
    return std::nullopt;
}

const CatalogObject* Catalog::findInTables(std::string_view name) const {
    const NameMatcher wanted(name, m_nameOrder);
    for (const auto& object : m_objects) {
        if (object.parentId == kTablesContainerId && wanted.matches(object.name)) return &object;
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

void Catalog::add(CatalogObject object) {
    // In the order a scan meets the rows: by page, then by row.
    auto later = std::find_if(m_objects.begin(), m_objects.end(), [&](const CatalogObject& other) {
        return std::pair(other.location.page, other.location.row) >
               std::pair(object.location.page, object.location.row);
    });
    m_objects.insert(later, std::move(object));
}

const CatalogObject* Catalog::findById(int32_t id) const {
    for (const auto& object : m_objects) {
        if (object.id == id) return &object;
    }
    return nullptr;
}

}  // namespace engine::catalog

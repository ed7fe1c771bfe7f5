#include "engine/catalog/new_database.h"

#include "engine/catalog/table_creator.h"
#include "engine/catalog/table_editor.h"
#include "engine/format/space/data_page_editor.h"
#include "engine/format/space/usage_map.h"
#include "engine/format/space/usage_map_editor.h"

#include <cassert>

namespace engine::catalog {

using format::ColumnType;
using format::Value;

namespace {

// A column of a system table as the engine lays it out: fixed columns at their offset,
// variable ones at their variable index. Text and Binary columns take the longest length the
// format allows.
struct SystemColumn {
    const char* name;
    ColumnType type;
    uint8_t flags;
    uint16_t place;  // fixed offset, or variable index
    uint16_t length;
    bool laterFormatsOnly = false;  // absent from Jet 3 files
};

struct SystemIndex {
    const char* name;
    std::vector<uint16_t> columns;
    uint8_t flags;  // the format adds the flag its every index carries
    uint8_t kind;   // 1 primary key
};

struct SystemTable {
    const char* name;
    uint8_t tableType;
    int32_t objectFlags;
    std::vector<SystemColumn> columns;
    std::vector<SystemIndex> indexes;
};

constexpr uint8_t kFixed = 0x13;       // fixed, nullable, engine column
constexpr uint8_t kVariable = 0x12;    // variable, nullable, engine column
constexpr uint8_t kSecurity = 0x32;    // security ids
constexpr uint8_t kPlainFixed = 0x03;  // fixed, nullable
constexpr uint8_t kPlainVariable = 0x02;
constexpr int32_t kSystemFlags = static_cast<int32_t>(kSystemObjectFlag);
constexpr int32_t kComplexTypeFlags = static_cast<int32_t>(0x80030000u);

// The engine's own catalogue tables, as a new database made by the engine holds them.
const std::vector<SystemTable>& engineTables() {
    static const std::vector<SystemTable> tables = {
        {"MSysObjects",
         'S',
         kSystemFlags,
         {{"Id", ColumnType::Long, kFixed, 0, 4},
          {"ParentId", ColumnType::Long, kFixed, 4, 4},
          {"Name", ColumnType::Text, kVariable, 0, 0},
          {"Type", ColumnType::Integer, kFixed, 8, 2},
          {"DateCreate", ColumnType::DateTime, kFixed, 10, 8},
          {"DateUpdate", ColumnType::DateTime, kFixed, 18, 8},
          {"Owner", ColumnType::Binary, kSecurity, 1, 0},
          {"Flags", ColumnType::Long, kFixed, 26, 4},
          {"Database", ColumnType::Memo, kVariable, 2, 0},
          {"Connect", ColumnType::Memo, kVariable, 3, 0},
          {"ForeignName", ColumnType::Text, kVariable, 4, 0},
          {"RmtInfoShort", ColumnType::Binary, kVariable, 5, 0},
          {"RmtInfoLong", ColumnType::Ole, kVariable, 6, 0},
          {"Lv", ColumnType::Ole, kVariable, 7, 0},
          {"LvProp", ColumnType::Ole, kVariable, 8, 0},
          {"LvModule", ColumnType::Ole, kVariable, 9, 0},
          {"LvExtra", ColumnType::Ole, kVariable, 10, 0}},
         {{"ParentIdName", {1, 2}, 0x01, 0}, {"Id", {0}, 0x01, 1}}},
        {"MSysACEs",
         'S',
         kSystemFlags,
         {{"ObjectId", ColumnType::Long, kFixed, 0, 4},
          {"SID", ColumnType::Binary, kSecurity, 0, 0},
          {"ACM", ColumnType::Long, kFixed, 4, 4},
          {"FInheritable", ColumnType::Boolean, kFixed, 0, 1}},
         {{"ObjectId", {0}, 0x08, 0}}},
        {"MSysQueries",
         'S',
         kSystemFlags,
         {{"ObjectId", ColumnType::Long, kFixed, 0, 4},
          {"Attribute", ColumnType::Byte, kFixed, 4, 1},
          {"Order", ColumnType::Binary, kVariable, 0, 0},
          {"Name1", ColumnType::Text, kVariable, 1, 0},
          {"Name2", ColumnType::Text, kVariable, 2, 0},
          {"Expression", ColumnType::Memo, kVariable, 3, 0},
          {"Flag", ColumnType::Integer, kFixed, 5, 2},
          {"LvExtra", ColumnType::Long, kFixed, 7, 4, true}},
         {{"ObjectIdAttribute", {0, 1, 2}, 0x01, 1}}},
        {"MSysRelationships",
         'S',
         kSystemFlags,
         {{"szRelationship", ColumnType::Text, kVariable, 0, 0},
          {"grbit", ColumnType::Long, kFixed, 0, 4},
          {"ccolumn", ColumnType::Long, kFixed, 4, 4},
          {"icolumn", ColumnType::Long, kFixed, 8, 4},
          {"szObject", ColumnType::Text, kVariable, 1, 0},
          {"szColumn", ColumnType::Text, kVariable, 2, 0},
          {"szReferencedObject", ColumnType::Text, kVariable, 3, 0},
          {"szReferencedColumn", ColumnType::Text, kVariable, 4, 0}},
         {{"szRelationship", {0}, 0x02, 0},
          {"szObject", {4}, 0x02, 0},
          {"szReferencedObject", {6}, 0x02, 0}}},
    };
    return tables;
}

// The tables behind attachments and multi-value columns, which every ACE database holds.
const std::vector<SystemTable>& complexTables() {
    static const std::vector<SystemTable> tables = {
        {"MSysComplexColumns",
         'N',
         kSystemFlags,
         {{"ColumnName", ColumnType::Text, kVariable, 0, 0},
          {"ComplexTypeObjectID", ColumnType::Long, kFixed, 0, 4},
          {"FlatTableID", ColumnType::Long, kFixed, 4, 4},
          {"ConceptualTableID", ColumnType::Long, kFixed, 8, 4},
          {"ComplexID", ColumnType::Long, 0x17, 12, 4}},
         {{"IdxID", {4}, 0x0B, 1},
          {"IdxConceptualTableID", {3}, 0x0A, 0},
          {"IdxFlatTableID", {2}, 0x0A, 0}}},
        {"MSysComplexType_UnsignedByte",
         'N',
         kComplexTypeFlags,
         {{"Value", ColumnType::Byte, kPlainFixed, 0, 1}},
         {}},
        {"MSysComplexType_Short",
         'N',
         kComplexTypeFlags,
         {{"Value", ColumnType::Integer, kPlainFixed, 0, 2}},
         {}},
        {"MSysComplexType_Long",
         'N',
         kComplexTypeFlags,
         {{"Value", ColumnType::Long, kPlainFixed, 0, 4}},
         {}},
        {"MSysComplexType_IEEESingle",
         'N',
         kComplexTypeFlags,
         {{"Value", ColumnType::Single, kPlainFixed, 0, 4}},
         {}},
        {"MSysComplexType_IEEEDouble",
         'N',
         kComplexTypeFlags,
         {{"Value", ColumnType::Double, kPlainFixed, 0, 8}},
         {}},
        {"MSysComplexType_GUID",
         'N',
         kComplexTypeFlags,
         {{"Value", ColumnType::Guid, kPlainFixed, 0, 16}},
         {}},
        {"MSysComplexType_Decimal",
         'N',
         kComplexTypeFlags,
         {{"Value", ColumnType::Numeric, kPlainVariable, 0, 9}},
         {}},
        {"MSysComplexType_Text",
         'N',
         kComplexTypeFlags,
         {{"Value", ColumnType::Text, kPlainVariable, 0, 0}},
         {}},
        {"MSysComplexType_Attachment",
         'N',
         kComplexTypeFlags,
         {{"FileURL", ColumnType::Memo, kPlainVariable, 0, 0},
          {"FileName", ColumnType::Text, kPlainVariable, 1, 0},
          {"FileType", ColumnType::Text, kPlainVariable, 2, 0},
          {"FileData", ColumnType::Ole, kPlainVariable, 3, 0},
          {"FileTimeStamp", ColumnType::DateTime, kPlainFixed, 0, 8},
          {"FileFlags", ColumnType::Long, kPlainFixed, 8, 4}},
         {}},
    };
    return tables;
}

format::TableDefinition shapeOf(const SystemTable& table, const WriteContext& context) {
    format::TableDefinition shape;
    shape.tableType = table.tableType;
    for (const auto& request : table.columns) {
        if (request.laterFormatsOnly && context.format.jet3) continue;
        format::ColumnDefinition column;
        column.name = request.name;
        column.type = request.type;
        column.number = static_cast<uint16_t>(shape.columns.size());
        column.flags = request.flags;
        column.length = request.type == ColumnType::Text || request.type == ColumnType::Binary
                            ? context.format.maxVariableColumnLength
                            : request.length;
        if (column.isFixed()) {
            column.fixedOffset = request.place;
        } else {
            column.varIndex = request.place;
        }
        if (format::isTextType(request.type)) {
            column.sortLcid = context.sortOrder.lcid;
            column.sortVersion = context.sortOrder.version;
            column.codePage = context.codePage;
        }
        if (request.type == ColumnType::Numeric) column.precision = 18;
        shape.columns.push_back(column);
    }
    for (const auto& request : table.indexes) {
        addIndex(shape, request.name, request.columns,
                 request.flags | context.format.indexFlagsAlwaysSet, request.kind);
    }
    return shape;
}

// The security ids of a new file: owner owns the containers and system tables, creator the
// database object (and so every table made later); the rights table grants the accounts what
// is listed below.
struct Accounts {
    format::ByteString owner;
    format::ByteString creator;
    format::ByteString users;
    format::ByteString admins;
};

// As the engine writes them into Jet 4 and later files.
const Accounts kEngineAccounts = {{0x06, 0xEA}, {0x07, 0xE8}, {0x06, 0xED}, {0x06, 0xE8}};
// As Access 97 files hold them ("users" is the Creator account there), without the Admins
// group of the workgroup file the product ran with, whose long id is that workgroup's own.
const Accounts kAccess97Accounts = {
    {0x02, 0x03}, {0x03, 0x01}, kAccess97CreatorAccount, {0x02, 0x01}};

struct AccessRight {
    int32_t objectId;
    const format::ByteString* account;
    int32_t rights;
    bool inheritable;
};

}  // namespace

void writeSystemCatalog(const WriteContext& context, storage::FileFormat fileFormat) {
    assert(context.pager.inTransaction());
    const Accounts& accounts = context.format.jet3 ? kAccess97Accounts : kEngineAccounts;
    const format::ByteString* kOwner = &accounts.owner;
    const format::ByteString* kCreator = &accounts.creator;
    const format::ByteString* kUsers = &accounts.users;
    const format::ByteString* kAdmins = &accounts.admins;
    std::vector<const SystemTable*> tables;
    for (const auto& table : engineTables()) tables.push_back(&table);
    if (storage::isAce(fileFormat)) {
        for (const auto& table : complexTables()) tables.push_back(&table);
    }

    std::vector<std::pair<const SystemTable*, PageNumber>> created;
    for (const SystemTable* table : tables) {
        NewTable storage(context, table->name, shapeOf(*table, context));
        if (created.empty() && storage.definition().firstPage != kCatalogTablePage) {
            throw EngineError(ErrorCode::Internal, "the catalogue must start on page 2");
        }
        storage.finishStorage();
        created.emplace_back(table, storage.definition().firstPage);
    }

    format::DateTime stamp = now();
    TableEditor objects(context, format::readTableDefinition(context.pager, context.format,
                                                             context.codePage, kCatalogTablePage));
    auto addObject = [&](int32_t id, int32_t parent, const std::string& name, int16_t type,
                         int32_t flags, const format::ByteString* owner) {
        std::vector<Value> row(objects.definition().columns.size());
        row[objects.columnPosition("Id")] = id;
        row[objects.columnPosition("ParentId")] = parent;
        row[objects.columnPosition("Name")] = name;
        row[objects.columnPosition("Type")] = type;
        row[objects.columnPosition("DateCreate")] = stamp;
        row[objects.columnPosition("DateUpdate")] = stamp;
        if (owner) row[objects.columnPosition("Owner")] = *owner;
        row[objects.columnPosition("Flags")] = flags;
        objects.insert(row);
    };
    constexpr int16_t kContainer = 3;
    constexpr int16_t kDatabaseObject = 2;
    constexpr int16_t kLocalTable = 1;
    constexpr int32_t kDatabaseObjectId = 0x10000000;
    addObject(kTablesContainerId, kContainersParentId, "Tables", kContainer, kSystemFlags, kOwner);
    addObject(kDatabasesContainerId, kContainersParentId, "Databases", kContainer, kSystemFlags,
              kOwner);
    addObject(kRelationshipsContainerId, kContainersParentId, "Relationships", kContainer,
              kSystemFlags, kOwner);
    addObject(kDatabaseObjectId, kDatabasesContainerId, "MSysDb", kDatabaseObject, kSystemFlags,
              kCreator);
    for (const auto& [table, page] : created) {
        bool engineTable = table->tableType == 'S';
        addObject(static_cast<int32_t>(page), kTablesContainerId, table->name, kLocalTable,
                  table->objectFlags, engineTable ? kOwner : nullptr);
    }
    objects.finish();

    std::vector<AccessRight> rights = {
        {kTablesContainerId, kUsers, 983294, true},
        {kRelationshipsContainerId, kUsers, 983294, true},
        {kRelationshipsContainerId, kCreator, 393217, false},
        {kDatabasesContainerId, kCreator, 393216, false},
        {kDatabaseObjectId, kCreator, 393230, false},
        {kDatabaseObjectId, kAdmins, 14, false},
    };
    if (context.format.jet3) {
        // Access 97 files grant both accounts full rights on the tables made later.
        rights.push_back({static_cast<int32_t>(kCatalogTablePage), kAdmins, 20, false});
        rights.push_back({kTablesContainerId, kCreator, 1048319, true});
        rights.push_back({kTablesContainerId, kAdmins, 1048319, true});
        rights.push_back({kRelationshipsContainerId, kAdmins, 1048575, true});
    } else {
        rights.push_back({kTablesContainerId, kCreator, 393217, false});
    }
    for (const auto& [table, page] : created) {
        if (table->tableType != 'S') continue;
        auto id = static_cast<int32_t>(page);
        bool relationships = std::string(table->name) == "MSysRelationships";
        rights.push_back({id, kCreator, relationships ? 917504 : 393216, false});
        if (std::string(table->name) == "MSysQueries" || relationships) {
            rights.push_back({id, kAdmins, 20, false});
        }
    }
    TableEditor aces(context, format::readTableDefinition(context.pager, context.format,
                                                          context.codePage, created.at(1).second));
    for (const auto& right : rights) {
        std::vector<Value> row(aces.definition().columns.size());
        row[aces.columnPosition("ObjectId")] = right.objectId;
        row[aces.columnPosition("SID")] = *right.account;
        row[aces.columnPosition("ACM")] = right.rights;
        row[aces.columnPosition("FInheritable")] = right.inheritable;
        aces.insert(row);
    }
    aces.finish();
}

void writeGlobalMapPage(storage::Pager& pager, const format::JetFormat& format) {
    // Page 1 starts with every page past the header and the map itself free; the allocator
    // grows the map as pages are taken.
    std::vector<uint8_t> map = format::newInlineMapRow(format, 0);
    for (size_t byte = format::kInlineMapHeaderSize; byte < map.size(); ++byte) map[byte] = 0xFF;
    map[format::kInlineMapHeaderSize] = 0xFC;  // pages 0 and 1 in use
    std::vector<uint8_t> second(map.size(), 0);
    auto page = format::DataPageEditor::fresh(format, format::kGlobalMapPage);
    page.appendRow(map);
    page.appendRow(second);
    pager.write(format::kGlobalMapPage, page.bytes());
}

}  // namespace engine::catalog

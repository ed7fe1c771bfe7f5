// The system catalogue: the rows of MSysObjects, whose definition always starts on page 2.
// Columns used (any order in the definition; found by name):
//   Id (Long)         object id; a local table's id is the first page of its definition
//   ParentId (Long)   the container: Tables 0x0F000001, Databases 0x0F000002, ...
//   Name (Text)       object name
//   Type (Integer)    1 local table, 2 database, 3 container, 4 ODBC link, 5 query, 6 link,
//                     8 relationship, negative values for forms, reports, modules ...
//   Flags (Long)      0x80000000 engine system object, 0x00000002 Access system object,
//                     0x00000008 hidden; for queries bits 0xF0 give the kind (0 select)
//   DateCreate, DateUpdate (Date/Time), Database, Connect (Memo), ForeignName (Text),
//   Owner (Binary)    the security id of the object's owner
#pragma once

#include "engine/format/indexes/text_index_key.h"
#include "engine/format/jet_format.h"
#include "engine/format/rows/table_scan.h"
#include "engine/format/rows/value.h"
#include "engine/storage/pager.h"

#include <optional>
#include <string>
#include <vector>

namespace engine::catalog {

inline constexpr PageNumber kCatalogTablePage = 2;
inline constexpr int32_t kTablesContainerId = 0x0F000001;
inline constexpr int32_t kDatabasesContainerId = 0x0F000002;
inline constexpr int32_t kRelationshipsContainerId = 0x0F000003;
inline constexpr int32_t kContainersParentId = 0x0F000000;
inline constexpr uint32_t kSystemObjectFlag = 0x80000000;
inline constexpr uint32_t kAccessObjectFlag = 0x00000002;
inline constexpr uint32_t kHiddenFlag = 0x00000008;

// The Creator account of Access 97 files: its rights on a container go to whoever creates an
// object in it.
inline const format::ByteString kAccess97CreatorAccount = {0x02, 0x04};

enum class ObjectType : int16_t {
    LocalTable = 1,
    Database = 2,
    Container = 3,
    OdbcLink = 4,
    Query = 5,
    Link = 6,
    Relationship = 8,
};

// What the tables schema rowset reports for an object; Other objects are not listed there.
enum class ObjectKind { Table, SystemTable, AccessTable, Link, PassThrough, View, Other };

// "TABLE", "SYSTEM TABLE", "ACCESS TABLE", "LINK", "PASS-THROUGH", "VIEW"; nullptr for Other.
const char* tableTypeName(ObjectKind kind);

struct CatalogObject {
    int32_t id = 0;
    int32_t parentId = 0;
    std::string name;
    int16_t type = 0;
    uint32_t flags = 0;
    std::optional<format::DateTime> dateCreate;
    std::optional<format::DateTime> dateUpdate;
    std::string database;      // links: the file the table lives in
    std::string connect;       // links: the connect string
    std::string foreignName;   // links: the table's name there
    format::ByteString owner;  // the owner's security id
    ObjectKind kind = ObjectKind::Other;
    format::RowLocation location;  // the object's row in MSysObjects

    bool isLocalTable() const { return type == static_cast<int16_t>(ObjectType::LocalTable); }
    // The first page of a local table's definition.
    PageNumber tablePage() const { return static_cast<PageNumber>(id) & 0x00FFFFFF; }
};

class Catalog {
public:
    // Reads every row of MSysObjects, and MSysQueries to tell views from other queries.
    static Catalog read(storage::Pager& pager, const format::JetFormat& format, uint16_t codePage);

    // Every object, in the order of the catalogue's rows.
    const std::vector<CatalogObject>& objects() const { return m_objects; }
    // The object of the Tables container with this name (tables, links and queries share one
    // name space there). Names compare as the catalogue's index compares them (object_name.h).
    const CatalogObject* findInTables(std::string_view name) const;
    // The local table with this name.
    const CatalogObject* findTable(std::string_view name) const;
    const CatalogObject* findById(int32_t id) const;
    // Whether two names are one name in this catalogue (object_name.h).
    bool sameName(std::string_view left, std::string_view right) const;
    format::TextSortOrder nameOrder() const { return m_nameOrder; }

    // Keeps the catalogue in step with a change that entered an object (the change's own
    // record of the row it wrote), in its row's place.
    void add(CatalogObject object);

private:
    std::vector<CatalogObject> m_objects;
    format::TextSortOrder m_nameOrder = format::kGeneralLegacyOrder;
};

ObjectKind classify(const CatalogObject& object, bool queryHasParameters);

// One object of a container by name (names compare as in findInTables), found through the
// catalogue's index on (ParentId, Name): only the rows the index names are read, so the cost
// does not grow with the catalogue. A catalogue without that index is read whole. nullopt when
// there is none. The object's kind is told as for a query without parameters.
std::optional<CatalogObject> lookUpObject(storage::Pager& pager, const format::JetFormat& format,
                                          uint16_t codePage, int32_t parentId,
                                          std::string_view name);

}  // namespace engine::catalog

#include "engine/catalog/table_dropper.h"

#include "engine/catalog/object_name.h"
#include "engine/catalog/page_uses.h"
#include "engine/catalog/table_editor.h"
#include "engine/format/indexes/index_key.h"
#include "engine/format/indexes/index_page.h"
#include "engine/format/space/data_page_editor.h"
#include "engine/format/space/usage_map.h"

#include <cassert>
#include <map>
#include <set>

namespace engine::catalog {

using format::Value;

namespace {

std::optional<int32_t> integerIn(const Value& value) {
    if (const auto* number = std::get_if<int32_t>(&value)) return *number;
    return std::nullopt;
}

format::TableDefinition definitionOf(const WriteContext& context, const CatalogObject& object) {
    return format::readTableDefinition(context.pager, context.format, context.codePage,
                                       object.tablePage());
}

// The local table of that name, found through the catalogue's index.
std::optional<CatalogObject> tableNamed(const WriteContext& context, std::string_view name) {
    auto object =
        lookUpObject(context.pager, context.format, context.codePage, kTablesContainerId, name);
    if (!object || !object->isLocalTable()) return std::nullopt;
    return object;
}

// Whether the catalogue lists an object with this id (through its index on Id).
bool listed(const WriteContext& context, int32_t id) {
    TableEditor objects(context, format::readTableDefinition(context.pager, context.format,
                                                             context.codePage, kCatalogTablePage));
    bool found = false;
    objects.forEachRowWhere(objects.columnPosition("Id"), Value(id),
                            [&](const std::vector<Value>&) { found = true; });
    return found;
}

// Removes the rows of a system table whose column holds id, if the table and column exist.
void removeReferences(const WriteContext& context, const char* table, const char* column,
                      int32_t id) {
    const auto object = tableNamed(context, table);
    if (!object) return;
    TableEditor editor(context, definitionOf(context, *object));
    if (!editor.definition().findColumn(column)) return;
    editor.removeWhereEqual(editor.columnPosition(column), Value(id));
    editor.finish();
}

void dropObject(const WriteContext& context, const CatalogObject& object) {
    auto definition = definitionOf(context, object);
    removeReferences(context, "MSysObjects", "Id", object.id);
    removeReferences(context, "MSysACEs", "ObjectId", object.id);
    removeReferences(context, "MSysNavPaneObjectIDs", "Id", object.id);
    removeReferences(context, "MSysNavPaneGroupToObjects", "ObjectID", object.id);
    freeTableStorage(context, definition);
}

}  // namespace

void freeTableStorage(const WriteContext& context, const format::TableDefinition& table) {
    assert(context.pager.inTransaction());
    std::set<PageNumber> pages(table.pages.begin(), table.pages.end());
    std::map<PageNumber, std::vector<uint8_t>> mapRows;  // map page -> rows to delete
    // Whether a page to free could belong to another object without its header saying so: a
    // definition's continuation, a long-value page (whose owner field names long values, not a
    // table), a map's bitmap page that marks other pages than this table's. Data and index
    // pages name their table, map pages hold rows.
    bool unmarked = table.pages.size() > 1;

    auto collect = [&](format::UsageMapRef ref, auto belongs) {
        if (ref.empty()) return;
        std::vector<uint8_t> row = format::readUsageMapRow(context.pager, context.format, ref);
        bool allOwn = true;
        for (PageNumber page : format::readUsageMapPages(context.pager, context.format, ref)) {
            if (belongs(*context.pager.read(page))) {
                pages.insert(page);
            } else {
                allOwn = false;
            }
        }
        // A bitmap page says nothing of its owner; one that marks only this table's own pages
        // is taken for this table's.
        if (row[0] == format::kReferenceMap) {
            for (size_t slot = 0; 1 + slot * 4 + 4 <= row.size(); ++slot) {
                const PageNumber bitmap = format::referenceMapBitmap(row, slot);
                if (bitmap == 0) continue;
                pages.insert(bitmap);
                unmarked = unmarked || !allOwn;
            }
        }
        mapRows[ref.page].push_back(ref.row);
    };
    auto dataPageOfTable = [&](const storage::PageBuffer& page) {
        return page[0] == format::kDataPageType && storage::readU32LE(page, 4) == table.firstPage;
    };
    auto longValuePage = [&](const storage::PageBuffer& page) {
        const bool longValues = page[0] == format::kDataPageType &&
                                storage::readU32LE(page, 4) == format::kLongValueOwner;
        unmarked = unmarked || longValues;
        return longValues;
    };
    auto indexPageOfTable = [&](const storage::PageBuffer& page) {
        return (page[0] == 0x03 || page[0] == 0x04) &&
               storage::readU32LE(page, 4) == table.firstPage;
    };
    auto nothing = [](const storage::PageBuffer&) { return false; };

    collect(table.ownedPages, dataPageOfTable);
    // The pages with free space are among the owned ones.
    collect(table.freeSpacePages, dataPageOfTable);
    for (const auto& real : table.realIndexes) {
        collect(real.pagesMap, indexPageOfTable);
        // A root that is not this table's index page is damage; freeing it would hand another
        // object's page out again.
        format::readIndexPage(context.pager, context.format, real.rootPage, table.firstPage);
        pages.insert(real.rootPage);
    }
    for (const auto& column : table.columns) {
        collect(column.lvOwnedMap, longValuePage);
        collect(column.lvFreeMap, nothing);
    }

    for (const auto& [mapPage, rows] : mapRows) {
        auto contents = context.pager.read(mapPage);
        auto editor = format::DataPageEditor::copyOf(*contents, context.format, mapPage,
                                                     context.pager.path(), format::kUsageMapOwner);
        for (uint8_t row : rows) editor.markDeleted(row);
        format::DataPageView view(editor.bytes(), context.format, mapPage, context.pager.path());
        bool empty = true;
        for (uint16_t row = 0; row < view.rowCount() && empty; ++row) {
            empty = view.slot(row).deleted;
        }
        if (empty) {
            pages.insert(mapPage);
        } else {
            context.pager.write(mapPage, editor.bytes());
        }
    }
    // A page another object names too is damage; freeing it would hand that object's page out
    // again (Access too, which checks nothing before it takes a free page). Pages whose headers
    // name this table are its own; only where the table holds pages that say nothing of their
    // owner is every other object's storage read, so that a drop costs what it touches. The
    // table's own catalogue row is gone by now, so only the others are collected.
    if (unmarked) {
        const PageUses others = collectPageUses(context.pager, context.format, context.codePage,
                                                PageUses::Claims::Named);
        others.requireNoProblems();
        for (PageNumber page : pages) {
            if (const std::string* user = others.userOf(page)) {
                throw EngineError(ErrorCode::Corrupt,
                                  "The database '" + context.pager.path() + "' is damaged: page " +
                                      std::to_string(page) +
                                      " of the table being deleted is also named by " + *user + ".",
                                  page);
            }
        }
    }
    for (PageNumber page : pages) {
        if (page > format::kGlobalMapPage) context.allocator.release(page);
    }
}

void freeIndexStorage(const WriteContext& context, const format::TableDefinition& table,
                      const format::RealIndex& index) {
    // A definition that holds nothing but the index: only what it names is freed.
    format::TableDefinition only;
    only.firstPage = table.firstPage;
    only.realIndexes = {index};
    freeTableStorage(context, only);
}

void dropTable(const WriteContext& context, std::string_view name) {
    const auto object = tableNamed(context, name);
    if (!object) {
        throw EngineError(ErrorCode::TableNotFound,
                          "Table '" + std::string(name) + "' does not exist.");
    }
    if (object->flags & (kSystemObjectFlag | kAccessObjectFlag)) {
        throw EngineError(ErrorCode::NotSupported,
                          "'" + object->name + "' is a system table and cannot be deleted.");
    }
    if (const auto relationships = tableNamed(context, "MSysRelationships")) {
        const auto catalogue = format::readTableDefinition(context.pager, context.format,
                                                           context.codePage, kCatalogTablePage);
        const auto* nameColumn = catalogue.findColumn("Name");
        const auto order = nameColumn ? format::sortOrderOf(*nameColumn, context.format.jet3)
                                      : format::kGeneralLegacyOrder;
        TableEditor editor(context, definitionOf(context, *relationships));
        size_t from = editor.columnPosition("szObject");
        size_t to = editor.columnPosition("szReferencedObject");
        const NameMatcher dropped(object->name, order);
        auto names = [&](const Value& value) {
            const auto* text = std::get_if<std::string>(&value);
            return text && dropped.matches(*text);
        };
        bool related = false;
        editor.forEachRow([&](const std::vector<Value>& row) {
            related = related || names(row[from]) || names(row[to]);
        });
        if (related) {
            throw EngineError(ErrorCode::InRelationship,
                              "Could not delete; currently part of one or more relationships.");
        }
    }

    // Attachments and multi-value columns keep their values in hidden tables of their own.
    if (const auto complex = tableNamed(context, "MSysComplexColumns")) {
        TableEditor editor(context, definitionOf(context, *complex));
        size_t table = editor.columnPosition("ConceptualTableID");
        size_t flat = editor.columnPosition("FlatTableID");
        std::vector<int32_t> flatTables;
        editor.removeWhere(
            [&](const std::vector<Value>& row) {
                if (integerIn(row[table]) != object->id) return false;
                if (auto id = integerIn(row[flat])) flatTables.push_back(*id);
                return true;
            },
            std::vector<size_t>{table, flat});
        editor.finish();
        for (int32_t id : flatTables) {
            if (!listed(context, id)) continue;
            // A flat table's id is the first page of its definition, as every local table's.
            CatalogObject flatTable;
            flatTable.id = id;
            dropObject(context, flatTable);
        }
    }
    dropObject(context, *object);
}

}  // namespace engine::catalog

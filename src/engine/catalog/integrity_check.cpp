#include "engine/catalog/integrity_check.h"

#include "engine/catalog/page_uses.h"
#include "engine/catalog/table_properties.h"
#include "engine/format/indexes/index_updater.h"
#include "engine/format/rows/row_removal.h"
#include "engine/format/rows/table_scan.h"
#include "engine/format/space/data_page.h"
#include "engine/format/space/page_allocator.h"
#include "engine/format/space/usage_map.h"

#include <optional>
#include <set>

namespace engine::catalog {

namespace {

class Checker {
public:
    Checker(storage::Pager& pager, const format::JetFormat& format, uint16_t codePage)
        : m_pager(pager),
          m_format(format),
          m_codePage(codePage),
          m_uses(pager, format, PageUses::Claims::Confirmed) {}

    CheckReport run();

private:
    void problem(const std::string& text) { m_report.problems.push_back(text); }
    void notice(const std::string& text) { m_report.notices.push_back(text); }
    void checkTable(const CatalogObject& object);
    void checkColumns(const std::string& user, const format::TableDefinition& table);
    void checkMovedRows(const std::string& user, const format::TableDefinition& table,
                        const std::set<PageNumber>& owned);

    storage::Pager& m_pager;
    const format::JetFormat& m_format;
    uint16_t m_codePage;
    PageUses m_uses;
    CheckReport m_report;
};

// A text column holds 1 to 255 characters; a length outside that is a definition no copy can
// take.
void Checker::checkColumns(const std::string& user, const format::TableDefinition& table) {
    const uint32_t maxLength = m_format.jet3 ? 255 : 510;
    for (const auto& column : table.columns) {
        if (column.type != format::ColumnType::Text || column.isCalculated()) continue;
        if (column.length == 0 || column.length > maxLength) {
            problem(user + ": the text column '" + column.name + "' declares a length of " +
                    std::to_string(column.length) + " bytes, outside 1 to " +
                    std::to_string(maxLength));
        }
    }
}

// A moved row (a slot flagged 0x8000 alone) is reached only through its row's pointer. Once
// that row is deleted, a moved row left behind is invisible to this engine and to Access but
// read as a live row by readers that do not follow pointers.
void Checker::checkMovedRows(const std::string& user, const format::TableDefinition& table,
                             const std::set<PageNumber>& owned) {
    std::set<format::RowLocation> reached;
    std::vector<format::RowLocation> moved;
    for (PageNumber number : owned) {
        auto contents = m_pager.read(number);
        if ((*contents)[0] != format::kDataPageType) continue;
        format::DataPageView view(*contents, m_format, number, m_pager.path());
        if (view.owner() != table.firstPage) continue;
        for (uint16_t row = 0; row < view.rowCount(); ++row) {
            format::RowSlot slot = view.slot(row);
            format::RowLocation location{number, static_cast<uint8_t>(row)};
            if (slot.lookup && !slot.deleted) {
                auto slots = format::rowSlots(m_pager, m_format, location);
                reached.insert(slots.begin() + 1, slots.end());
            } else if (slot.deleted && !slot.lookup) {
                moved.push_back(location);
            }
        }
    }
    // Access leaves such rows and reads past them; a reader that does not follow pointers
    // lists them (in MSysObjects, as tables long dropped). This engine never leaves one.
    for (const auto& location : moved) {
        if (reached.count(location)) continue;
        notice(user + " keeps row " + std::to_string(location.row) + " of page " +
               std::to_string(location.page) +
               ", a moved row that no live row points to, which readers that do not follow "
               "moved rows take for a live row");
    }
}

void Checker::checkTable(const CatalogObject& object) {
    const std::string user = "table '" + object.name + "'";
    try {
        auto table = readTableOf(m_pager, m_format, m_codePage, object);
        m_uses.addTable(user, table);
        checkColumns(user, table);
        auto ownedPages = format::readUsageMapPages(m_pager, m_format, table.ownedPages);
        const std::set<PageNumber> owned(ownedPages.begin(), ownedPages.end());
        for (PageNumber listed : format::readUsageMapPages(m_pager, m_format, table.freeSpacePages)) {
            if (!owned.count(listed)) {
                problem(user + " lists page " + std::to_string(listed) +
                        " as having free space but does not own it");
            }
        }
        checkMovedRows(user, table, owned);

        size_t rows = 0;
        format::TableScan scan(m_pager, m_format, table);
        std::vector<format::Value> values;
        while (scan.next(values)) ++rows;
        m_report.rowsChecked += rows;
        if (rows != table.rowCount) {
            // A counter the product does not always keep up to date; every reader reads the
            // rows the pages hold.
            notice(user + " holds " + std::to_string(rows) + " rows but its definition counts " +
                   std::to_string(table.rowCount));
        }
        auto indexes = format::checkIndexes(m_pager, m_format, table);
        for (const auto& text : indexes.problems) problem(user + ": " + text);
        for (const auto& text : indexes.notices) notice(user + ": " + text);
        ++m_report.tablesChecked;
    } catch (const EngineError& error) {
        problem(user + ": " + error.what());
    }
}

CheckReport Checker::run() {
    // The catalogue's own table is checked whether or not the catalogue lists it.
    CatalogObject catalogTable;
    catalogTable.id = static_cast<int32_t>(kCatalogTablePage);
    catalogTable.name = "MSysObjects";
    catalogTable.type = static_cast<int16_t>(ObjectType::LocalTable);
    catalogTable.flags = kSystemObjectFlag;
    checkTable(catalogTable);
    std::optional<Catalog> catalog;
    try {
        catalog = Catalog::read(m_pager, m_format, m_codePage);
    } catch (const EngineError& error) {
        problem(std::string("the catalogue cannot be read: ") + error.what());
        return m_report;
    }
    for (const auto& object : catalog->objects()) {
        if (!object.isLocalTable() || object.tablePage() == kCatalogTablePage) continue;
        checkTable(object);
    }
    for (const auto& text : m_uses.problems()) problem(text);
    format::PageAllocator allocator(m_pager, m_format);
    for (PageNumber page = 0; page < m_pager.pageCount(); ++page) {
        const std::string* user = m_uses.userOf(page);
        bool free = allocator.isFree(page);
        if (user && free) {
            problem("page " + std::to_string(page) + " is used by " + *user + " but marked free");
        } else if (!user && !free) {
            notice("page " + std::to_string(page) + " is neither used nor marked free");
        }
    }
    return m_report;
}

}  // namespace

CheckReport checkIntegrity(storage::Pager& pager, const format::JetFormat& format,
                           uint16_t codePage) {
    try {
        Checker checker(pager, format, codePage);
        return checker.run();
    } catch (const EngineError& error) {
        CheckReport report;
        report.problems.push_back(error.what());
        return report;
    }
}

}  // namespace engine::catalog

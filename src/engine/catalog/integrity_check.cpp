#include "engine/catalog/integrity_check.h"

#include "engine/catalog/table_properties.h"
#include "engine/format/data_page.h"
#include "engine/format/index_updater.h"
#include "engine/format/page_allocator.h"
#include "engine/format/row_removal.h"
#include "engine/format/table_scan.h"
#include "engine/format/usage_map.h"

#include <map>
#include <set>

namespace engine::catalog {

namespace {

class Checker {
public:
    Checker(storage::Pager& pager, const format::JetFormat& format, uint16_t codePage)
        : m_pager(pager), m_format(format), m_codePage(codePage) {}

    CheckReport run();

private:
    void problem(const std::string& text) { m_report.problems.push_back(text); }
    void notice(const std::string& text) { m_report.notices.push_back(text); }
    // Records a page's use; a page may be shared only by usage-map rows.
    void use(PageNumber page, const std::string& user, bool sharedMapPage = false);
    std::set<PageNumber> mapPages(const std::string& user, format::UsageMapRef ref);
    void checkTable(const CatalogObject& object);
    void checkColumns(const std::string& user, const format::TableDefinition& table);
    void checkMovedRows(const std::string& user, const format::TableDefinition& table,
                        const std::set<PageNumber>& owned);

    storage::Pager& m_pager;
    const format::JetFormat& m_format;
    uint16_t m_codePage;
    CheckReport m_report;
    std::map<PageNumber, std::string> m_users;
    std::set<PageNumber> m_sharedMapPages;
};

void Checker::use(PageNumber page, const std::string& user, bool sharedMapPage) {
    if (page >= m_pager.pageCount()) {
        problem(user + " uses page " + std::to_string(page) + ", past the end of the file");
        return;
    }
    if (sharedMapPage) {
        auto found = m_users.find(page);
        if (found == m_users.end() || m_sharedMapPages.count(page)) {
            m_users[page] = "usage maps";
            m_sharedMapPages.insert(page);
            return;
        }
    }
    auto [where, inserted] = m_users.emplace(page, user);
    if (!inserted) {
        problem("page " + std::to_string(page) + " is used by " + where->second + " and by " +
                user);
    }
}

std::set<PageNumber> Checker::mapPages(const std::string& user, format::UsageMapRef ref) {
    std::set<PageNumber> pages;
    if (ref.empty()) return pages;
    use(ref.page, user + " (usage map)", true);
    auto row = format::readUsageMapRow(m_pager, m_format, ref);
    if (row[0] == format::kReferenceMap) {
        for (size_t slot = 0; 1 + slot * 4 + 4 <= row.size(); ++slot) {
            PageNumber bitmap = storage::readU32LE(row, 1 + slot * 4);
            if (bitmap != 0) use(bitmap, user + " (usage bitmap)");
        }
    }
    auto listed = format::readUsageMapPages(m_pager, m_format, ref);
    pages.insert(listed.begin(), listed.end());
    return pages;
}

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
// that row is deleted, a moved row left behind is invisible to this engine but read as a live
// row by readers that do not follow pointers.
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
    for (const auto& location : moved) {
        if (reached.count(location)) continue;
        problem(user + " keeps row " + std::to_string(location.row) + " of page " +
                std::to_string(location.page) +
                ", a moved row that no live row points to, which other readers take for a "
                "live row");
    }
}

void Checker::checkTable(const CatalogObject& object) {
    const std::string user = "table '" + object.name + "'";
    auto table = readTableOf(m_pager, m_format, m_codePage, object);
    for (PageNumber page : table.pages) use(page, user + " (definition)");
    checkColumns(user, table);

    auto owned = mapPages(user, table.ownedPages);
    for (PageNumber page : owned) {
        auto contents = m_pager.read(page);
        if ((*contents)[0] == format::kDataPageType &&
            storage::readU32LE(*contents, 4) == table.firstPage) {
            use(page, user);
        }
    }
    for (PageNumber page : mapPages(user, table.freeSpacePages)) {
        if (!owned.count(page)) {
            problem(user + " lists page " + std::to_string(page) +
                    " as having free space but does not own it");
        }
    }
    for (const auto& column : table.columns) {
        if (column.lvOwnedMap.empty()) continue;
        for (PageNumber page : mapPages(user, column.lvOwnedMap)) {
            auto contents = m_pager.read(page);
            if ((*contents)[0] == format::kDataPageType &&
                storage::readU32LE(*contents, 4) == format::kLongValueOwner) {
                use(page, user + " (long values of '" + column.name + "')");
            }
        }
        mapPages(user, column.lvFreeMap);
    }
    for (const auto& real : table.realIndexes) {
        for (PageNumber page : mapPages(user, real.pagesMap)) {
            auto contents = m_pager.read(page);
            uint8_t type = (*contents)[0];
            if ((type == 0x03 || type == 0x04) &&
                storage::readU32LE(*contents, 4) == table.firstPage) {
                use(page, user + " (index)");
            }
        }
    }

    checkMovedRows(user, table, owned);

    size_t rows = 0;
    format::TableScan scan(m_pager, m_format, table);
    std::vector<format::Value> values;
    while (scan.next(values)) ++rows;
    m_report.rowsChecked += rows;
    if (rows != table.rowCount) {
        std::string text = user + " holds " + std::to_string(rows) +
                           " rows but its definition counts " + std::to_string(table.rowCount);
        // The product itself leaves the counts of its system tables off, also of those it
        // stores as user tables (type 'N') but flags as its own in the catalogue.
        if (table.tableType == 'S' || (object.flags & (kSystemObjectFlag | kAccessObjectFlag))) {
            notice(text);
        } else {
            problem(text);
        }
    }
    for (const auto& problemText : format::checkIndexes(m_pager, m_format, table)) {
        problem(user + ": " + problemText);
    }
    ++m_report.tablesChecked;
}

CheckReport Checker::run() {
    use(0, "the header");
    use(format::kGlobalMapPage, "the global page map");
    Catalog catalog = Catalog::read(m_pager, m_format, m_codePage);
    for (const auto& object : catalog.objects()) {
        if (!object.isLocalTable()) continue;
        try {
            checkTable(object);
        } catch (const EngineError& error) {
            problem("table '" + object.name + "': " + error.what());
        }
    }
    format::PageAllocator allocator(m_pager, m_format);
    for (PageNumber page = 0; page < m_pager.pageCount(); ++page) {
        bool used = m_users.count(page) != 0;
        bool free = allocator.isFree(page);
        if (used && free) {
            problem("page " + std::to_string(page) + " is used by " + m_users[page] +
                    " but marked free");
        } else if (!used && !free) {
            notice("page " + std::to_string(page) + " is neither used nor marked free");
        }
    }
    return m_report;
}

}  // namespace

CheckReport checkIntegrity(storage::Pager& pager, const format::JetFormat& format,
                           uint16_t codePage) {
    Checker checker(pager, format, codePage);
    try {
        return checker.run();
    } catch (const EngineError& error) {
        CheckReport report;
        report.problems.push_back(error.what());
        return report;
    }
}

}  // namespace engine::catalog

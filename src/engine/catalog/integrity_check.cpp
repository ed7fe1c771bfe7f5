#include "engine/catalog/integrity_check.h"

#include "engine/catalog/page_uses.h"
#include "engine/format/index_updater.h"
#include "engine/format/page_allocator.h"
#include "engine/format/table_scan.h"
#include "engine/format/usage_map.h"

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
    void checkTable(const std::string& name, PageNumber page);

    storage::Pager& m_pager;
    const format::JetFormat& m_format;
    uint16_t m_codePage;
    PageUses m_uses;
    CheckReport m_report;
};

void Checker::checkTable(const std::string& name, PageNumber page) {
    const std::string user = "table '" + name + "'";
    try {
        auto table = format::readTableDefinition(m_pager, m_format, m_codePage, page);
        m_uses.addTable(user, table);
        auto owned = format::readUsageMapPages(m_pager, m_format, table.ownedPages);
        std::set<PageNumber> ownedSet(owned.begin(), owned.end());
        for (PageNumber listed : format::readUsageMapPages(m_pager, m_format, table.freeSpacePages)) {
            if (!ownedSet.count(listed)) {
                problem(user + " lists page " + std::to_string(listed) +
                        " as having free space but does not own it");
            }
        }

        size_t rows = 0;
        format::TableScan scan(m_pager, m_format, table);
        std::vector<format::Value> values;
        while (scan.next(values)) ++rows;
        m_report.rowsChecked += rows;
        if (rows != table.rowCount) {
            std::string text = user + " holds " + std::to_string(rows) +
                               " rows but its definition counts " + std::to_string(table.rowCount);
            // The product itself leaves the counts of its system tables off.
            if (table.tableType == 'S') {
                notice(text);
            } else {
                problem(text);
            }
        }
        for (const auto& problemText : format::checkIndexes(m_pager, m_format, table)) {
            problem(user + ": " + problemText);
        }
        ++m_report.tablesChecked;
    } catch (const EngineError& error) {
        problem(user + ": " + error.what());
    }
}

CheckReport Checker::run() {
    // The catalogue's own table is checked whether or not the catalogue lists it.
    checkTable("MSysObjects", kCatalogTablePage);
    std::optional<Catalog> catalog;
    try {
        catalog = Catalog::read(m_pager, m_format, m_codePage);
    } catch (const EngineError& error) {
        problem(std::string("the catalogue cannot be read: ") + error.what());
        return m_report;
    }
    for (const auto& object : catalog->objects()) {
        if (!object.isLocalTable() || object.tablePage() == kCatalogTablePage) continue;
        checkTable(object.name, object.tablePage());
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

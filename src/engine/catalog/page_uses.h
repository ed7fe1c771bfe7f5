// Which object uses each page of a database, as the catalogue, the tables' definitions and their
// usage maps tell. The integrity check compares it with the global page map; a change consults
// it before it takes a page, so that a damaged global map never hands out a page that holds
// data, and a damaged pointer past the end of the file never comes to name a new page.
//
// A table uses the pages of its definition, the pages its usage-map rows lie on (shared with
// other maps), the bitmap pages of its reference maps, its index roots, and the pages its maps
// list. Pages 0 (the header) and 1 (the global page map) are always in use.
#pragma once

#include "engine/format/jet_format.h"
#include "engine/format/rows/table_definition.h"
#include "engine/storage/pager.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace engine::catalog {

class PageUses {
public:
    enum class Claims {
        // A page a map lists is the table's only when its header says so (the table's data
        // page, a long-value page, the table's index page). Reads every page the maps list.
        Confirmed,
        // Every page a structure names is taken as used, past the end of the file too. Reads
        // no page the maps list: cheap enough for every change, and errs on the safe side.
        Named,
    };

    PageUses(storage::Pager& pager, const format::JetFormat& format, Claims claims);

    // Records the pages of one table under the name user. Throws Corrupt when a usage map or a
    // page it names cannot be read; the pages recorded until then stay recorded.
    void addTable(const std::string& user, const format::TableDefinition& table);

    // The user of page, or nullptr when nothing uses it.
    const std::string* userOf(PageNumber page) const;
    // Pages used twice, usage-map rows named twice, and (Confirmed claims only) pages named
    // past the end of the file.
    const std::vector<std::string>& problems() const { return m_problems; }
    // Throws Corrupt, with the first problem and the page it is about, unless there is none.
    void requireNoProblems() const;

private:
    // Records a page's use; a page may be shared only by usage-map rows.
    void use(PageNumber page, const std::string& user, bool sharedMapPage = false);
    void addProblem(PageNumber page, std::string text);
    // Records a map's own pages and returns the pages it lists.
    std::vector<PageNumber> mapPages(const std::string& user, format::UsageMapRef ref);

    // Of the pages a map lists, whether page is the table's, as the claims in force decide.
    bool isListedPageOf(PageNumber page, uint8_t type, uint32_t owner);

    storage::Pager& m_pager;
    const format::JetFormat& m_format;
    Claims m_claims;
    std::map<PageNumber, std::string> m_users;
    std::set<PageNumber> m_sharedMapPages;
    std::map<format::UsageMapRef, std::string> m_mapRows;
    std::vector<std::string> m_problems;
    PageNumber m_firstProblemPage = 0;
};

// The uses of every local table the catalogue lists, and of the catalogue's own table even when
// its row is missing. Throws Corrupt when the catalogue or a table cannot be read.
PageUses collectPageUses(storage::Pager& pager, const format::JetFormat& format,
                         uint16_t codePage, PageUses::Claims claims);

// A take check for PageAllocator::setTakeCheck: refuses, with Corrupt naming the page, a page
// that a structure of the database names, so that a damaged global map never makes a change
// write over data. inUse tells whether the global map said a page was in use when the change
// began (a page the change itself took may still hold what a dropped table left). It costs in
// proportion to one table, not to the database:
//   page                                     taken when
//   past the end of the file (checked only   no table of the catalogue names it: every
//   where the global map calls it in use)    table's structures are collected, once per change
//   all zero, or of no known page type       always
//   a data or index page of table page T     T was not in use, is no table definition, or is one
//                                            whose structures do not name the page
//   anything else (a definition, a bitmap,   no table of the catalogue names it: every table's
//   a long-value or usage-map page)          structures are collected, once per change
// A page a damaged structure names is refused with the rest of the database's damage when the
// collection runs into it, and the change with it.
std::function<void(PageNumber)> refuseNamedPages(storage::Pager& pager,
                                                 const format::JetFormat& format,
                                                 uint16_t codePage,
                                                 std::function<bool(PageNumber)> inUse);

}  // namespace engine::catalog

#include "engine/catalog/page_uses.h"

#include "engine/catalog/catalog.h"
#include "engine/format/indexes/index_page.h"
#include "engine/format/space/data_page.h"
#include "engine/format/space/page_allocator.h"
#include "engine/format/space/usage_map.h"

#include <optional>

namespace engine::catalog {

namespace {

bool isIndexPage(uint8_t type) {
    return type == format::kIndexNodePageType || type == format::kIndexLeafPageType;
}

}  // namespace

PageUses::PageUses(storage::Pager& pager, const format::JetFormat& format, Claims claims)
    : m_pager(pager), m_format(format), m_claims(claims) {
    use(0, "the header");
    use(format::kGlobalMapPage, "the global page map");
    // A global map of the reference form keeps its bits on pages of their own.
    auto contents = pager.read(format::kGlobalMapPage);
    format::DataPageView page(*contents, format, format::kGlobalMapPage, pager.path());
    if (page.rowCount() == 0) return;
    auto bytes = page.rowBytes(page.slot(0));
    const std::vector<uint8_t> row(bytes.begin(), bytes.end());
    if (row.empty() || row[0] != format::kReferenceMap) return;
    for (size_t slot = 0; 1 + slot * 4 + 4 <= row.size(); ++slot) {
        const PageNumber bitmap = format::referenceMapBitmap(row, slot);
        if (bitmap != 0) use(bitmap, "the global page map (usage bitmap)");
    }
}

const std::string* PageUses::userOf(PageNumber page) const {
    auto found = m_users.find(page);
    return found == m_users.end() ? nullptr : &found->second;
}

void PageUses::use(PageNumber page, const std::string& user, bool sharedMapPage) {
    if (page >= m_pager.pageCount() && m_claims == Claims::Confirmed) {
        addProblem(page, user + " uses page " + std::to_string(page) + ", past the end of the file");
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
        addProblem(page, "page " + std::to_string(page) + " is used by " + where->second +
                             " and by " + user);
    }
}

void PageUses::addProblem(PageNumber page, std::string text) {
    if (m_problems.empty()) m_firstProblemPage = page;
    m_problems.push_back(std::move(text));
}

void PageUses::requireNoProblems() const {
    if (m_problems.empty()) return;
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + m_pager.path() + "' is damaged: " + m_problems.front() +
                          ".",
                      m_firstProblemPage);
}

std::vector<PageNumber> PageUses::mapPages(const std::string& user, format::UsageMapRef ref) {
    if (ref.empty()) return {};
    use(ref.page, user + " (usage map)", true);
    // Every map is one table's own; a row two tables name would be changed for both.
    if (auto [where, inserted] = m_mapRows.emplace(ref, user); !inserted) {
        addProblem(ref.page, "the usage map in row " + std::to_string(ref.row) + " of page " +
                                 std::to_string(ref.page) + " is named by " + where->second +
                                 " and by " + user);
    }
    auto row = format::readUsageMapRow(m_pager, m_format, ref);
    if (row[0] == format::kReferenceMap) {
        for (size_t slot = 0; 1 + slot * 4 + 4 <= row.size(); ++slot) {
            const PageNumber bitmap = format::referenceMapBitmap(row, slot);
            if (bitmap != 0) use(bitmap, user + " (usage bitmap)");
        }
    }
    return format::readUsageMapPages(m_pager, m_format, ref);
}

bool PageUses::isListedPageOf(PageNumber page, uint8_t type, uint32_t owner) {
    if (m_claims == Claims::Named) return true;
    auto contents = m_pager.read(page);
    uint8_t actual = (*contents)[0];
    bool typeMatches = type == format::kIndexLeafPageType ? isIndexPage(actual) : actual == type;
    return typeMatches && storage::readU32LE(*contents, 4) == owner;
}

void PageUses::addTable(const std::string& user, const format::TableDefinition& table) {
    for (PageNumber page : table.pages) use(page, user + " (definition)");

    for (PageNumber page : mapPages(user, table.ownedPages)) {
        if (isListedPageOf(page, format::kDataPageType, table.firstPage)) use(page, user);
    }
    mapPages(user, table.freeSpacePages);
    for (const auto& column : table.columns) {
        if (column.lvOwnedMap.empty()) continue;
        for (PageNumber page : mapPages(user, column.lvOwnedMap)) {
            if (isListedPageOf(page, format::kDataPageType, format::kLongValueOwner)) {
                use(page, user + " (long values of '" + column.name + "')");
            }
        }
        mapPages(user, column.lvFreeMap);
    }
    for (const auto& real : table.realIndexes) {
        bool rootListed = false;
        for (PageNumber page : mapPages(user, real.pagesMap)) {
            if (isListedPageOf(page, format::kIndexLeafPageType, table.firstPage)) {
                use(page, user + " (index)");
                rootListed = rootListed || page == real.rootPage;
            }
        }
        // The definition names the root whatever the map says.
        if (!rootListed) use(real.rootPage, user + " (index root)");
    }
}

PageUses collectPageUses(storage::Pager& pager, const format::JetFormat& format,
                         uint16_t codePage, PageUses::Claims claims) {
    PageUses uses(pager, format, claims);
    uses.addTable("table 'MSysObjects'",
                  format::readTableDefinition(pager, format, codePage, kCatalogTablePage));
    const Catalog catalog = Catalog::read(pager, format, codePage);
    for (const auto& object : catalog.objects()) {
        if (!object.isLocalTable() || object.tablePage() == kCatalogTablePage) continue;
        uses.addTable("table '" + object.name + "'",
                      format::readTableDefinition(pager, format, codePage, object.tablePage()));
    }
    return uses;
}

namespace {

EngineError namedPage(const storage::Pager& pager, PageNumber page, const std::string& user) {
    return EngineError(ErrorCode::Corrupt,
                       "The database '" + pager.path() + "' is damaged: page " +
                           std::to_string(page) + " is to be taken for new data, but " + user +
                           " names it.",
                       page);
}

// Whether the table whose definition is on page owner, as it stands, names page.
bool ownerNames(storage::Pager& pager, const format::JetFormat& format, uint16_t codePage,
                PageNumber owner, PageNumber page) {
    PageUses uses(pager, format, PageUses::Claims::Named);
    uses.addTable("the table on page " + std::to_string(owner),
                  format::readTableDefinition(pager, format, codePage, owner));
    return uses.userOf(page) != nullptr;
}

}  // namespace

std::function<void(PageNumber)> refuseNamedPages(storage::Pager& pager,
                                                 const format::JetFormat& format,
                                                 uint16_t codePage,
                                                 std::function<bool(PageNumber)> inUse) {
    auto everyUse = std::make_shared<std::optional<PageUses>>();
    const PageNumber pageCount = pager.pageCount();
    return [&pager, &format, codePage, inUse = std::move(inUse), everyUse,
            pageCount](PageNumber page) {
        if (page < pageCount) {
            auto contents = pager.read(page);
            const uint8_t type = (*contents)[0];
            const uint32_t owner = storage::readU32LE(*contents, 4);
            const bool tablePage = type == format::kDataPageType || isIndexPage(type);
            if (tablePage && owner != format::kLongValueOwner &&
                owner != format::kUsageMapOwner) {
                // A page a dropped table left behind names a definition page that was free when
                // the change began or holds something else.
                if (owner <= format::kGlobalMapPage || !inUse(owner) ||
                    (*pager.read(owner))[0] != format::kTableDefinitionPageType) {
                    return;
                }
                if (ownerNames(pager, format, codePage, owner, page)) {
                    throw namedPage(pager, page, "the table whose definition is on page " +
                                                     std::to_string(owner));
                }
                return;
            }
            if (!tablePage && type != format::kTableDefinitionPageType &&
                type != format::kBitmapPageType) {
                return;
            }
        }
        if (!*everyUse) {
            everyUse->emplace(collectPageUses(pager, format, codePage, PageUses::Claims::Named));
            (*everyUse)->requireNoProblems();
        }
        if (const std::string* user = (*everyUse)->userOf(page)) {
            throw namedPage(pager, page, *user);
        }
    };
}

}  // namespace engine::catalog

#include "engine/format/rows/table_scan.h"

#include "engine/format/rows/row_fetch.h"
#include "engine/format/space/data_page.h"
#include "engine/format/space/usage_map.h"

namespace engine::format {

TableScan::TableScan(storage::Pager& pager, const JetFormat& format, const TableDefinition& table)
    : m_pager(pager),
      m_format(format),
      m_table(table),
      m_decoder(pager, format, table),
      m_pages(readUsageMapPages(pager, format, table.ownedPages)) {}

namespace {
// How many pages of the file a scan asks the pager to read at once.
constexpr size_t kReadAheadPages = 32;
}  // namespace

bool TableScan::loadPage() {
    if (m_nextPageIndex == m_pages.size()) return false;
    if (m_nextPageIndex >= m_readAheadEnd) {
        // The next pages that lie within a stretch of kReadAheadPages of the file, in one read.
        // In a file that is not encrypted the pages between them come along, costing a copy
        // each: a table's long values mostly lie among its data pages, and the rows about to
        // be read ask for them. Encrypted pages would each be decrypted too, so there only
        // pages that follow one another are read together.
        const bool withGaps = m_pager.codec() == nullptr;
        const PageNumber first = m_pages[m_nextPageIndex];
        size_t end = m_nextPageIndex + 1;
        while (end < m_pages.size() && m_pages[end] > m_pages[end - 1] &&
               m_pages[end] - first < kReadAheadPages &&
               (withGaps || m_pages[end] == m_pages[end - 1] + 1)) {
            ++end;
        }
        const PageNumber stretch = m_pages[end - 1] - first + 1;
        if (stretch > 1) m_pager.readAhead(first, stretch);
        m_readAheadEnd = end;
    }
    PageNumber number = m_pages[m_nextPageIndex++];
    auto contents = m_pager.read(number);
    // A page the map names that is not this table's data page is damage, or the table was
    // dropped and its pages taken by another while this scan ran: either way the rows read so
    // far are not the whole table.
    m_page = std::move(contents);
    m_view.emplace(*m_page, m_format, number, m_pager.path());
    m_view->requireOwner(m_table.firstPage);
    // A row count or row offset out of step with the rest of the page would hide rows or read
    // others' bytes as rows.
    m_view->requirePacked();
    m_pageNumber = number;
    m_rowCount = m_view->rowCount();
    m_nextRow = 0;
    return true;
}

bool TableScan::nextRaw() {
    while (true) {
        if (!m_page || m_nextRow >= m_rowCount) {
            if (!loadPage()) return false;
            continue;
        }
        uint16_t row = m_nextRow++;
        RowSlot slot = m_view->slot(row);
        if (slot.deleted) continue;
        m_location = {m_pageNumber, static_cast<uint8_t>(row)};
        m_rowBytes = m_view->rowBytes(slot);
        m_moved = slot.lookup;
        if (slot.lookup) {
            m_rowBytes = followMovedRow(m_pager, m_format, m_rowBytes, m_pageNumber,
                                        m_table.firstPage, m_lookupPage);
        }
        if (m_rowBytes.empty()) continue;
        ++m_rowsRead;
        return true;
    }
}

bool TableScan::next(std::vector<Value>& values) { return next({}, values); }

bool TableScan::next(const std::vector<bool>& wanted, std::vector<Value>& values) {
    if (!nextRaw()) return false;
    m_decoder.decode(m_rowBytes, m_location.page, wanted, values);
    return true;
}

}  // namespace engine::format

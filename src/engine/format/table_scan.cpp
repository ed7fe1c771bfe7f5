#include "engine/format/table_scan.h"

#include "engine/format/data_page.h"
#include "engine/format/usage_map.h"

namespace engine::format {

namespace {
// A moved row is moved once; a few hops allow for rows moved again without ever looping.
constexpr int kMaxLookupHops = 8;
}  // namespace

TableScan::TableScan(storage::Pager& pager, const JetFormat& format, const TableDefinition& table)
    : m_pager(pager),
      m_format(format),
      m_table(table),
      m_decoder(pager, format, table),
      m_pages(readUsageMapPages(pager, format, table.ownedPages)) {}

bool TableScan::loadPage() {
    if (m_nextPageIndex == m_pages.size()) return false;
    PageNumber number = m_pages[m_nextPageIndex++];
    auto contents = m_pager.read(number);
    // A page the map names that is not this table's data page is damage, or the table was
    // dropped and its pages taken by another while this scan ran: either way the rows read so
    // far are not the whole table.
    DataPageView view(*contents, m_format, number, m_pager.path());
    view.requireOwner(m_table.firstPage);
    // A row count or row offset out of step with the rest of the page would hide rows or read
    // others' bytes as rows.
    view.requirePacked();
    m_page = std::move(contents);
    m_pageNumber = number;
    m_rowCount = view.rowCount();
    m_nextRow = 0;
    return true;
}

storage::Bytes TableScan::followLookup(storage::Bytes pointer, PageNumber from) {
    for (int hop = 0; hop < kMaxLookupHops; ++hop) {
        if (pointer.size() < 4) break;
        uint8_t row = pointer[0];
        PageNumber page = storage::readU24LE(pointer, 1);
        m_lookupPage = m_pager.read(page);
        DataPageView view(*m_lookupPage, m_format, page, m_pager.path());
        view.requireOwner(m_table.firstPage);
        RowSlot slot = view.slot(row);
        storage::Bytes bytes = view.rowBytes(slot);
        // The moved row is marked deleted in its new slot (so scans skip it there); a slot
        // that is itself a pointer is followed once more.
        if (slot.lookup && !slot.deleted) {
            pointer = bytes;
            continue;
        }
        // A row that lives on in its own slot is some other row: the pointer is damaged.
        if (!slot.deleted) break;
        return bytes;
    }
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + m_pager.path() + "' is damaged: a moved row on page " +
                          std::to_string(from) + " cannot be followed.",
                      from);
}

bool TableScan::nextRaw() {
    while (true) {
        if (!m_page || m_nextRow >= m_rowCount) {
            if (!loadPage()) return false;
            continue;
        }
        DataPageView view(*m_page, m_format, m_pageNumber, m_pager.path());
        uint16_t row = m_nextRow++;
        RowSlot slot = view.slot(row);
        if (slot.deleted) continue;
        m_location = {m_pageNumber, static_cast<uint8_t>(row)};
        m_rowBytes = view.rowBytes(slot);
        if (slot.lookup) m_rowBytes = followLookup(m_rowBytes, m_pageNumber);
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

#include "engine/format/rows/row_fetch.h"

#include "engine/format/space/data_page.h"

namespace engine::format {

namespace {
// A moved row is moved once; a few hops allow for rows moved again without ever looping.
constexpr int kMaxLookupHops = 8;
}  // namespace

storage::Bytes followMovedRow(storage::Pager& pager, const JetFormat& format,
                              storage::Bytes pointer, PageNumber from, uint32_t owner,
                              storage::PageRef& holder) {
    for (int hop = 0; hop < kMaxLookupHops; ++hop) {
        if (pointer.size() < 4) break;
        uint8_t row = pointer[0];
        PageNumber page = storage::readU24LE(pointer, 1);
        holder = pager.read(page);
        DataPageView view(*holder, format, page, pager.path());
        view.requireOwner(owner);
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
                      "The database '" + pager.path() + "' is damaged: a moved row on page " +
                          std::to_string(from) + " cannot be followed.",
                      from);
}

RowFetcher::RowFetcher(storage::Pager& pager, const JetFormat& format, const TableDefinition& table)
    : m_pager(pager), m_format(format), m_table(table), m_decoder(pager, format, table) {}

bool RowFetcher::fetch(RowLocation location, std::vector<Value>& values) {
    return fetch(location, {}, values);
}

bool RowFetcher::fetch(RowLocation location, const std::vector<bool>& wanted,
                       std::vector<Value>& values) {
    m_page = m_pager.read(location.page);
    DataPageView view(*m_page, m_format, location.page, m_pager.path());
    if (view.owner() != m_table.firstPage) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + m_pager.path() + "' is damaged: an index names page " +
                              std::to_string(location.page) + ", which holds another table's rows.",
                          location.page);
    }
    if (location.row >= view.rowCount()) return false;
    RowSlot slot = view.slot(location.row);
    if (slot.deleted) return false;
    storage::Bytes bytes = view.rowBytes(slot);
    if (slot.lookup)
        bytes =
            followMovedRow(m_pager, m_format, bytes, location.page, m_table.firstPage, m_movedPage);
    if (bytes.empty()) return false;
    m_decoder.decode(bytes, location.page, wanted, values);
    return true;
}

}  // namespace engine::format

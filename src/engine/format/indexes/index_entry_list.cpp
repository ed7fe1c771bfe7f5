#include "engine/format/indexes/index_entry_list.h"

#include <limits>

namespace engine::format {

void IndexEntryList::reserve(size_t entries, size_t keyBytes) {
    m_entries.reserve(entries);
    m_keys.reserve(keyBytes);
}

void IndexEntryList::add(storage::Bytes key, RowLocation row, PageNumber child) {
    if (m_keys.size() + key.size() > std::numeric_limits<uint32_t>::max() ||
        key.size() > std::numeric_limits<uint16_t>::max()) {
        throw EngineError(ErrorCode::Internal, "an index holds more key bytes than it can list");
    }
    Entry entry;
    entry.offset = static_cast<uint32_t>(m_keys.size());
    entry.length = static_cast<uint16_t>(key.size());
    entry.row = row.row;
    entry.page = row.page;
    entry.child = child;
    m_keys.insert(m_keys.end(), key.begin(), key.end());
    m_entries.push_back(entry);
}

void IndexEntryList::sort() {
    std::sort(m_entries.begin(), m_entries.end(), [this](const Entry& a, const Entry& b) {
        return compareIndexEntries(view(a), view(b)) < 0;
    });
}

std::vector<IndexEntry> IndexEntryList::owned() const {
    std::vector<IndexEntry> entries;
    entries.reserve(size());
    for (size_t at = 0; at < size(); ++at) {
        const IndexEntryView view = (*this)[at];
        IndexEntry& entry = entries.emplace_back();
        entry.key.assign(view.key.begin(), view.key.end());
        entry.row = view.row;
        entry.child = view.child;
    }
    return entries;
}

}  // namespace engine::format

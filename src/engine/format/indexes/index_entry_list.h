// A list of index entries kept compactly: every key in one shared buffer, and per entry only
// where its key lies, its row and its child. Reading, filtering, sorting, merging and writing
// the entries of a whole index (a million of them for a large table) then costs a few
// allocations instead of one per entry.
#pragma once

#include "engine/format/indexes/index_page.h"

#include <algorithm>
#include <vector>

namespace engine::format {

class IndexEntryList {
public:
    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    void reserve(size_t entries, size_t keyBytes);
    void clear() {
        m_keys.clear();
        m_entries.clear();
    }
    // The bytes the keys take, those of entries no longer kept included.
    size_t keyBytes() const { return m_keys.size(); }

    // Appends an entry, its key copied into the list. Throws Internal when the keys would pass
    // the 4 GB the list can address.
    void add(storage::Bytes key, RowLocation row, PageNumber child = 0);
    void add(const IndexEntryView& entry) { add(entry.key, entry.row, entry.child); }

    // The entry at a position; its key stays valid until the list next grows.
    IndexEntryView operator[](size_t at) const { return view(m_entries[at]); }

    // Keeps, in order, the entries whose row keep accepts; their keys stay where they are.
    template <typename Keep>
    void keepRows(Keep&& keep) {
        std::erase_if(m_entries, [&](const Entry& entry) {
            return !keep(RowLocation{entry.page, entry.row});
        });
    }
    // Puts the entries in the order pages keep them (compareIndexEntries).
    void sort();

    // The entries as IndexEntry values, each owning its key.
    std::vector<IndexEntry> owned() const;

private:
    struct Entry {
        uint32_t offset = 0;  // of the key in m_keys
        uint16_t length = 0;
        uint8_t row = 0;
        PageNumber page = 0;
        PageNumber child = 0;
    };

    IndexEntryView view(const Entry& entry) const {
        IndexEntryView view;
        view.key = storage::Bytes(m_keys.data() + entry.offset, entry.length);
        view.row = {entry.page, entry.row};
        view.child = entry.child;
        return view;
    }

    std::vector<uint8_t> m_keys;
    std::vector<Entry> m_entries;
};

}  // namespace engine::format

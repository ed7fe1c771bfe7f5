// Changes a usage map (layout in usage_map.h) and writes it back into its row, keeping the
// row's length. An inline map whose pages no longer fit its window moves the window; when no
// window holds them all, the row becomes a reference map with bitmap pages.
#pragma once

#include "engine/format/page_allocator.h"
#include "engine/format/table_definition.h"

#include <set>

namespace engine::format {

class UsageMapEditor {
public:
    // Reads the map at ref. Throws Corrupt when it is damaged.
    UsageMapEditor(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                   UsageMapRef ref);

    const std::set<PageNumber>& pages() const { return m_pages; }
    // The bitmap pages a reference map keeps its bits on (freed with the map's owner).
    const std::vector<PageNumber>& bitmapPages() const { return m_bitmapPages; }
    bool contains(PageNumber page) const { return m_pages.count(page) != 0; }
    void add(PageNumber page) { m_pages.insert(page); }
    void remove(PageNumber page) { m_pages.erase(page); }
    void save();

private:
    storage::Pager& m_pager;
    const JetFormat& m_format;
    PageAllocator& m_allocator;
    UsageMapRef m_ref;
    size_t m_rowLength = 0;
    std::set<PageNumber> m_pages;
    std::vector<PageNumber> m_bitmapPages;
};

// The row of a new, empty map, as long as the product makes them: inline (covering the pages
// from start) or reference form.
std::vector<uint8_t> newInlineMapRow(const JetFormat& format, PageNumber start);
std::vector<uint8_t> newReferenceMapRow(const JetFormat& format);

}  // namespace engine::format

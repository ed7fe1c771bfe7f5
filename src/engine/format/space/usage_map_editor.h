// Changes a usage map (layout in usage_map.h) and writes it back into its row, keeping the
// row's length. Only what a change touches is read and written: the row, and the bitmap pages
// of a reference map whose bits change. An inline map whose pages no longer fit its window
// moves the window; when no window holds them all, the row becomes a reference map with bitmap
// pages.
#pragma once

#include "engine/format/rows/table_definition.h"
#include "engine/format/space/page_allocator.h"
#include "engine/format/space/usage_map.h"

#include <map>
#include <vector>

namespace engine::format {

class UsageMapEditor {
public:
    // Reads the map's row. Throws Corrupt when it is damaged.
    UsageMapEditor(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                   UsageMapRef ref);

    bool contains(PageNumber page);
    void add(PageNumber page);
    void remove(PageNumber page);
    // Every page the map marks that lies inside the file, in ascending order.
    std::vector<PageNumber> pages();
    // Writes the row and the bitmap pages that changed.
    void save();

private:
    struct Bitmap {
        PageNumber page = 0;
        storage::PageBuffer bytes;
        bool changed = false;

        storage::MutableBytes bits() {
            return storage::MutableBytes(bytes).subspan(kBitmapPageHeaderSize);
        }
    };

    storage::MutableBytes inlineBits() {
        return storage::MutableBytes(m_row).subspan(kInlineMapHeaderSize);
    }

    bool isReference() const { return m_row[0] == kReferenceMap; }
    size_t windowPages() const;
    PageNumber windowStart() const;
    size_t slotCount() const;
    Bitmap* bitmap(size_t slot, bool create);
    // Every page the map marks, pages past the end of the file (taken, not yet written) too.
    std::vector<PageNumber> marked();
    // Lays the inline map out anew around pages, or turns it into a reference map.
    void relayout(const std::vector<PageNumber>& pages);
    void setBit(PageNumber page, bool on);

    storage::Pager& m_pager;
    const JetFormat& m_format;
    PageAllocator& m_allocator;
    UsageMapRef m_ref;
    std::vector<uint8_t> m_row;
    bool m_rowChanged = false;
    std::map<size_t, Bitmap> m_bitmaps;  // reference maps: the bitmap pages read, by slot
};

// The row of a new, empty map, as long as the product makes them: inline (covering the pages
// from start) or reference form.
std::vector<uint8_t> newInlineMapRow(const JetFormat& format, PageNumber start);
std::vector<uint8_t> newReferenceMapRow(const JetFormat& format);

}  // namespace engine::format

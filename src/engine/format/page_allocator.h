// Page allocation through the global page map: row 0 of page 1, a usage map (usage_map.h) in
// which a set bit means the page is free. Row 1 of page 1 is a second map that the product
// leaves empty; it is kept as found.
//
// Invariants:
//   (1) allocate() hands out only pages that were free when the current change began (or lie
//       past the old end of the file), so a rolled-back change never loses a page in use.
//   (2) A page released during a change becomes free for later changes only; it is not handed
//       out again before the change commits.
//   (3) save() writes a map that covers every page of the file; pages past the end are free.
//   (4) A page is handed out only after the take check (when one is set) has confirmed that
//       nothing names it: a damaged map may call a page free that holds data, and a damaged
//       pointer may name a page past the end of the file that a change is about to add.
//   (5) A map that cannot be read whole (a row of unknown form, a bitmap page past the end of
//       the file or of another type) throws Corrupt when read: it would be written back.
#pragma once

#include "engine/format/jet_format.h"
#include "engine/storage/pager.h"

#include <functional>
#include <vector>

namespace engine::format {

inline constexpr PageNumber kGlobalMapPage = 1;

class PageAllocator {
public:
    // Reads the global map. Pages it does not describe count as in use. Throws Corrupt, naming
    // the page, when the map is damaged.
    PageAllocator(storage::Pager& pager, const JetFormat& format);

    // Called with each page before allocate() hands it out; throws to refuse.
    void setTakeCheck(std::function<void(PageNumber)> check) { m_takeCheck = std::move(check); }

    // Whether the current change took this page from the pages that were free when the map was
    // read: nothing committed refers to it, so the change may write it without keeping a copy.
    bool takenFromFree(PageNumber page) const;
    bool isFree(PageNumber page) const;
    PageNumber allocate();
    void release(PageNumber page);
    // Writes page 1 (and any bitmap pages) with the map as it now stands.
    void save();

private:
    void setFree(PageNumber page, bool free);

    storage::Pager& m_pager;
    const JetFormat& m_format;
    std::vector<bool> m_free;               // now
    std::vector<bool> m_freeAtStart;        // when read
    std::vector<bool> m_taken;              // handed out by this change, of the free at start
    std::function<void(PageNumber)> m_takeCheck;
    std::vector<PageNumber> m_bitmapPages;  // bitmap pages of a reference map, by slot
    PageNumber m_pageCountAtStart = 0;
    PageNumber m_nextNewPage = 0;
    PageNumber m_searchFrom = 2;
    size_t m_inlineBitmapBytes = 0;  // the inline row's bitmap length as found
};

}  // namespace engine::format

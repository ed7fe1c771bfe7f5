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
//   (4) save() writes only what the change altered: page 1 when its row changes, and the
//       bitmap pages of a reference map that hold a changed bit.
//   (5) A page is handed out only after the take check (when one is set) has confirmed that
//       nothing names it: a damaged map may call a page free that holds data. A page past the
//       end goes to the check when the map calls it in use (a file cut short: a damaged pointer
//       may name the page the change is about to add); the maps of healthy files call every
//       page past the end free.
//   (6) A map that cannot be read whole (a row of unknown form, a bitmap page past the end of
//       the file or of another type) throws Corrupt when read: it would be written back.
#pragma once

#include "engine/format/jet_format.h"
#include "engine/storage/pager.h"

#include <functional>
#include <set>
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
    // Whether the page was in use when the map was read, the change's own pages aside.
    bool wasInUseAtStart(PageNumber page) const;
    PageNumber allocate();
    void release(PageNumber page);
    // Writes page 1 (and any bitmap pages) where the change altered the map.
    void save();

private:
    // One bit per page, set = free.
    using Bits = std::vector<uint64_t>;
    static bool test(const Bits& bits, PageNumber page);
    void setFree(PageNumber page, bool free);
    std::vector<uint8_t> inlineRow(size_t bitmapBytes) const;
    void saveReferenceMap(std::vector<uint8_t>& row);

    storage::Pager& m_pager;
    const JetFormat& m_format;
    Bits m_free;          // now
    Bits m_freeAtStart;   // when read
    Bits m_taken;         // handed out by this change, of the free at start
    Bits m_inUsePastEnd;  // past the end, yet in use as the map tells
    std::function<void(PageNumber)> m_takeCheck;
    std::vector<PageNumber> m_bitmapPages;  // a reference map's slots, by slot, as stored
    std::set<size_t> m_changedSlots;        // reference map: slots holding a changed bit
    bool m_changed = false;
    PageNumber m_pageCountAtStart = 0;
    PageNumber m_nextNewPage = 0;
    PageNumber m_searchFrom = 2;
    size_t m_inlineBitmapBytes = 0;  // the inline row's bitmap length as found
};

}  // namespace engine::format

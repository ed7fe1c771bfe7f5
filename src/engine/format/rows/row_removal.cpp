#include "engine/format/rows/row_removal.h"

#include "engine/format/space/data_page.h"
#include "engine/format/space/data_page_editor.h"

#include <algorithm>
#include <cassert>

namespace engine::format {

namespace {

// A pointer: row number (1 byte), page (3 bytes).
constexpr size_t kPointerSize = 4;
// A row moves once; a few hops allow for rows moved again, as the table scan does.
constexpr size_t kMaxSlots = 9;

[[noreturn]] void unfollowable(const storage::Pager& pager, RowLocation home) {
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + pager.path() + "' is damaged: a moved row on page " +
                          std::to_string(home.page) + " cannot be followed.",
                      home.page);
}

}  // namespace

std::vector<RowLocation> rowSlots(storage::Pager& pager, const JetFormat& format,
                                  RowLocation home) {
    std::vector<RowLocation> slots{home};
    while (true) {
        RowLocation here = slots.back();
        if (here.page >= pager.pageCount()) unfollowable(pager, home);
        auto contents = pager.read(here.page);
        DataPageView view(*contents, format, here.page, pager.path());
        RowSlot slot = view.slot(here.row);
        // Only a live pointer leads on: a deleted home slot, or a moved row itself, ends here.
        if (!slot.lookup || slot.deleted) return slots;
        storage::Bytes pointer = view.rowBytes(slot);
        if (pointer.size() < kPointerSize) unfollowable(pager, home);
        RowLocation next{storage::readU24LE(pointer, 1), pointer[0]};
        if (slots.size() == kMaxSlots ||
            std::find(slots.begin(), slots.end(), next) != slots.end()) {
            unfollowable(pager, home);
        }
        slots.push_back(next);
    }
}

void removeRows(storage::Pager& pager, const JetFormat& format,
                const std::vector<RowLocation>& homes, uint32_t owner) {
    assert(pager.inTransaction());
    // Every slot of every row, in page order, so that each page is copied once and written
    // once: a row moved within its own page has both slots there, and a second copy written
    // after the first would bring back the slot the first flagged.
    // Homes are read page by page; only a pointer is followed further.
    std::vector<RowLocation> sorted = homes;
    // A scan finds rows in page order: sorting is then a check.
    if (!std::is_sorted(sorted.begin(), sorted.end())) std::sort(sorted.begin(), sorted.end());
    std::vector<RowLocation> slots;
    slots.reserve(homes.size());
    for (size_t at = 0; at < sorted.size();) {
        const PageNumber number = sorted[at].page;
        if (number >= pager.pageCount()) unfollowable(pager, sorted[at]);
        const auto contents = pager.read(number);
        const DataPageView view(*contents, format, number, pager.path());
        for (; at < sorted.size() && sorted[at].page == number; ++at) {
            const RowSlot slot = view.slot(sorted[at].row);
            if (!slot.lookup || slot.deleted) {
                slots.push_back(sorted[at]);
                continue;
            }
            for (RowLocation moved : rowSlots(pager, format, sorted[at])) slots.push_back(moved);
        }
    }
    if (!std::is_sorted(slots.begin(), slots.end())) std::sort(slots.begin(), slots.end());
    for (size_t at = 0; at < slots.size();) {
        const PageNumber number = slots[at].page;
        auto contents = pager.read(number);
        auto page = DataPageEditor::copyOf(*contents, format, number, pager.path(), owner);
        for (; at < slots.size() && slots[at].page == number; ++at) {
            page.markDeleted(slots[at].row);
        }
        pager.write(number, page.bytes());
    }
}

void removeRow(storage::Pager& pager, const JetFormat& format, RowLocation home, uint32_t owner) {
    removeRows(pager, format, {home}, owner);
}

}  // namespace engine::format

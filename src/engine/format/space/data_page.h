// Data pages: table rows, long-value rows and usage-map rows. Integers little-endian.
//
//   field               size  Jet 3  Jet 4+
//   type 01 01            2     0      0
//   free space            2     2      2   bytes between the offset table and the lowest row
//   owner                 4     4      4   first page of the owning table's definition;
//                                          "LVAL" for long values; 0 for usage maps
//   unknown, 0            4     -      8
//   row count             2     8     12
//   row offsets     2 x count  10     14
//
// Rows are packed from the end of the page downwards: row 0 ends at the page end, row i ends
// where row i-1 starts. A row offset's low 13 bits are the row's start; 0x8000 marks a deleted
// row, 0x4000 a row that holds only a pointer (row number 1 byte, page 3 bytes) to where the row
// now lives. At most 255 rows fit on a page (pointers keep the row number in one byte).
// Every page the product writes keeps its rows packed: each slot's start (deleted slots too)
// lies between the end of the offset table and the start of the slot before it, and the
// free-space word equals the gap between the offset table and the lowest row.
#pragma once

#include "engine/format/jet_format.h"
#include "engine/storage/byte_order.h"

#include <string>

namespace engine::format {

inline constexpr uint8_t kDataPageType = 0x01;
inline constexpr uint16_t kRowDeletedFlag = 0x8000;
inline constexpr uint16_t kRowLookupFlag = 0x4000;
inline constexpr uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr uint16_t kMaxRowsPerPage = 255;
inline constexpr uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL"
inline constexpr uint32_t kUsageMapOwner = 0;

struct RowSlot {
    uint16_t start = 0;
    uint16_t end = 0;  // one past the last byte
    bool deleted = false;
    bool lookup = false;
};

// A read-only view of a data page, checked on construction.
class DataPageView {
public:
    // Throws Corrupt, naming path and page, when the page is not a data page or its row table
    // does not fit.
    DataPageView(storage::Bytes page, const JetFormat& format, PageNumber number,
                 const std::string& path);

    PageNumber number() const { return m_number; }
    uint32_t owner() const;
    uint16_t freeSpace() const;
    uint16_t rowCount() const { return m_rowCount; }
    // Throws Corrupt when the row's extent lies outside the page or overlaps the row table.
    RowSlot slot(uint16_t row) const;
    storage::Bytes rowBytes(const RowSlot& slot) const {
        return m_page.subspan(slot.start, slot.end - slot.start);
    }

    // Throws Corrupt unless the page belongs to owner.
    void requireOwner(uint32_t owner) const;
    // Throws Corrupt unless the rows are packed and the free-space word agrees with them; code
    // that adds a row below the lowest one relies on both.
    void requirePacked() const;

private:
    [[noreturn]] void damaged(const std::string& what) const;
    [[noreturn]] void badSlot(uint16_t row) const;

    storage::Bytes m_page;
    const JetFormat& m_format;
    PageNumber m_number;
    std::string m_path;
    uint16_t m_rowCount = 0;
};

// Inline: a scan asks for every slot of every page.
inline RowSlot DataPageView::slot(uint16_t row) const {
    if (row >= m_rowCount) badSlot(row);
    // The row table lies inside the page (checked on construction).
    const uint8_t* table = m_page.data() + m_format.dataRowTableOffset;
    auto entryAt = [table](uint16_t index) {
        return static_cast<uint16_t>(table[2u * index] | (table[2u * index + 1u] << 8));
    };
    uint16_t entry = entryAt(row);
    RowSlot slot;
    slot.start = entry & kRowOffsetMask;
    slot.end = row == 0 ? static_cast<uint16_t>(m_format.pageSize)
                        : static_cast<uint16_t>(entryAt(row - 1) & kRowOffsetMask);
    slot.deleted = (entry & kRowDeletedFlag) != 0;
    slot.lookup = (entry & kRowLookupFlag) != 0;
    uint32_t tableEnd = m_format.dataRowTableOffset + 2u * m_rowCount;
    // A deleted row may have been cut to nothing; a live one must lie inside the row area.
    if (slot.start > slot.end || slot.end > m_format.pageSize ||
        (!slot.deleted && slot.start < tableEnd)) {
        if (slot.deleted) return {slot.end, slot.end, true, slot.lookup};
        badSlot(row);
    }
    return slot;
}

}  // namespace engine::format

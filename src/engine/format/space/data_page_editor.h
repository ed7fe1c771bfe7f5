// Builds and edits data pages in memory (layout in data_page.h). New rows go below the lowest
// row and take the next slot; a deleted row keeps its bytes and slot, flagged 0xC000, so row
// numbers that indexes and pointers hold never change.
#pragma once

#include "engine/format/space/data_page.h"
#include "engine/storage/pager.h"

namespace engine::format {

class DataPageEditor {
public:
    // An empty data page owned by owner (a table's first definition page, kLongValueOwner, or 0
    // for usage maps).
    static DataPageEditor fresh(const JetFormat& format, uint32_t owner);
    // A copy of an existing data page of owner, to change. Throws Corrupt, naming the page,
    // before anything is changed when it is not a data page, belongs to another owner, or its
    // rows or free-space word are damaged.
    static DataPageEditor copyOf(storage::Bytes page, const JetFormat& format, PageNumber number,
                                 const std::string& path, uint32_t owner);

    uint16_t rowCount() const;
    uint16_t freeSpace() const;
    // Whether a row of rowLength bytes fits: its bytes and a new slot.
    bool fits(size_t rowLength) const;
    // REQUIRES: fits(row.size()). Returns the row's number.
    uint8_t appendRow(storage::Bytes row);
    // Replaces a row with one of the same length (a usage map rewritten in place).
    void overwriteRow(uint8_t row, storage::Bytes bytes);
    void markDeleted(uint8_t row);

    const storage::PageBuffer& bytes() const { return m_page; }

private:
    DataPageEditor(const JetFormat& format, storage::PageBuffer page);
    uint16_t lowestRowStart() const;
    void updateFreeSpace();

    const JetFormat* m_format;
    storage::PageBuffer m_page;
};

// The largest row a data page can take (one row, one slot).
uint32_t maxRowOnEmptyPage(const JetFormat& format);

}  // namespace engine::format

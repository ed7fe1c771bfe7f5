// Removing a row from a data page (layout in data_page.h), moved rows included.
//
// A row that grew after it was written may have moved: its home slot (flag 0x4000) then holds
// only a pointer (row 1 byte, page 3 bytes) to the slot where the row lives now, and that slot
// carries 0x8000 alone, so that a scan in slot order skips it and reaches it only through the
// pointer. Readers that do not follow pointers (mdbtools, mdb-reader) skip every 0x4000 slot and
// read every slot without that flag, the moved row among them. Removing only the home slot would
// leave the moved row visible to them; both slots are therefore flagged deleted (0xC000).
#pragma once

#include "engine/format/jet_format.h"
#include "engine/format/rows/row_location.h"
#include "engine/storage/pager.h"

#include <vector>

namespace engine::format {

// The slots a row occupies: its home slot, then every slot its pointers lead to. Throws Corrupt
// when a pointer leads outside the file, to a missing slot, or round in a circle.
std::vector<RowLocation> rowSlots(storage::Pager& pager, const JetFormat& format, RowLocation home);

// Flags every slot of the row at home deleted; owner is the table's first page. Throws Corrupt
// when a slot's page is not a sound data page of owner; a slot on another page may then be
// flagged already, and the running change is to be rolled back.
// REQUIRES: a change is running on pager.
void removeRow(storage::Pager& pager, const JetFormat& format, RowLocation home, uint32_t owner);

// Flags every slot of every row at homes deleted, each page copied and written once. Throws
// Corrupt as removeRow does.
// REQUIRES: a change is running on pager; no row appears twice in homes.
void removeRows(storage::Pager& pager, const JetFormat& format,
                const std::vector<RowLocation>& homes, uint32_t owner);

}  // namespace engine::format

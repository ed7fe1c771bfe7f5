// Usage maps: which pages belong to a table, an index or a long-value column, and which of them
// have free space. A map is a row on a data page, found through a reference (row number 1 byte,
// page 3 bytes, little-endian). The row's first byte chooses one of two forms (the product
// writes map rows of 133 bytes in Jet 3 files, 69 in later ones):
//
// Inline map (type 0):
//   offset  size  meaning
//   0         1   0
//   1         4   first page the bitmap covers
//   5       rest  bitmap: bit i (least significant bit first) set = page first+i is in the map
//
// Reference map (type 1):
//   offset  size  meaning
//   0         1   1
//   1    4 x n    pages of type 0x05 holding bitmaps (0 = none yet; a value with its top bit
//                 set, such as 0xFFFFFF80 in a file Access 2000 made, is no page either);
//                 bitmap page k covers the pages from k x N, N = (page size - 4) x 8
// Bitmap page (type 0x05):
//   0         4   05 01 00 00
//   4       rest  bitmap, as above
//
// The global page map (row 0 of page 1) has the same forms, but a set bit there means the page
// is free.
#pragma once

#include "engine/format/jet_format.h"
#include "engine/format/rows/table_definition.h"
#include "engine/format/space/usage_map_bits.h"
#include "engine/storage/pager.h"

#include <vector>

namespace engine::format {

// The bitmap page that slot of a reference map row points to; 0 when it points to none.
PageNumber referenceMapBitmap(const std::vector<uint8_t>& row, size_t slot);

// The pages a map marks, in ascending order. Throws Corrupt when the map or a page it points to
// is damaged, and when it marks a page past the end of the file.
std::vector<PageNumber> readUsageMapPages(storage::Pager& pager, const JetFormat& format,
                                          UsageMapRef ref);

// The raw row of a usage map, for code that rewrites it in place.
std::vector<uint8_t> readUsageMapRow(storage::Pager& pager, const JetFormat& format,
                                     UsageMapRef ref);

}  // namespace engine::format

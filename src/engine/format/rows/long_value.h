// Long values (Memo, OLE Object): a 12-byte descriptor in the row's variable area, the data
// either inline after it or in rows of long-value pages. Integers little-endian.
//
//   offset  size  meaning
//   0         4   low 30 bits: total length; top bits: 0x80 inline, 0x40 one row, 0x00 chain
//   4         1   row number of the first long-value row
//   5         3   page of the first long-value row
//   8         4   0
//   12      rest  the data, for inline values
//
// A long-value page is a data page whose owner is "LVAL". A single-row value is that row's
// bytes. In a chain every row begins with the next row's reference (row 1 byte, page 3 bytes;
// zero on the last), followed by a piece of the data; the declared length says how much of
// the last piece belongs to the value.
#pragma once

#include "engine/format/jet_format.h"
#include "engine/format/rows/value.h"
#include "engine/storage/pager.h"

namespace engine::format {

inline constexpr size_t kLongValueDescriptorSize = 12;
inline constexpr uint32_t kLongValueInline = 0x80000000;
inline constexpr uint32_t kLongValueSingleRow = 0x40000000;
inline constexpr uint32_t kLongValueLengthMask = 0x3FFFFFFF;

// Reads the data of the long value a descriptor points to. Throws Corrupt on a damaged
// descriptor, chain or page.
ByteString readLongValue(storage::Pager& pager, const JetFormat& format, storage::Bytes descriptor);
// The same without a copy where it can: an inline value is returned as a view of the
// descriptor, others are read into scratch (its storage reused) and returned as a view of it.
storage::Bytes readLongValue(storage::Pager& pager, const JetFormat& format,
                             storage::Bytes descriptor, ByteString& scratch);

}  // namespace engine::format

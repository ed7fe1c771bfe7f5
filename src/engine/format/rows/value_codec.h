// Column values as bytes, per type (all little-endian):
//
//   type                 bytes
//   Byte                 1
//   Integer              2, two's complement
//   Long Integer         4, two's complement
//   Large Number         8, two's complement
//   Currency             8, two's complement, amount x 10000
//   Single, Double       4 / 8, IEEE 754
//   Date/Time            8, IEEE 754 days since 1899-12-30; the fraction is the time of day
//   Replication ID       16, GUID with its first three groups little-endian
//   Decimal              17: sign (0x80 negative), then the 128-bit magnitude as four
//                        little-endian 32-bit words, most significant word first
//   Date/Time Extended   42 ASCII bytes
//   Complex              4, the key into the column's hidden table
// Yes/No lives in the null mask, text in text_codec.h, long values in long_value.h.
#pragma once

#include "engine/format/rows/column_type.h"
#include "engine/format/rows/value.h"
#include "engine/storage/byte_order.h"

namespace engine::format {

// Decodes a fixed-size value of type from bytes into out; false (out unchanged) when bytes is too
// short or type has no fixed size.
bool decodeFixedValue(ColumnType type, uint8_t scale, storage::Bytes bytes, Value& out);

// Writes the stored bytes of a fixed-size value at the start of out.
// REQUIRES: value holds type's alternative; out.size() >= fixedSizeOf(type).
void encodeFixedValue(ColumnType type, const Value& value, storage::MutableBytes out);

}  // namespace engine::format

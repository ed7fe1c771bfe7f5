// Values of calculated columns (Access 2010 and later; extended flags 0xC0): the stored result
// of the column's expression, wrapped. Integers little-endian.
//
//   offset  size  meaning
//   0        16   unknown, 0
//   16        4   length n of the result
//   20        n   the result
//   20+n      3   unknown, 0
//
// A calculated column is stored variable (flags without 0x01) whatever its result, and a
// fixed-size result is declared with length 39 (the 16 bytes of a Decimal result and the 23 of
// the wrapping); a Text result declares 2 x characters + 23. The type code in its descriptor is
// not always the result's type: the product keeps the type the result had when the column was
// made, and the column's property ResultType (catalog/table_properties.h) gives the type its
// values have now. Seen on an Access 2010 file: Currency results under a Double code, Yes/No
// results under an Integer code, a Memo result under a Text code of length 0, Single and Decimal
// results under a Decimal code, a Decimal result under a Double code.
//
// The result, by its type:
//   Yes/No        1 byte: 0 false, any other value true (the null mask says only whether
//                 there is a value)
//   Decimal       16 bytes: reserved (2), scale (1), sign (1; 0x80 negative), the high 32 bits
//                 of the 96-bit magnitude (4), its low 64 bits (8); the scale is the value's
//                 own, not the column's
//   Text          as a text column stores it (text_codec.h)
//   Memo          the row holds a long-value descriptor (long_value.h); the long value's data
//                 is the wrapped result
//   other types   as a column of that type stores it (value_codec.h)
// A result of no bytes is NULL.
#pragma once

#include "engine/format/rows/column_type.h"
#include "engine/format/rows/value.h"
#include "engine/storage/byte_order.h"

#include <optional>

namespace engine::format {

// What the wrapping adds: 16 + 4 bytes before the result, 3 after.
inline constexpr size_t kCalculatedOverhead = 23;
// The length the product declares for a calculated column of a fixed-size result.
inline constexpr uint16_t kCalculatedFixedLength = 39;

// The result inside a wrapped value; nullopt when the wrapping is damaged (the declared length
// runs past the bytes).
std::optional<storage::Bytes> unwrapCalculated(storage::Bytes wrapped);
ByteString wrapCalculated(storage::Bytes result);

// Decodes a result of type resultType (a Memo result: the unwrapped data of its long value).
// nullopt when the bytes are too short for the type. jet3 and codePage as for text columns.
std::optional<Value> decodeCalculated(ColumnType resultType, storage::Bytes result, bool jet3,
                                      uint16_t codePage);

// The result bytes of a value, to be wrapped; text comes already encoded. REQUIRES: value
// holds resultType's alternative (a ByteString for text).
ByteString encodeCalculated(ColumnType resultType, const Value& value);

// Whether a column of this type can be calculated.
bool isCalculatedResultType(ColumnType type);

}  // namespace engine::format

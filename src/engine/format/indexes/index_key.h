// Index keys: the bytes an index sorts a row by, one part per indexed column, compared as
// unsigned bytes. Each part opens with a flag byte: ascending 0x7F (0x00 for NULL, which ends
// the part), descending 0x80 (0xFF for NULL); then the value:
//
//   type                         ascending value bytes
//   Byte                         the byte
//   Integer, Long, Large Number, big-endian two's complement, sign bit flipped
//   Currency, complex key
//   Single, Double, Date/Time    big-endian IEEE 754; positive: sign bit flipped; negative:
//                                every bit flipped
//   Yes/No                       never NULL: 0x00 true, 0xFF false
//   Replication ID, Binary,      8-byte groups, each followed by 0x09 when more follows, the
//   Date/Time Extended           last zero-padded and followed by its length; nothing when
//                                empty
//   Decimal                      a sign byte (0xFF positive, 0x00 negative), then the 128-bit
//                                magnitude big-endian, every bit flipped when negative.
//                                Descending keys flip the magnitude of positive values; their
//                                sign byte stays as ascending in Jet files and is flipped in
//                                ACE files.
//   Text, Memo                   text_index_key.h
// Descending parts invert every value byte (Binary and GUID keep their 0x09 markers).
#pragma once

#include "engine/format/indexes/text_index_key.h"
#include "engine/format/rows/table_definition.h"
#include "engine/format/rows/value.h"

#include <optional>
#include <string>
#include <vector>

namespace engine::format {

// The order a text column's keys follow: General 97 in Jet 3 files, else its sort version's.
TextSortOrder sortOrderOf(const ColumnDefinition& column, bool jet3);

// Whether this engine can encode keys for every column of the index, in a file of format (text
// columns: in the sort order they declare).
bool canEncodeIndex(const TableDefinition& table, const RealIndex& index,
                    storage::FileFormat format);

// What keeps this engine from computing the key of row for index exactly: a text whose sort
// order it does not know well enough (text_index_key.h), described as "'c' in ORDER". nullopt
// when nothing does.
std::optional<std::string> indexKeyGap(const TableDefinition& table, const RealIndex& index,
                                       const std::vector<Value>& row, storage::FileFormat format);

// Appends the key of row for index to key. row holds one value per column of table, in the
// definition's order.
void encodeIndexKey(const TableDefinition& table, const RealIndex& index,
                    const std::vector<Value>& row, storage::FileFormat format,
                    std::vector<uint8_t>& key);
// The key of a row whose indexed columns are all NULL; a unique index may hold it many times.
std::vector<uint8_t> nullIndexKey(const TableDefinition& table, const RealIndex& index,
                                  storage::FileFormat format);

// Whether every indexed column of the row is NULL.
bool allIndexColumnsNull(const TableDefinition& table, const RealIndex& index,
                         const std::vector<Value>& row);
// Whether any column the index keys is NULL in row (a required index refuses such a row).
bool anyIndexColumnNull(const TableDefinition& table, const RealIndex& index,
                        const std::vector<Value>& row);

}  // namespace engine::format

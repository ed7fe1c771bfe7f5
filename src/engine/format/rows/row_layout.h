// The layout of one table row. Integers little-endian; Jet 3 uses one byte where later formats
// use two (counts and offsets).
//
//   part                      Jet 3              Jet 4+
//   column count              1 byte             2 bytes   the table's column slots then
//   fixed area                fixed columns at their fixed offset + 1 / + 2
//   variable data             values of the variable columns, in variable-index order
//   end of variable data      1 byte             2 bytes   \  only when the table has
//   variable offsets          1 byte each        2 bytes   |  variable columns; offsets
//   jump table                Jet 3 only, see below        |  are stored last slot first
//   variable count            1 byte             2 bytes   /
//   null mask                 (column count + 7) / 8 bytes: bit n set = column n not NULL;
//                             for Yes/No columns the bit is the value
//
// A variable value k spans [offset k, offset k+1), the last one ending at the end of variable
// data. Jet 3 offsets are one byte; rows longer than 256 bytes add a jump table of
// (row length - 1) / 256 bytes, each naming the first offset (end of data counting as the one
// after the last) that lies at or past its 256-byte boundary. The entries sit below the
// variable count, the lowest boundary first; entries for boundaries past the end of data are
// fillers (0xFF), which readers recognise when there is one of them. The high byte of an offset
// is the number of jump entries whose value is at most the offset's index.
#pragma once

#include "engine/format/jet_format.h"
#include "engine/storage/byte_order.h"

#include <vector>

namespace engine::format {

struct RowLayout {
    uint16_t columnCount = 0;
    uint16_t fixedStart = 0;                // where the fixed area begins
    std::vector<uint16_t> variableOffsets;  // variable count + 1 entries (last = end of data)
    storage::Bytes nullMask;

    bool columnPresent(uint16_t number) const { return number < columnCount; }
    bool nullMaskBit(uint16_t number) const {
        size_t byte = number / 8u;
        return byte < nullMask.size() && (nullMask[byte] >> (number % 8)) & 1;
    }
    uint16_t variableCount() const {
        return static_cast<uint16_t>(variableOffsets.empty() ? 0 : variableOffsets.size() - 1);
    }
};

// Parses a row's trailer. hasVariableColumns tells whether the table's definition has variable
// column slots (rows of tables without them carry no variable count). Returns false when the
// row cannot be a valid row (offsets outside the row, counts that do not fit); callers report
// that as damage.
bool parseRowLayout(storage::Bytes row, const JetFormat& format, bool hasVariableColumns,
                    RowLayout& layout);

// Appends the variable part's trailer to a row whose variable data ends at row.size(): end of
// data, the offsets (one per variable slot, where its value starts), Jet 3's jump table, and the
// variable count. nullMaskSize is the length of the null mask that will follow. Returns false
// when the format cannot describe the row (a Jet 3 row whose jump table readers would misread).
bool appendVariableTrailer(std::vector<uint8_t>& row, const std::vector<uint16_t>& offsets,
                           size_t nullMaskSize, const JetFormat& format);

}  // namespace engine::format

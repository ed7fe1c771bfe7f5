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
// data. Jet 3 offsets are one byte; rows longer than 256 bytes add a jump table, one byte per
// 256-byte boundary, each naming the first offset that lies at or past that boundary. The
// entries sit below the variable count, the lowest boundary first; when the last boundary is
// not needed its entry is a filler. The high byte of an offset is the number of jump entries
// whose value is at most the offset's index.
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

}  // namespace engine::format

// Builds the bytes of a table row (layout in row_layout.h) from typed values. Long values arrive
// already stored (their 12-byte descriptors, with inline data when small); see
// long_value_writer.h.
#pragma once

#include "engine/format/rows/table_definition.h"
#include "engine/format/rows/value.h"

#include <optional>
#include <vector>

namespace engine::format {

// Whether value is of the alternative (value.h) a fixed-size column of type stores; for the
// variable types, whether it is the text (Text) or the bytes (the others) the encoder takes.
bool holdsTypeOf(ColumnType type, const Value& value);

class RowEncoder {
public:
    RowEncoder(const JetFormat& format, const TableDefinition& table);

    // Encodes values (one per column, in the definition's column order) into row; long-value
    // columns take their stored bytes (descriptor, and data when inline) from longValues at the
    // same position, empty for NULL. Throws InvalidArgument, naming the field and rowNumber (the
    // row's place among those being stored, from 1), when a value does not suit its column
    // (wrong kind, text longer than the column allows, a character that Jet 3's code page
    // lacks) and RecordTooLarge when the row does not fit on a page.
    void encode(const std::vector<Value>& values, const std::vector<ByteString>& longValues,
                std::vector<uint8_t>& row, uint64_t rowNumber) const;

    // Appends a text or binary value to out as the row (or a long-value page) stores it.
    // Throws as encode().
    static void appendVariable(const ColumnDefinition& column, const Value& value, bool jet3,
                               uint64_t rowNumber, std::vector<uint8_t>& out);

private:
    const JetFormat& m_format;
    const TableDefinition& m_table;
    uint32_t m_fixedAreaSize = 0;
    // For each variable slot, the position of its column in the definition (slots of deleted
    // columns have none and stay empty).
    std::vector<std::optional<size_t>> m_columnBySlot;
    // Reused from row to row.
    mutable std::vector<uint8_t> m_nullMask;
    mutable std::vector<uint16_t> m_offsets;
    mutable std::vector<uint8_t> m_scratch;
};

}  // namespace engine::format

// Builds the bytes of a table row (layout in row_layout.h) from typed values. Long values arrive
// already stored (their 12-byte descriptors, with inline data when small); see
// long_value_writer.h.
#pragma once

#include "engine/format/table_definition.h"
#include "engine/format/value.h"

#include <optional>
#include <vector>

namespace engine::format {

class RowEncoder {
public:
    RowEncoder(const JetFormat& format, const TableDefinition& table);

    // Encodes values (one per column, in the definition's column order; long-value columns hold
    // their descriptor bytes as a ByteString, or NULL) into row. Throws InvalidArgument, naming
    // the field and rowNumber (the row's place among those being stored, from 1), when a value
    // does not suit its column (wrong kind, text longer than the column allows, a character
    // that Jet 3's code page lacks) and RecordTooLarge when the row does not fit on a page.
    void encode(const std::vector<Value>& values, std::vector<uint8_t>& row,
                uint64_t rowNumber) const;

    // A text or binary value as the row (or a long-value page) stores it. Throws as encode().
    static std::vector<uint8_t> encodeVariable(const ColumnDefinition& column, const Value& value,
                                               bool jet3, uint64_t rowNumber);

private:
    const JetFormat& m_format;
    const TableDefinition& m_table;
    uint32_t m_fixedAreaSize = 0;
    // For each variable slot, the position of its column in the definition (slots of deleted
    // columns have none and stay empty).
    std::vector<std::optional<size_t>> m_columnBySlot;
};

}  // namespace engine::format

#include "engine/format/row_decoder.h"

#include "engine/format/calculated_value.h"
#include "engine/format/long_value.h"
#include "engine/format/text_codec.h"
#include "engine/format/value_codec.h"

namespace engine::format {

RowDecoder::RowDecoder(storage::Pager& pager, const JetFormat& format, const TableDefinition& table)
    : m_pager(pager), m_format(format), m_table(table) {}

void RowDecoder::decode(storage::Bytes row, PageNumber page, std::vector<Value>& values) {
    decode(row, page, {}, values);
}

void RowDecoder::decode(storage::Bytes row, PageNumber page, const std::vector<bool>& wanted,
                        std::vector<Value>& values) {
    // A row holds as many columns as the table had when it was written: at least one, and
    // never more than the table's column slots, which only grow.
    if (!parseRowLayout(row, m_format, m_table.varColumns > 0, m_layout) ||
        m_layout.columnCount == 0 || m_layout.columnCount > m_table.maxColumns) {
        damaged(page, "holds a row whose layout is inconsistent");
    }
    values.resize(m_table.columns.size());
    for (size_t index = 0; index < m_table.columns.size(); ++index) {
        if (!wanted.empty() && (index >= wanted.size() || !wanted[index])) {
            values[index] = Value();
            continue;
        }
        values[index] = decodeColumn(m_table.columns[index], row, page);
    }
}

Value RowDecoder::decodeColumn(const ColumnDefinition& column, storage::Bytes row,
                               PageNumber page) {
    if (column.type == ColumnType::Boolean && !column.isCalculated()) {
        return Value(m_layout.columnPresent(column.number) && m_layout.nullMaskBit(column.number));
    }
    if (!m_layout.columnPresent(column.number) || !m_layout.nullMaskBit(column.number)) {
        return Value();
    }
    if (column.isFixed()) {
        uint32_t size = fixedSizeOf(column.type);
        if (size == 0) size = column.length;
        size_t start = m_layout.fixedStart + static_cast<size_t>(column.fixedOffset);
        if (start > row.size() || size > row.size() - start) {
            damaged(page, "holds a row too short for column '" + column.name + "'");
        }
        return decodeBytes(column, row.subspan(start, size), page);
    }
    if (column.varIndex >= m_layout.variableCount()) return Value();
    uint16_t start = m_layout.variableOffsets[column.varIndex];
    uint16_t end = m_layout.variableOffsets[column.varIndex + 1u];
    return decodeBytes(column, row.subspan(start, end - start), page);
}

Value RowDecoder::decodeBytes(const ColumnDefinition& column, storage::Bytes bytes,
                              PageNumber page) {
    if (column.isCalculated()) return decodeCalculatedColumn(column, bytes, page);
    switch (column.type) {
        case ColumnType::Text:
            return Value(decodeText(bytes, m_format.jet3, column.codePage));
        case ColumnType::Memo:
            return Value(decodeText(readLongValue(m_pager, m_format, bytes), m_format.jet3,
                                    column.codePage));
        case ColumnType::Ole:
            return Value(readLongValue(m_pager, m_format, bytes));
        case ColumnType::Binary:
        case ColumnType::UnknownBinary:
        case ColumnType::UnknownFixed:
            return Value(ByteString(bytes.begin(), bytes.end()));
        default: {
            if (!columnTypeFromCode(static_cast<uint8_t>(column.type))) {
                return Value(ByteString(bytes.begin(), bytes.end()));
            }
            auto value = decodeFixedValue(column.type, column.scale, bytes);
            if (!value) damaged(page, "holds a value too short for column '" + column.name + "'");
            return *value;
        }
    }
}

// A calculated column's type is its result's type (calculated_value.h).
Value RowDecoder::decodeCalculatedColumn(const ColumnDefinition& column, storage::Bytes bytes,
                                         PageNumber page) {
    ByteString longValue;
    if (column.type == ColumnType::Memo) {
        longValue = readLongValue(m_pager, m_format, bytes);
        bytes = longValue;
    }
    auto result = unwrapCalculated(bytes);
    if (!result) damaged(page, "holds a calculated value longer than its row");
    auto value = decodeCalculated(column.type, *result, m_format.jet3, column.codePage);
    if (!value) damaged(page, "holds a value too short for column '" + column.name + "'");
    return *value;
}

void RowDecoder::damaged(PageNumber page, const std::string& what) const {
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + m_pager.path() + "' is damaged: page " +
                          std::to_string(page) + " " + what + ".",
                      page);
}

}  // namespace engine::format

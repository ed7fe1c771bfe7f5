#include "engine/format/row_decoder.h"

#include "engine/format/calculated_value.h"
#include "engine/format/long_value.h"
#include "engine/format/text_codec.h"
#include "engine/format/value_codec.h"

namespace engine::format {

RowDecoder::RowDecoder(storage::Pager& pager, const JetFormat& format, const TableDefinition& table)
    : m_pager(pager), m_format(format), m_table(table) {
    for (const auto& column : table.columns) {
        ColumnPlan plan;
        plan.fixedSize = fixedSizeOf(column.type);
        if (plan.fixedSize == 0) plan.fixedSize = column.length;
        plan.knownType = columnTypeFromCode(static_cast<uint8_t>(column.type)).has_value();
        m_plans.push_back(plan);
    }
}

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
    const size_t count = m_plans.size();
    values.resize(count);
    for (size_t index = 0; index < count; ++index) {
        if (!wanted.empty() && (index >= wanted.size() || !wanted[index])) {
            values[index] = std::monostate();
            continue;
        }
        decodeColumn(index, row, page, values[index]);
    }
}

void RowDecoder::decodeColumn(size_t index, storage::Bytes row, PageNumber page, Value& value) {
    const ColumnDefinition& column = m_table.columns[index];
    if (column.type == ColumnType::Boolean && !column.isCalculated()) {
        value = m_layout.columnPresent(column.number) && m_layout.nullMaskBit(column.number);
        return;
    }
    if (!m_layout.columnPresent(column.number) || !m_layout.nullMaskBit(column.number)) {
        value = std::monostate();
        return;
    }
    if (column.isFixed()) {
        const uint32_t size = m_plans[index].fixedSize;
        size_t start = m_layout.fixedStart + static_cast<size_t>(column.fixedOffset);
        if (start > row.size() || size > row.size() - start) {
            damaged(page, "holds a row too short for column '" + column.name + "'");
        }
        decodeBytes(index, row.subspan(start, size), page, value);
        return;
    }
    if (column.varIndex >= m_layout.variableCount()) {
        value = std::monostate();
        return;
    }
    uint16_t start = m_layout.variableOffsets[column.varIndex];
    uint16_t end = m_layout.variableOffsets[column.varIndex + 1u];
    decodeBytes(index, row.subspan(start, end - start), page, value);
}

void RowDecoder::decodeBytes(size_t index, storage::Bytes bytes, PageNumber page, Value& value) {
    const ColumnDefinition& column = m_table.columns[index];
    if (column.isCalculated()) {
        value = decodeCalculatedColumn(column, bytes, page);
        return;
    }
    auto text = [&value]() -> std::string& {
        if (auto* held = std::get_if<std::string>(&value)) return *held;
        return value.emplace<std::string>();
    };
    switch (column.type) {
        case ColumnType::Text:
            decodeText(bytes, m_format.jet3, column.codePage, text());
            return;
        case ColumnType::Memo:
            decodeText(readLongValue(m_pager, m_format, bytes), m_format.jet3, column.codePage,
                       text());
            return;
        case ColumnType::Ole:
            value = readLongValue(m_pager, m_format, bytes);
            return;
        case ColumnType::Binary:
        case ColumnType::UnknownBinary:
        case ColumnType::UnknownFixed:
            value = ByteString(bytes.begin(), bytes.end());
            return;
        default: {
            if (!m_plans[index].knownType) {
                value = ByteString(bytes.begin(), bytes.end());
                return;
            }
            if (!decodeFixedValue(column.type, column.scale, bytes, value)) {
                damaged(page, "holds a value too short for column '" + column.name + "'");
            }
            return;
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

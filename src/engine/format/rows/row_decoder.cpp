#include "engine/format/rows/row_decoder.h"

#include "engine/format/rows/calculated_value.h"
#include "engine/format/rows/long_value.h"
#include "engine/format/rows/text_codec.h"
#include "engine/format/rows/value_codec.h"

#include <bit>
#include <cstring>

namespace engine::format {

namespace {

using storage::loadLE;

RowDecoder::Kind kindOf(const ColumnDefinition& column) {
    using Kind = RowDecoder::Kind;
    if (column.isCalculated()) return Kind::Other;
    if (column.type == ColumnType::Boolean) return Kind::Boolean;
    if (!column.isFixed()) return column.type == ColumnType::Text ? Kind::Text : Kind::Other;
    switch (column.type) {
        case ColumnType::Long:
            return Kind::Long;
        case ColumnType::Integer:
            return Kind::Integer;
        case ColumnType::Double:
            return Kind::Double;
        case ColumnType::DateTime:
            return Kind::DateTime;
        case ColumnType::Currency:
            return Kind::Currency;
        default:
            return Kind::Other;
    }
}

}  // namespace

RowDecoder::RowDecoder(storage::Pager& pager, const JetFormat& format, const TableDefinition& table)
    : m_pager(pager), m_format(format), m_table(table) {
    for (const auto& column : table.columns) {
        ColumnPlan plan;
        plan.fixed = column.isFixed();
        plan.number = column.number;
        plan.position = plan.fixed ? column.fixedOffset : column.varIndex;
        plan.fixedSize = column.fixedBytes();
        plan.knownType = columnTypeFromCode(static_cast<uint8_t>(column.type)).has_value();
        plan.kind = kindOf(column);
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
    if (wanted.empty()) {
        for (size_t index = 0; index < count; ++index) {
            decodeColumn(index, row, page, values[index]);
        }
        return;
    }
    for (size_t index = 0; index < count; ++index) {
        if (index >= wanted.size() || !wanted[index]) {
            values[index] = std::monostate();
            continue;
        }
        decodeColumn(index, row, page, values[index]);
    }
}

void RowDecoder::decodeColumn(size_t index, storage::Bytes row, PageNumber page, Value& value) {
    const ColumnPlan& plan = m_plans[index];
    const bool present = m_layout.columnPresent(plan.number) && m_layout.nullMaskBit(plan.number);
    if (plan.kind == Kind::Boolean) {
        value = present;
        return;
    }
    if (!present) {
        value = std::monostate();
        return;
    }
    if (plan.fixed) {
        const uint32_t size = plan.fixedSize;
        size_t start = m_layout.fixedStart + static_cast<size_t>(plan.position);
        if (start > row.size() || size > row.size() - start) rowTooShort(index, page);
        // The common fixed types straight from the row (the bounds were checked above).
        const uint8_t* at = row.data() + start;
        switch (plan.kind) {
            case Kind::Long:
                value = static_cast<int32_t>(loadLE<uint32_t>(at));
                return;
            case Kind::Integer:
                value = static_cast<int16_t>(loadLE<uint16_t>(at));
                return;
            case Kind::Double:
                value = std::bit_cast<double>(loadLE<uint64_t>(at));
                return;
            case Kind::DateTime:
                value = DateTime{std::bit_cast<double>(loadLE<uint64_t>(at))};
                return;
            case Kind::Currency:
                value = Currency{static_cast<int64_t>(loadLE<uint64_t>(at))};
                return;
            default:
                decodeBytes(index, row.subspan(start, size), page, value);
                return;
        }
    }
    if (plan.position >= m_layout.variableCount()) {
        value = std::monostate();
        return;
    }
    uint16_t start = m_layout.variableOffsets[plan.position];
    uint16_t end = m_layout.variableOffsets[plan.position + 1u];
    if (end < start) damaged(page, "holds a row whose layout is inconsistent");
    if (plan.kind == Kind::Text) {
        auto* held = std::get_if<std::string>(&value);
        std::string& text = held ? *held : value.emplace<std::string>();
        decodeText(row.subspan(start, end - start), m_format.jet3, m_table.columns[index].codePage,
                   text);
        return;
    }
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
            decodeText(readLongValue(m_pager, m_format, bytes, m_longValue), m_format.jet3,
                       column.codePage, text());
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

void RowDecoder::rowTooShort(size_t index, PageNumber page) const {
    damaged(page, "holds a row too short for column '" + m_table.columns[index].name + "'");
}

void RowDecoder::damaged(PageNumber page, const std::string& what) const {
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + m_pager.path() + "' is damaged: page " +
                          std::to_string(page) + " " + what + ".",
                      page);
}

}  // namespace engine::format

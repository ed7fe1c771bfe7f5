#include "engine/format/row_encoder.h"

#include "engine/format/calculated_value.h"
#include "engine/format/text_codec.h"
#include "engine/format/value_codec.h"

#include <algorithm>

namespace engine::format {

using storage::writeU16LE;

namespace {

// The product stores memo and text values compressed only up to this length.
constexpr size_t kMaxCompressedChars = 1024;

[[noreturn]] void unsuitable(const ColumnDefinition& column, const std::string& why) {
    throw EngineError(ErrorCode::InvalidArgument,
                      "The value for field '" + column.name + "' " + why + ".");
}

bool holdsTypeOf(ColumnType type, const Value& value) {
    switch (type) {
        case ColumnType::Boolean:
            return std::holds_alternative<bool>(value);
        case ColumnType::Byte:
            return std::holds_alternative<uint8_t>(value);
        case ColumnType::Integer:
            return std::holds_alternative<int16_t>(value);
        case ColumnType::Long:
            return std::holds_alternative<int32_t>(value);
        case ColumnType::BigInt:
            return std::holds_alternative<int64_t>(value);
        case ColumnType::Currency:
            return std::holds_alternative<Currency>(value);
        case ColumnType::Single:
            return std::holds_alternative<float>(value);
        case ColumnType::Double:
            return std::holds_alternative<double>(value);
        case ColumnType::DateTime:
            return std::holds_alternative<DateTime>(value);
        case ColumnType::Guid:
            return std::holds_alternative<Guid>(value);
        case ColumnType::Numeric:
            return std::holds_alternative<Decimal>(value);
        case ColumnType::ExtDateTime:
            return std::holds_alternative<ExtendedDateTime>(value);
        case ColumnType::Complex:
            return std::holds_alternative<ComplexKey>(value);
        case ColumnType::Text:
            return std::holds_alternative<std::string>(value);
        default:
            return std::holds_alternative<ByteString>(value);
    }
}

}  // namespace

RowEncoder::RowEncoder(const JetFormat& format, const TableDefinition& table)
    : m_format(format), m_table(table) {
    if (format.jet3) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    m_columnBySlot.resize(table.varColumns);
    for (size_t index = 0; index < table.columns.size(); ++index) {
        const auto& column = table.columns[index];
        if (column.type == ColumnType::Boolean && !column.isCalculated()) continue;
        if (column.isFixed()) {
            uint32_t size = fixedSizeOf(column.type);
            if (size == 0) size = column.length;
            m_fixedAreaSize = std::max<uint32_t>(m_fixedAreaSize, column.fixedOffset + size);
        } else {
            if (column.varIndex >= m_columnBySlot.size())
                m_columnBySlot.resize(column.varIndex + 1u);
            m_columnBySlot[column.varIndex] = index;
        }
    }
}

std::vector<uint8_t> RowEncoder::encodeVariable(const ColumnDefinition& column, const Value& value,
                                                bool jet3) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        bool compress = (column.isCompressedUnicode() || column.isCalculated()) &&
                        (column.type == ColumnType::Text || text->size() <= kMaxCompressedChars);
        auto bytes = encodeText(*text, jet3, column.codePage, compress);
        return column.isCalculated() ? wrapCalculated(bytes) : bytes;
    }
    if (column.isCalculated()) return wrapCalculated(encodeCalculated(column.type, value));
    if (const auto* bytes = std::get_if<ByteString>(&value)) return *bytes;
    std::vector<uint8_t> out;
    encodeFixedValue(column.type, value, out);
    return out;
}

void RowEncoder::encode(const std::vector<Value>& values, std::vector<uint8_t>& row) const {
    if (values.size() != m_table.columns.size()) {
        throw EngineError(ErrorCode::Internal, "a row was given the wrong number of values");
    }
    const uint16_t columnCount = m_table.maxColumns;
    row.assign(2 + m_fixedAreaSize, 0);
    writeU16LE(row, 0, columnCount);
    std::vector<uint8_t> nullMask((columnCount + 7u) / 8u, 0);
    auto markPresent = [&](const ColumnDefinition& column) {
        if (column.number >= columnCount) unsuitable(column, "belongs to no column slot");
        nullMask[column.number / 8u] |= uint8_t(1u << (column.number % 8u));
    };

    for (size_t index = 0; index < m_table.columns.size(); ++index) {
        const auto& column = m_table.columns[index];
        const Value& value = values[index];
        if (column.type == ColumnType::Boolean && !column.isCalculated()) {
            if (!isNull(value) && !std::holds_alternative<bool>(value)) {
                unsuitable(column, "is not Yes/No");
            }
            if (!isNull(value) && std::get<bool>(value)) markPresent(column);
            continue;
        }
        if (isNull(value)) continue;
        bool longValue = isLongValueType(column.type);
        if (!longValue && !holdsTypeOf(column.type, value)) {
            unsuitable(column, std::string("is not of type ") + columnTypeName(column.type));
        }
        if (column.isFixed()) {
            std::vector<uint8_t> bytes;
            if (fixedSizeOf(column.type) != 0) {
                encodeFixedValue(column.type, value, bytes);
            } else {
                bytes = encodeVariable(column, value, m_format.jet3);
                if (bytes.size() > column.length) unsuitable(column, "is too long");
                bytes.resize(column.length, 0);
            }
            std::copy(bytes.begin(), bytes.end(), row.begin() + 2 + column.fixedOffset);
        }
        markPresent(column);
    }

    if (!m_columnBySlot.empty()) {
        std::vector<uint16_t> offsets;
        for (const auto& slot : m_columnBySlot) {
            offsets.push_back(static_cast<uint16_t>(row.size()));
            if (!slot) continue;
            const auto& column = m_table.columns[*slot];
            const Value& value = values[*slot];
            if (isNull(value) || (column.type == ColumnType::Boolean && !column.isCalculated())) {
                continue;
            }
            // Long values arrive stored: their descriptors go into the row as they are.
            const auto* stored = std::get_if<ByteString>(&value);
            if (isLongValueType(column.type) && !stored) unsuitable(column, "was not stored");
            std::vector<uint8_t> bytes = isLongValueType(column.type)
                                             ? *stored
                                             : encodeVariable(column, value, m_format.jet3);
            if (!isLongValueType(column.type) && column.length != 0 &&
                bytes.size() > column.length) {
                unsuitable(column, "is longer than the field allows");
            }
            row.insert(row.end(), bytes.begin(), bytes.end());
        }
        uint16_t endOfData = static_cast<uint16_t>(row.size());
        size_t trailer = row.size();
        row.resize(trailer + 2 + 2 * offsets.size() + 2);
        writeU16LE(row, trailer, endOfData);
        for (size_t slot = 0; slot < offsets.size(); ++slot) {
            writeU16LE(row, trailer + 2 + 2 * (offsets.size() - 1 - slot), offsets[slot]);
        }
        writeU16LE(row, row.size() - 2, static_cast<uint16_t>(offsets.size()));
    }
    row.insert(row.end(), nullMask.begin(), nullMask.end());
    if (row.size() > m_format.maxRowSize) {
        throw EngineError(ErrorCode::RecordTooLarge, "Record is too large.");
    }
}

}  // namespace engine::format

#include "engine/format/rows/row_encoder.h"

#include "engine/format/rows/calculated_value.h"
#include "engine/format/rows/row_layout.h"
#include "engine/format/rows/text_codec.h"
#include "engine/format/rows/value_codec.h"

#include <algorithm>

namespace engine::format {

namespace {

// The product stores memo and text values compressed only up to this length.
constexpr size_t kMaxCompressedChars = 1024;

[[noreturn]] void unsuitable(const ColumnDefinition& column, uint64_t rowNumber,
                             const std::string& why) {
    throw EngineError(ErrorCode::InvalidArgument, "The value for field '" + column.name +
                                                      "' in row " + std::to_string(rowNumber) +
                                                      " " + why + ".");
}

}  // namespace

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

RowEncoder::RowEncoder(const JetFormat& format, const TableDefinition& table)
    : m_format(format), m_table(table) {
    m_columnBySlot.resize(table.varColumns);
    for (size_t index = 0; index < table.columns.size(); ++index) {
        const auto& column = table.columns[index];
        if (column.type == ColumnType::Boolean && !column.isCalculated()) continue;
        if (column.isFixed()) {
            m_fixedAreaSize =
                std::max<uint32_t>(m_fixedAreaSize, column.fixedOffset + column.fixedBytes());
        } else {
            if (column.varIndex >= m_columnBySlot.size())
                m_columnBySlot.resize(column.varIndex + 1u);
            m_columnBySlot[column.varIndex] = index;
        }
    }
}

void RowEncoder::appendVariable(const ColumnDefinition& column, const Value& value, bool jet3,
                                uint64_t rowNumber, std::vector<uint8_t>& out) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        bool compress = (column.isCompressedUnicode() || column.isCalculated()) &&
                        (column.type == ColumnType::Text || text->size() <= kMaxCompressedChars);
        char32_t missing = 0;
        auto refuse = [&] {
            unsuitable(column, rowNumber,
                       "holds the character " + describeCharacter(missing) + ", which code page " +
                           std::to_string(column.codePage) + " of this database cannot store");
        };
        if (column.isCalculated()) {
            ByteString result;
            if (!encodeText(*text, jet3, column.codePage, compress, result, missing)) refuse();
            const ByteString wrapped = wrapCalculated(result);
            out.insert(out.end(), wrapped.begin(), wrapped.end());
        } else if (!encodeText(*text, jet3, column.codePage, compress, out, missing)) {
            refuse();
        }
    } else if (column.isCalculated()) {
        const ByteString wrapped = wrapCalculated(encodeCalculated(column.type, value));
        out.insert(out.end(), wrapped.begin(), wrapped.end());
    } else if (const auto* bytes = std::get_if<ByteString>(&value)) {
        out.insert(out.end(), bytes->begin(), bytes->end());
    } else {
        const size_t at = out.size();
        out.resize(at + fixedSizeOf(column.type), 0);
        encodeFixedValue(column.type, value, storage::MutableBytes(out).subspan(at));
    }
}

void RowEncoder::encode(const std::vector<Value>& values, const std::vector<ByteString>& longValues,
                        std::vector<uint8_t>& row, uint64_t rowNumber) const {
    if (values.size() != m_table.columns.size() || longValues.size() != values.size()) {
        throw EngineError(ErrorCode::Internal, "a row was given the wrong number of values");
    }
    const uint16_t columnCount = m_table.maxColumns;
    const size_t fixedStart = m_format.rowCountFieldSize;
    if (columnCount >> (8 * fixedStart) != 0) {
        throw EngineError(ErrorCode::TooManyColumns, "Too many fields defined.");
    }
    row.assign(fixedStart + m_fixedAreaSize, 0);
    row[0] = static_cast<uint8_t>(columnCount);
    if (fixedStart > 1) row[1] = static_cast<uint8_t>(columnCount >> 8);
    m_nullMask.assign((columnCount + 7u) / 8u, 0);
    auto markPresent = [&](const ColumnDefinition& column) {
        if (column.number >= columnCount) {
            unsuitable(column, rowNumber, "belongs to no column slot");
        }
        m_nullMask[column.number / 8u] |= uint8_t(1u << (column.number % 8u));
    };

    for (size_t index = 0; index < m_table.columns.size(); ++index) {
        const auto& column = m_table.columns[index];
        const Value& value = values[index];
        if (column.type == ColumnType::Boolean && !column.isCalculated()) {
            if (!isNull(value) && !std::holds_alternative<bool>(value)) {
                unsuitable(column, rowNumber, "is not Yes/No");
            }
            if (!isNull(value) && std::get<bool>(value)) markPresent(column);
            continue;
        }
        if (isLongValueType(column.type)) {
            if (!longValues[index].empty()) markPresent(column);
            continue;
        }
        if (isNull(value)) continue;
        if (!holdsTypeOf(column.type, value)) {
            unsuitable(column, rowNumber,
                       std::string("is not of type ") + columnTypeName(column.type));
        }
        if (column.isFixed()) {
            storage::MutableBytes slot =
                storage::MutableBytes(row).subspan(fixedStart + column.fixedOffset);
            if (fixedSizeOf(column.type) != 0) {
                encodeFixedValue(column.type, value, slot);
            } else {
                m_scratch.clear();
                appendVariable(column, value, m_format.jet3, rowNumber, m_scratch);
                if (m_scratch.size() > column.length) unsuitable(column, rowNumber, "is too long");
                std::copy(m_scratch.begin(), m_scratch.end(), slot.begin());
            }
        }
        markPresent(column);
    }

    if (!m_columnBySlot.empty()) {
        m_offsets.clear();
        for (const auto& slot : m_columnBySlot) {
            m_offsets.push_back(static_cast<uint16_t>(row.size()));
            if (!slot) continue;
            const auto& column = m_table.columns[*slot];
            if (column.type == ColumnType::Boolean && !column.isCalculated()) continue;
            if (isLongValueType(column.type)) {
                const ByteString& stored = longValues[*slot];
                row.insert(row.end(), stored.begin(), stored.end());
            } else {
                const Value& value = values[*slot];
                if (isNull(value)) continue;
                const size_t start = row.size();
                appendVariable(column, value, m_format.jet3, rowNumber, row);
                if (column.length != 0 && row.size() - start > column.length) {
                    unsuitable(column, rowNumber, "is longer than the field allows");
                }
            }
            // Offsets are 16 bits: stop before they could wrap.
            if (row.size() > m_format.maxRowSize) {
                throw EngineError(ErrorCode::RecordTooLarge, "Record is too large.");
            }
        }
        if (!appendVariableTrailer(row, m_offsets, m_nullMask.size(), m_format)) {
            throw EngineError(ErrorCode::RecordTooLarge, "Record is too large.");
        }
    }
    row.insert(row.end(), m_nullMask.begin(), m_nullMask.end());
    if (row.size() > m_format.maxRowSize) {
        throw EngineError(ErrorCode::RecordTooLarge, "Record is too large.");
    }
}

}  // namespace engine::format

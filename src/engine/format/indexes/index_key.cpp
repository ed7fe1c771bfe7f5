#include "engine/format/indexes/index_key.h"

#include "engine/format/indexes/text_index_key.h"
#include "engine/format/rows/value_codec.h"

#include <algorithm>
#include <bit>

namespace engine::format {

namespace {

constexpr uint8_t kAscendingStart = 0x7F;
constexpr uint8_t kAscendingNull = 0x00;
constexpr uint8_t kDescendingStart = 0x80;
constexpr uint8_t kDescendingNull = 0xFF;
constexpr uint8_t kBooleanTrue = 0x00;
constexpr uint8_t kBooleanFalse = 0xFF;
constexpr uint8_t kMoreGroupsFollow = 0x09;

void appendBigEndian(uint64_t value, int bytes, std::vector<uint8_t>& key) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
        key.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void appendInteger(int64_t value, int bytes, std::vector<uint8_t>& key) {
    size_t from = key.size();
    appendBigEndian(static_cast<uint64_t>(value), bytes, key);
    key[from] ^= 0x80;
}

void appendFloating(uint64_t bits, int bytes, std::vector<uint8_t>& key) {
    size_t from = key.size();
    appendBigEndian(bits, bytes, key);
    if (key[from] & 0x80) {
        invertKeyBytes(key, from);
    } else {
        key[from] ^= 0x80;
    }
}

void appendGroups(const std::vector<uint8_t>& bytes, bool ascending, std::vector<uint8_t>& key) {
    if (bytes.empty()) return;
    size_t position = 0;
    while (bytes.size() - position > 8) {
        size_t from = key.size();
        key.insert(key.end(), bytes.begin() + static_cast<std::ptrdiff_t>(position),
                   bytes.begin() + static_cast<std::ptrdiff_t>(position + 8));
        if (!ascending) invertKeyBytes(key, from);
        key.push_back(kMoreGroupsFollow);
        position += 8;
    }
    size_t from = key.size();
    size_t rest = bytes.size() - position;
    key.insert(key.end(), bytes.begin() + static_cast<std::ptrdiff_t>(position), bytes.end());
    key.insert(key.end(), 8 - rest, 0);
    key.push_back(static_cast<uint8_t>(rest));
    if (!ascending) invertKeyBytes(key, from);
}

void appendDecimal(const Decimal& value, bool ascending, bool ace, std::vector<uint8_t>& key) {
    bool negative = value.negative && (value.high != 0 || value.low != 0);
    bool invertMagnitude = negative == ascending;
    bool highSign = ace ? !invertMagnitude : !negative;
    key.push_back(highSign ? 0xFF : 0x00);
    for (uint64_t half : {value.high, value.low}) {
        appendBigEndian(invertMagnitude ? ~half : half, 8, key);
    }
}

void appendValue(const ColumnDefinition& column, const Value& value, bool ascending,
                 storage::FileFormat format, std::vector<uint8_t>& key) {
    const bool jet3 = storage::isJet3(format);
    size_t from = key.size();
    switch (column.type) {
        case ColumnType::Byte:
            key.push_back(std::get<uint8_t>(value));
            break;
        case ColumnType::Integer:
            appendInteger(std::get<int16_t>(value), 2, key);
            break;
        case ColumnType::Long:
            appendInteger(std::get<int32_t>(value), 4, key);
            break;
        case ColumnType::BigInt:
            appendInteger(std::get<int64_t>(value), 8, key);
            break;
        case ColumnType::Currency:
            appendInteger(std::get<Currency>(value).scaled, 8, key);
            break;
        case ColumnType::Complex:
            appendInteger(std::get<ComplexKey>(value).key, 4, key);
            break;
        case ColumnType::Single:
            appendFloating(std::bit_cast<uint32_t>(std::get<float>(value)), 4, key);
            break;
        case ColumnType::Double:
            appendFloating(std::bit_cast<uint64_t>(std::get<double>(value)), 8, key);
            break;
        case ColumnType::DateTime:
            appendFloating(std::bit_cast<uint64_t>(std::get<DateTime>(value).days), 8, key);
            break;
        case ColumnType::Text:
        case ColumnType::Memo: {
            auto order = textSortOrder(jet3, column.sortLcid, column.sortVersion);
            if (!order) {
                throw EngineError(ErrorCode::NotSupported,
                                  "The field '" + column.name +
                                      "' sorts text in an order this engine cannot index.");
            }
            appendTextKey(std::get<std::string>(value), *order, ascending, key);
            return;  // text keys handle their own order
        }
        case ColumnType::Guid: {
            // Compared in the GUID's text order: the first three groups big-endian.
            const auto& stored = std::get<Guid>(value).bytes;
            std::vector<uint8_t> bytes = {stored[3], stored[2], stored[1], stored[0],
                                          stored[5], stored[4], stored[7], stored[6]};
            bytes.insert(bytes.end(), stored.begin() + 8, stored.end());
            appendGroups(bytes, ascending, key);
            return;
        }
        case ColumnType::Binary:
            appendGroups(std::get<ByteString>(value), ascending, key);
            return;
        case ColumnType::Numeric:
            appendDecimal(std::get<Decimal>(value), ascending, storage::isAce(format), key);
            return;  // its order is in its bytes
        case ColumnType::ExtDateTime: {
            const auto& stored = std::get<ExtendedDateTime>(value).stored;
            appendGroups(std::vector<uint8_t>(stored.begin(), stored.end()), ascending, key);
            return;
        }
        default:
            throw EngineError(ErrorCode::NotSupported, std::string("Columns of type ") +
                                                           columnTypeName(column.type) +
                                                           " cannot be indexed by this engine.");
    }
    if (!ascending) invertKeyBytes(key, from);
}

}  // namespace

TextSortOrder sortOrderOf(const ColumnDefinition& column, bool jet3) {
    // A Jet 3 file of another sort order is still read; its names compare in General 97.
    return textSortOrder(jet3, column.sortLcid, column.sortVersion).value_or(kGeneral97Order);
}

bool canEncodeIndex(const TableDefinition& table, const RealIndex& index,
                    storage::FileFormat format) {
    for (const auto& part : index.columns) {
        for (const auto& column : table.columns) {
            if (column.number != part.columnNumber) continue;
            if (isTextType(column.type) &&
                !textSortOrder(storage::isJet3(format), column.sortLcid, column.sortVersion)) {
                return false;
            }
            switch (column.type) {
                case ColumnType::Boolean:
                case ColumnType::Byte:
                case ColumnType::Integer:
                case ColumnType::Long:
                case ColumnType::BigInt:
                case ColumnType::Currency:
                case ColumnType::Complex:
                case ColumnType::Single:
                case ColumnType::Double:
                case ColumnType::DateTime:
                case ColumnType::Text:
                case ColumnType::Memo:
                case ColumnType::Guid:
                case ColumnType::Binary:
                case ColumnType::ExtDateTime:
                    break;
                default:
                    return false;
            }
        }
    }
    return true;
}

std::optional<std::string> indexKeyGap(const TableDefinition& table, const RealIndex& index,
                                       const std::vector<Value>& row, storage::FileFormat format) {
    for (const auto& part : index.columns) {
        for (size_t position = 0; position < table.columns.size(); ++position) {
            const ColumnDefinition& column = table.columns[position];
            if (column.number != part.columnNumber || !isTextType(column.type) ||
                isNull(row[position])) {
                continue;
            }
            const auto order =
                textSortOrder(storage::isJet3(format), column.sortLcid, column.sortVersion);
            if (!order) return "the sort order " + std::to_string(column.sortLcid);
            const auto& text = std::get<std::string>(row[position]);
            if (auto gap = textKeyGap(text, *order)) {
                return "'" + *gap + "' in " + sortOrderName(*order);
            }
        }
    }
    return std::nullopt;
}

bool allIndexColumnsNull(const TableDefinition& table, const RealIndex& index,
                         const std::vector<Value>& row) {
    for (const auto& part : index.columns) {
        for (size_t position = 0; position < table.columns.size(); ++position) {
            if (table.columns[position].number == part.columnNumber && !isNull(row[position])) {
                return false;
            }
        }
    }
    return true;
}

bool anyIndexColumnNull(const TableDefinition& table, const RealIndex& index,
                        const std::vector<Value>& row) {
    for (const auto& part : index.columns) {
        for (size_t position = 0; position < table.columns.size(); ++position) {
            if (table.columns[position].number == part.columnNumber && isNull(row[position])) {
                return true;
            }
        }
    }
    return false;
}

void encodeIndexKey(const TableDefinition& table, const RealIndex& index,
                    const std::vector<Value>& row, storage::FileFormat format,
                    std::vector<uint8_t>& key) {
    for (const auto& part : index.columns) {
        auto column = std::find_if(table.columns.begin(), table.columns.end(),
                                   [&](const auto& c) { return c.number == part.columnNumber; });
        if (column == table.columns.end()) {
            throw EngineError(ErrorCode::Corrupt,
                              "An index of the table whose definition is on page " +
                                  std::to_string(table.firstPage) + " names a missing column.",
                              table.firstPage);
        }
        const Value& value = row[static_cast<size_t>(column - table.columns.begin())];
        if (column->type == ColumnType::Boolean) {
            bool truth = !isNull(value) && std::get<bool>(value);
            uint8_t byte = truth ? kBooleanTrue : kBooleanFalse;
            key.push_back(part.ascending ? kAscendingStart : kDescendingStart);
            key.push_back(part.ascending ? byte : static_cast<uint8_t>(~byte));
            continue;
        }
        if (isNull(value)) {
            key.push_back(part.ascending ? kAscendingNull : kDescendingNull);
            continue;
        }
        key.push_back(part.ascending ? kAscendingStart : kDescendingStart);
        appendValue(*column, value, part.ascending, format, key);
    }
}

std::vector<uint8_t> nullIndexKey(const TableDefinition& table, const RealIndex& index,
                                  storage::FileFormat format) {
    const std::vector<Value> nulls(table.columns.size());
    std::vector<uint8_t> key;
    encodeIndexKey(table, index, nulls, format, key);
    return key;
}

}  // namespace engine::format

#include "engine/format/rows/calculated_value.h"

#include "engine/format/rows/text_codec.h"
#include "engine/format/rows/value_codec.h"

namespace engine::format {

using storage::readU32LE;
using storage::readU64LE;
using storage::writeU32LE;
using storage::writeU64LE;

namespace {

constexpr size_t kLengthOffset = 16;
constexpr size_t kResultOffset = 20;
constexpr size_t kTrailerSize = 3;

// The Decimal result (a Windows DECIMAL).
constexpr size_t kDecimalSize = 16;
constexpr size_t kDecimalScaleOffset = 2;
constexpr size_t kDecimalSignOffset = 3;
constexpr size_t kDecimalHighOffset = 4;
constexpr size_t kDecimalLowOffset = 8;
constexpr uint8_t kDecimalNegative = 0x80;

constexpr uint8_t kStoredTrue = 0xFF;

}  // namespace

std::optional<storage::Bytes> unwrapCalculated(storage::Bytes wrapped) {
    // Shorter than the header: nothing was stored.
    if (wrapped.size() < kResultOffset) return storage::Bytes();
    uint32_t length = readU32LE(wrapped, kLengthOffset);
    if (length > wrapped.size() - kResultOffset) return std::nullopt;
    return wrapped.subspan(kResultOffset, length);
}

ByteString wrapCalculated(storage::Bytes result) {
    ByteString wrapped(kResultOffset + result.size() + kTrailerSize, 0);
    writeU32LE(wrapped, kLengthOffset, static_cast<uint32_t>(result.size()));
    std::copy(result.begin(), result.end(), wrapped.begin() + kResultOffset);
    return wrapped;
}

std::optional<Value> decodeCalculated(ColumnType resultType, storage::Bytes result, bool jet3,
                                      uint16_t codePage) {
    if (result.empty()) return Value();
    switch (resultType) {
        case ColumnType::Boolean:
            return Value(result[0] != 0);
        case ColumnType::Text:
        case ColumnType::Memo:
            return Value(decodeText(result, jet3, codePage));
        case ColumnType::Numeric: {
            if (result.size() < kDecimalSize) return std::nullopt;
            Decimal decimal;
            decimal.scale = result[kDecimalScaleOffset];
            decimal.negative = (result[kDecimalSignOffset] & kDecimalNegative) != 0;
            decimal.high = readU32LE(result, kDecimalHighOffset);
            decimal.low = readU64LE(result, kDecimalLowOffset);
            return Value(decimal);
        }
        default: {
            Value value;
            if (!decodeFixedValue(resultType, 0, result, value)) return std::nullopt;
            return value;
        }
    }
}

ByteString encodeCalculated(ColumnType resultType, const Value& value) {
    switch (resultType) {
        case ColumnType::Boolean:
            return {std::get<bool>(value) ? kStoredTrue : uint8_t{0}};
        case ColumnType::Text:
        case ColumnType::Memo:
            return std::get<ByteString>(value);
        case ColumnType::Numeric: {
            const auto& decimal = std::get<Decimal>(value);
            if (decimal.high > UINT32_MAX) {
                throw EngineError(ErrorCode::NumericOverflow, "Numeric field overflow.");
            }
            ByteString bytes(kDecimalSize, 0);
            bytes[kDecimalScaleOffset] = decimal.scale;
            bytes[kDecimalSignOffset] = decimal.negative ? kDecimalNegative : 0;
            writeU32LE(bytes, kDecimalHighOffset, static_cast<uint32_t>(decimal.high));
            writeU64LE(bytes, kDecimalLowOffset, decimal.low);
            return bytes;
        }
        default: {
            ByteString bytes(fixedSizeOf(resultType), 0);
            encodeFixedValue(resultType, value, bytes);
            return bytes;
        }
    }
}

bool isCalculatedResultType(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime:
        case ColumnType::Text:
        case ColumnType::Memo:
        case ColumnType::Guid:
        case ColumnType::Numeric:
        case ColumnType::BigInt:
            return true;
        default:
            return false;
    }
}

}  // namespace engine::format

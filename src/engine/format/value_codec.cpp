#include "engine/format/value_codec.h"

#include <algorithm>

namespace engine::format {

using namespace storage;

namespace {

constexpr uint8_t kDecimalNegative = 0x80;

}  // namespace

std::optional<Value> decodeFixedValue(ColumnType type, uint8_t scale, Bytes bytes) {
    uint32_t size = fixedSizeOf(type);
    if (size == 0 || bytes.size() < size) return std::nullopt;
    switch (type) {
        case ColumnType::Byte:
            return Value(bytes[0]);
        case ColumnType::Integer:
            return Value(readI16LE(bytes, 0));
        case ColumnType::Long:
            return Value(readI32LE(bytes, 0));
        case ColumnType::BigInt:
            return Value(readI64LE(bytes, 0));
        case ColumnType::Currency:
            return Value(Currency{readI64LE(bytes, 0)});
        case ColumnType::Single:
            return Value(readF32LE(bytes, 0));
        case ColumnType::Double:
            return Value(readF64LE(bytes, 0));
        case ColumnType::DateTime:
            return Value(DateTime{readF64LE(bytes, 0)});
        case ColumnType::Complex:
            return Value(ComplexKey{readI32LE(bytes, 0)});
        case ColumnType::Guid: {
            Guid guid;
            std::copy_n(bytes.begin(), 16, guid.bytes.begin());
            return Value(guid);
        }
        case ColumnType::Numeric: {
            Decimal decimal;
            decimal.negative = (bytes[0] & kDecimalNegative) != 0;
            decimal.high = (static_cast<uint64_t>(readU32LE(bytes, 1)) << 32) | readU32LE(bytes, 5);
            decimal.low = (static_cast<uint64_t>(readU32LE(bytes, 9)) << 32) | readU32LE(bytes, 13);
            decimal.scale = scale;
            return Value(decimal);
        }
        case ColumnType::ExtDateTime: {
            ExtendedDateTime value;
            value.stored.assign(reinterpret_cast<const char*>(bytes.data()), size);
            return Value(value);
        }
        default:
            return std::nullopt;
    }
}

void encodeFixedValue(ColumnType type, const Value& value, std::vector<uint8_t>& out) {
    size_t at = out.size();
    out.resize(at + fixedSizeOf(type), 0);
    MutableBytes bytes(out.data() + at, fixedSizeOf(type));
    switch (type) {
        case ColumnType::Byte:
            bytes[0] = std::get<uint8_t>(value);
            break;
        case ColumnType::Integer:
            writeU16LE(bytes, 0, static_cast<uint16_t>(std::get<int16_t>(value)));
            break;
        case ColumnType::Long:
            writeU32LE(bytes, 0, static_cast<uint32_t>(std::get<int32_t>(value)));
            break;
        case ColumnType::BigInt:
            writeU64LE(bytes, 0, static_cast<uint64_t>(std::get<int64_t>(value)));
            break;
        case ColumnType::Currency:
            writeU64LE(bytes, 0, static_cast<uint64_t>(std::get<Currency>(value).scaled));
            break;
        case ColumnType::Single:
            writeF32LE(bytes, 0, std::get<float>(value));
            break;
        case ColumnType::Double:
            writeF64LE(bytes, 0, std::get<double>(value));
            break;
        case ColumnType::DateTime:
            writeF64LE(bytes, 0, std::get<DateTime>(value).days);
            break;
        case ColumnType::Complex:
            writeU32LE(bytes, 0, static_cast<uint32_t>(std::get<ComplexKey>(value).key));
            break;
        case ColumnType::Guid:
            std::copy(std::get<Guid>(value).bytes.begin(), std::get<Guid>(value).bytes.end(),
                      bytes.begin());
            break;
        case ColumnType::Numeric: {
            const auto& decimal = std::get<Decimal>(value);
            bytes[0] = decimal.negative ? kDecimalNegative : 0;
            writeU32LE(bytes, 1, static_cast<uint32_t>(decimal.high >> 32));
            writeU32LE(bytes, 5, static_cast<uint32_t>(decimal.high));
            writeU32LE(bytes, 9, static_cast<uint32_t>(decimal.low >> 32));
            writeU32LE(bytes, 13, static_cast<uint32_t>(decimal.low));
            break;
        }
        case ColumnType::ExtDateTime: {
            const auto& stored = std::get<ExtendedDateTime>(value).stored;
            std::copy_n(stored.begin(), std::min(stored.size(), bytes.size()), bytes.begin());
            break;
        }
        default:
            break;
    }
}

}  // namespace engine::format

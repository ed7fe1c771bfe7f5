#include "engine/format/rows/value_codec.h"

#include <algorithm>
#include <cassert>

namespace engine::format {

using namespace storage;

namespace {

constexpr uint8_t kDecimalNegative = 0x80;

}  // namespace

bool decodeFixedValue(ColumnType type, uint8_t scale, Bytes bytes, Value& out) {
    uint32_t size = fixedSizeOf(type);
    if (size == 0 || bytes.size() < size) return false;
    switch (type) {
        case ColumnType::Byte:
            out = bytes[0];
            return true;
        case ColumnType::Integer:
            out = readI16LE(bytes, 0);
            return true;
        case ColumnType::Long:
            out = readI32LE(bytes, 0);
            return true;
        case ColumnType::BigInt:
            out = readI64LE(bytes, 0);
            return true;
        case ColumnType::Currency:
            out = Currency{readI64LE(bytes, 0)};
            return true;
        case ColumnType::Single:
            out = readF32LE(bytes, 0);
            return true;
        case ColumnType::Double:
            out = readF64LE(bytes, 0);
            return true;
        case ColumnType::DateTime:
            out = DateTime{readF64LE(bytes, 0)};
            return true;
        case ColumnType::Complex:
            out = ComplexKey{readI32LE(bytes, 0)};
            return true;
        case ColumnType::Guid: {
            Guid guid;
            std::copy_n(bytes.begin(), 16, guid.bytes.begin());
            out = guid;
            return true;
        }
        case ColumnType::Numeric: {
            Decimal decimal;
            decimal.negative = (bytes[0] & kDecimalNegative) != 0;
            decimal.high = (static_cast<uint64_t>(readU32LE(bytes, 1)) << 32) | readU32LE(bytes, 5);
            decimal.low = (static_cast<uint64_t>(readU32LE(bytes, 9)) << 32) | readU32LE(bytes, 13);
            decimal.scale = scale;
            out = decimal;
            return true;
        }
        case ColumnType::ExtDateTime: {
            ExtendedDateTime value;
            value.stored.assign(reinterpret_cast<const char*>(bytes.data()), size);
            out = std::move(value);
            return true;
        }
        default:
            return false;
    }
}

void encodeFixedValue(ColumnType type, const Value& value, MutableBytes out) {
    assert(out.size() >= fixedSizeOf(type));
    MutableBytes bytes = out.first(fixedSizeOf(type));
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

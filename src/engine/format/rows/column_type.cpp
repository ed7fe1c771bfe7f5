#include "engine/format/rows/column_type.h"

namespace engine::format {

std::optional<ColumnType> columnTypeFromCode(uint8_t code) {
    if (code == 0 || code == 0x0E || code > 0x14) return std::nullopt;
    return static_cast<ColumnType>(code);
}

const char* columnTypeName(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
            return "Yes/No";
        case ColumnType::Byte:
            return "Byte";
        case ColumnType::Integer:
            return "Integer";
        case ColumnType::Long:
            return "Long Integer";
        case ColumnType::Currency:
            return "Currency";
        case ColumnType::Single:
            return "Single";
        case ColumnType::Double:
            return "Double";
        case ColumnType::DateTime:
            return "Date/Time";
        case ColumnType::Binary:
            return "Binary";
        case ColumnType::Text:
            return "Text";
        case ColumnType::Ole:
            return "OLE Object";
        case ColumnType::Memo:
            return "Memo";
        case ColumnType::UnknownBinary:
            return "Unknown Binary";
        case ColumnType::Guid:
            return "Replication ID";
        case ColumnType::Numeric:
            return "Decimal";
        case ColumnType::UnknownFixed:
            return "Unknown Fixed";
        case ColumnType::Complex:
            return "Complex";
        case ColumnType::BigInt:
            return "Large Number";
        case ColumnType::ExtDateTime:
            return "Date/Time Extended";
    }
    return "Unknown";
}

uint32_t fixedSizeOf(ColumnType type) {
    switch (type) {
        case ColumnType::Byte:
            return 1;
        case ColumnType::Integer:
            return 2;
        case ColumnType::Long:
        case ColumnType::Single:
        case ColumnType::Complex:
            return 4;
        case ColumnType::Currency:
        case ColumnType::Double:
        case ColumnType::DateTime:
        case ColumnType::BigInt:
            return 8;
        case ColumnType::Guid:
            return 16;
        case ColumnType::Numeric:
            return 17;
        case ColumnType::ExtDateTime:
            return 42;
        default:
            return 0;
    }
}

bool isLongValueType(ColumnType type) {
    return type == ColumnType::Ole || type == ColumnType::Memo;
}

bool isTextType(ColumnType type) { return type == ColumnType::Text || type == ColumnType::Memo; }

}  // namespace engine::format

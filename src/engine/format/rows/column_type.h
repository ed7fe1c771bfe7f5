// Column data types, by the type code stored in column descriptors.
//
//   code  type                 storage
//   0x01  Yes/No               null-mask bit only
//   0x02  Byte                 fixed 1
//   0x03  Integer              fixed 2
//   0x04  Long Integer         fixed 4 (AutoNumber when flagged)
//   0x05  Currency             fixed 8, value x 10000
//   0x06  Single               fixed 4
//   0x07  Double               fixed 8
//   0x08  Date/Time            fixed 8, days since 1899-12-30
//   0x09  Binary               variable, up to 255 bytes
//   0x0A  Text                 variable
//   0x0B  OLE Object           long value
//   0x0C  Memo                 long value
//   0x0F  Replication ID       fixed 16 (GUID)
//   0x10  Decimal              17 bytes
//   0x12  Complex              fixed 4 (key into a hidden table; ACE only)
//   0x13  Large Number         fixed 8 (ACE 16 and later)
//   0x14  Date/Time Extended   fixed 42, ASCII (ACE 17 and later)
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace engine::format {

enum class ColumnType : uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    Ole = 0x0B,
    Memo = 0x0C,
    UnknownBinary = 0x0D,
    Guid = 0x0F,
    Numeric = 0x10,
    UnknownFixed = 0x11,
    Complex = 0x12,
    BigInt = 0x13,
    ExtDateTime = 0x14,
};

std::optional<ColumnType> columnTypeFromCode(uint8_t code);
// The name the product shows: "Long Integer", "Date/Time", "Memo" ...
const char* columnTypeName(ColumnType type);
// The bytes a fixed-size type takes in a row's fixed area (0 for variable and long types).
uint32_t fixedSizeOf(ColumnType type);
bool isLongValueType(ColumnType type);
bool isTextType(ColumnType type);

}  // namespace engine::format

// The engine's names for column types in CREATE TABLE, with their synonyms:
//
//   Boolean    BIT BOOLEAN LOGICAL LOGICAL1 YESNO
//   Byte       TINYINT INTEGER1 BYTE
//   Integer    SMALLINT SHORT INTEGER2
//   Long       INTEGER LONG INT INTEGER4
//   Counter    COUNTER AUTOINCREMENT
//   BigInt     BIGINT
//   Currency   MONEY CURRENCY
//   Single     REAL SINGLE FLOAT4 IEEESINGLE
//   Double     FLOAT DOUBLE FLOAT8 IEEEDOUBLE NUMBER, DOUBLE PRECISION
//   Decimal    DECIMAL NUMERIC DEC, each with an optional (precision[, scale])
//   DateTime   DATETIME DATE TIME
//   Guid       UNIQUEIDENTIFIER GUID
//   Memo       LONGTEXT LONGCHAR MEMO NOTE NTEXT, and TEXT without a size
//   Text       TEXT(n); CHAR CHARACTER ALPHANUMERIC STRING VARCHAR NCHAR NVARCHAR,
//              CHARACTER VARYING, NATIONAL CHAR[ACTER] [VARYING], each with an optional (n)
//   Binary     BINARY VARBINARY, BINARY VARYING, BIT VARYING, each with an optional (n)
//   OleObject  IMAGE LONGBINARY GENERAL OLEOBJECT
//
// TIMESTAMP is no synonym of DATETIME any more, nor NUMERIC of DOUBLE (the engine's own notes
// on its ANSI types say so).
#pragma once

#include "engine/sql/statement.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace engine::sql {

enum class SizeRule {
    None,       // no size in parentheses
    Length,     // (n): a Text or Binary length, making the column sizedType
    Precision,  // (precision[, scale])
};

struct DataTypeName {
    size_t wordCount = 0;  // words the name takes: "DOUBLE PRECISION" takes two
    DataType type = DataType::Text;
    SizeRule sizeRule = SizeRule::None;
    DataType sizedType = DataType::Text;  // the type when a Length is given
};

inline constexpr size_t kLongestTypeName = 3;  // NATIONAL CHARACTER VARYING

// The longest type name that the words begin with (words past the end are empty), or nullopt.
std::optional<DataTypeName> findDataTypeName(
    const std::array<std::string_view, kLongestTypeName>& words);

}  // namespace engine::sql

#include "engine/sql/data_type_names.h"

#include "engine/sql/lexer.h"

namespace engine::sql {
namespace {

struct Entry {
    std::array<std::string_view, kLongestTypeName> words;  // unused places empty
    DataType type;
    SizeRule sizeRule;
    DataType sizedType;
};

constexpr SizeRule kNone = SizeRule::None;
constexpr SizeRule kLength = SizeRule::Length;

constexpr Entry kEntries[] = {
    {{"BIT"}, DataType::Boolean, kNone, DataType::Boolean},
    {{"BOOLEAN"}, DataType::Boolean, kNone, DataType::Boolean},
    {{"LOGICAL"}, DataType::Boolean, kNone, DataType::Boolean},
    {{"LOGICAL1"}, DataType::Boolean, kNone, DataType::Boolean},
    {{"YESNO"}, DataType::Boolean, kNone, DataType::Boolean},
    {{"TINYINT"}, DataType::Byte, kNone, DataType::Byte},
    {{"INTEGER1"}, DataType::Byte, kNone, DataType::Byte},
    {{"BYTE"}, DataType::Byte, kNone, DataType::Byte},
    {{"SMALLINT"}, DataType::Integer, kNone, DataType::Integer},
    {{"SHORT"}, DataType::Integer, kNone, DataType::Integer},
    {{"INTEGER2"}, DataType::Integer, kNone, DataType::Integer},
    {{"INTEGER"}, DataType::Long, kNone, DataType::Long},
    {{"LONG"}, DataType::Long, kNone, DataType::Long},
    {{"INT"}, DataType::Long, kNone, DataType::Long},
    {{"INTEGER4"}, DataType::Long, kNone, DataType::Long},
    {{"COUNTER"}, DataType::Counter, kNone, DataType::Counter},
    {{"AUTOINCREMENT"}, DataType::Counter, kNone, DataType::Counter},
    {{"BIGINT"}, DataType::BigInt, kNone, DataType::BigInt},
    {{"MONEY"}, DataType::Currency, kNone, DataType::Currency},
    {{"CURRENCY"}, DataType::Currency, kNone, DataType::Currency},
    {{"REAL"}, DataType::Single, kNone, DataType::Single},
    {{"SINGLE"}, DataType::Single, kNone, DataType::Single},
    {{"FLOAT4"}, DataType::Single, kNone, DataType::Single},
    {{"IEEESINGLE"}, DataType::Single, kNone, DataType::Single},
    {{"FLOAT"}, DataType::Double, kNone, DataType::Double},
    {{"DOUBLE"}, DataType::Double, kNone, DataType::Double},
    {{"DOUBLE", "PRECISION"}, DataType::Double, kNone, DataType::Double},
    {{"FLOAT8"}, DataType::Double, kNone, DataType::Double},
    {{"IEEEDOUBLE"}, DataType::Double, kNone, DataType::Double},
    {{"NUMBER"}, DataType::Double, kNone, DataType::Double},
    {{"DECIMAL"}, DataType::Decimal, SizeRule::Precision, DataType::Decimal},
    {{"NUMERIC"}, DataType::Decimal, SizeRule::Precision, DataType::Decimal},
    {{"DEC"}, DataType::Decimal, SizeRule::Precision, DataType::Decimal},
    {{"DATETIME"}, DataType::DateTime, kNone, DataType::DateTime},
    {{"DATE"}, DataType::DateTime, kNone, DataType::DateTime},
    {{"TIME"}, DataType::DateTime, kNone, DataType::DateTime},
    {{"UNIQUEIDENTIFIER"}, DataType::Guid, kNone, DataType::Guid},
    {{"GUID"}, DataType::Guid, kNone, DataType::Guid},
    {{"TEXT"}, DataType::Memo, kLength, DataType::Text},
    {{"LONGTEXT"}, DataType::Memo, kNone, DataType::Memo},
    {{"LONGCHAR"}, DataType::Memo, kNone, DataType::Memo},
    {{"MEMO"}, DataType::Memo, kNone, DataType::Memo},
    {{"NOTE"}, DataType::Memo, kNone, DataType::Memo},
    {{"NTEXT"}, DataType::Memo, kNone, DataType::Memo},
    {{"CHAR"}, DataType::Text, kLength, DataType::Text},
    {{"CHARACTER"}, DataType::Text, kLength, DataType::Text},
    {{"CHARACTER", "VARYING"}, DataType::Text, kLength, DataType::Text},
    {{"ALPHANUMERIC"}, DataType::Text, kLength, DataType::Text},
    {{"STRING"}, DataType::Text, kLength, DataType::Text},
    {{"VARCHAR"}, DataType::Text, kLength, DataType::Text},
    {{"NCHAR"}, DataType::Text, kLength, DataType::Text},
    {{"NVARCHAR"}, DataType::Text, kLength, DataType::Text},
    {{"NATIONAL", "CHAR"}, DataType::Text, kLength, DataType::Text},
    {{"NATIONAL", "CHARACTER"}, DataType::Text, kLength, DataType::Text},
    {{"NATIONAL", "CHAR", "VARYING"}, DataType::Text, kLength, DataType::Text},
    {{"NATIONAL", "CHARACTER", "VARYING"}, DataType::Text, kLength, DataType::Text},
    {{"BINARY"}, DataType::Binary, kLength, DataType::Binary},
    {{"VARBINARY"}, DataType::Binary, kLength, DataType::Binary},
    {{"BINARY", "VARYING"}, DataType::Binary, kLength, DataType::Binary},
    {{"BIT", "VARYING"}, DataType::Binary, kLength, DataType::Binary},
    {{"IMAGE"}, DataType::OleObject, kNone, DataType::OleObject},
    {{"LONGBINARY"}, DataType::OleObject, kNone, DataType::OleObject},
    {{"GENERAL"}, DataType::OleObject, kNone, DataType::OleObject},
    {{"OLEOBJECT"}, DataType::OleObject, kNone, DataType::OleObject},
};

}  // namespace

std::optional<DataTypeName> findDataTypeName(
    const std::array<std::string_view, kLongestTypeName>& words) {
    std::optional<DataTypeName> best;
    for (const Entry& entry : kEntries) {
        size_t count = 0;
        while (count < kLongestTypeName && !entry.words[count].empty()) {
            if (!sameWord(words[count], entry.words[count])) break;
            ++count;
        }
        const bool whole = count == kLongestTypeName || entry.words[count].empty();
        if (whole && (!best || count > best->wordCount)) {
            best = DataTypeName{count, entry.type, entry.sizeRule, entry.sizedType};
        }
    }
    return best;
}

}  // namespace engine::sql

#include "engine/sql/reserved_words.h"

#include <algorithm>
#include <array>
#include <string>

namespace engine::sql {
namespace {

// Microsoft's list of the words reserved by the Access database engine for SQL statements
// ("SQL reserved words", Access desktop database reference), multi-word entries such as
// ALTER TABLE and INSERT INTO split into their words. Upper case, sorted for binary search.
// clang-format off
constexpr std::array<std::string_view, 247> kReservedWords = {
    "ABSOLUTE", "ADD", "ADMINDB", "ALL", "ALPHANUMERIC", "ALTER", "AND", "ANY", "ARE", "AS", "ASC",
    "ASSERTION", "AUTHORIZATION", "AUTOINCREMENT", "AVG", "BEGIN", "BETWEEN", "BINARY", "BIT",
    "BIT_LENGTH", "BOOLEAN", "BOTH", "BY", "BYTE", "CASCADE", "CATALOG", "CHAR", "CHARACTER",
    "CHARACTER_LENGTH", "CHAR_LENGTH", "CHECK", "CLOSE", "CLUSTERED", "COALESCE", "COLLATE",
    "COLLATION", "COLUMN", "COMMIT", "COMP", "COMPRESSION", "CONNECT", "CONNECTION", "CONSTRAINT",
    "CONSTRAINTS", "CONTAINER", "CONTAINS", "CONVERT", "COUNT", "COUNTER", "CREATE", "CURRENCY",
    "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR", "DATABASE",
    "DATE", "DATETIME", "DAY", "DEC", "DECIMAL", "DECLARE", "DELETE", "DESC", "DISALLOW",
    "DISCONNECT", "DISTINCT", "DISTINCTROW", "DOMAIN", "DOUBLE", "DROP", "EQV", "EXCLUSIVECONNECT",
    "EXEC", "EXECUTE", "EXISTS", "EXTRACT", "FALSE", "FETCH", "FIRST", "FLOAT", "FLOAT4", "FLOAT8",
    "FOREIGN", "FROM", "GENERAL", "GRANT", "GROUP", "GUID", "HAVING", "HOUR", "IDENTITY",
    "IEEEDOUBLE", "IEEESINGLE", "IGNORE", "IMAGE", "IMP", "IN", "INDEX", "INDEXCREATEDB", "INNER",
    "INPUT", "INSENSITIVE", "INSERT", "INT", "INTEGER", "INTEGER1", "INTEGER2", "INTEGER4",
    "INTERVAL", "INTO", "IS", "ISOLATION", "JOIN", "KEY", "LANGUAGE", "LAST", "LEFT", "LEVEL",
    "LIKE", "LOGICAL", "LOGICAL1", "LONG", "LONGBINARY", "LONGCHAR", "LONGTEXT", "LOWER", "MATCH",
    "MAX", "MEMO", "MIN", "MINUTE", "MOD", "MONEY", "MONTH", "NATIONAL", "NCHAR", "NONCLUSTERED",
    "NOT", "NTEXT", "NULL", "NUMBER", "NUMERIC", "NVARCHAR", "OCTET_LENGTH", "OLEOBJECT", "ON",
    "OPEN", "OPTION", "OR", "ORDER", "OUTER", "OUTPUT", "OWNERACCESS", "PAD", "PARAMETERS",
    "PARTIAL", "PASSWORD", "PERCENT", "PIVOT", "POSITION", "PRECISION", "PREPARE", "PRIMARY",
    "PRIVILEGES", "PROC", "PROCEDURE", "PUBLIC", "REAL", "REFERENCES", "RESTRICT", "REVOKE",
    "RIGHT", "ROLLBACK", "SCHEMA", "SECOND", "SELECT", "SELECTSCHEMA", "SELECTSECURITY", "SET",
    "SHORT", "SINGLE", "SIZE", "SMALLDATETIME", "SMALLINT", "SMALLMONEY", "SOME", "SPACE", "SQL",
    "SQLCODE", "SQLERROR", "SQLSTATE", "STDEV", "STDEVP", "STRING", "SUBSTRING", "SUM", "SYSNAME",
    "SYSTEM_USER", "TABLE", "TABLEID", "TEMPORARY", "TEXT", "TIME", "TIMESTAMP", "TIMEZONE_HOUR",
    "TIMEZONE_MINUTE", "TINYINT", "TO", "TOP", "TRAILING", "TRANSACTION", "TRANSFORM", "TRANSLATE",
    "TRANSLATION", "TRIM", "TRUE", "UNION", "UNIQUE", "UNIQUEIDENTIFIER", "UNKNOWN", "UPDATE",
    "UPDATEIDENTITY", "UPDATEOWNER", "UPDATESECURITY", "UPPER", "USAGE", "USER", "USING", "VALUE",
    "VALUES", "VAR", "VARBINARY", "VARCHAR", "VARP", "VARYING", "VIEW", "WHEN", "WHENEVER", "WHERE",
    "WITH", "WORK", "XOR", "YEAR", "YESNO", "ZONE",
};
// clang-format on
static_assert(std::is_sorted(kReservedWords.begin(), kReservedWords.end()));

constexpr size_t kLongestReservedWord = 17;  // CURRENT_TIMESTAMP

}  // namespace

bool isReservedWord(std::string_view word) {
    if (word.empty() || word.size() > kLongestReservedWord) return false;
    std::string upper(word);
    for (char& c : upper) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return std::binary_search(kReservedWords.begin(), kReservedWords.end(),
                              std::string_view(upper));
}

}  // namespace engine::sql

// Values as text, the way the command-line tool prints them: numbers in their shortest exact
// decimal form, dates as YYYY-MM-DD HH:MM:SS, Yes/No as 1 or 0, bytes as hexadecimal.
#pragma once

#include "engine/format/rows/value.h"

#include <string>

namespace tools {

// The value as plain text (no quoting); NULL gives an empty text.
std::string valueText(const engine::format::Value& value);
void appendValueText(const engine::format::Value& value, std::string& out);
// The value as one CSV field: text values in double quotes with inner quotes doubled, a byte
// value without bytes as "" (NULL is the empty field).
std::string csvField(const engine::format::Value& value);
void appendCsvField(const engine::format::Value& value, std::string& out);
std::string quoteCsv(std::string_view text);

// Numbers, dates, Yes/No and NULL have texts of bounded length: putScalarText writes such a
// value's text at out, which has room for kMaxScalarText characters, and returns its end; for
// any other value it writes nothing and returns null.
inline constexpr size_t kMaxScalarText = 512;
char* putScalarText(const engine::format::Value& value, char* out);
void appendQuotedCsv(std::string_view text, std::string& out);

std::string dateTimeText(double days);
std::string hexText(const engine::format::ByteString& bytes);
std::string guidText(const engine::format::Guid& guid);
std::string decimalText(const engine::format::Decimal& decimal);
std::string currencyText(engine::format::Currency currency);

}  // namespace tools

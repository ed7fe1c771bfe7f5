// Text conversions between the engine's UTF-8 strings and the encodings stored in files:
// UTF-16LE (Jet 4 and ACE) and single-byte code pages (Jet 3). Invalid input never fails:
// it becomes U+FFFD, the replacement character.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace engine::storage {

std::u16string utf8ToUtf16(std::string_view text);
// Decodes the code point at index (advancing it); malformed bytes give U+FFFD.
// REQUIRES: index < text.size().
char32_t nextCodePoint(std::string_view text, size_t& index);
std::string utf16ToUtf8(std::u16string_view text);
void appendUtf8(std::string& out, char32_t codePoint);

// Simple case folding of one code point (Latin, Greek, Cyrillic, Armenian and the full-width
// Latin letters), as the engine's name comparisons need it.
char32_t foldCase(char32_t codePoint);
// Whether two UTF-8 texts are equal when letter case is ignored.
bool equalsIgnoringCase(std::string_view left, std::string_view right);
// The text with its letters folded to lower case.
std::string foldedCase(std::string_view text);

// Single-byte code pages. 1252 is built in; others go through the C library's iconv.
std::string codePageToUtf8(std::string_view bytes, uint16_t codePage);
// Characters the code page lacks become '?'.
std::string utf8ToCodePage(std::string_view text, uint16_t codePage);
// The same without loss: nullopt when the code page lacks a character, which is then stored in
// missing.
std::optional<std::string> utf8ToCodePageExactly(std::string_view text, uint16_t codePage,
                                                 char32_t& missing);

}  // namespace engine::storage

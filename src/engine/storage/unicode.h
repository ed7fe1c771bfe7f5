// Text conversions between the engine's UTF-8 strings and the encodings stored in files:
// UTF-16LE (Jet 4 and ACE) and single-byte code pages (Jet 3). Invalid input never fails:
// it becomes U+FFFD, the replacement character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine::storage {

std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);
void appendUtf8(std::string& out, char32_t codePoint);

// Single-byte code pages. 1252 is built in; others go through the C library's iconv.
std::string codePageToUtf8(std::string_view bytes, uint16_t codePage);
// Characters the code page lacks become '?'.
std::string utf8ToCodePage(std::string_view text, uint16_t codePage);

}  // namespace engine::storage

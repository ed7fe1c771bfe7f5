// Text conversions between the engine's UTF-8 strings and the encodings stored in files:
// UTF-16LE (Jet 4 and ACE) and single-byte code pages (Jet 3). Invalid input never fails:
// it becomes U+FFFD, the replacement character.
#pragma once

#include <cassert>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace engine::storage {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The length of the UTF-8 sequence at text[pos] and its code point, or 0 when the bytes there
// are not well-formed UTF-8 (overlong forms, surrogates, values past U+10FFFF and sequences cut
// short included). The strict form, for callers that report malformed text.
// REQUIRES: pos < text.size().
size_t decodeUtf8(std::string_view text, size_t pos, char32_t& codePoint);
// Decodes the code point at index (advancing it); malformed bytes give U+FFFD, and the lead
// byte with the continuation bytes that follow it count as one malformed character.
// REQUIRES: index < text.size().
char32_t nextCodePoint(std::string_view text, size_t& index);

// Writes one code point as UTF-8 at out, returning the position after it; out must have room
// for four bytes. REQUIRES: codePoint is a Unicode scalar value (no surrogate, <= U+10FFFF).
inline char* putUtf8(char* out, char32_t codePoint) {
    assert(codePoint <= 0x10FFFF && !(codePoint >= 0xD800 && codePoint <= 0xDFFF));
    if (codePoint < 0x80) {
        *out++ = static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        *out++ = static_cast<char>(0xC0 | (codePoint >> 6));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (codePoint >> 12));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (codePoint >> 18));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return out;
}
// Appends the code point as UTF-8; a surrogate or a value past U+10FFFF becomes U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

// UTF-16 surrogate pairs: a code point from U+10000 up is stored as a high unit
// (D800-DBFF) followed by a low one (DC00-DFFF).
inline bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
inline bool isSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }
// REQUIRES: isHighSurrogate(high) && isLowSurrogate(low).
inline char32_t joinSurrogates(char32_t high, char32_t low) {
    assert(isHighSurrogate(high) && isLowSurrogate(low));
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}
// The two units of a code point from U+10000 up. REQUIRES: 0x10000 <= codePoint <= 0x10FFFF.
inline void splitSurrogates(char32_t codePoint, char16_t& high, char16_t& low) {
    assert(codePoint >= 0x10000 && codePoint <= 0x10FFFF);
    codePoint -= 0x10000;
    high = static_cast<char16_t>(0xD800 | (codePoint >> 10));
    low = static_cast<char16_t>(0xDC00 | (codePoint & 0x3FF));
}

std::u16string utf8ToUtf16(std::string_view text);
// A lone surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

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

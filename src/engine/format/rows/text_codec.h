// Text values as rows store them.
//
// Jet 3: single-byte characters in the database's code page.
// Jet 4 and later: UTF-16LE, or "compressed Unicode" when the column allows it and the value
// starts with the marker FF FE. A compressed value is a run of one-byte characters (the low
// byte of a UTF-16 unit whose high byte is 0); each 0x00 byte switches between one-byte mode
// and plain UTF-16LE pairs. It starts in one-byte mode and may end in either.
#pragma once

#include "engine/storage/byte_order.h"

#include <optional>
#include <string>
#include <vector>

namespace engine::format {

inline constexpr uint8_t kCompressedTextMarker0 = 0xFF;
inline constexpr uint8_t kCompressedTextMarker1 = 0xFE;

// Decodes a stored text value to UTF-8.
std::string decodeText(storage::Bytes bytes, bool jet3, uint16_t codePage);
// The same into out, reusing its storage.
void decodeText(storage::Bytes bytes, bool jet3, uint16_t codePage, std::string& out);

// Encodes UTF-8 text for storage, appending it to out. With compress set, the compressed form
// is used when it is shorter; nothing bounds the length here (callers check lengths). Jet 3
// text takes the code page's bytes: when the code page lacks a character, nothing is appended,
// missing holds the character and the result is false.
bool encodeText(std::string_view text, bool jet3, uint16_t codePage, bool compress,
                std::vector<uint8_t>& out, char32_t& missing);

// How an error names a character: 'Ω' (U+03A9).
std::string describeCharacter(char32_t character);

}  // namespace engine::format

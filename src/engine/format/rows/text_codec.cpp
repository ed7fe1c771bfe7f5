#include "engine/format/rows/text_codec.h"

#include "engine/storage/unicode.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace engine::format {

namespace {

// How many of the bytes, from the first, are plain ASCII other than 0 (a compressed text's mode
// switch): eight bytes at a time, then one at a time from the word that holds the first other
// byte. A byte's top bit is set when it is 0x80 or above, and the top bit of the byte minus one
// when it is 0 (or above 0x80); a borrow from one byte into the next only follows a byte that
// already failed.
size_t plainAsciiLength(const uint8_t* bytes, size_t size) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kTops = 0x8080808080808080ull;
    size_t index = 0;
    for (; index + 8 <= size; index += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + index, sizeof word);
        if (((word - kOnes) | word) & kTops) break;
    }
    while (index < size && bytes[index] != 0 && bytes[index] < 0x80) ++index;
    return index;
}

// Decodes UTF-16LE units (given as bytes) to UTF-8 at out; a lone surrogate becomes U+FFFD.
char* putUtf16(char* out, const uint8_t* bytes, size_t units) {
    for (size_t index = 0; index < units; ++index) {
#if defined(__SSE2__)
        // Plain ASCII, sixteen units at a time: packing them to bytes keeps the low bytes.
        while (index + 16 <= units) {
            const __m128i low =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * index));
            const __m128i high =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * index + 16));
            const __m128i aboveAscii =
                _mm_and_si128(_mm_or_si128(low, high), _mm_set1_epi16(static_cast<short>(0xFF80)));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(aboveAscii, _mm_setzero_si128())) != 0xFFFF) {
                break;
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(low, high));
            out += 16;
            index += 16;
        }
#endif
        // Plain ASCII, four units at a time (the test reads the units as one little-endian
        // word).
        while (std::endian::native == std::endian::little && index + 4 <= units) {
            uint64_t chunk;
            std::memcpy(&chunk, bytes + 2 * index, sizeof chunk);
            if ((chunk & 0xFF80FF80FF80FF80ull) != 0) break;
            out[0] = static_cast<char>(bytes[2 * index]);
            out[1] = static_cast<char>(bytes[2 * index + 2]);
            out[2] = static_cast<char>(bytes[2 * index + 4]);
            out[3] = static_cast<char>(bytes[2 * index + 6]);
            out += 4;
            index += 4;
        }
        if (index >= units) break;
        char32_t unit = bytes[2 * index] | (bytes[2 * index + 1] << 8);
        if (unit < 0x80) {
            *out++ = static_cast<char>(unit);
            continue;
        }
        if (storage::isSurrogate(unit)) {
            char32_t low =
                index + 1 < units ? bytes[2 * index + 2] | (bytes[2 * index + 3] << 8) : 0;
            if (storage::isHighSurrogate(unit) && storage::isLowSurrogate(low)) {
                unit = storage::joinSurrogates(unit, low);
                ++index;
            } else {
                unit = storage::kReplacementCharacter;
            }
        }
        out = storage::putUtf8(out, unit);
    }
    return out;
}

}  // namespace

std::string decodeText(storage::Bytes bytes, bool jet3, uint16_t codePage) {
    std::string text;
    decodeText(bytes, jet3, codePage, text);
    return text;
}

void decodeText(storage::Bytes bytes, bool jet3, uint16_t codePage, std::string& text) {
    if (jet3) {
        text = storage::codePageToUtf8(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), codePage);
        return;
    }
    // Most stored texts are compressed and plain ASCII throughout: already UTF-8.
    if (bytes.size() >= 2 && bytes[0] == kCompressedTextMarker0 &&
        bytes[1] == kCompressedTextMarker1 &&
        plainAsciiLength(bytes.data() + 2, bytes.size() - 2) == bytes.size() - 2) {
        // clear and append reuse the string's storage through the short path of append;
        // assign goes through the general replace, which costs more than the copy itself.
        text.clear();
        text.append(reinterpret_cast<const char*>(bytes.data()) + 2, bytes.size() - 2);
        return;
    }
    // UTF-8 takes at most twice the stored bytes: two for a compressed byte, three for a
    // UTF-16 unit, four for a surrogate pair. The text is put together in a scratch buffer
    // kept between calls, then copied: sizing the string up front would clear twice its
    // length on every value.
    thread_local std::unique_ptr<char[]> scratch;
    thread_local size_t scratchSize = 0;
    const size_t needed = bytes.size() * 2 + 4;
    if (scratchSize < needed) {
        scratchSize = std::max(needed, size_t{4096});
        scratch.reset(new char[scratchSize]);
    }
    char* const begin = scratch.get();
    char* out = begin;
    if (bytes.size() >= 2 && bytes[0] == kCompressedTextMarker0 &&
        bytes[1] == kCompressedTextMarker1) {
        bool compressed = true;
        size_t index = 2;
        while (index < bytes.size()) {
            if (bytes[index] == 0) {
                compressed = !compressed;
                ++index;
            } else if (compressed) {
                // A run of ASCII bytes is already UTF-8.
                const size_t end =
                    index + plainAsciiLength(bytes.data() + index, bytes.size() - index);
                if (end == index) {
                    out = storage::putUtf8(out, bytes[index++]);
                } else {
                    std::memcpy(out, bytes.data() + index, end - index);
                    out += end - index;
                    index = end;
                }
            } else {
                // A run of UTF-16 units, up to the next switch byte or a dangling half unit
                // (which carries no character).
                size_t end = index;
                while (end + 1 < bytes.size() && bytes[end] != 0) end += 2;
                if (end == index) break;
                out = putUtf16(out, bytes.data() + index, (end - index) / 2);
                index = end;
            }
        }
    } else {
        out = putUtf16(out, bytes.data(), bytes.size() / 2);
    }
    text.clear();
    text.append(begin, static_cast<size_t>(out - begin));
}

std::string describeCharacter(char32_t character) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(character));
    std::string text = "'";
    storage::appendUtf8(text, character);
    return text + "' (" + code + ")";
}

bool encodeText(std::string_view text, bool jet3, uint16_t codePage, bool compress,
                std::vector<uint8_t>& out, char32_t& missing) {
    if (jet3) {
        auto encoded = storage::utf8ToCodePageExactly(text, codePage, missing);
        if (!encoded) return false;
        out.insert(out.end(), encoded->begin(), encoded->end());
        return true;
    }
    const size_t base = out.size();
    if (compress) {
        // One byte a character, when every character is in U+0001-U+00FF and there are more
        // than two of them.
        out.resize(base + text.size() + 2);
        out[base] = kCompressedTextMarker0;
        out[base + 1] = kCompressedTextMarker1;
        size_t at = base + 2;
        size_t index = 0;
        bool fits = true;
        while (index < text.size() && fits) {
            // A run of ASCII characters is copied as it is.
            size_t end = index;
            while (end < text.size() && static_cast<uint8_t>(text[end] - 1) < 0x7F) ++end;
            if (end > index) {
                std::memcpy(out.data() + at, text.data() + index, end - index);
                at += end - index;
                index = end;
                continue;
            }
            char32_t c = storage::nextCodePoint(text, index);
            fits = c != 0 && c <= 0xFF;
            out[at++] = static_cast<uint8_t>(c);
        }
        if (fits && at - base - 2 > 2) {
            out.resize(at);
            return true;
        }
    }
    out.resize(base + text.size() * 2 + 4);
    size_t at = base;
    size_t index = 0;
    while (index < text.size()) {
        auto byte = static_cast<uint8_t>(text[index]);
        if (byte < 0x80) {
            out[at++] = byte;
            out[at++] = 0;
            ++index;
            continue;
        }
        char32_t c = storage::nextCodePoint(text, index);
        if (c >= 0x10000) {
            char16_t high = 0;
            char16_t low = 0;
            storage::splitSurrogates(c, high, low);
            out[at++] = static_cast<uint8_t>(high);
            out[at++] = static_cast<uint8_t>(high >> 8);
            out[at++] = static_cast<uint8_t>(low);
            out[at++] = static_cast<uint8_t>(low >> 8);
        } else {
            out[at++] = static_cast<uint8_t>(c);
            out[at++] = static_cast<uint8_t>(c >> 8);
        }
    }
    out.resize(at);
    return true;
}

}  // namespace engine::format

#include "engine/storage/unicode.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <iconv.h>
#include <vector>

namespace engine::storage {

namespace {

// Windows-1252 bytes 0x80-0x9F; the rest of the code page equals Latin-1. The five bytes the
// code page leaves undefined map to the control characters of the same number, as Windows
// converts them, so every byte survives a round trip.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Converts input between two encodings through iconv. A byte sequence the target lacks becomes
// '?', unless failed is given: then the conversion stops there and failed holds the offset of the
// input where it did. An encoding iconv does not know leaves the input as it is, or, when
// failed is given, only its ASCII part: every Windows code page keeps ASCII as it is, and what
// lies beyond it cannot be converted without loss.
std::string iconvConvert(std::string_view input, const std::string& from, const std::string& to,
                         std::optional<size_t>* failed = nullptr) {
    iconv_t converter = iconv_open(to.c_str(), from.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        if (!failed) return std::string(input);
        auto beyond = std::find_if(input.begin(), input.end(),
                                   [](char byte) { return static_cast<uint8_t>(byte) >= 0x80; });
        if (beyond != input.end()) *failed = static_cast<size_t>(beyond - input.begin());
        return std::string(input.begin(), beyond);
    }
    std::string output;
    std::vector<char> in(input.begin(), input.end());
    char* inPointer = in.data();
    size_t inLeft = in.size();
    std::array<char, 4096> buffer{};
    while (inLeft > 0) {
        char* outPointer = buffer.data();
        size_t outLeft = buffer.size();
        size_t result = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
        output.append(buffer.data(), buffer.size() - outLeft);
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            if (failed) {
                *failed = static_cast<size_t>(inPointer - in.data());
                break;
            }
            // Skip a byte the code page cannot convert and go on.
            output += '?';
            ++inPointer;
            --inLeft;
        }
    }
    iconv_close(converter);
    return output;
}

// Windows-1252's byte for a code point, if it has one.
std::optional<char> cp1252Byte(char32_t value) {
    if (value < 0x80 || (value >= 0xA0 && value <= 0xFF)) return static_cast<char>(value);
    for (size_t high = 0; high < kCp1252High.size(); ++high) {
        if (kCp1252High[high] == value) return static_cast<char>(0x80 + high);
    }
    return std::nullopt;
}

}  // namespace

size_t decodeUtf8(std::string_view text, size_t pos, char32_t& codePoint) {
    assert(pos < text.size());
    const auto lead = static_cast<uint8_t>(text[pos]);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - pos < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<uint8_t>(text[pos + i]);
        if ((next & 0xC0) != 0x80) return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || isSurrogate(value)) return 0;
    codePoint = value;
    return length;
}

char32_t nextCodePoint(std::string_view text, size_t& index) {
    char32_t codePoint = 0;
    if (const size_t length = decodeUtf8(text, index, codePoint); length != 0) {
        index += length;
        return codePoint;
    }
    // Skip the lead byte and as many continuation bytes as it announces that follow it.
    const auto lead = static_cast<uint8_t>(text[index++]);
    const size_t extra = (lead & 0xE0) == 0xC0   ? 1
                         : (lead & 0xF0) == 0xE0 ? 2
                         : (lead & 0xF8) == 0xF0 ? 3
                                                 : 0;
    for (size_t count = 0;
         count < extra && index < text.size() && (static_cast<uint8_t>(text[index]) & 0xC0) == 0x80;
         ++count) {
        ++index;
    }
    return kReplacementCharacter;
}

void appendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint > 0x10FFFF || isSurrogate(codePoint)) codePoint = kReplacementCharacter;
    char bytes[4];
    out.append(bytes, static_cast<size_t>(putUtf8(bytes, codePoint) - bytes));
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t index = 0;
    while (index < text.size()) {
        const char32_t value = nextCodePoint(text, index);
        if (value >= 0x10000) {
            char16_t high = 0;
            char16_t low = 0;
            splitSurrogates(value, high, low);
            out += high;
            out += low;
        } else {
            out += static_cast<char16_t>(value);
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t index = 0; index < text.size(); ++index) {
        char32_t unit = text[index];
        if (isHighSurrogate(unit) && index + 1 < text.size() && isLowSurrogate(text[index + 1])) {
            unit = joinSurrogates(unit, text[index + 1]);
            ++index;
        }
        appendUtf8(out, unit);
    }
    return out;
}

char32_t foldCase(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs upper/lower on even/odd code points, except a few runs.
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
            return (c % 2 == 1) ? c + 1 : c;
        }
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (c == 0x178) return 0xFF;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x460 && c <= 0x4FF && c % 2 == 0 && !(c >= 0x482 && c <= 0x489)) return c + 1;
    if (c >= 0x531 && c <= 0x556) return c + 48;    // Armenian
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;  // full-width Latin
    return c;
}

bool equalsIgnoringCase(std::string_view left, std::string_view right) {
    size_t leftIndex = 0;
    size_t rightIndex = 0;
    while (leftIndex < left.size() && rightIndex < right.size()) {
        if (foldCase(nextCodePoint(left, leftIndex)) !=
            foldCase(nextCodePoint(right, rightIndex))) {
            return false;
        }
    }
    return leftIndex == left.size() && rightIndex == right.size();
}

std::string foldedCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t index = 0;
    while (index < text.size()) appendUtf8(out, foldCase(nextCodePoint(text, index)));
    return out;
}

std::string codePageToUtf8(std::string_view bytes, uint16_t codePage) {
    if (codePage != 1252 && codePage != 0) {
        return iconvConvert(bytes, "CP" + std::to_string(codePage), "UTF-8");
    }
    std::string out;
    out.reserve(bytes.size());
    for (char raw : bytes) {
        auto byte = static_cast<uint8_t>(raw);
        char32_t value = byte;
        if (byte >= 0x80 && byte < 0xA0) value = kCp1252High[byte - 0x80];
        appendUtf8(out, value);
    }
    return out;
}

std::string utf8ToCodePage(std::string_view text, uint16_t codePage) {
    if (codePage != 1252 && codePage != 0) {
        return iconvConvert(text, "UTF-8", "CP" + std::to_string(codePage));
    }
    std::string out;
    size_t index = 0;
    while (index < text.size()) out += cp1252Byte(nextCodePoint(text, index)).value_or('?');
    return out;
}

std::optional<std::string> utf8ToCodePageExactly(std::string_view text, uint16_t codePage,
                                                 char32_t& missing) {
    if (codePage != 1252 && codePage != 0) {
        std::optional<size_t> failed;
        std::string out = iconvConvert(text, "UTF-8", "CP" + std::to_string(codePage), &failed);
        if (!failed) return out;
        size_t at = *failed;
        missing = at < text.size() ? nextCodePoint(text, at) : kReplacementCharacter;
        return std::nullopt;
    }
    std::string out;
    out.reserve(text.size());
    size_t index = 0;
    while (index < text.size()) {
        char32_t value = nextCodePoint(text, index);
        auto byte = cp1252Byte(value);
        if (!byte) {
            missing = value;
            return std::nullopt;
        }
        out += *byte;
    }
    return out;
}

}  // namespace engine::storage

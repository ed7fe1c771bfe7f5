#include "engine/format/text_codec.h"

#include "engine/storage/unicode.h"

namespace engine::format {

std::string decodeText(storage::Bytes bytes, bool jet3, uint16_t codePage) {
    if (jet3) {
        return storage::codePageToUtf8(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), codePage);
    }
    std::u16string units;
    if (bytes.size() >= 2 && bytes[0] == kCompressedTextMarker0 &&
        bytes[1] == kCompressedTextMarker1) {
        units.reserve(bytes.size());
        bool compressed = true;
        size_t index = 2;
        while (index < bytes.size()) {
            if (bytes[index] == 0) {
                compressed = !compressed;
                ++index;
            } else if (compressed) {
                units += static_cast<char16_t>(bytes[index++]);
            } else if (index + 1 < bytes.size()) {
                units += static_cast<char16_t>(bytes[index] | (bytes[index + 1] << 8));
                index += 2;
            } else {
                break;  // a dangling half of a unit carries no character
            }
        }
    } else {
        units.reserve(bytes.size() / 2);
        for (size_t index = 0; index + 1 < bytes.size(); index += 2) {
            units += static_cast<char16_t>(bytes[index] | (bytes[index + 1] << 8));
        }
    }
    return storage::utf16ToUtf8(units);
}

std::vector<uint8_t> encodeText(std::string_view text, bool jet3, uint16_t codePage,
                                bool compress) {
    if (jet3) {
        std::string encoded = storage::utf8ToCodePage(text, codePage);
        return {encoded.begin(), encoded.end()};
    }
    std::u16string units = storage::utf8ToUtf16(text);
    bool compressible = compress && units.size() > 2;
    for (char16_t unit : units) {
        if (unit == 0 || unit > 0xFF) {
            compressible = false;
            break;
        }
    }
    std::vector<uint8_t> out;
    if (compressible) {
        out.reserve(units.size() + 2);
        out.push_back(kCompressedTextMarker0);
        out.push_back(kCompressedTextMarker1);
        for (char16_t unit : units) out.push_back(static_cast<uint8_t>(unit));
        return out;
    }
    out.reserve(units.size() * 2);
    for (char16_t unit : units) {
        out.push_back(static_cast<uint8_t>(unit));
        out.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return out;
}

}  // namespace engine::format

#include "engine/storage/crypto/base64.h"

#include <algorithm>
#include <iterator>
#include <openssl/evp.h>

namespace engine::storage {

namespace {

bool isBase64Character(char character) {
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') ||
           (character >= '0' && character <= '9') || character == '+' || character == '/';
}

}  // namespace

std::string encodeBase64(Bytes bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');  // the library adds a NUL
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                 static_cast<int>(bytes.size()));
    text.resize(static_cast<size_t>(length));
    return text;
}

std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text, Base64Input input) {
    if (input == Base64Input::SkipOthers) {
        std::string kept;
        kept.reserve(text.size() + 3);
        std::copy_if(text.begin(), text.end(), std::back_inserter(kept), isBase64Character);
        // One character left over holds no whole byte; two or three are padded as written.
        if (kept.size() % 4 == 1) kept.pop_back();
        while (kept.size() % 4 != 0) kept += '=';
        return decodeBase64(kept, Base64Input::Strict);
    }
    if (text.size() % 4 != 0) return std::nullopt;
    size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    if (!std::all_of(text.begin(), text.end() - static_cast<std::ptrdiff_t>(padding),
                     isBase64Character)) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(text.size() / 4 * 3);
    int length = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                 static_cast<int>(text.size()));
    if (length < 0 || static_cast<size_t>(length) != bytes.size()) return std::nullopt;
    bytes.resize(bytes.size() - padding);
    return bytes;
}

}  // namespace engine::storage

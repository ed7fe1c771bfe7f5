#include "engine/storage/crypto/encryption_description.h"

#include "engine/storage/unicode.h"

#include <openssl/crypto.h>

namespace engine::storage {

std::optional<SecretBytes> encodeEncryptionPassword(const std::string& password) {
    std::u16string units = utf8ToUtf16(password);
    std::optional<SecretBytes> encoded;
    if (units.size() <= kMaxEncryptionPasswordLength) {
        encoded.emplace(units.size() * 2);
        MutableBytes bytes = encoded->bytes();
        for (size_t index = 0; index < units.size(); ++index) {
            writeU16LE(bytes, index * 2, units[index]);
        }
    }
    OPENSSL_cleanse(units.data(), units.size() * sizeof(char16_t));
    return encoded;
}

SecretBytes iteratedPasswordHash(Hasher& hasher, Bytes salt, Bytes password, uint32_t iterations) {
    SecretBytes hash = hasher.hash({salt, password});
    std::array<uint8_t, 4> counter{};
    for (uint32_t iteration = 0; iteration < iterations; ++iteration) {
        writeU32LE(counter, 0, iteration);
        hasher.hash({counter, hash.bytes()}, hash.bytes());
    }
    return hash;
}

uint32_t randomEncodingKey() {
    uint32_t key = 0;
    while (key == 0) key = readU32LE(randomBytes(4), 0);
    return key;
}

void throwDamagedDescription(const std::string& detail) {
    throw EngineError(ErrorCode::Corrupt,
                      "The database's encryption description is damaged: " + detail + ".");
}

void throwUnsupportedEncryption(const std::string& scheme) {
    throw EngineError(ErrorCode::NotSupported, "The database is encrypted with " + scheme +
                                                   ", which this program cannot open.");
}

void throwInvalidPassword() {
    throw EngineError(ErrorCode::InvalidPassword, "Not a valid password.");
}

}  // namespace engine::storage

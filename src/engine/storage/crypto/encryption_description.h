// What the Office encryption schemes of ACE databases share: the start of the encryption
// description, the password's encoding, the result of making a new encrypted file, and the
// errors. The description is kept in the header page (length LE16 at 0x299, bytes at 0x29B).
// Integers little-endian.
//
//   offset  size  meaning
//   0        2    major version
//   2        2    minor version: 4.4 agile (agile_encryption.h); 2.2, 3.2 and 4.2 CryptoAPI
//                 (cryptoapi_encryption.h); 3.3 and 4.3 extensible, 1.1 Office binary RC4
//                 (neither supported)
//   4        4    agile: reserved, 0x40; CryptoAPI: flags, a copy of those in its header
//   8      ...    the scheme's own data
#pragma once

#include "engine/storage/crypto/crypto_primitives.h"
#include "engine/storage/page_codec.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace engine::storage {

inline constexpr size_t kDescriptionVersionSize = 4;
// Office passwords are at most 255 UTF-16 code units.
inline constexpr size_t kMaxEncryptionPasswordLength = 255;

// What a newly encrypted file needs: a random non-zero encoding key for 0x3E, the description
// for 0x29B (empty for Jet page encoding) and the codec for its pages.
struct NewEncryption {
    uint32_t encodingKey = 0;
    std::vector<uint8_t> description;
    std::unique_ptr<PageCodec> codec;
};

// The password as UTF-16LE bytes, exactly as typed; nullopt when it is longer than any Office
// password can be.
std::optional<SecretBytes> encodeEncryptionPassword(const std::string& password);

// The password hash both Office schemes start from: H = hash(salt ‖ password), then
// H = hash(LE32(i) ‖ H) for i = 0 .. iterations-1.
SecretBytes iteratedPasswordHash(Hasher& hasher, Bytes salt, Bytes password, uint32_t iterations);

// A random encoding key, never 0 (which would mean "not encrypted").
uint32_t randomEncodingKey();

// Corrupt: "The database's encryption description is damaged: <detail>."
[[noreturn]] void throwDamagedDescription(const std::string& detail);
// NotSupported: "The database is encrypted with <scheme>, which this program cannot open."
[[noreturn]] void throwUnsupportedEncryption(const std::string& scheme);
// InvalidPassword: "Not a valid password."
[[noreturn]] void throwInvalidPassword();

}  // namespace engine::storage

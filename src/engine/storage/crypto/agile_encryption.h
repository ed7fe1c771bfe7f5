// Agile encryption (description version 4.4): how Access 2010 and later encrypt a database
// with a password.
//
// Description, after the version (encryption_description.h):
//   offset  size  meaning
//   4        4    reserved, 0x40
//   8      ...    XML, UTF-8, to the end of the description
//
// XML, with E = http://schemas.microsoft.com/office/2006/encryption and
// P = http://schemas.microsoft.com/office/2006/keyEncryptor/password:
//   E:encryption                    the root
//     E:keyData                     the page cipher: saltSize, blockSize, keyBits, hashSize,
//                                   cipherAlgorithm ("AES"), cipherChaining ("ChainingModeCBC"),
//                                   hashAlgorithm ("SHA1", "SHA256", "SHA384", "SHA512"),
//                                   saltValue
//     E:dataIntegrity               optional and ignored; Access writes none
//     E:keyEncryptors
//       E:keyEncryptor uri=P        other encryptors (certificates) are ignored
//         P:encryptedKey            the attributes of keyData, plus spinCount (at most
//                                   10,000,000), encryptedVerifierHashInput,
//                                   encryptedVerifierHashValue, encryptedKeyValue
// Binary values are base64. Access writes AES-256, SHA512, spinCount 100000, salts of 16 bytes.
//
// The password key for a block constant B: H = hash(saltValue ‖ password as UTF-16LE), then
// H = hash(LE32(i) ‖ H) for i = 0 .. spinCount-1; key = hash(H ‖ B), cut or padded with 0x36
// to keyBits/8 bytes. Each of the three values is AES-CBC with its key and IV = saltValue
// (cut or padded with 0x36 to blockSize):
//   B = FE A7 D2 76 3B 4B 9E 79   verifier input: saltSize random bytes
//   B = D7 AA 0F 6D 30 61 34 4E   verifier hash: hash(verifier input), hashSize bytes
//   B = 14 6E 0B E7 AB AC D0 D6   the data key: keyData.keyBits/8 bytes
// The password is right when the decrypted verifier hash equals the hash of the decrypted
// verifier input.
//
// Page p >= 1: AES-CBC with the data key over the whole page, no padding, IV = the first
// blockSize bytes of keyData's hash(keyData.saltValue ‖ encoding key XOR LE32(p)).
#pragma once

#include "engine/storage/crypto/encryption_description.h"

namespace engine::storage {

inline constexpr uint32_t kAgileMaxSpinCount = 10'000'000;
inline constexpr uint32_t kAgileAccessSpinCount = 100'000;

struct AgileCipherParameters {
    uint32_t saltSize = 0;
    uint32_t blockSize = 0;
    uint32_t keyBits = 0;
    uint32_t hashSize = 0;
    HashAlgorithm hash = HashAlgorithm::Sha512;
    std::vector<uint8_t> salt;
};

struct AgileDescription {
    AgileCipherParameters keyData;
    AgileCipherParameters passwordKey;
    uint32_t spinCount = 0;
    std::vector<uint8_t> encryptedVerifierHashInput;
    std::vector<uint8_t> encryptedVerifierHashValue;
    std::vector<uint8_t> encryptedKeyValue;
};

// description is the whole description, version included. Throws Corrupt for a damaged one
// and NotSupported for ciphers other than AES-CBC or a missing password key encryptor.
AgileDescription parseAgileDescription(Bytes description);

// The codec for the pages, or nullptr when password (UTF-16LE) is not the file's password.
std::unique_ptr<PageCodec> unlockAgile(const AgileDescription& description, uint32_t encodingKey,
                                       Bytes password);

// A new description as Access writes it (AES-256-CBC, SHA512, spinCount 100000), with fresh
// random salts and data key, and its codec.
NewEncryption createAgile(Bytes password, uint32_t encodingKey);

}  // namespace engine::storage

// CryptoAPI encryption (description versions 2.2, 3.2 and 4.2): how Access 2007 encrypts a
// database with a password (RC4), and the AES variant later versions write when told to use
// the older scheme with an AES provider. Integers little-endian.
//
// Description, after the version (encryption_description.h):
//   offset  size  meaning
//   4        4    flags, a copy of the header's
//   8        4    header size H
//   12       H    header
//   12+H   ...    verifier
// Header:
//   0        4    flags: 0x04 fCryptoAPI (required), 0x08 fDocProps, 0x10 fExternal (not
//                 supported), 0x20 fAES
//   4        4    size of extra data
//   8        4    algorithm: 0x6801 RC4, 0x660E AES-128, 0x660F AES-192, 0x6610 AES-256,
//                 0 = AES-128 with fAES, else RC4
//   12       4    hash algorithm: 0x8004 SHA-1, 0 = SHA-1
//   16       4    key size in bits: RC4 40 to 128 in steps of 8; AES as the algorithm says
//   20       4    provider type
//   24       8    reserved
//   32     ...    provider name, UTF-16LE, NUL-terminated
// Verifier:
//   0        4    salt size, 16
//   4       16    salt
//   20      16    encrypted verifier
//   36       4    verifier hash size, 20
//   40   20/32    encrypted verifier hash (RC4 20 bytes, AES two blocks)
//
// H = SHA-1(salt ‖ password as UTF-16LE). The key for 4 block bytes b:
//   RC4  SHA-1(H ‖ b) cut to keySize/8 bytes; a 40-bit key is followed by 11 zero bytes.
//   AES  H is first iterated (iteratedPasswordHash) 50,000 times with fAES, not at all
//        without it; F = SHA-1(H ‖ b); key = SHA-1(F XOR 64 × 0x36) ‖ SHA-1(F XOR 64 × 0x5C),
//        cut to keySize/8 bytes. (Files with fAES have not been seen from Access.)
// The password is right when, with b = LE32(0), the decrypted verifier hash begins with
// SHA-1(decrypted verifier); RC4 decrypts both with one stream, verifier first.
// Page p >= 1: b = encoding key XOR LE32(p); RC4 over the whole page, or AES-ECB over it.
#pragma once

#include "engine/storage/crypto/encryption_description.h"

#include <array>

namespace engine::storage {

struct CryptoApiDescription {
    enum class Cipher { Rc4, Aes };
    Cipher cipher = Cipher::Rc4;
    uint32_t keyBits = 0;
    uint32_t iterations = 0;  // AES only
    std::array<uint8_t, 16> salt{};
    std::array<uint8_t, 16> encryptedVerifier{};
    std::vector<uint8_t> encryptedVerifierHash;
};

// description is the whole description, version included. Throws Corrupt for a damaged one
// and NotSupported for algorithms other than RC4 and AES with SHA-1.
CryptoApiDescription parseCryptoApiDescription(Bytes description);

// The codec for the pages, or nullptr when password (UTF-16LE) is not the file's password.
std::unique_ptr<PageCodec> unlockCryptoApi(const CryptoApiDescription& description,
                                           uint32_t encodingKey, Bytes password);

// A new RC4 description (128-bit key, "Microsoft Enhanced Cryptographic Provider v1.0", as
// Access writes with that provider) and its codec.
NewEncryption createRc4CryptoApi(Bytes password, uint32_t encodingKey);

}  // namespace engine::storage

#include "engine/storage/crypto/cryptoapi_encryption.h"

#include "engine/storage/crypto/jet_rc4_codec.h"
#include "engine/storage/crypto/rc4.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <optional>

namespace engine::storage {

namespace {

constexpr size_t kFlagsOffset = 4;
constexpr size_t kHeaderSizeOffset = 8;
constexpr size_t kHeaderOffset = 12;

constexpr size_t kHeaderFlags = 0;
constexpr size_t kHeaderAlgorithm = 8;
constexpr size_t kHeaderHashAlgorithm = 12;
constexpr size_t kHeaderKeySize = 16;
constexpr size_t kHeaderProviderType = 20;
constexpr size_t kHeaderProviderName = 32;

constexpr size_t kVerifierSalt = 4;
constexpr size_t kVerifierEncrypted = 20;
constexpr size_t kVerifierHashSize = 36;
constexpr size_t kVerifierHash = 40;

constexpr uint32_t kFlagCryptoApi = 0x04;
constexpr uint32_t kFlagDocProps = 0x08;
constexpr uint32_t kFlagExternal = 0x10;
constexpr uint32_t kFlagAes = 0x20;

constexpr uint32_t kAlgorithmByFlags = 0;
constexpr uint32_t kAlgorithmRc4 = 0x6801;
constexpr uint32_t kAlgorithmAes128 = 0x660E;
constexpr uint32_t kAlgorithmAes192 = 0x660F;
constexpr uint32_t kAlgorithmAes256 = 0x6610;
constexpr uint32_t kHashByFlags = 0;
constexpr uint32_t kHashSha1 = 0x8004;

constexpr uint32_t kSaltSize = 16;
constexpr uint32_t kSha1Size = 20;
constexpr uint32_t kAesIterations = 50'000;
constexpr size_t kRc4PaddedKeyBytes = 16;
// An AES key is SHA-1(F XOR 64 × pad) for each pad, concatenated.
constexpr std::array<uint8_t, 2> kAesDerivationPads = {0x36, 0x5C};
// The block bytes of the password verifier: LE32(0).
constexpr std::array<uint8_t, 4> kVerifierBlock{};

constexpr uint32_t kNewKeyBits = 128;
constexpr uint32_t kNewProviderType = 1;
constexpr std::u16string_view kNewProviderName = u"Microsoft Enhanced Cryptographic Provider v1.0";

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

// The cipher key for 4 block bytes, from the (iterated) password hash.
SecretBytes blockCipherKey(Hasher& sha1, const CryptoApiDescription& description,
                           const SecretBytes& passwordHash, Bytes block) {
    SecretBytes hash = sha1.hash({passwordHash.bytes(), block});
    size_t keyBytes = description.keyBits / 8;
    if (description.cipher == CryptoApiDescription::Cipher::Rc4) {
        SecretBytes key(description.keyBits == 40 ? kRc4PaddedKeyBytes : keyBytes);
        std::copy_n(hash.bytes().begin(), keyBytes, key.bytes().begin());
        return key;
    }
    SecretBytes both(kAesDerivationPads.size() * kSha1Size);
    for (size_t half = 0; half < kAesDerivationPads.size(); ++half) {
        SecretBytes padded(64);
        std::fill(padded.bytes().begin(), padded.bytes().end(), kAesDerivationPads[half]);
        for (size_t index = 0; index < hash.size(); ++index) {
            padded.bytes()[index] ^= hash.bytes()[index];
        }
        sha1.hash({padded.bytes()}, both.bytes().subspan(half * kSha1Size, kSha1Size));
    }
    return SecretBytes(both.bytes().first(keyBytes));
}

class CryptoApiCodec final : public PageCodec {
public:
    CryptoApiCodec(const CryptoApiDescription& description, SecretBytes passwordHash,
                   uint32_t encodingKey)
        : m_description(description),
          m_passwordHash(std::move(passwordHash)),
          m_encodingKey(encodingKey),
          m_sha1(HashAlgorithm::Sha1) {
        if (description.cipher == CryptoApiDescription::Cipher::Aes) {
            m_encrypt.emplace(description.keyBits / 8, CipherMode::Ecb, CipherDirection::Encrypt);
            m_decrypt.emplace(description.keyBits / 8, CipherMode::Ecb, CipherDirection::Decrypt);
        }
    }

    void decode(PageNumber page, MutableBytes bytes) const override {
        assert(page >= 1 && "the header page has its own encoding");
        apply(page, bytes, m_decrypt);
    }
    void encode(PageNumber page, MutableBytes bytes) const override {
        assert(page >= 1 && "the header page has its own encoding");
        apply(page, bytes, m_encrypt);
    }

private:
    void apply(PageNumber page, MutableBytes bytes, std::optional<AesCipher>& aes) const {
        SecretBytes key = blockCipherKey(m_sha1, m_description, m_passwordHash,
                                         pageBlockKey(m_encodingKey, page));
        if (aes) {
            aes->apply(key.bytes(), {}, bytes);
        } else {
            Rc4(key.bytes()).apply(bytes);
        }
    }

    CryptoApiDescription m_description;
    SecretBytes m_passwordHash;
    uint32_t m_encodingKey;
    // A codec serves one pager, which is not shared between threads.
    mutable Hasher m_sha1;
    mutable std::optional<AesCipher> m_encrypt;
    mutable std::optional<AesCipher> m_decrypt;
};

}  // namespace

CryptoApiDescription parseCryptoApiDescription(Bytes description) {
    if (description.size() < kHeaderOffset) throwDamagedDescription("it is too short");
    uint32_t headerSize = readU32LE(description, kHeaderSizeOffset);
    if (headerSize < kHeaderProviderName || headerSize > description.size() - kHeaderOffset) {
        throwDamagedDescription("its header size " + std::to_string(headerSize) +
                                " is out of range");
    }
    Bytes header = description.subspan(kHeaderOffset, headerSize);
    uint32_t flags = readU32LE(header, kHeaderFlags);
    if ((flags & kFlagCryptoApi) == 0) {
        throwUnsupportedEncryption("Office encryption without CryptoAPI");
    }
    if ((flags & kFlagExternal) != 0) throwUnsupportedEncryption("an external encryption provider");
    uint32_t hashAlgorithm = readU32LE(header, kHeaderHashAlgorithm);
    if (hashAlgorithm != kHashByFlags && hashAlgorithm != kHashSha1) {
        throwUnsupportedEncryption("CryptoAPI encryption using the hash " + hex(hashAlgorithm));
    }

    CryptoApiDescription result;
    uint32_t algorithm = readU32LE(header, kHeaderAlgorithm);
    uint32_t aesBits = 0;
    switch (algorithm) {
        case kAlgorithmByFlags:
            aesBits = (flags & kFlagAes) != 0 ? 128 : 0;
            break;
        case kAlgorithmRc4:
            break;
        case kAlgorithmAes128:
            aesBits = 128;
            break;
        case kAlgorithmAes192:
            aesBits = 192;
            break;
        case kAlgorithmAes256:
            aesBits = 256;
            break;
        default:
            throwUnsupportedEncryption("CryptoAPI encryption using the cipher " + hex(algorithm));
    }
    result.keyBits = readU32LE(header, kHeaderKeySize);
    if (aesBits != 0) {
        result.cipher = CryptoApiDescription::Cipher::Aes;
        result.iterations = (flags & kFlagAes) != 0 ? kAesIterations : 0;
        if (result.keyBits != aesBits) {
            throwDamagedDescription("its AES key size is " + std::to_string(result.keyBits) +
                                    " bits");
        }
    } else if (result.keyBits < 40 || result.keyBits > 128 || result.keyBits % 8 != 0) {
        throwDamagedDescription("its RC4 key size is " + std::to_string(result.keyBits) + " bits");
    }

    Bytes verifier = description.subspan(kHeaderOffset + headerSize);
    size_t hashBytes = aesBits != 0 ? 2 * AesCipher::kBlockSize : kSha1Size;
    if (verifier.size() < kVerifierHash + hashBytes) {
        throwDamagedDescription("its verifier is cut short");
    }
    if (readU32LE(verifier, 0) != kSaltSize) throwDamagedDescription("its salt size is not 16");
    if (readU32LE(verifier, kVerifierHashSize) != kSha1Size) {
        throwDamagedDescription("its verifier hash size is not 20");
    }
    std::copy_n(verifier.begin() + kVerifierSalt, kSaltSize, result.salt.begin());
    std::copy_n(verifier.begin() + kVerifierEncrypted, result.encryptedVerifier.size(),
                result.encryptedVerifier.begin());
    result.encryptedVerifierHash.assign(verifier.begin() + kVerifierHash,
                                        verifier.begin() + kVerifierHash + hashBytes);
    return result;
}

std::unique_ptr<PageCodec> unlockCryptoApi(const CryptoApiDescription& description,
                                           uint32_t encodingKey, Bytes password) {
    Hasher sha1(HashAlgorithm::Sha1);
    SecretBytes passwordHash =
        iteratedPasswordHash(sha1, description.salt, password, description.iterations);
    SecretBytes key = blockCipherKey(sha1, description, passwordHash, kVerifierBlock);
    SecretBytes verifier{Bytes(description.encryptedVerifier)};
    SecretBytes verifierHash{Bytes(description.encryptedVerifierHash)};
    if (description.cipher == CryptoApiDescription::Cipher::Rc4) {
        Rc4 stream(key.bytes());
        stream.apply(verifier.bytes());
        stream.apply(verifierHash.bytes());
    } else {
        AesCipher aes(key.size(), CipherMode::Ecb, CipherDirection::Decrypt);
        aes.apply(key.bytes(), {}, verifier.bytes());
        aes.apply(key.bytes(), {}, verifierHash.bytes());
    }
    SecretBytes expected = sha1.hash({verifier.bytes()});
    if (!constantTimeEqual(expected.bytes(), verifierHash.bytes().first(kSha1Size))) return nullptr;
    return std::make_unique<CryptoApiCodec>(description, std::move(passwordHash), encodingKey);
}

NewEncryption createRc4CryptoApi(Bytes password, uint32_t encodingKey) {
    CryptoApiDescription description;
    description.keyBits = kNewKeyBits;
    fillRandom(description.salt);
    SecretBytes verifier(description.encryptedVerifier.size());
    fillRandom(verifier.bytes());

    Hasher sha1(HashAlgorithm::Sha1);
    SecretBytes passwordHash = iteratedPasswordHash(sha1, description.salt, password, 0);
    SecretBytes key = blockCipherKey(sha1, description, passwordHash, kVerifierBlock);
    Rc4 stream(key.bytes());
    std::copy(verifier.bytes().begin(), verifier.bytes().end(),
              description.encryptedVerifier.begin());
    stream.apply(description.encryptedVerifier);
    SecretBytes verifierHash = sha1.hash({verifier.bytes()});
    description.encryptedVerifierHash.assign(verifierHash.bytes().begin(),
                                             verifierHash.bytes().end());
    stream.apply(description.encryptedVerifierHash);

    size_t headerSize = kHeaderProviderName + 2 * (kNewProviderName.size() + 1);
    size_t verifierOffset = kHeaderOffset + headerSize;
    std::vector<uint8_t> bytes(verifierOffset + kVerifierHash + kSha1Size, 0);
    uint32_t flags = kFlagCryptoApi | kFlagDocProps;
    writeU16LE(bytes, 0, 4);
    writeU16LE(bytes, 2, 2);
    writeU32LE(bytes, kFlagsOffset, flags);
    writeU32LE(bytes, kHeaderSizeOffset, static_cast<uint32_t>(headerSize));
    MutableBytes header = MutableBytes(bytes).subspan(kHeaderOffset, headerSize);
    writeU32LE(header, kHeaderFlags, flags);
    writeU32LE(header, kHeaderAlgorithm, kAlgorithmRc4);
    writeU32LE(header, kHeaderHashAlgorithm, kHashSha1);
    writeU32LE(header, kHeaderKeySize, kNewKeyBits);
    writeU32LE(header, kHeaderProviderType, kNewProviderType);
    for (size_t index = 0; index < kNewProviderName.size(); ++index) {
        writeU16LE(header, kHeaderProviderName + 2 * index, kNewProviderName[index]);
    }
    MutableBytes verifierBytes = MutableBytes(bytes).subspan(verifierOffset);
    writeU32LE(verifierBytes, 0, kSaltSize);
    std::copy(description.salt.begin(), description.salt.end(),
              verifierBytes.begin() + kVerifierSalt);
    std::copy(description.encryptedVerifier.begin(), description.encryptedVerifier.end(),
              verifierBytes.begin() + kVerifierEncrypted);
    writeU32LE(verifierBytes, kVerifierHashSize, kSha1Size);
    std::copy(description.encryptedVerifierHash.begin(), description.encryptedVerifierHash.end(),
              verifierBytes.begin() + kVerifierHash);

    NewEncryption result;
    result.encodingKey = encodingKey;
    result.description = std::move(bytes);
    result.codec =
        std::make_unique<CryptoApiCodec>(description, std::move(passwordHash), encodingKey);
    return result;
}

}  // namespace engine::storage

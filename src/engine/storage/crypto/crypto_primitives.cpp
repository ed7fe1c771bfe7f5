#include "engine/storage/crypto/crypto_primitives.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace engine::storage {

namespace {

[[noreturn]] void libraryFailed(const char* what) {
    throw EngineError(ErrorCode::Internal, std::string("the cryptography library failed: ") + what);
}

const char* hashName(HashAlgorithm algorithm) {
    switch (algorithm) {
        case HashAlgorithm::Sha1:
            return "SHA1";
        case HashAlgorithm::Sha256:
            return "SHA256";
        case HashAlgorithm::Sha384:
            return "SHA384";
        case HashAlgorithm::Sha512:
            return "SHA512";
    }
    return "?";
}

const char* aesName(size_t keyBytes, CipherMode mode) {
    bool cbc = mode == CipherMode::Cbc;
    switch (keyBytes) {
        case 16:
            return cbc ? "AES-128-CBC" : "AES-128-ECB";
        case 24:
            return cbc ? "AES-192-CBC" : "AES-192-ECB";
        case 32:
            return cbc ? "AES-256-CBC" : "AES-256-ECB";
        default:
            throw EngineError(ErrorCode::Internal,
                              "AES key of " + std::to_string(keyBytes) + " bytes");
    }
}

}  // namespace

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        wipe();
        m_bytes = std::move(other.m_bytes);
        other.m_bytes.clear();
    }
    return *this;
}

SecretBytes::~SecretBytes() { wipe(); }

void SecretBytes::wipe() {
    if (!m_bytes.empty()) OPENSSL_cleanse(m_bytes.data(), m_bytes.size());
}

size_t hashSize(HashAlgorithm algorithm) {
    switch (algorithm) {
        case HashAlgorithm::Sha1:
            return 20;
        case HashAlgorithm::Sha256:
            return 32;
        case HashAlgorithm::Sha384:
            return 48;
        case HashAlgorithm::Sha512:
            return 64;
    }
    return 0;
}

Hasher::Hasher(HashAlgorithm algorithm) : m_size(hashSize(algorithm)) {
    m_algorithm = EVP_MD_fetch(nullptr, hashName(algorithm), nullptr);
    m_context = EVP_MD_CTX_new();
    if (m_algorithm == nullptr || m_context == nullptr) {
        EVP_MD_free(m_algorithm);
        EVP_MD_CTX_free(m_context);
        libraryFailed(hashName(algorithm));
    }
}

Hasher::~Hasher() {
    EVP_MD_CTX_free(m_context);
    EVP_MD_free(m_algorithm);
}

void Hasher::hash(std::initializer_list<Bytes> parts, MutableBytes out) {
    if (out.size() != m_size) {
        throw EngineError(ErrorCode::Internal, "hash output of the wrong size");
    }
    if (EVP_DigestInit_ex2(m_context, m_algorithm, nullptr) != 1) libraryFailed("digest init");
    for (Bytes part : parts) {
        if (EVP_DigestUpdate(m_context, part.data(), part.size()) != 1) {
            libraryFailed("digest update");
        }
    }
    if (EVP_DigestFinal_ex(m_context, out.data(), nullptr) != 1) libraryFailed("digest final");
}

SecretBytes Hasher::hash(std::initializer_list<Bytes> parts) {
    SecretBytes out(m_size);
    hash(parts, out.bytes());
    return out;
}

AesCipher::AesCipher(size_t keyBytes, CipherMode mode, CipherDirection direction)
    : m_keyBytes(keyBytes), m_mode(mode), m_direction(direction) {
    const char* name = aesName(keyBytes, mode);
    m_cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
    m_context = EVP_CIPHER_CTX_new();
    if (m_cipher == nullptr || m_context == nullptr) {
        EVP_CIPHER_free(m_cipher);
        EVP_CIPHER_CTX_free(m_context);
        libraryFailed(name);
    }
}

AesCipher::~AesCipher() {
    EVP_CIPHER_CTX_free(m_context);
    EVP_CIPHER_free(m_cipher);
}

void AesCipher::apply(Bytes key, Bytes iv, MutableBytes data) {
    size_t ivSize = m_mode == CipherMode::Cbc ? kBlockSize : 0;
    if (key.size() != m_keyBytes || iv.size() != ivSize || data.size() % kBlockSize != 0) {
        throw EngineError(ErrorCode::Internal, "AES called with inconsistent sizes");
    }
    int encrypt = m_direction == CipherDirection::Encrypt ? 1 : 0;
    if (EVP_CipherInit_ex2(m_context, m_cipher, key.data(), ivSize ? iv.data() : nullptr, encrypt,
                           nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(m_context, 0) != 1) {
        libraryFailed("cipher init");
    }
    // Pages are far below INT_MAX bytes; the library counts in int.
    int written = 0;
    if (EVP_CipherUpdate(m_context, data.data(), &written, data.data(),
                         static_cast<int>(data.size())) != 1 ||
        static_cast<size_t>(written) != data.size()) {
        libraryFailed("cipher update");
    }
    int tail = 0;
    if (EVP_CipherFinal_ex(m_context, data.data() + written, &tail) != 1 || tail != 0) {
        libraryFailed("cipher final");
    }
}

void fillRandom(MutableBytes out) {
    if (!out.empty() && RAND_bytes(out.data(), static_cast<int>(out.size())) != 1) {
        libraryFailed("random bytes");
    }
}

std::vector<uint8_t> randomBytes(size_t count) {
    std::vector<uint8_t> bytes(count);
    fillRandom(bytes);
    return bytes;
}

bool constantTimeEqual(Bytes left, Bytes right) {
    if (left.size() != right.size()) return false;
    return CRYPTO_memcmp(left.data(), right.data(), left.size()) == 0;
}

}  // namespace engine::storage

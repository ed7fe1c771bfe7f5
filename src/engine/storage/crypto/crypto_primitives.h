// The few pieces of libcrypto the page codecs use: hashes, AES without padding, random bytes,
// constant-time comparison, and a buffer for key material that is wiped when it goes away.
// Each wrapper keeps its libcrypto context so that per-page work allocates nothing.
//
// None of these objects may be used from two threads at once.
#pragma once

#include "engine/storage/byte_order.h"

#include <initializer_list>
#include <openssl/types.h>
#include <vector>

namespace engine::storage {

// Passwords, derived keys and intermediate hashes. Move-only; zeroed on destruction.
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(size_t size) : m_bytes(size) {}
    explicit SecretBytes(Bytes bytes) : m_bytes(bytes.begin(), bytes.end()) {}
    SecretBytes(SecretBytes&& other) noexcept = default;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    ~SecretBytes();

    size_t size() const { return m_bytes.size(); }
    Bytes bytes() const { return m_bytes; }
    MutableBytes bytes() { return m_bytes; }

private:
    void wipe();

    std::vector<uint8_t> m_bytes;
};

enum class HashAlgorithm { Sha1, Sha256, Sha384, Sha512 };

size_t hashSize(HashAlgorithm algorithm);

class Hasher {
public:
    explicit Hasher(HashAlgorithm algorithm);
    ~Hasher();
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;

    size_t size() const { return m_size; }
    // Writes the hash of the parts, concatenated, into out. out may be one of the parts.
    // REQUIRES: out.size() == size().
    void hash(std::initializer_list<Bytes> parts, MutableBytes out);
    SecretBytes hash(std::initializer_list<Bytes> parts);

private:
    EVP_MD* m_algorithm = nullptr;
    EVP_MD_CTX* m_context = nullptr;
    size_t m_size = 0;
};

enum class CipherMode { Cbc, Ecb };
enum class CipherDirection { Encrypt, Decrypt };

// AES over whole 16-byte blocks, in place, without padding. The key is given with each call
// because some schemes change it per page; setting it up again costs far less than a page.
class AesCipher {
public:
    static constexpr size_t kBlockSize = 16;

    // REQUIRES: keyBytes is 16, 24 or 32.
    AesCipher(size_t keyBytes, CipherMode mode, CipherDirection direction);
    ~AesCipher();
    AesCipher(const AesCipher&) = delete;
    AesCipher& operator=(const AesCipher&) = delete;

    // REQUIRES: key.size() is the constructor's keyBytes; iv is 16 bytes for CBC and empty for
    // ECB; data.size() is a multiple of 16.
    void apply(Bytes key, Bytes iv, MutableBytes data);

private:
    size_t m_keyBytes;
    CipherMode m_mode;
    CipherDirection m_direction;
    EVP_CIPHER* m_cipher = nullptr;
    EVP_CIPHER_CTX* m_context = nullptr;
};

// Bytes from the operating system's cryptographic random source.
void fillRandom(MutableBytes out);
std::vector<uint8_t> randomBytes(size_t count);

// True when both have the same length and content; the time taken does not depend on where
// they differ.
bool constantTimeEqual(Bytes left, Bytes right);

}  // namespace engine::storage

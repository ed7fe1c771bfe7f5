#include "engine/storage/crypto/cryptoapi_encryption.h"

#include <gtest/gtest.h>
#include <string_view>

namespace engine::storage {
namespace {

constexpr const char* kPassword = "P\xC3\xA4sswort 1";
constexpr uint32_t kEncodingKey = 0x12345678;
constexpr PageNumber kPage = 5;
constexpr std::u16string_view kProvider = u"Test Provider";

// The fields a test varies; the salt is 00 01 .. 0F and the plain verifier 40 41 .. 4F.
struct Layout {
    uint32_t flags;
    uint32_t algorithm;
    uint32_t keyBits;
    std::vector<uint8_t> encryptedVerifier;
    std::vector<uint8_t> encryptedVerifierHash;
    uint32_t saltSize = 16;
    uint32_t hashAlgorithm = 0x8004;
};

std::vector<uint8_t> describe(const Layout& layout) {
    size_t headerSize = 32 + 2 * (kProvider.size() + 1);
    std::vector<uint8_t> bytes(12 + headerSize + 40, 0);
    writeU16LE(bytes, 0, 4);
    writeU16LE(bytes, 2, 2);
    writeU32LE(bytes, 4, layout.flags);
    writeU32LE(bytes, 8, static_cast<uint32_t>(headerSize));
    writeU32LE(bytes, 12, layout.flags);
    writeU32LE(bytes, 20, layout.algorithm);
    writeU32LE(bytes, 24, layout.hashAlgorithm);
    writeU32LE(bytes, 28, layout.keyBits);
    writeU32LE(bytes, 32, 1);
    for (size_t index = 0; index < kProvider.size(); ++index) {
        writeU16LE(bytes, 44 + 2 * index, kProvider[index]);
    }
    size_t verifier = 12 + headerSize;
    writeU32LE(bytes, verifier, layout.saltSize);
    for (uint8_t index = 0; index < 16; ++index) bytes[verifier + 4 + index] = index;
    std::copy(layout.encryptedVerifier.begin(), layout.encryptedVerifier.end(),
              bytes.begin() + static_cast<std::ptrdiff_t>(verifier + 20));
    writeU32LE(bytes, verifier + 36, 20);
    bytes.resize(verifier + 40);
    bytes.insert(bytes.end(), layout.encryptedVerifierHash.begin(),
                 layout.encryptedVerifierHash.end());
    return bytes;
}

std::vector<uint8_t> utf16(std::u16string_view text) {
    std::vector<uint8_t> bytes(text.size() * 2);
    for (size_t index = 0; index < text.size(); ++index) writeU16LE(bytes, 2 * index, text[index]);
    return bytes;
}

const std::vector<uint8_t> kPasswordUtf16 = utf16(u"P\u00E4sswort 1");

struct KnownAnswer {
    const char* name;
    Layout layout;
    std::vector<uint8_t> pagePrefix;  // the first 32 bytes of page kPage of zeros, encoded
};

// Computed separately with Python's hashlib, an RC4 written in Python and the openssl
// command's AES, from the rules in cryptoapi_encryption.h.
const KnownAnswer kKnownAnswers[] = {
    {"RC4 40-bit",
     {0x04,
      0x6801,
      40,
      {0x67, 0x9F, 0x9C, 0x8F, 0x72, 0x18, 0xEB, 0x3B, 0x0C, 0xE2, 0x58, 0xD9, 0x2D, 0x24, 0xDE,
       0x5E},
      {0x5C, 0x00, 0x4F, 0x9D, 0x1B, 0xF3, 0x10, 0x7E, 0xB7, 0x0C,
       0xA2, 0x2C, 0x30, 0x06, 0xAC, 0xBD, 0xC3, 0x05, 0xCB, 0x5F}},
     {0x2E, 0x10, 0x10, 0x94, 0xF4, 0xA0, 0x25, 0xF1, 0x63, 0xF9, 0xDA,
      0x85, 0x0C, 0x28, 0x91, 0x40, 0xCA, 0xBF, 0x22, 0xAE, 0xE0, 0x57,
      0x20, 0xD8, 0xDC, 0xC1, 0xA1, 0x41, 0x78, 0x08, 0x73, 0x16}},
    {"RC4 128-bit",
     {0x0C,
      0x6801,
      128,
      {0x02, 0xCD, 0xD9, 0x2A, 0x37, 0x76, 0xCF, 0x82, 0x45, 0x74, 0x0C, 0x40, 0x62, 0x95, 0xCE,
       0x14},
      {0x5A, 0x98, 0x42, 0x3A, 0x54, 0x55, 0xD2, 0x07, 0x27, 0xFD,
       0x34, 0x97, 0x91, 0xEE, 0x77, 0xCB, 0xA6, 0x5A, 0x61, 0x3C}},
     {0x1A, 0x65, 0xB3, 0xE5, 0xBF, 0x92, 0x80, 0xC2, 0x28, 0x9C, 0xBB,
      0x1C, 0x0A, 0xAD, 0xC7, 0x4B, 0x33, 0x09, 0x66, 0xA6, 0xB2, 0x90,
      0xF8, 0x15, 0xEA, 0x4C, 0x38, 0x03, 0x8C, 0x5B, 0xBD, 0xD6}},
    {"AES-128 with fAES (50,000 iterations)",
     {0x24,
      0x660E,
      128,
      {0xCB, 0xF3, 0xD1, 0x37, 0xBA, 0x9B, 0x3A, 0x89, 0x25, 0x31, 0xC5, 0xCA, 0x8D, 0x99, 0xC2,
       0xD6},
      {0xBC, 0x00, 0xC8, 0xF6, 0x55, 0x34, 0xC1, 0xB5, 0x5D, 0x8B, 0xD7,
       0xFC, 0x2F, 0xB2, 0x1D, 0xB8, 0x94, 0xE4, 0xC6, 0x8A, 0xC1, 0x45,
       0x8C, 0x47, 0xB1, 0xDE, 0xF0, 0x98, 0x80, 0xD0, 0x02, 0x18}},
     {0x82, 0x36, 0xF4, 0xCF, 0xAD, 0xD6, 0x35, 0xC0, 0xF8, 0xF0, 0xCD,
      0x5B, 0xAA, 0xE1, 0x0D, 0x9C, 0x82, 0x36, 0xF4, 0xCF, 0xAD, 0xD6,
      0x35, 0xC0, 0xF8, 0xF0, 0xCD, 0x5B, 0xAA, 0xE1, 0x0D, 0x9C}},
    {"AES-256 without fAES (no iterations)",
     {0x0C,
      0x6610,
      256,
      {0xC4, 0x1D, 0xB2, 0xF5, 0xC0, 0x4E, 0x81, 0xFA, 0xE5, 0x41, 0x36, 0xE4, 0xA1, 0xDF, 0xF4,
       0x26},
      {0x97, 0xCD, 0x7B, 0x6A, 0x42, 0xC8, 0xBE, 0xEF, 0xF0, 0x9D, 0xA9,
       0xC1, 0xD1, 0x96, 0x7C, 0x57, 0x92, 0x55, 0x4E, 0x0E, 0x53, 0x38,
       0x55, 0x34, 0x59, 0xE9, 0xC6, 0x8B, 0xEA, 0xC5, 0x37, 0x7E}},
     {0x0B, 0xCE, 0x4E, 0xD5, 0xC2, 0xE7, 0xB1, 0x86, 0x4A, 0x6F, 0xB0,
      0x05, 0xDD, 0xDE, 0x3E, 0xD3, 0x0B, 0xCE, 0x4E, 0xD5, 0xC2, 0xE7,
      0xB1, 0x86, 0x4A, 0x6F, 0xB0, 0x05, 0xDD, 0xDE, 0x3E, 0xD3}},
};

TEST(CryptoApiEncryption, matchesKnownAnswersForEachCipher) {
    for (const KnownAnswer& known : kKnownAnswers) {
        CryptoApiDescription description = parseCryptoApiDescription(describe(known.layout));
        auto codec = unlockCryptoApi(description, kEncodingKey, kPasswordUtf16);
        ASSERT_NE(codec, nullptr) << known.name;
        std::vector<uint8_t> page(4096, 0);
        codec->encode(kPage, page);
        EXPECT_TRUE(std::equal(known.pagePrefix.begin(), known.pagePrefix.end(), page.begin()))
            << known.name;
        codec->decode(kPage, page);
        EXPECT_EQ(page, std::vector<uint8_t>(4096, 0)) << known.name;

        EXPECT_EQ(unlockCryptoApi(description, kEncodingKey, utf16(u"P\u00E4sswort 2")), nullptr)
            << known.name;
        EXPECT_EQ(unlockCryptoApi(description, kEncodingKey, {}), nullptr) << known.name;
    }
}

TEST(CryptoApiEncryption, newDescriptionReadsBackWithItsPassword) {
    NewEncryption created = createRc4CryptoApi(kPasswordUtf16, kEncodingKey);
    CryptoApiDescription description = parseCryptoApiDescription(created.description);
    EXPECT_EQ(description.cipher, CryptoApiDescription::Cipher::Rc4);
    EXPECT_EQ(description.keyBits, 128u);
    auto codec = unlockCryptoApi(description, kEncodingKey, kPasswordUtf16);
    ASSERT_NE(codec, nullptr);
    EXPECT_EQ(unlockCryptoApi(description, kEncodingKey, utf16(u"p\u00E4sswort 1")), nullptr);

    std::vector<uint8_t> page(4096);
    for (size_t index = 0; index < page.size(); ++index) page[index] = static_cast<uint8_t>(index);
    const std::vector<uint8_t> plain = page;
    created.codec->encode(kPage, page);
    EXPECT_NE(page, plain);
    codec->decode(kPage, page);
    EXPECT_EQ(page, plain);
}

ErrorCode parseError(const std::vector<uint8_t>& description) {
    try {
        parseCryptoApiDescription(description);
    } catch (const EngineError& error) {
        return error.code();
    }
    return ErrorCode::Internal;  // no error at all
}

TEST(CryptoApiEncryption, rejectsDamagedOrUnsupportedDescriptions) {
    const Layout valid = kKnownAnswers[0].layout;
    auto changed = [&valid](auto change) {
        Layout layout = valid;
        change(layout);
        return describe(layout);
    };
    std::vector<uint8_t> hugeHeader = describe(valid);
    writeU32LE(hugeHeader, 8, 0xFFFFFFF0);
    std::vector<uint8_t> tinyHeader = describe(valid);
    writeU32LE(tinyHeader, 8, 8);
    const std::pair<const char*, std::vector<uint8_t>> damaged[] = {
        {"header size past the end", hugeHeader},
        {"header size too small", tinyHeader},
        {"RC4 key of 256 bits", changed([](Layout& l) { l.keyBits = 256; })},
        {"RC4 key of 44 bits", changed([](Layout& l) { l.keyBits = 44; })},
        {"AES-256 with a 128-bit key", changed([](Layout& l) { l.algorithm = 0x6610; })},
        {"salt size 8", changed([](Layout& l) { l.saltSize = 8; })},
        {"AES verifier hash of one block", changed([](Layout& l) {
             l.algorithm = 0x660E, l.keyBits = 128, l.encryptedVerifierHash.resize(16);
         })},
    };
    for (const auto& [what, description] : damaged) {
        EXPECT_EQ(parseError(description), ErrorCode::Corrupt) << what;
    }
    const std::pair<const char*, std::vector<uint8_t>> unsupported[] = {
        {"RC2", changed([](Layout& l) { l.algorithm = 0x6602; })},
        {"MD5", changed([](Layout& l) { l.hashAlgorithm = 0x8003; })},
        {"no CryptoAPI flag", changed([](Layout& l) { l.flags = 0x08; })},
        {"external provider", changed([](Layout& l) { l.flags = 0x14; })},
    };
    for (const auto& [what, description] : unsupported) {
        EXPECT_EQ(parseError(description), ErrorCode::NotSupported) << what;
    }
    std::vector<uint8_t> whole = describe(valid);
    for (size_t length = 0; length < whole.size(); ++length) {
        EXPECT_EQ(parseError(std::vector<uint8_t>(whole.begin(), whole.begin() + length)),
                  ErrorCode::Corrupt)
            << length;
    }
}

}  // namespace
}  // namespace engine::storage

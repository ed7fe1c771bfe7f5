#include "engine/storage/crypto/crypto_primitives.h"

#include "engine/storage/crypto/base64.h"
#include "engine/storage/crypto/rc4.h"

#include <gtest/gtest.h>
#include <string_view>

namespace engine::storage {
namespace {

Bytes text(std::string_view value) {
    return Bytes(reinterpret_cast<const uint8_t*>(value.data()), value.size());
}

std::vector<uint8_t> fromHex(std::string_view hex) {
    std::vector<uint8_t> bytes;
    for (size_t index = 0; index + 1 < hex.size(); index += 2) {
        bytes.push_back(
            static_cast<uint8_t>(std::stoi(std::string(hex.substr(index, 2)), nullptr, 16)));
    }
    return bytes;
}

// RFC 6229 test vectors: the key stream at several offsets, taken in uneven pieces so that the
// cipher's state must carry over from one call to the next.
TEST(Rc4, matchesTheRfc6229KeyStreams) {
    struct Case {
        std::vector<uint8_t> key;
        size_t offset;
        const char* stream;
    };
    const std::vector<uint8_t> key40 = {0x01, 0x02, 0x03, 0x04, 0x05};
    const std::vector<uint8_t> key128 = fromHex("0102030405060708090a0b0c0d0e0f10");
    const Case cases[] = {
        {key40, 0, "b2396305f03dc027ccc3524a0a1118a8"},
        {key40, 16, "6982944f18fc82d589c403a47a0d0919"},
        {key40, 240, "28cb1132c96ce286421dcaadb8b69eae"},
        {key40, 4080, "068326a2118416d21f9d04b2cd1ca050"},
        {key128, 0, "9ac7cc9a609d1ef7b2932899cde41b97"},
        {key128, 256, "d39d566bc6bce3010768151549f3873f"},
        {key128, 4080, "ff38265c1642c1abe8d3c2fe5e572bf8"},
    };
    for (const Case& test : cases) {
        std::vector<uint8_t> stream(test.offset + 16, 0);
        Rc4 cipher(test.key);
        size_t done = 0;
        for (size_t piece = 1; done < stream.size(); piece = piece * 3 + 1) {
            size_t length = std::min(piece, stream.size() - done);
            cipher.apply(std::span(stream).subspan(done, length));
            done += length;
        }
        EXPECT_EQ(std::vector<uint8_t>(stream.begin() + test.offset, stream.end()),
                  fromHex(test.stream))
            << "offset " << test.offset << ", key of " << test.key.size() << " bytes";
    }
}

TEST(Hasher, hashesConcatenatedPartsAndMayWriteOverItsInput) {
    Hasher sha1(HashAlgorithm::Sha1);
    EXPECT_EQ(sha1.size(), 20u);
    auto whole = sha1.hash({text("abc")});
    auto parts = sha1.hash({text("a"), text(""), text("bc")});
    EXPECT_EQ(std::vector<uint8_t>(whole.bytes().begin(), whole.bytes().end()),
              fromHex("a9993e364706816aba3e25717850c26c9cd0d89d"));
    EXPECT_TRUE(constantTimeEqual(whole.bytes(), parts.bytes()));

    Hasher sha512(HashAlgorithm::Sha512);
    SecretBytes chained = sha512.hash({text("abc")});
    EXPECT_EQ(chained.bytes()[0], 0xDD);  // SHA-512("abc") = ddaf35a1...
    EXPECT_EQ(chained.bytes()[63], 0x9F);
    SecretBytes copy{Bytes(chained.bytes())};
    sha512.hash({text("x"), chained.bytes()}, chained.bytes());
    SecretBytes separate = sha512.hash({text("x"), copy.bytes()});
    EXPECT_TRUE(constantTimeEqual(chained.bytes(), separate.bytes()));
}

TEST(AesCipher, encryptsTheFips197BlockAndResetsTheIvOnEveryCall) {
    const auto key = fromHex("000102030405060708090a0b0c0d0e0f");
    auto block = fromHex("00112233445566778899aabbccddeeff");
    AesCipher ecb(16, CipherMode::Ecb, CipherDirection::Encrypt);
    ecb.apply(key, {}, block);
    EXPECT_EQ(block, fromHex("69c4e0d86a7b0430d8cdb78070b4c55a"));
    AesCipher ecbBack(16, CipherMode::Ecb, CipherDirection::Decrypt);
    ecbBack.apply(key, {}, block);
    EXPECT_EQ(block, fromHex("00112233445566778899aabbccddeeff"));

    const auto key256 = fromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const auto iv = fromHex("000102030405060708090a0b0c0d0e0f");
    const auto plain = fromHex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
    AesCipher cbc(32, CipherMode::Cbc, CipherDirection::Encrypt);
    for (int round = 0; round < 2; ++round) {  // the same IV gives the same text each time
        auto data = plain;
        cbc.apply(key256, iv, data);
        // NIST SP 800-38A, F.2.5
        EXPECT_EQ(data,
                  fromHex("f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"));
    }
    auto wrongSize = plain;
    wrongSize.pop_back();
    EXPECT_THROW(cbc.apply(key256, iv, wrongSize), EngineError);
}

TEST(ConstantTimeEqual, needsEqualLengthAndContent) {
    EXPECT_TRUE(constantTimeEqual(text("abc"), text("abc")));
    EXPECT_FALSE(constantTimeEqual(text("abc"), text("abd")));
    EXPECT_FALSE(constantTimeEqual(text("abc"), text("abcd")));
    EXPECT_TRUE(constantTimeEqual({}, {}));
}

TEST(RandomBytes, differFromCallToCall) {
    EXPECT_NE(randomBytes(16), randomBytes(16));
    EXPECT_EQ(randomBytes(5).size(), 5u);
}

TEST(Base64, encodesAndDecodesTheRfc4648Examples) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (auto [plain, encoded] : cases) {
        EXPECT_EQ(encodeBase64(text(plain)), encoded);
        auto decoded = decodeBase64(encoded);
        ASSERT_TRUE(decoded.has_value()) << encoded;
        EXPECT_EQ(std::string(decoded->begin(), decoded->end()), plain);
        // The lenient form reads the same text split by white space, with or without padding.
        std::string scattered;
        for (char character : std::string_view(encoded)) {
            if (character != '=') scattered += std::string(1, character) + " \n";
        }
        decoded = decodeBase64(scattered, Base64Input::SkipOthers);
        ASSERT_TRUE(decoded.has_value()) << scattered;
        EXPECT_EQ(std::string(decoded->begin(), decoded->end()), plain);
    }
    std::vector<uint8_t> all(256);
    for (size_t index = 0; index < all.size(); ++index) all[index] = static_cast<uint8_t>(index);
    EXPECT_EQ(decodeBase64(encodeBase64(all)), all);
}

TEST(Base64, rejectsAnythingOutsideTheStrictForm) {
    for (const char* bad :
         {"Zg=", "Zg", "Z===", "Zm9v\n", " Zm9v", "Zm-v", "Zm9=v===", "=Zm9", "Zg=A"}) {
        EXPECT_FALSE(decodeBase64(bad).has_value()) << bad;
    }
    EXPECT_FALSE(decodeBase64(std::string_view("Zm\0v", 4)).has_value());
}

}  // namespace
}  // namespace engine::storage

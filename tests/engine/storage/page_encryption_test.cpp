#include "engine/storage/crypto/page_encryption.h"

#include "engine/storage/crypto/jet_rc4_codec.h"
#include "support/fixtures.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace engine::storage {
namespace {

constexpr const char* kAgileFixture = "ace14/encrypted-office-agile-4.4.accdb";
constexpr const char* kAgilePassword = "password";
// Blanks, punctuation and characters outside ASCII (a-umlaut, the euro sign).
constexpr const char* kUnusualPassword = " p\xC3\xA4 ss;w]rd \xE2\x82\xAC";

// A database file in memory, split into its header and pages.
struct DatabaseBytes {
    explicit DatabaseBytes(const std::string& fixture) {
        std::ifstream in(support::fixture(fixture), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        header = HeaderPage::parse(bytes, fixture);
    }
    size_t pageCount() const { return bytes.size() / header.pageSize(); }
    MutableBytes page(size_t number) {
        return MutableBytes(bytes).subspan(number * header.pageSize(), header.pageSize());
    }

    std::vector<uint8_t> bytes;
    HeaderPage header;
};

// The header after a trip through its raw, masked form, as a reader would see it.
HeaderPage reread(const HeaderPage& header) {
    return HeaderPage::parse(header.toRawPage(), "reread");
}

void expectInvalidPassword(const HeaderPage& header, const std::string& password) {
    try {
        openPageCodec(header, password);
        ADD_FAILURE() << "accepted the password '" << password << "'";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.code(), ErrorCode::InvalidPassword) << password;
        EXPECT_EQ(error.number(), 3031);
        EXPECT_STREQ(error.what(), "Not a valid password.");
    }
}

// Encrypts every page but 0 with the new codec, opens the result as a reader would and checks
// that the reader gets the plain pages back from bytes that differ from them.
void expectPagesRoundTrip(DatabaseBytes& database, const NewEncryption& encryption,
                          const std::string& password) {
    const std::vector<uint8_t> plain = database.bytes;
    for (size_t number = 1; number < database.pageCount(); ++number) {
        encryption.codec->encode(static_cast<PageNumber>(number), database.page(number));
    }
    database.header.setEncryption(encryption.encodingKey, encryption.description);
    HeaderPage stored = reread(database.header);
    EXPECT_EQ(stored.encodingKey(), encryption.encodingKey);
    EXPECT_FALSE(stored.hasPassword());
    auto codec = openPageCodec(stored, password);
    ASSERT_NE(codec, nullptr);
    for (size_t number = 1; number < database.pageCount(); ++number) {
        MutableBytes page = database.page(number);
        Bytes original = Bytes(plain).subspan(number * page.size(), page.size());
        EXPECT_FALSE(std::equal(page.begin(), page.end(), original.begin())) << number;
        codec->decode(static_cast<PageNumber>(number), page);
        EXPECT_TRUE(std::equal(page.begin(), page.end(), original.begin())) << number;
    }
}

TEST(PageEncryption, agileFixtureDecodesWithItsPassword) {
    DatabaseBytes database(kAgileFixture);
    auto codec = openPageCodec(database.header, kAgilePassword);
    ASSERT_NE(codec, nullptr);
    ASSERT_GT(database.pageCount(), 3u);
    for (size_t number = 1; number < database.pageCount(); ++number) {
        MutableBytes page = database.page(number);
        const std::vector<uint8_t> stored(page.begin(), page.end());
        codec->decode(static_cast<PageNumber>(number), page);
        // Data, table definition, index and usage-map pages; byte 1 is always 1.
        EXPECT_TRUE(page[0] >= 0x01 && page[0] <= 0x05 && page[1] == 0x01)
            << "page " << number << " starts " << int(page[0]) << " " << int(page[1]);
        std::vector<uint8_t> again(page.begin(), page.end());
        codec->encode(static_cast<PageNumber>(number), again);
        EXPECT_EQ(again, stored) << "page " << number;
    }
    EXPECT_EQ(database.page(1)[0], 0x01);  // the first data page
    EXPECT_EQ(database.page(2)[0], 0x02);  // MSysObjects' table definition
}

TEST(PageEncryption, everyOtherPasswordIsNotValid) {
    DatabaseBytes database(kAgileFixture);
    for (const char* wrong :
         {"", "Password", "password ", " password", "passwor", "p\xC3\xA4ssword"}) {
        expectInvalidPassword(database.header, wrong);
    }
    expectInvalidPassword(database.header, std::string(256, 'p'));
}

TEST(PageEncryption, filesInTheClearNeedNoPasswordAndIgnoreOne) {
    for (const char* fixture : {"jet3/testV1997.mdb", "jet4/testV2003.mdb",
                                "jet4/password-V2000_with-password.mdb", "ace14/testV2010.accdb"}) {
        DatabaseBytes database(fixture);
        EXPECT_EQ(openPageCodec(database.header, ""), nullptr) << fixture;
        EXPECT_EQ(openPageCodec(database.header, "anything"), nullptr) << fixture;
    }
}

TEST(PageEncryption, newAgileEncryptionOpensOnlyWithItsPassword) {
    DatabaseBytes database("ace14/empty2010.accdb");
    NewEncryption encryption = createAgileEncryption(kUnusualPassword);
    EXPECT_NE(encryption.encodingKey, 0u);
    expectPagesRoundTrip(database, encryption, kUnusualPassword);
    HeaderPage stored = reread(database.header);
    expectInvalidPassword(stored, std::string(kUnusualPassword).substr(1));
}

// The old password field holds the key's first byte, masked like a Jet password; checked on
// the file Access wrote and on a header this engine writes.
TEST(PageEncryption, oldPasswordFieldHoldsTheFillerAccessWrites) {
    auto fillerOf = [](const HeaderPage& header) {
        HeaderPage clear = header;
        clear.setPassword("");  // the mask alone
        std::vector<uint8_t> filler;
        for (size_t index = 0; index < kHeaderPasswordLengthJet4; ++index) {
            size_t offset = kHeaderPasswordOffset + index;
            filler.push_back(header.unmasked()[offset] ^ clear.unmasked()[offset]);
        }
        return filler;
    };
    DatabaseBytes accessFile(kAgileFixture);
    EXPECT_EQ(fillerOf(accessFile.header),
              std::vector<uint8_t>(40, static_cast<uint8_t>(accessFile.header.encodingKey())));

    DatabaseBytes database("ace14/empty2010.accdb");
    const std::vector<uint8_t> original = database.header.toRawPage();
    std::vector<uint8_t> description(accessFile.header.encryptionDescription().begin(),
                                     accessFile.header.encryptionDescription().end());
    database.header.setEncryption(0x5A6B7C8D, description);
    HeaderPage stored = reread(database.header);
    EXPECT_EQ(fillerOf(stored), std::vector<uint8_t>(40, 0x8D));
    EXPECT_TRUE(std::ranges::equal(stored.encryptionDescription(), description));

    stored.setEncryption(0x11223344, stored.encryptionDescription());  // its own description
    EXPECT_TRUE(std::ranges::equal(stored.encryptionDescription(), description));

    stored.setEncryption(0, {});
    EXPECT_EQ(stored.toRawPage(), original);  // back to the file as it was
}

TEST(PageEncryption, headerRefusesADescriptionThatDoesNotSuitIt) {
    DatabaseBytes jet("jet4/empty.mdb");
    DatabaseBytes ace("ace14/empty2010.accdb");
    std::vector<uint8_t> some(100, 1);
    std::vector<uint8_t> tooLong(kHeaderCryptoDataEnd - kHeaderCryptoDataOffset + 1, 1);
    EXPECT_THROW(jet.header.setEncryption(7, some), EngineError);
    EXPECT_THROW(ace.header.setEncryption(7, {}), EngineError);
    EXPECT_THROW(ace.header.setEncryption(0, some), EngineError);
    EXPECT_THROW(ace.header.setEncryption(7, tooLong), EngineError);
    tooLong.pop_back();
    EXPECT_NO_THROW(ace.header.setEncryption(7, tooLong));
}

TEST(PageEncryption, newRc4CryptoApiEncryptionOpensOnlyWithItsPassword) {
    DatabaseBytes database("ace12/empty2007.accdb");
    NewEncryption encryption = createRc4CryptoApiEncryption(kUnusualPassword);
    expectPagesRoundTrip(database, encryption, kUnusualPassword);
    expectInvalidPassword(reread(database.header), "");
    expectInvalidPassword(reread(database.header), std::string(kUnusualPassword) + " ");
}

TEST(PageEncryption, newJetEncodingOpensWithoutPassword) {
    DatabaseBytes database("jet4/testV2003.mdb");
    NewEncryption encryption = createJetEncoding();
    EXPECT_TRUE(encryption.description.empty());
    expectPagesRoundTrip(database, encryption, "");
}

TEST(PageEncryption, passwordsLongerThanOfficeAllowsAreRefused) {
    std::string longest(255, 'x');
    std::string tooLong = longest + "y";
    try {
        createAgileEncryption(tooLong);
        ADD_FAILURE() << "accepted a password of 256 characters";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.code(), ErrorCode::InvalidArgument);
        EXPECT_EQ(std::string(error.what()).find("xy"), std::string::npos);
    }
    EXPECT_THROW(createRc4CryptoApiEncryption(tooLong), EngineError);
    NewEncryption encryption = createRc4CryptoApiEncryption(longest);
    EXPECT_NE(encryption.codec, nullptr);
}

// Known answers computed separately (Python's RC4 of the key bytes LE32(key XOR page)).
TEST(JetRc4Codec, keysEachPageWithTheEncodingKeyXorItsNumber) {
    std::vector<uint8_t> page(2048, 0);
    JetRc4Codec codec(0x12345678);
    codec.encode(7, page);
    const std::vector<uint8_t> expected = {0xC8, 0x23, 0x09, 0x26, 0xA0, 0x01, 0xFF, 0x4A,
                                           0xF6, 0x9B, 0x03, 0x9D, 0xBD, 0x21, 0x95, 0xB5};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), page.begin()));
    std::vector<uint8_t> other(2048, 0);
    JetRc4Codec(0x12345678 ^ 7 ^ 0x01020304).encode(0x01020304, other);
    EXPECT_EQ(other, page);
    codec.decode(7, page);
    EXPECT_EQ(page, std::vector<uint8_t>(2048, 0));
}

}  // namespace
}  // namespace engine::storage

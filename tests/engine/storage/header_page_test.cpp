#include "engine/storage/header_page.h"

#include "support/fixtures.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace engine::storage {
namespace {

std::vector<uint8_t> firstPage(const std::string& fixture) {
    std::ifstream in(support::fixture(fixture), std::ios::binary);
    std::vector<uint8_t> bytes(4096);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

TEST(HeaderPage, detectsEveryFormatOfTheFixtures) {
    struct Case {
        const char* fixture;
        FileFormat format;
        uint8_t sortVersion;
    };
    const Case cases[] = {
        {"jet3/testV1997.mdb", FileFormat::Jet3, 0},
        {"jet4/testV2003.mdb", FileFormat::Jet4, 0},
        {"ace12/testV2007.accdb", FileFormat::Ace12, 0},
        {"ace14/testV2010.accdb", FileFormat::Ace14, 1},
        {"ace16/empty2016.accdb", FileFormat::Ace16, 1},
        {"ace17/empty2019.accdb", FileFormat::Ace17, 0},
    };
    for (const auto& test : cases) {
        auto header = HeaderPage::parse(firstPage(test.fixture), test.fixture);
        EXPECT_EQ(header.format(), test.format) << test.fixture;
        EXPECT_EQ(header.codePage(), 1252) << test.fixture;
        EXPECT_EQ(header.sortOrder().lcid, 0x0409) << test.fixture;
        EXPECT_EQ(header.sortOrder().version, test.sortVersion) << test.fixture;
        EXPECT_EQ(header.encodingKey(), 0u) << test.fixture;
        EXPECT_FALSE(header.hasPassword()) << test.fixture;
    }
}

TEST(HeaderPage, checksTheJet4PasswordExactly) {
    auto header = HeaderPage::parse(firstPage("jet4/password-V2000_with-password.mdb"), "p.mdb");
    ASSERT_TRUE(header.hasPassword());
    EXPECT_TRUE(header.passwordMatches("password"));
    EXPECT_FALSE(header.passwordMatches(""));
    EXPECT_FALSE(header.passwordMatches("Password"));
    EXPECT_FALSE(header.passwordMatches("password "));
    EXPECT_FALSE(header.passwordMatches("passwor"));
    EXPECT_FALSE(header.passwordMatches("password-and-far-more-than-twenty-characters"));
}

TEST(HeaderPage, newPasswordSurvivesMaskingRoundTrip) {
    auto header = HeaderPage::parse(firstPage("jet4/empty.mdb"), "empty.mdb");
    header.setPassword("p\xc3\xa4 ss;w]rd");
    auto reread = HeaderPage::parse(header.toRawPage(), "again.mdb");
    EXPECT_TRUE(reread.hasPassword());
    EXPECT_TRUE(reread.passwordMatches("p\xc3\xa4 ss;w]rd"));
    EXPECT_FALSE(reread.passwordMatches("pa ss;w]rd"));
    reread.setPassword("");
    EXPECT_FALSE(HeaderPage::parse(reread.toRawPage(), "none.mdb").hasPassword());
}

TEST(HeaderPage, encryptedAceFileReportsItsKeyAndDescription) {
    auto header =
        HeaderPage::parse(firstPage("ace14/encrypted-office-agile-4.4.accdb"), "enc.accdb");
    EXPECT_NE(header.encodingKey(), 0u);
    EXPECT_FALSE(header.hasPassword());
    auto description = header.encryptionDescription();
    ASSERT_GE(description.size(), 8u);
    EXPECT_EQ(readU16LE(description, 0), 4);  // agile encryption is version 4.4
    EXPECT_EQ(readU16LE(description, 2), 4);
}

TEST(HeaderPage, rejectsWhatIsNotADatabaseHeader) {
    std::vector<uint8_t> zeros(4096, 0);
    EXPECT_THROW(HeaderPage::parse(zeros, "zeros"), EngineError);
    std::vector<uint8_t> shortPage(100, 0);
    EXPECT_THROW(HeaderPage::parse(shortPage, "short"), EngineError);
    auto unknownVersion = firstPage("jet4/empty.mdb");
    unknownVersion[0x14] = 9;
    try {
        HeaderPage::parse(unknownVersion, "/tmp/x.mdb");
        FAIL() << "accepted version 9";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.code(), ErrorCode::UnrecognizedFormat);
        EXPECT_STREQ(error.what(), "Unrecognized database format '/tmp/x.mdb'.");
    }
    auto wrongEngineName = firstPage("ace12/empty2007.accdb");
    wrongEngineName[0x14] = 1;  // ACE name with a Jet 4 version byte
    EXPECT_THROW(HeaderPage::parse(wrongEngineName, "w"), EngineError);
}

}  // namespace
}  // namespace engine::storage

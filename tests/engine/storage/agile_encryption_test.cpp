#include "engine/storage/crypto/agile_encryption.h"

#include "engine/storage/crypto/page_encryption.h"
#include "engine/storage/header_page.h"
#include "support/fixtures.h"

#include <fstream>
#include <gtest/gtest.h>
#include <regex>

namespace engine::storage {
namespace {

constexpr size_t kXmlOffset = 8;

HeaderPage fixtureHeader() {
    std::ifstream in(support::fixture("ace14/encrypted-office-agile-4.4.accdb"), std::ios::binary);
    std::vector<uint8_t> page(4096);
    in.read(reinterpret_cast<char*>(page.data()), static_cast<std::streamsize>(page.size()));
    return HeaderPage::parse(page, "encrypted.accdb");
}

std::string fixtureXml() {
    HeaderPage header = fixtureHeader();
    Bytes description = header.encryptionDescription();
    return std::string(description.begin() + kXmlOffset, description.end());
}

std::vector<uint8_t> describedBy(const std::string& xml, uint32_t reserved = 0x40) {
    std::vector<uint8_t> description(kXmlOffset + xml.size());
    writeU16LE(description, 0, 4);
    writeU16LE(description, 2, 4);
    writeU32LE(description, 4, reserved);
    std::copy(xml.begin(), xml.end(), description.begin() + kXmlOffset);
    return description;
}

// The fixture's XML with one attribute's value replaced (its first occurrence after `after`).
std::string withAttribute(const std::string& name, const std::string& value,
                          const std::string& after = "<keyData") {
    std::string xml = fixtureXml();
    size_t start = xml.find(name + "=\"", xml.find(after));
    EXPECT_NE(start, std::string::npos) << name;
    start += name.size() + 2;
    return xml.replace(start, xml.find('"', start) - start, value);
}

ErrorCode parseError(const std::vector<uint8_t>& description) {
    try {
        parseAgileDescription(description);
    } catch (const EngineError& error) {
        return error.code();
    }
    return ErrorCode::Internal;  // no error at all
}

TEST(AgileEncryption, readsTheFixturesDescription) {
    AgileDescription description = parseAgileDescription(fixtureHeader().encryptionDescription());
    EXPECT_EQ(description.keyData.keyBits, 256u);
    EXPECT_EQ(description.keyData.hash, HashAlgorithm::Sha512);
    EXPECT_EQ(description.keyData.salt.size(), 16u);
    EXPECT_EQ(description.passwordKey.hashSize, 64u);
    EXPECT_EQ(description.spinCount, 100000u);
    EXPECT_EQ(description.encryptedVerifierHashInput.size(), 16u);
    EXPECT_EQ(description.encryptedVerifierHashValue.size(), 64u);
    EXPECT_EQ(description.encryptedKeyValue.size(), 32u);
    EXPECT_NE(description.keyData.salt, description.passwordKey.salt);
}

// Prefixes, attribute order, white space, an integrity element and a certificate encryptor do
// not change what is read, and the password still opens the file.
TEST(AgileEncryption, toleratesAnyPrefixOrderAndSpacing) {
    std::string xml = fixtureXml();
    auto replaceAll = [&xml](const std::string& from, const std::string& to) {
        for (size_t at = xml.find(from); at != std::string::npos;
             at = xml.find(from, at + to.size())) {
            xml.replace(at, from.size(), to);
        }
    };
    replaceAll("xmlns:p=", "xmlns:pw=");
    replaceAll("p:encryptedKey", "pw:encryptedKey");
    replaceAll(
        "<keyEncryptors>",
        "\n  <dataIntegrity encryptedHmacKey=\"AA==\" encryptedHmacValue=\"AA==\"/>\n"
        "  <keyEncryptors>\n    <keyEncryptor uri=\"http://schemas.microsoft.com/office/2006/"
        "keyEncryptor/certificate\"><c:encryptedKey/></keyEncryptor>");
    replaceAll("\" ", "\"\n\t   ");
    // Move spinCount to the end of its element.
    std::smatch spin;
    ASSERT_TRUE(std::regex_search(xml, spin, std::regex(" spinCount=\"100000\"")));
    std::string moved = spin.str();
    xml.erase(static_cast<size_t>(spin.position()), moved.size());
    xml.insert(xml.find("/></keyEncryptor></keyEncryptors>"), moved);

    HeaderPage header = fixtureHeader();
    AgileDescription original = parseAgileDescription(header.encryptionDescription());
    AgileDescription reformatted = parseAgileDescription(describedBy(xml));
    EXPECT_EQ(reformatted.spinCount, original.spinCount);
    EXPECT_EQ(reformatted.keyData.salt, original.keyData.salt);
    EXPECT_EQ(reformatted.encryptedKeyValue, original.encryptedKeyValue);

    header.setEncryption(header.encodingKey(), describedBy(xml));
    EXPECT_NE(openPageCodec(HeaderPage::parse(header.toRawPage(), "r"), "password"), nullptr);
}

TEST(AgileEncryption, newDescriptionHasTheShapeAccessWrites) {
    NewEncryption created = createAgileEncryption("secret");
    ASSERT_GT(created.description.size(), kXmlOffset);
    std::string xml(created.description.begin() + kXmlOffset, created.description.end());
    std::regex base64Value(
        "(saltValue|encryptedVerifierHashInput|encryptedVerifierHashValue|"
        "encryptedKeyValue)=\"[A-Za-z0-9+/=]+\"");
    EXPECT_EQ(std::regex_replace(xml, base64Value, "$1=\"\""),
              std::regex_replace(fixtureXml(), base64Value, "$1=\"\""));
    HeaderPage access = fixtureHeader();
    Bytes accessDescription = access.encryptionDescription();
    EXPECT_EQ(created.description.size(), accessDescription.size());
    EXPECT_TRUE(std::equal(created.description.begin(), created.description.begin() + kXmlOffset,
                           accessDescription.begin()));
}

TEST(AgileEncryption, everyTruncationIsReportedAsDamage) {
    HeaderPage header = fixtureHeader();
    Bytes description = header.encryptionDescription();
    for (size_t length = 0; length < description.size(); ++length) {
        try {
            parseAgileDescription(description.first(length));
            ADD_FAILURE() << "accepted " << length << " bytes";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::Corrupt) << length;
        }
    }
}

// Damaged values are refused while the description is read, before any key is derived: a spin
// count past the cap never reaches the hashing.
TEST(AgileEncryption, rejectsDamagedValuesBeforeDerivingKeys) {
    const std::pair<std::string, std::vector<uint8_t>> damaged[] = {
        {"reserved value", describedBy(fixtureXml(), 0x41)},
        {"not XML", describedBy("encryption")},
        {"other root", describedBy("<encryption/>")},
        {"spin count 2^31", describedBy(withAttribute("spinCount", "2147483648", "<p:"))},
        {"spin count 2^64", describedBy(withAttribute("spinCount", "18446744073709551616", "<p:"))},
        {"spin count past the cap", describedBy(withAttribute("spinCount", "10000001", "<p:"))},
        {"negative spin count", describedBy(withAttribute("spinCount", "-1", "<p:"))},
        {"spin count with a sign", describedBy(withAttribute("spinCount", "+5", "<p:"))},
        {"empty spin count", describedBy(withAttribute("spinCount", "", "<p:"))},
        {"salt size 0", describedBy(withAttribute("saltSize", "0"))},
        {"huge salt size", describedBy(withAttribute("saltSize", "4294967296"))},
        {"salt size not matching", describedBy(withAttribute("saltSize", "17"))},
        {"key bits", describedBy(withAttribute("keyBits", "160"))},
        {"huge key bits", describedBy(withAttribute("keyBits", "65536"))},
        {"block size", describedBy(withAttribute("blockSize", "8"))},
        {"hash size", describedBy(withAttribute("hashSize", "20"))},
        {"salt not base64", describedBy(withAttribute("saltValue", "DAyc3C2Oxxe+SnWgRTYBQQ="))},
        {"key not base64", describedBy(withAttribute("encryptedKeyValue", "s!Ei", "<p:"))},
        {"key too short",
         describedBy(withAttribute("encryptedKeyValue", "AAAAAAAAAAAAAAAAAAAAAA==", "<p:"))},
        {"verifier not whole blocks",
         describedBy(withAttribute("encryptedVerifierHashInput", "AAAA", "<p:"))},
        {"no spin count",
         describedBy(std::regex_replace(fixtureXml(), std::regex(" spinCount=\"100000\""), ""))},
    };
    for (const auto& [what, description] : damaged) {
        EXPECT_EQ(parseError(description), ErrorCode::Corrupt) << what;
    }
    EXPECT_NO_THROW(
        parseAgileDescription(describedBy(withAttribute("spinCount", "10000000", "<p:"))));
}

TEST(AgileEncryption, namesWhatItCannotOpen) {
    const std::pair<std::string, std::string> unsupported[] = {
        {withAttribute("cipherAlgorithm", "RC2"), "RC2"},
        {withAttribute("cipherChaining", "ChainingModeCFB"), "ChainingModeCFB"},
        {withAttribute("hashAlgorithm", "MD5", "<p:"), "MD5"},
        {withAttribute("uri", "http://schemas.microsoft.com/office/2006/keyEncryptor/certificate",
                       "<keyEncryptor "),
         "certificates"},
    };
    for (const auto& [xml, named] : unsupported) {
        try {
            parseAgileDescription(describedBy(xml));
            ADD_FAILURE() << "accepted " << named;
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::NotSupported) << named;
            EXPECT_NE(std::string(error.what()).find(named), std::string::npos) << error.what();
        }
    }
}

// The front reads the version first and names schemes it cannot open.
TEST(AgileEncryption, otherOfficeVersionsAreNamedNotGuessed) {
    struct Case {
        uint16_t major;
        uint16_t minor;
        const char* named;
    };
    for (Case test : {Case{4, 3, "extensible"}, Case{3, 3, "extensible"}, Case{1, 1, "binary RC4"},
                      Case{9, 9, "version 9.9"}, Case{4, 5, "version 4.5"}}) {
        HeaderPage header = fixtureHeader();
        std::vector<uint8_t> description(64, 0);
        writeU16LE(description, 0, test.major);
        writeU16LE(description, 2, test.minor);
        header.setEncryption(header.encodingKey(), description);
        try {
            openPageCodec(header, "password");
            ADD_FAILURE() << test.named;
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::NotSupported) << test.named;
            EXPECT_NE(std::string(error.what()).find(test.named), std::string::npos)
                << error.what();
        }
    }
}

TEST(AgileEncryption, descriptionLengthsBeyondThePageAreDamage) {
    HeaderPage header = fixtureHeader();
    for (uint16_t length : {uint16_t{0}, uint16_t{3}, uint16_t{0xFFFF}}) {
        std::vector<uint8_t> raw = header.toRawPage();
        writeU16LE(raw, kHeaderCryptoLengthOffset, length);
        HeaderPage damaged = HeaderPage::parse(raw, "damaged");
        try {
            openPageCodec(damaged, "password");
            ADD_FAILURE() << length;
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::Corrupt) << length;
        }
    }
}

}  // namespace
}  // namespace engine::storage

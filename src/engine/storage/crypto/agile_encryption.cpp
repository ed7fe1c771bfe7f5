#include "engine/storage/crypto/agile_encryption.h"

#include "engine/storage/crypto/base64.h"
#include "engine/storage/crypto/jet_rc4_codec.h"
#include "engine/storage/crypto/xml_element.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>

namespace engine::storage {

namespace {

constexpr std::string_view kEncryptionNamespace =
    "http://schemas.microsoft.com/office/2006/encryption";
constexpr std::string_view kPasswordNamespace =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/password";
constexpr std::string_view kCertificateNamespace =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/certificate";
constexpr uint32_t kReserved = 0x40;
constexpr size_t kReservedOffset = 4;
constexpr size_t kXmlOffset = 8;
constexpr uint32_t kMaxSaltSize = 65536;
constexpr uint8_t kKeyPadding = 0x36;

constexpr std::array<uint8_t, 8> kVerifierInputBlock = {0xFE, 0xA7, 0xD2, 0x76,
                                                        0x3B, 0x4B, 0x9E, 0x79};
constexpr std::array<uint8_t, 8> kVerifierHashBlock = {0xD7, 0xAA, 0x0F, 0x6D,
                                                       0x30, 0x61, 0x34, 0x4E};
constexpr std::array<uint8_t, 8> kKeyValueBlock = {0x14, 0x6E, 0x0B, 0xE7, 0xAB, 0xAC, 0xD0, 0xD6};

struct HashName {
    HashAlgorithm algorithm;
    std::string_view name;
};
constexpr std::array<HashName, 4> kHashNames = {{{HashAlgorithm::Sha1, "SHA1"},
                                                 {HashAlgorithm::Sha256, "SHA256"},
                                                 {HashAlgorithm::Sha384, "SHA384"},
                                                 {HashAlgorithm::Sha512, "SHA512"}}};

// A value taken from the file, made safe to show in a message.
std::string shown(std::string_view value) {
    std::string text = "'";
    for (char character : value.substr(0, 40)) {
        text += (character >= 0x20 && character < 0x7F) ? character : '?';
    }
    return text + (value.size() > 40 ? "...'" : "'");
}

const std::string& requireAttribute(const XmlElement& element, std::string_view name) {
    const std::string* value = element.attribute(name);
    if (value == nullptr) {
        throwDamagedDescription(element.name + " has no attribute " + std::string(name));
    }
    return *value;
}

uint32_t readNumber(const XmlElement& element, std::string_view name, uint32_t minimum,
                    uint32_t maximum) {
    const std::string& text = requireAttribute(element, name);
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    bool digitsOnly = !text.empty() && text[0] >= '0' && text[0] <= '9';
    if (!digitsOnly || error != std::errc() || end != text.data() + text.size() ||
        value < minimum || value > maximum) {
        throwDamagedDescription(element.name + " has " + std::string(name) + "=" + shown(text) +
                                ", outside " + std::to_string(minimum) + " to " +
                                std::to_string(maximum));
    }
    return static_cast<uint32_t>(value);
}

std::vector<uint8_t> readBinary(const XmlElement& element, std::string_view name) {
    auto bytes = decodeBase64(requireAttribute(element, name));
    if (!bytes) {
        throwDamagedDescription(element.name + " has a " + std::string(name) +
                                " that is not base64");
    }
    return std::move(*bytes);
}

AgileCipherParameters readCipherParameters(const XmlElement& element) {
    const std::string& cipher = requireAttribute(element, "cipherAlgorithm");
    if (cipher != "AES") {
        throwUnsupportedEncryption("agile encryption using the cipher " + shown(cipher));
    }
    const std::string& chaining = requireAttribute(element, "cipherChaining");
    if (chaining != "ChainingModeCBC") {
        throwUnsupportedEncryption("agile encryption using the chaining " + shown(chaining));
    }
    const std::string& hashName = requireAttribute(element, "hashAlgorithm");
    auto hash = std::find_if(kHashNames.begin(), kHashNames.end(),
                             [&](const HashName& known) { return known.name == hashName; });
    if (hash == kHashNames.end()) {
        throwUnsupportedEncryption("agile encryption using the hash " + shown(hashName));
    }

    AgileCipherParameters parameters;
    parameters.hash = hash->algorithm;
    uint32_t expectedHashSize = static_cast<uint32_t>(hashSize(hash->algorithm));
    parameters.hashSize = readNumber(element, "hashSize", expectedHashSize, expectedHashSize);
    uint32_t blockSize = AesCipher::kBlockSize;
    parameters.blockSize = readNumber(element, "blockSize", blockSize, blockSize);
    parameters.keyBits = readNumber(element, "keyBits", 128, 256);
    if (parameters.keyBits % 64 != 0) {
        throwDamagedDescription(element.name + " asks for an AES key of " +
                                std::to_string(parameters.keyBits) + " bits");
    }
    parameters.saltSize = readNumber(element, "saltSize", 1, kMaxSaltSize);
    parameters.salt = readBinary(element, "saltValue");
    if (parameters.salt.size() != parameters.saltSize) {
        throwDamagedDescription(element.name + "'s salt does not have saltSize bytes");
    }
    return parameters;
}

// One encrypted value: whole blocks, enough of them for the plain value.
std::vector<uint8_t> readEncryptedValue(const XmlElement& element, std::string_view name,
                                        size_t plainSize) {
    std::vector<uint8_t> value = readBinary(element, name);
    if (value.size() % AesCipher::kBlockSize != 0 || value.size() < plainSize) {
        throwDamagedDescription(element.name + " has a " + std::string(name) +
                                " of the wrong length");
    }
    return value;
}

const XmlElement& onlyChild(const XmlElement& parent, std::string_view uri, std::string_view name) {
    auto found = parent.childrenNamed(uri, name);
    if (found.size() != 1) {
        throwDamagedDescription(parent.name + " must hold exactly one " + std::string(name));
    }
    return *found.front();
}

// The key for one block constant, from the iterated password hash.
SecretBytes passwordKey(Hasher& hasher, const SecretBytes& iterated, Bytes block, size_t keyBytes) {
    SecretBytes hash = hasher.hash({iterated.bytes(), block});
    SecretBytes key(keyBytes);
    std::fill(key.bytes().begin(), key.bytes().end(), kKeyPadding);
    std::copy_n(hash.bytes().begin(), std::min(keyBytes, hash.size()), key.bytes().begin());
    return key;
}

std::array<uint8_t, AesCipher::kBlockSize> passwordIv(const AgileCipherParameters& parameters) {
    std::array<uint8_t, AesCipher::kBlockSize> iv{};
    iv.fill(kKeyPadding);
    std::copy_n(parameters.salt.begin(), std::min(iv.size(), parameters.salt.size()), iv.begin());
    return iv;
}

class AgileCodec final : public PageCodec {
public:
    AgileCodec(const AgileCipherParameters& keyData, SecretBytes dataKey, uint32_t encodingKey)
        : m_salt(keyData.salt),
          m_key(std::move(dataKey)),
          m_encodingKey(encodingKey),
          m_hasher(keyData.hash),
          m_encrypt(m_key.size(), CipherMode::Cbc, CipherDirection::Encrypt),
          m_decrypt(m_key.size(), CipherMode::Cbc, CipherDirection::Decrypt) {}

    void decode(PageNumber page, MutableBytes bytes) const override {
        assert(page >= 1 && "the header page has its own encoding");
        m_decrypt.apply(m_key.bytes(), pageIv(page), bytes);
    }

    void encode(PageNumber page, MutableBytes bytes) const override {
        assert(page >= 1 && "the header page has its own encoding");
        m_encrypt.apply(m_key.bytes(), pageIv(page), bytes);
    }

private:
    std::array<uint8_t, AesCipher::kBlockSize> pageIv(PageNumber page) const {
        std::array<uint8_t, 64> hash{};
        auto blockKey = pageBlockKey(m_encodingKey, page);
        MutableBytes digest = MutableBytes(hash).first(m_hasher.size());
        m_hasher.hash({m_salt, blockKey}, digest);
        std::array<uint8_t, AesCipher::kBlockSize> iv{};
        std::copy_n(digest.begin(), iv.size(), iv.begin());
        return iv;
    }

    std::vector<uint8_t> m_salt;
    SecretBytes m_key;
    uint32_t m_encodingKey;
    // A codec serves one pager, which is not shared between threads.
    mutable Hasher m_hasher;
    mutable AesCipher m_encrypt;
    mutable AesCipher m_decrypt;
};

void appendCipherAttributes(std::string& xml, const AgileCipherParameters& parameters) {
    auto hash = std::find_if(kHashNames.begin(), kHashNames.end(), [&](const HashName& known) {
        return known.algorithm == parameters.hash;
    });
    xml += " saltSize=\"" + std::to_string(parameters.saltSize) + "\" blockSize=\"" +
           std::to_string(parameters.blockSize) + "\" keyBits=\"" +
           std::to_string(parameters.keyBits) + "\" hashSize=\"" +
           std::to_string(parameters.hashSize) +
           "\" cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"" +
           std::string(hash->name) + "\" saltValue=\"" + encodeBase64(parameters.salt) + "\"";
}

// The XML in the shape Access writes: the same declaration, namespaces and attribute order.
std::string describe(const AgileDescription& description) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
    xml += "<encryption xmlns=\"" + std::string(kEncryptionNamespace) + "\" xmlns:p=\"" +
           std::string(kPasswordNamespace) + "\" xmlns:c=\"" + std::string(kCertificateNamespace) +
           "\"><keyData";
    appendCipherAttributes(xml, description.keyData);
    xml += "/><keyEncryptors><keyEncryptor uri=\"" + std::string(kPasswordNamespace) +
           "\"><p:encryptedKey spinCount=\"" + std::to_string(description.spinCount) + "\"";
    appendCipherAttributes(xml, description.passwordKey);
    xml += " encryptedVerifierHashInput=\"" + encodeBase64(description.encryptedVerifierHashInput) +
           "\" encryptedVerifierHashValue=\"" +
           encodeBase64(description.encryptedVerifierHashValue) + "\" encryptedKeyValue=\"" +
           encodeBase64(description.encryptedKeyValue) +
           "\"/></keyEncryptor></keyEncryptors></encryption>";
    return xml;
}

}  // namespace

AgileDescription parseAgileDescription(Bytes description) {
    if (description.size() < kXmlOffset) throwDamagedDescription("it is too short");
    if (readU32LE(description, kReservedOffset) != kReserved) {
        throwDamagedDescription("the reserved value of agile encryption is not 0x40");
    }
    Bytes xmlBytes = description.subspan(kXmlOffset);
    XmlElement root =
        parseXml(std::string_view(reinterpret_cast<const char*>(xmlBytes.data()), xmlBytes.size()));
    if (root.namespaceUri != kEncryptionNamespace || root.name != "encryption") {
        throwDamagedDescription("its XML is not an encryption element");
    }

    AgileDescription result;
    result.keyData = readCipherParameters(onlyChild(root, kEncryptionNamespace, "keyData"));
    const XmlElement& encryptors = onlyChild(root, kEncryptionNamespace, "keyEncryptors");
    const XmlElement* passwordEncryptor = nullptr;
    for (const XmlElement* encryptor :
         encryptors.childrenNamed(kEncryptionNamespace, "keyEncryptor")) {
        if (requireAttribute(*encryptor, "uri") != kPasswordNamespace) continue;
        if (passwordEncryptor != nullptr) {
            throwDamagedDescription("it has two password key encryptors");
        }
        passwordEncryptor = encryptor;
    }
    if (passwordEncryptor == nullptr) {
        throwUnsupportedEncryption("agile encryption without a password (certificates only)");
    }
    const XmlElement& key = onlyChild(*passwordEncryptor, kPasswordNamespace, "encryptedKey");
    result.passwordKey = readCipherParameters(key);
    result.spinCount = readNumber(key, "spinCount", 0, kAgileMaxSpinCount);
    result.encryptedVerifierHashInput =
        readEncryptedValue(key, "encryptedVerifierHashInput", result.passwordKey.saltSize);
    result.encryptedVerifierHashValue =
        readEncryptedValue(key, "encryptedVerifierHashValue", result.passwordKey.hashSize);
    result.encryptedKeyValue =
        readEncryptedValue(key, "encryptedKeyValue", result.keyData.keyBits / 8);
    return result;
}

std::unique_ptr<PageCodec> unlockAgile(const AgileDescription& description, uint32_t encodingKey,
                                       Bytes password) {
    const AgileCipherParameters& parameters = description.passwordKey;
    Hasher hasher(parameters.hash);
    SecretBytes iterated =
        iteratedPasswordHash(hasher, parameters.salt, password, description.spinCount);
    size_t keyBytes = parameters.keyBits / 8;
    AesCipher cipher(keyBytes, CipherMode::Cbc, CipherDirection::Decrypt);
    auto iv = passwordIv(parameters);
    auto decrypt = [&](const std::array<uint8_t, 8>& block, const std::vector<uint8_t>& value) {
        SecretBytes plain{Bytes(value)};
        cipher.apply(passwordKey(hasher, iterated, block, keyBytes).bytes(), iv, plain.bytes());
        return plain;
    };

    SecretBytes verifierInput =
        decrypt(kVerifierInputBlock, description.encryptedVerifierHashInput);
    SecretBytes verifierHash = decrypt(kVerifierHashBlock, description.encryptedVerifierHashValue);
    SecretBytes expected = hasher.hash({verifierInput.bytes().first(parameters.saltSize)});
    if (!constantTimeEqual(expected.bytes(), verifierHash.bytes().first(parameters.hashSize))) {
        return nullptr;
    }
    SecretBytes keyValue = decrypt(kKeyValueBlock, description.encryptedKeyValue);
    SecretBytes dataKey{keyValue.bytes().first(description.keyData.keyBits / 8)};
    return std::make_unique<AgileCodec>(description.keyData, std::move(dataKey), encodingKey);
}

NewEncryption createAgile(Bytes password, uint32_t encodingKey) {
    constexpr uint32_t kSaltSize = 16;
    constexpr uint32_t kKeyBits = 256;
    AgileCipherParameters parameters{kSaltSize,
                                     AesCipher::kBlockSize,
                                     kKeyBits,
                                     static_cast<uint32_t>(hashSize(HashAlgorithm::Sha512)),
                                     HashAlgorithm::Sha512,
                                     randomBytes(kSaltSize)};
    AgileDescription description;
    description.keyData = parameters;
    description.passwordKey = parameters;
    description.passwordKey.salt = randomBytes(kSaltSize);
    description.spinCount = kAgileAccessSpinCount;

    SecretBytes dataKey(kKeyBits / 8);
    fillRandom(dataKey.bytes());
    SecretBytes verifierInput(kSaltSize);
    fillRandom(verifierInput.bytes());

    Hasher hasher(HashAlgorithm::Sha512);
    SecretBytes iterated =
        iteratedPasswordHash(hasher, description.passwordKey.salt, password, description.spinCount);
    AesCipher cipher(kKeyBits / 8, CipherMode::Cbc, CipherDirection::Encrypt);
    auto iv = passwordIv(description.passwordKey);
    auto encrypt = [&](const std::array<uint8_t, 8>& block, Bytes plain) {
        std::vector<uint8_t> value(plain.begin(), plain.end());
        cipher.apply(passwordKey(hasher, iterated, block, kKeyBits / 8).bytes(), iv, value);
        return value;
    };
    description.encryptedVerifierHashInput = encrypt(kVerifierInputBlock, verifierInput.bytes());
    description.encryptedVerifierHashValue =
        encrypt(kVerifierHashBlock, hasher.hash({verifierInput.bytes()}).bytes());
    description.encryptedKeyValue = encrypt(kKeyValueBlock, dataKey.bytes());

    NewEncryption result;
    result.encodingKey = encodingKey;
    std::string xml = describe(description);
    result.description.resize(kXmlOffset);
    writeU16LE(result.description, 0, 4);
    writeU16LE(result.description, 2, 4);
    writeU32LE(result.description, kReservedOffset, kReserved);
    result.description.insert(result.description.end(), xml.begin(), xml.end());
    result.codec =
        std::make_unique<AgileCodec>(description.keyData, std::move(dataKey), encodingKey);
    return result;
}

}  // namespace engine::storage

#include "engine/storage/crypto/page_encryption.h"

#include "engine/storage/crypto/agile_encryption.h"
#include "engine/storage/crypto/cryptoapi_encryption.h"
#include "engine/storage/crypto/jet_rc4_codec.h"

namespace engine::storage {

namespace {

SecretBytes newPassword(const std::string& password) {
    auto encoded = encodeEncryptionPassword(password);
    if (!encoded) {
        throw EngineError(ErrorCode::InvalidArgument,
                          "A database password can have at most " +
                              std::to_string(kMaxEncryptionPasswordLength) + " characters.");
    }
    return std::move(*encoded);
}

std::unique_ptr<PageCodec> openOfficeCodec(const HeaderPage& header, const std::string& password) {
    Bytes description = header.encryptionDescription();
    if (description.size() < kDescriptionVersionSize) {
        throwDamagedDescription("it is missing although the pages are encrypted");
    }
    uint16_t major = readU16LE(description, 0);
    uint16_t minor = readU16LE(description, 2);
    std::string version = std::to_string(major) + "." + std::to_string(minor);

    std::optional<AgileDescription> agile;
    std::optional<CryptoApiDescription> cryptoApi;
    if (major == 4 && minor == 4) {
        agile = parseAgileDescription(description);
    } else if (minor == 2 && major >= 2 && major <= 4) {
        cryptoApi = parseCryptoApiDescription(description);
    } else if (minor == 3 && (major == 3 || major == 4)) {
        throwUnsupportedEncryption("extensible Office encryption (version " + version + ")");
    } else if (major == 1 && minor == 1) {
        throwUnsupportedEncryption("Office binary RC4 encryption (version 1.1)");
    } else {
        throwUnsupportedEncryption("an unknown Office encryption (version " + version + ")");
    }

    auto encoded = encodeEncryptionPassword(password);
    if (!encoded) throwInvalidPassword();
    std::unique_ptr<PageCodec> codec =
        agile ? unlockAgile(*agile, header.encodingKey(), encoded->bytes())
              : unlockCryptoApi(*cryptoApi, header.encodingKey(), encoded->bytes());
    if (!codec) throwInvalidPassword();
    return codec;
}

}  // namespace

std::unique_ptr<PageCodec> openPageCodec(const HeaderPage& header, const std::string& password) {
    if (header.encodingKey() == 0) return nullptr;
    if (!isAce(header.format())) return std::make_unique<JetRc4Codec>(header.encodingKey());
    return openOfficeCodec(header, password);
}

NewEncryption createJetEncoding() {
    NewEncryption result;
    result.encodingKey = randomEncodingKey();
    result.codec = std::make_unique<JetRc4Codec>(result.encodingKey);
    return result;
}

NewEncryption createAgileEncryption(const std::string& password) {
    return createAgile(newPassword(password).bytes(), randomEncodingKey());
}

NewEncryption createRc4CryptoApiEncryption(const std::string& password) {
    return createRc4CryptoApi(newPassword(password).bytes(), randomEncodingKey());
}

}  // namespace engine::storage

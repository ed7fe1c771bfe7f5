#include "engine/storage/header_page.h"

#include "engine/storage/crypto/rc4.h"
#include "engine/storage/unicode.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace engine::storage {

namespace {

constexpr std::array<uint8_t, 4> kHeaderMaskKey = {0xC7, 0xDA, 0x39, 0x6B};
constexpr std::array<uint8_t, 4> kMagic = {0x00, 0x01, 0x00, 0x00};
constexpr size_t kEngineNameOffset = 0x04;
constexpr size_t kVersionOffset = 0x14;

[[noreturn]] void unrecognized(const std::string& path) {
    throw EngineError(ErrorCode::UnrecognizedFormat,
                      "Unrecognized database format '" + path + "'.");
}

// Jet 4+ passwords are XORed with the creation date, truncated to a 32-bit integer and
// repeated over the 40 bytes.
std::array<uint8_t, 4> passwordMask(double creationDate) {
    int32_t seed = 0;
    if (std::isfinite(creationDate) && creationDate > INT32_MIN && creationDate < INT32_MAX) {
        seed = static_cast<int32_t>(creationDate);
    }
    auto bits = static_cast<uint32_t>(seed);
    return {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
            static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
}

}  // namespace

const char* formatName(FileFormat format) {
    switch (format) {
        case FileFormat::Jet3:
            return "JET3";
        case FileFormat::Jet4:
            return "JET4";
        case FileFormat::Ace12:
            return "ACE12";
        case FileFormat::Ace14:
            return "ACE14";
        case FileFormat::Ace15:
            return "ACE15";
        case FileFormat::Ace16:
            return "ACE16";
        case FileFormat::Ace17:
            return "ACE17";
    }
    return "?";
}

uint32_t pageSizeOf(FileFormat format) { return format == FileFormat::Jet3 ? 2048 : 4096; }

void toggleHeaderMask(MutableBytes page, FileFormat format) {
    size_t length = isJet3(format) ? kHeaderMaskLengthJet3 : kHeaderMaskLengthJet4;
    checkWrite(page, kHeaderMaskOffset, length);
    Rc4 cipher(kHeaderMaskKey);
    cipher.apply(page.subspan(kHeaderMaskOffset, length));
}

HeaderPage HeaderPage::read(PageFile& file) {
    std::vector<uint8_t> first(std::min<uint64_t>(file.size(), pageSizeOf(FileFormat::Jet4)));
    file.read(0, first);
    return parse(first, file.path());
}

HeaderPage HeaderPage::parse(Bytes rawPage, const std::string& path) {
    if (rawPage.size() < pageSizeOf(FileFormat::Jet3) ||
        !std::equal(kMagic.begin(), kMagic.end(), rawPage.begin())) {
        unrecognized(path);
    }
    std::string_view name(reinterpret_cast<const char*>(rawPage.data() + kEngineNameOffset), 16);
    bool jetName = name == std::string_view("Standard Jet DB\0", 16);
    bool aceName = name == std::string_view("Standard ACE DB\0", 16);
    if (!jetName && !aceName) unrecognized(path);

    HeaderPage header;
    switch (rawPage[kVersionOffset]) {
        case 0:
            header.m_format = FileFormat::Jet3;
            break;
        case 1:
            header.m_format = FileFormat::Jet4;
            break;
        case 2:
            header.m_format = FileFormat::Ace12;
            break;
        case 3:
            header.m_format = FileFormat::Ace14;
            break;
        case 4:
            header.m_format = FileFormat::Ace15;
            break;
        case 5:
            header.m_format = FileFormat::Ace16;
            break;
        case 6:
            header.m_format = FileFormat::Ace17;
            break;
        default:
            unrecognized(path);
    }
    if (aceName != isAce(header.m_format) || rawPage.size() < header.pageSize()) {
        unrecognized(path);
    }

    header.m_unmasked.assign(rawPage.begin(), rawPage.begin() + header.pageSize());
    toggleHeaderMask(header.m_unmasked, header.m_format);
    Bytes page = header.m_unmasked;
    header.m_codePage = readU16LE(page, kHeaderCodePageOffset);
    header.m_encodingKey = readU32LE(page, kHeaderEncodingKeyOffset);
    if (isJet3(header.m_format)) {
        header.m_sortOrder = {readU16LE(page, kHeaderSortOrderOffsetJet3), 0};
    } else {
        header.m_sortOrder = {readU16LE(page, kHeaderSortOrderOffsetJet4),
                              readU8(page, kHeaderSortOrderOffsetJet4 + 3)};
        header.m_creationDate = readF64LE(page, kHeaderCreationDateOffset);
    }
    return header;
}

HeaderPage HeaderPage::fresh(FileFormat format, double creationDate) {
    // The values the product writes into every new file (constants whose meaning is unknown are
    // copied as found).
    constexpr std::array<uint8_t, 24> kConstants = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00,
                                                    0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                                    0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
    constexpr uint16_t kCodePage = 1252;
    constexpr uint16_t kGeneralSortOrder = 0x0409;
    constexpr size_t kJet3UnknownOffset = 0x38;
    constexpr uint16_t kJet3Unknown = 1;
    constexpr size_t kJet3EngineBuildOffset = 0x56;
    constexpr uint16_t kJet3EngineBuild = 0x251E;
    constexpr uint16_t kEngineBuild = 4518;
    constexpr size_t kEngineBuildOffset = 0x6A;
    constexpr std::array<uint8_t, 8> kVersionBlock = {0x54, 0x06, 0x00, 0x00,
                                                      0x34, 0x2E, 0x30, 0x00};
    constexpr size_t kVersionBlockOffset = 0x98;
    const size_t commitSlotsOffset = isJet3(format) ? 0x600 : 0xE00;

    HeaderPage header;
    header.m_format = format;
    header.m_unmasked.assign(pageSizeOf(format), 0);
    auto& page = header.m_unmasked;
    std::copy(kMagic.begin(), kMagic.end(), page.begin());
    const char* name = isAce(format) ? "Standard ACE DB" : "Standard Jet DB";
    std::memcpy(page.data() + kEngineNameOffset, name, 15);
    const uint8_t versions[] = {0, 1, 2, 3, 4, 5, 6};
    page[kVersionOffset] = versions[static_cast<int>(format)];
    if (format == FileFormat::Ace14) page[kVersionOffset + 1] = 1;
    std::copy(kConstants.begin(), kConstants.end(), page.begin() + kHeaderMaskOffset);
    writeU16LE(page, kHeaderCodePageOffset, kCodePage);
    uint8_t sortVersion = 0;
    if (isJet3(format)) {
        writeU16LE(page, kJet3UnknownOffset, kJet3Unknown);
        writeU16LE(page, kHeaderSortOrderOffsetJet3, kGeneralSortOrder);
        writeU16LE(page, kJet3EngineBuildOffset, kJet3EngineBuild);
    } else {
        writeU16LE(page, kEngineBuildOffset, kEngineBuild);
        // Access 2010 and 2016 sort text in the new General order; 2007, 2019 and Jet 4 in the
        // legacy one.
        if (format == FileFormat::Ace14 || format == FileFormat::Ace15 ||
            format == FileFormat::Ace16) {
            sortVersion = 1;
        }
        writeU16LE(page, kHeaderSortOrderOffsetJet4, kGeneralSortOrder);
        page[kHeaderSortOrderOffsetJet4 + 3] = sortVersion;
        writeF64LE(page, kHeaderCreationDateOffset, creationDate);
        std::copy(kVersionBlock.begin(), kVersionBlock.end(), page.begin() + kVersionBlockOffset);
        header.m_creationDate = creationDate;
    }
    // The commit slots of a closed file: every user slot "00 01", the first "01 01".
    for (size_t slot = commitSlotsOffset; slot + 1 < page.size(); slot += 2) {
        page[slot] = 0x00;
        page[slot + 1] = 0x01;
    }
    page[commitSlotsOffset] = 0x01;

    header.m_codePage = kCodePage;
    header.m_sortOrder = {kGeneralSortOrder, sortVersion};
    header.setPassword("");
    return header;
}

std::vector<uint8_t> HeaderPage::passwordBytes() const {
    bool jet3 = isJet3(m_format);
    size_t length = jet3 ? kHeaderPasswordLengthJet3 : kHeaderPasswordLengthJet4;
    std::vector<uint8_t> bytes(m_unmasked.begin() + kHeaderPasswordOffset,
                               m_unmasked.begin() + kHeaderPasswordOffset + length);
    if (!jet3) {
        auto mask = passwordMask(m_creationDate);
        for (size_t index = 0; index < bytes.size(); ++index) bytes[index] ^= mask[index % 4];
    }
    return bytes;
}

bool HeaderPage::hasPassword() const {
    // Office-encrypted ACE files keep their password in the encryption description; the old
    // password field holds filler there.
    if (isAce(m_format) && m_encodingKey != 0) return false;
    auto bytes = passwordBytes();
    return std::any_of(bytes.begin(), bytes.end(), [](uint8_t byte) { return byte != 0; });
}

bool HeaderPage::passwordMatches(const std::string& password) const {
    auto stored = passwordBytes();
    std::vector<uint8_t> given(stored.size(), 0);
    bool tooLong = false;
    if (isJet3(m_format)) {
        // A character the code page lacks cannot be part of the stored password; it must not
        // turn into a '?' that could match one.
        char32_t missing = 0;
        std::string encoded = utf8ToCodePageExactly(password, m_codePage, missing).value_or("");
        tooLong = encoded.size() > given.size() || (encoded.empty() && !password.empty());
        std::copy_n(encoded.begin(), std::min(encoded.size(), given.size()), given.begin());
    } else {
        std::u16string encoded = utf8ToUtf16(password);
        tooLong = encoded.size() * 2 > given.size();
        for (size_t index = 0; index < encoded.size() && index * 2 + 1 < given.size(); ++index) {
            given[index * 2] = static_cast<uint8_t>(encoded[index]);
            given[index * 2 + 1] = static_cast<uint8_t>(encoded[index] >> 8);
        }
    }
    uint8_t difference = tooLong ? 1 : 0;
    for (size_t index = 0; index < stored.size(); ++index) {
        difference |= static_cast<uint8_t>(stored[index] ^ given[index]);
    }
    return difference == 0;
}

void HeaderPage::setSortLcid(uint16_t lcid) {
    writeU16LE(m_unmasked,
               isJet3(m_format) ? kHeaderSortOrderOffsetJet3 : kHeaderSortOrderOffsetJet4, lcid);
    m_sortOrder.lcid = lcid;
}

void HeaderPage::setPassword(const std::string& password) {
    if (isJet3(m_format)) {
        char32_t missing = 0;
        auto encoded = utf8ToCodePageExactly(password, m_codePage, missing);
        if (!encoded || encoded->size() > kHeaderPasswordLengthJet3) {
            throw EngineError(ErrorCode::InvalidArgument,
                              "A database password can have at most 20 characters, all of them "
                              "in code page " +
                                  std::to_string(m_codePage) + ".");
        }
        encoded->resize(kHeaderPasswordLengthJet3, '\0');
        std::copy(encoded->begin(), encoded->end(), m_unmasked.begin() + kHeaderPasswordOffset);
        return;
    }
    std::u16string encoded = utf8ToUtf16(password);
    if (encoded.size() * 2 > kHeaderPasswordLengthJet4) {
        throw EngineError(ErrorCode::InvalidArgument,
                          "A database password can have at most 20 characters.");
    }
    auto mask = passwordMask(m_creationDate);
    for (size_t index = 0; index < kHeaderPasswordLengthJet4; ++index) {
        uint8_t byte = 0;
        if (index / 2 < encoded.size()) {
            byte = static_cast<uint8_t>(encoded[index / 2] >> (index % 2 == 0 ? 0 : 8));
        }
        m_unmasked[kHeaderPasswordOffset + index] = byte ^ mask[index % 4];
    }
}

Bytes HeaderPage::encryptionDescription() const {
    if (!isAce(m_format) || m_encodingKey == 0) return {};
    Bytes page = m_unmasked;
    uint16_t length = readU16LE(page, kHeaderCryptoLengthOffset);
    checkRange(page, kHeaderCryptoDataOffset, length);
    return page.subspan(kHeaderCryptoDataOffset, length);
}

void HeaderPage::setEncryption(uint32_t encodingKey, Bytes description) {
    bool ace = isAce(m_format);
    size_t room = kHeaderCryptoDataEnd - kHeaderCryptoDataOffset;
    if ((!ace && !description.empty()) || (ace && description.empty() != (encodingKey == 0)) ||
        description.size() > room) {
        throw EngineError(ErrorCode::InvalidArgument,
                          "An encryption description of " + std::to_string(description.size()) +
                              " bytes does not suit this " + formatName(m_format) + " database" +
                              (encodingKey == 0 ? " in the clear." : "."));
    }
    MutableBytes page = m_unmasked;
    writeU32LE(page, kHeaderEncodingKeyOffset, encodingKey);
    m_encodingKey = encodingKey;
    if (!ace) return;
    auto mask = passwordMask(m_creationDate);
    auto filler = static_cast<uint8_t>(encodingKey);
    for (size_t index = 0; index < kHeaderPasswordLengthJet4; ++index) {
        page[kHeaderPasswordOffset + index] = filler ^ mask[index % 4];
    }
    // A copy first: description may be this header's own (encryptionDescription()).
    std::vector<uint8_t> stored(description.begin(), description.end());
    writeU16LE(page, kHeaderCryptoLengthOffset, static_cast<uint16_t>(stored.size()));
    std::fill(page.begin() + kHeaderCryptoDataOffset, page.begin() + kHeaderCryptoDataEnd, 0);
    std::copy(stored.begin(), stored.end(), page.begin() + kHeaderCryptoDataOffset);
}

std::vector<uint8_t> HeaderPage::toRawPage() const {
    std::vector<uint8_t> raw = m_unmasked;
    toggleHeaderMask(raw, m_format);
    return raw;
}

}  // namespace engine::storage

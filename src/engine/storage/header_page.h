// The header page (page 0): identification, the format version, and the database-wide settings
// kept in its RC4-masked region. Integers little-endian.
//
//   offset  size  meaning
//   0x00      4   00 01 00 00
//   0x04     16   engine name, NUL-terminated: "Standard Jet DB" or "Standard ACE DB"
//   0x14      1   version: 0 Jet 3, 1 Jet 4, 2 ACE 12, 3 ACE 14, 4 ACE 15, 5 ACE 16, 6 ACE 17
//   0x18   126/128 masked region (Jet 3 / later): XORed with an RC4 key stream of key C7 DA 39 6B
// Inside the masked region (offsets of the page, after unmasking):
//   0x38      2   Jet 3: 1 in files the product made (meaning unknown)
//   0x3A      2   Jet 3: sort order (LCID)
//   0x3C      2   code page
//   0x3E      4   encoding key: 0 = pages stored in the clear, else pages are encrypted
//   0x42  20/40   database password: Jet 3 code-page bytes; Jet 4+ UTF-16LE, further XORed with
//                 the creation date truncated to a 32-bit integer, repeated. In an ACE file
//                 with Office encryption every byte is the encoding key's first byte instead
//                 (before the same XOR).
//   0x56      2   Jet 3: 0x251E in files Access 97 made (probably its engine's build)
//   0x6A      2   Jet 4+: 4518 in files Access 2007 made (probably its engine's build)
//   0x6E      4   Jet 4+: sort order: LCID (2), 0, sort version (0 General Legacy, 1 General)
//   0x72      8   Jet 4+: creation date (days since 1899-12-30)
// Outside the masked region:
//   0x600     2   Jet 3: commit slots, 2 bytes a user; a closed file holds 01 01, then 00 01
//   0xE00     2   Jet 4+: the same
//   0x299     2   ACE: length of the encryption description (0 when not encrypted)
//   0x29B   ...   ACE: encryption description, zero-filled up to 0xE00
#pragma once

#include "engine/storage/byte_order.h"
#include "engine/storage/page_file.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace engine::storage {

enum class FileFormat { Jet3, Jet4, Ace12, Ace14, Ace15, Ace16, Ace17 };

// The name mdb-ver prints for a format: "JET3", "JET4", "ACE12" ...
const char* formatName(FileFormat format);
uint32_t pageSizeOf(FileFormat format);
inline bool isJet3(FileFormat format) { return format == FileFormat::Jet3; }
inline bool isAce(FileFormat format) {
    return format != FileFormat::Jet3 && format != FileFormat::Jet4;
}

struct SortOrder {
    uint16_t lcid = 0x0409;
    uint8_t version = 0;  // Jet 4+: 0 General Legacy, 1 General (2010)
    bool operator==(const SortOrder&) const = default;
};

inline constexpr size_t kHeaderMaskOffset = 0x18;
inline constexpr size_t kHeaderMaskLengthJet3 = 126;
inline constexpr size_t kHeaderMaskLengthJet4 = 128;
inline constexpr size_t kHeaderCodePageOffset = 0x3C;
inline constexpr size_t kHeaderEncodingKeyOffset = 0x3E;
inline constexpr size_t kHeaderPasswordOffset = 0x42;
inline constexpr size_t kHeaderPasswordLengthJet3 = 20;
inline constexpr size_t kHeaderPasswordLengthJet4 = 40;
inline constexpr size_t kHeaderSortOrderOffsetJet3 = 0x3A;
inline constexpr size_t kHeaderSortOrderOffsetJet4 = 0x6E;
inline constexpr size_t kHeaderCreationDateOffset = 0x72;
inline constexpr size_t kHeaderCryptoLengthOffset = 0x299;
inline constexpr size_t kHeaderCryptoDataOffset = 0x29B;
inline constexpr size_t kHeaderCryptoDataEnd = 0xE00;

// XORs the fixed RC4 key stream over the masked region (masking and unmasking alike).
void toggleHeaderMask(MutableBytes page, FileFormat format);

class HeaderPage {
public:
    // Parses a raw page 0 as read from the file. Throws UnrecognizedFormat naming path when the
    // bytes are not a database header this engine knows.
    static HeaderPage parse(Bytes rawPage, const std::string& path);
    // Reads and parses page 0 of file. Throws UnrecognizedFormat naming the file's path when it
    // is too short or does not begin with a database header.
    static HeaderPage read(PageFile& file);
    // The header of a new database of format, made on creationDate (Jet 4 and later keep it),
    // with code page 1252 and the General sort order in the version the product uses for that
    // format.
    static HeaderPage fresh(FileFormat format, double creationDate);

    FileFormat format() const { return m_format; }
    uint32_t pageSize() const { return pageSizeOf(m_format); }
    uint16_t codePage() const { return m_codePage; }
    SortOrder sortOrder() const { return m_sortOrder; }
    uint32_t encodingKey() const { return m_encodingKey; }
    double creationDate() const { return m_creationDate; }

    // True when the header holds a Jet database password (not an Office encryption password).
    bool hasPassword() const;
    // Compares in time independent of where the texts differ. password is UTF-8.
    bool passwordMatches(const std::string& password) const;
    // Stores a new Jet database password (empty = none): Jet 3 in its code page, later formats
    // in UTF-16LE. Throws InvalidArgument for a password the field cannot hold.
    void setPassword(const std::string& password);

    // Stores the sort order the database's text sorts by (its LCID; the version stays).
    void setSortLcid(uint16_t lcid);

    // The Office encryption description (ACE files with an encoding key), else empty.
    Bytes encryptionDescription() const;
    // Stores the encoding key and, for ACE, the description and the old password field's
    // filler; key 0 with an empty description stores a database in the clear. Throws
    // InvalidArgument for a description a Jet file cannot have (any) or an ACE file cannot
    // hold (missing with a key, present without one, or longer than the room for it).
    void setEncryption(uint32_t encodingKey, Bytes description);

    // The page's unmasked bytes; toRawPage() masks them again for writing.
    const std::vector<uint8_t>& unmasked() const { return m_unmasked; }
    std::vector<uint8_t> toRawPage() const;

private:
    std::vector<uint8_t> passwordBytes() const;

    FileFormat m_format = FileFormat::Jet4;
    uint16_t m_codePage = 1252;
    SortOrder m_sortOrder;
    uint32_t m_encodingKey = 0;
    double m_creationDate = 0;
    std::vector<uint8_t> m_unmasked;
};

}  // namespace engine::storage

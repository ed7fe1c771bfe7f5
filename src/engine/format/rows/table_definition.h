// Table definitions (TDEF): a table's columns, indexes and page maps. Integers little-endian.
//
// A definition starts on a page of type 0x02 and may continue on further type-0x02 pages:
//   field        size  Jet 3  Jet 4+
//   type 02 01     2     0      0
//   free space     2     2      2     (Jet 3: the letters "VC")
//   next page      4     4      4     0 on the last page
// The logical definition is the first page whole, then each continuation from its byte 8.
//
// Logical definition, fixed part:
//   field                         size  Jet 3  Jet 4+
//   definition length               4     8      8   through the final 0xFFFF
//   row count                       4    12     16
//   last AutoNumber issued          4    16     20
//   AutoNumber flag (1), unknown    4     -     24
//   last complex AutoNumber         4     -     28   ACE
//   table type 'N' user, 'S' system 1    20     40
//   max column slots                2    21     41   never shrinks when columns are deleted
//   variable column slots           2    23     43
//   column count                    2    25     45
//   logical index count             4    27     47
//   real index count                4    31     51
//   owned-pages map reference       4    35     55   row (1) + page (3)
//   free-space map reference        4    39     59
// Variable part, in order: per real index a count block (8 / 12 bytes); the column descriptors
// (18 / 25 bytes); the column names (Jet 3: 1-byte length + code-page bytes; Jet 4+: 2-byte
// byte length + UTF-16LE); the real index definitions (39 / 52); the logical index definitions
// (20 / 28) and then their names, both in name order; then per long-value column {column
// number (2), owned map (4), free map (4)}, ended by 0xFFFF.
//
// Column descriptor:
//   field                  size  Jet 3  Jet 4+
//   type                     1     0      0
//   constant 1625            4     -      1
//   column number            2     1      5   identity used by null masks and indexes
//   variable-table index     2     3      7   slot in the row's variable offsets
//   column index             2     5      9   unreliable; not used (written as the number)
//   unknown, 1               2     7      -
//   text: sort order LCID    2     9     11   Jet 3: in every descriptor, whatever its type
//   text: code page          2    11      -   Jet 3: in every descriptor, whatever its type
//   text: sort version       1     -     14   0 General Legacy, 1 General
//   numeric: precision       1    11     11
//   numeric: scale           1    12     12
//   complex: complex id      4     -     11
//   flags                    1    13     15   0x01 fixed, 0x02 nullable, 0x04 AutoNumber,
//                                             0x40 GUID AutoNumber, 0x80 hyperlink
//   extended flags           1     -     16   0x01 compressed Unicode, 0xC0 calculated
//   fixed offset             2    14     21   position in the fixed area
//   length                   2    16     23
//
// Real index definition:
//   field                               size  Jet 3  Jet 4+
//   constant 1923                         4     -      0
//   10 x {column number (2), order (1)}  30     0      4   0xFFFF unused; order 1 ascending
//   index pages map reference             4    30     34
//   root page                             4    34     38
//   flags                                 1    38     46   0x01 unique, 0x02 ignore nulls,
//                                                          0x08 required, 0x80 on every
//                                                          index of Jet 4 and later
// Logical index definition:
//   field                     size  Jet 3  Jet 4+
//   constant 1625               4     -      0
//   index number                4     0      4
//   real index number           4     4      8
//   related table type          1     8     12
//   related index number        4     9     13
//   related table page          4    13     17
//   cascade updates             1    17     21
//   cascade deletes             1    18     22
//   index type                  1    19     23   0 normal, 1 primary key, 2 foreign key
#pragma once

#include "engine/format/jet_format.h"
#include "engine/format/rows/column_type.h"
#include "engine/storage/pager.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace engine::format {

inline constexpr uint8_t kTableDefinitionPageType = 0x02;

// A usage map is a row on a data page, referenced by row number and page.
struct UsageMapRef {
    uint8_t row = 0;
    PageNumber page = 0;
    bool empty() const { return page == 0; }
    bool operator==(const UsageMapRef&) const = default;
    auto operator<=>(const UsageMapRef&) const = default;
};

UsageMapRef readUsageMapRef(storage::Bytes bytes, size_t offset);

namespace column_flags {
inline constexpr uint8_t kFixed = 0x01;
inline constexpr uint8_t kNullable = 0x02;
inline constexpr uint8_t kAutoNumber = 0x04;
inline constexpr uint8_t kReplication = 0x10;
inline constexpr uint8_t kGuidAutoNumber = 0x40;
inline constexpr uint8_t kHyperlink = 0x80;
}  // namespace column_flags

namespace column_ext_flags {
inline constexpr uint8_t kCompressedUnicode = 0x01;
inline constexpr uint8_t kCalculated = 0xC0;
}  // namespace column_ext_flags

struct ColumnDefinition {
    std::string name;  // UTF-8
    ColumnType type = ColumnType::Long;
    uint16_t number = 0;
    uint16_t varIndex = 0;
    uint16_t fixedOffset = 0;
    uint16_t length = 0;
    uint8_t flags = 0;
    uint8_t extFlags = 0;
    uint8_t precision = 0;
    uint8_t scale = 0;
    uint16_t sortLcid = 0;
    uint8_t sortVersion = 0;
    uint16_t codePage = 0;
    int32_t complexId = 0;
    // Long-value columns: the maps of the pages that hold their values.
    UsageMapRef lvOwnedMap;
    UsageMapRef lvFreeMap;

    bool isFixed() const { return (flags & column_flags::kFixed) != 0; }
    bool isAutoNumber() const { return (flags & column_flags::kAutoNumber) != 0; }
    bool isGuidAutoNumber() const { return (flags & column_flags::kGuidAutoNumber) != 0; }
    bool isHyperlink() const { return (flags & column_flags::kHyperlink) != 0; }
    bool isCompressedUnicode() const {
        return (extFlags & column_ext_flags::kCompressedUnicode) != 0;
    }
    bool isCalculated() const {
        return (extFlags & column_ext_flags::kCalculated) == column_ext_flags::kCalculated;
    }
    // Fixed columns: the bytes the value takes in the fixed area (the type's size, or the
    // declared length for a type without one).
    uint32_t fixedBytes() const {
        const uint32_t size = fixedSizeOf(type);
        return size != 0 ? size : length;
    }
};

struct IndexColumn {
    uint16_t columnNumber = 0;
    bool ascending = true;
};

namespace index_flags {
inline constexpr uint8_t kUnique = 0x01;
inline constexpr uint8_t kIgnoreNulls = 0x02;
inline constexpr uint8_t kRequired = 0x08;
inline constexpr uint8_t kJet4 = 0x80;  // set on every index of Jet 4 and later files
}  // namespace index_flags

struct RealIndex {
    uint32_t number = 0;
    uint32_t uniqueEntryCount = 0;
    std::vector<IndexColumn> columns;
    UsageMapRef pagesMap;
    PageNumber rootPage = 0;
    uint8_t flags = 0;
    bool isUnique() const { return (flags & index_flags::kUnique) != 0; }
};

struct LogicalIndex {
    std::string name;
    uint32_t number = 0;
    uint32_t realIndexNumber = 0;
    uint8_t relatedTableType = 0;
    int32_t relatedIndexNumber = -1;
    PageNumber relatedTablePage = 0;
    uint8_t cascadeUpdates = 0;
    uint8_t cascadeDeletes = 0;
    uint8_t indexType = 0;  // 0 normal, 1 primary key, 2 foreign key
};

// Where the parts of a stored definition begin, as byte offsets into its logical form (the
// pages joined): the real index definitions, the logical index definitions, their names, the
// long-value column maps, and the end of the definition (its length).
struct StoredLayout {
    size_t realIndexes = 0;
    size_t logicalIndexes = 0;
    size_t logicalNames = 0;
    size_t columnMaps = 0;
    size_t end = 0;
};

struct TableDefinition {
    PageNumber firstPage = 0;
    std::vector<PageNumber> pages;  // the definition's page chain, first page first
    uint32_t rowCount = 0;
    uint32_t lastAutoNumber = 0;
    uint32_t lastComplexAutoNumber = 0;
    uint8_t tableType = 'N';
    uint16_t maxColumns = 0;
    uint16_t varColumns = 0;
    UsageMapRef ownedPages;
    UsageMapRef freeSpacePages;
    std::vector<ColumnDefinition> columns;  // ordered by column number
    std::vector<RealIndex> realIndexes;
    std::vector<LogicalIndex> logicalIndexes;  // in stored order
    // As read from the file; all zero for a definition made in memory.
    StoredLayout stored;

    // The column of a name, letter case ignored; nullptr if there is none.
    const ColumnDefinition* findColumn(std::string_view name) const;
};

// Whether a row stored for table `from` means the same values, read as a row of table `to`: the
// same column slots, and column for column the same type, place in the row (fixed offset or
// variable index), null-mask bit, length, text encoding and code page. Names, AutoNumber flags
// and indexes may differ. Calculated columns never match (their stored form wraps the result).
bool storesRowsAlike(const TableDefinition& from, const TableDefinition& to);

// Reads the definition that starts on page. Throws Corrupt (naming the page) when the chain or
// any field is inconsistent.
TableDefinition readTableDefinition(storage::Pager& pager, const JetFormat& format,
                                    uint16_t codePage, PageNumber page);
// The logical form of the definition that starts on page: its pages joined. Throws Corrupt as
// readTableDefinition does for a broken chain.
std::vector<uint8_t> readTableDefinitionBytes(storage::Pager& pager, PageNumber page);

}  // namespace engine::format

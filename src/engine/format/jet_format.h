// The sizes and offsets that differ between Jet 3 and the later formats (Jet 4, ACE 12-17).
// Each structure's layout is documented beside the code that reads it; this file only gathers
// the numbers, so code can be written once for both families.
#pragma once

#include "engine/storage/header_page.h"

#include <cstdint>

namespace engine::format {

using storage::FileFormat;

struct JetFormat {
    FileFormat format;
    bool jet3;
    uint32_t pageSize;

    // Data pages (data_page.h).
    uint32_t dataRowCountOffset;  // 8 / 12
    uint32_t dataRowTableOffset;  // 10 / 14

    // Table definitions (table_definition.h).
    uint32_t tdefRowCountOffset;
    uint32_t tdefAutoNumberOffset;
    uint32_t tdefTableTypeOffset;
    uint32_t tdefMaxColumnsOffset;
    uint32_t tdefVarColumnsOffset;
    uint32_t tdefColumnCountOffset;
    uint32_t tdefLogicalIndexCountOffset;
    uint32_t tdefRealIndexCountOffset;
    uint32_t tdefOwnedMapOffset;
    uint32_t tdefFreeMapOffset;
    uint32_t tdefHeaderSize;  // start of the variable part
    uint32_t realIndexCountBlockSize;
    uint32_t columnDescriptorSize;
    uint32_t realIndexDefinitionSize;
    uint32_t logicalIndexDefinitionSize;

    // Rows (row_layout.h): Jet 3 stores counts and offsets in one byte, later formats in two.
    uint32_t rowCountFieldSize;
    uint32_t maxRowSize;

    // Columns: the longest Text and Binary values in bytes (Jet 3 keeps one byte a character,
    // later formats two), and the flag every index definition carries (index_flags).
    uint16_t maxVariableColumnLength;
    uint16_t bytesPerTextCharacter;
    uint8_t indexFlagsAlwaysSet;

    // Usage maps (usage_map.h): the length of a map row the product writes.
    uint32_t usageMapRowSize;
    // Long values (long_value.h): the largest value kept in one row of a long-value page.
    uint32_t maxLongValueRowSize;

    // Index pages (index_page.h).
    uint32_t indexPreviousOffset;
    uint32_t indexNextOffset;
    uint32_t indexTailOffset;
    uint32_t indexPrefixOffset;
    uint32_t indexPrefixSize;  // 1 / 2 bytes
    uint32_t indexMaskOffset;
    uint32_t indexFirstEntryOffset;
    uint32_t indexMaxEntryBytes;
};

const JetFormat& jetFormat(FileFormat format);

}  // namespace engine::format

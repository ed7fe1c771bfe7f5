#include "engine/format/jet_format.h"

namespace engine::format {

namespace {

constexpr JetFormat kJet3 = {
    .format = FileFormat::Jet3,
    .jet3 = true,
    .pageSize = 2048,
    .dataRowCountOffset = 8,
    .dataRowTableOffset = 10,
    .tdefRowCountOffset = 12,
    .tdefAutoNumberOffset = 16,
    .tdefTableTypeOffset = 20,
    .tdefMaxColumnsOffset = 21,
    .tdefVarColumnsOffset = 23,
    .tdefColumnCountOffset = 25,
    .tdefLogicalIndexCountOffset = 27,
    .tdefRealIndexCountOffset = 31,
    .tdefOwnedMapOffset = 35,
    .tdefFreeMapOffset = 39,
    .tdefHeaderSize = 43,
    .realIndexCountBlockSize = 8,
    .columnDescriptorSize = 18,
    .realIndexDefinitionSize = 39,
    .logicalIndexDefinitionSize = 20,
    .rowCountFieldSize = 1,
    .maxRowSize = 2012,
    .maxVariableColumnLength = 255,
    .bytesPerTextCharacter = 1,
    .indexFlagsAlwaysSet = 0x00,
    .usageMapRowSize = 133,
    .maxLongValueRowSize = 2032,
    .indexPreviousOffset = 8,
    .indexNextOffset = 12,
    .indexTailOffset = 16,
    .indexPrefixOffset = 20,
    .indexPrefixSize = 1,
    .indexMaskOffset = 22,
    .indexFirstEntryOffset = 0xF8,
    .indexMaxEntryBytes = 1800,
};

constexpr JetFormat jet4Family(FileFormat format) {
    return {
        .format = format,
        .jet3 = false,
        .pageSize = 4096,
        .dataRowCountOffset = 12,
        .dataRowTableOffset = 14,
        .tdefRowCountOffset = 16,
        .tdefAutoNumberOffset = 20,
        .tdefTableTypeOffset = 40,
        .tdefMaxColumnsOffset = 41,
        .tdefVarColumnsOffset = 43,
        .tdefColumnCountOffset = 45,
        .tdefLogicalIndexCountOffset = 47,
        .tdefRealIndexCountOffset = 51,
        .tdefOwnedMapOffset = 55,
        .tdefFreeMapOffset = 59,
        .tdefHeaderSize = 63,
        .realIndexCountBlockSize = 12,
        .columnDescriptorSize = 25,
        .realIndexDefinitionSize = 52,
        .logicalIndexDefinitionSize = 28,
        .rowCountFieldSize = 2,
        .maxRowSize = 4060,
        .maxVariableColumnLength = 510,
        .bytesPerTextCharacter = 2,
        .indexFlagsAlwaysSet = 0x80,
        .usageMapRowSize = 69,
        .maxLongValueRowSize = 4076,
        .indexPreviousOffset = 12,
        .indexNextOffset = 16,
        .indexTailOffset = 20,
        .indexPrefixOffset = 24,
        .indexPrefixSize = 2,
        .indexMaskOffset = 27,
        .indexFirstEntryOffset = 0x1E0,
        .indexMaxEntryBytes = 3616,
    };
}

constexpr JetFormat kJet4 = jet4Family(FileFormat::Jet4);
constexpr JetFormat kAce12 = jet4Family(FileFormat::Ace12);
constexpr JetFormat kAce14 = jet4Family(FileFormat::Ace14);
constexpr JetFormat kAce15 = jet4Family(FileFormat::Ace15);
constexpr JetFormat kAce16 = jet4Family(FileFormat::Ace16);
constexpr JetFormat kAce17 = jet4Family(FileFormat::Ace17);

}  // namespace

const JetFormat& jetFormat(FileFormat format) {
    switch (format) {
        case FileFormat::Jet3:
            return kJet3;
        case FileFormat::Jet4:
            return kJet4;
        case FileFormat::Ace12:
            return kAce12;
        case FileFormat::Ace14:
            return kAce14;
        case FileFormat::Ace15:
            return kAce15;
        case FileFormat::Ace16:
            return kAce16;
        case FileFormat::Ace17:
            return kAce17;
    }
    return kJet4;
}

}  // namespace engine::format

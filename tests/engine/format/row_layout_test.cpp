// A row's trailer: what the writer appends, the parser reads back; a trailer that points
// outside its row is refused rather than followed.
#include "engine/format/rows/row_layout.h"

#include <gtest/gtest.h>

namespace engine::format {
namespace {

// A row of `columns` columns, `fixedBytes` of fixed area, and variable values of the given
// lengths, with its trailer and a null mask of all ones.
std::vector<uint8_t> rowWith(const JetFormat& format, uint16_t columns, size_t fixedBytes,
                             const std::vector<size_t>& lengths, std::vector<uint16_t>& offsets) {
    std::vector<uint8_t> row;
    if (format.jet3) {
        row.push_back(static_cast<uint8_t>(columns));
    } else {
        row = {static_cast<uint8_t>(columns), static_cast<uint8_t>(columns >> 8)};
    }
    row.resize(row.size() + fixedBytes, 0x11);
    offsets.clear();
    for (size_t length : lengths) {
        offsets.push_back(static_cast<uint16_t>(row.size()));
        row.resize(row.size() + length, 0x22);
    }
    const size_t maskSize = (columns + 7u) / 8u;
    if (!appendVariableTrailer(row, offsets, maskSize, format)) return {};
    row.resize(row.size() + maskSize, 0xFF);
    return row;
}

TEST(RowLayout, readsBackWhatTheWriterAppends) {
    for (FileFormat kind : {FileFormat::Jet3, FileFormat::Jet4}) {
        const JetFormat& format = jetFormat(kind);
        for (const std::vector<size_t>& lengths : {std::vector<size_t>{3},
                                                   {0, 0, 5},
                                                   {40, 0, 300, 7},
                                                   {1, 2, 3, 4, 5, 6, 7, 8, 9},
                                                   {250, 250, 250}}) {
            for (size_t fixedBytes : {0, 4, 17}) {
                std::vector<uint16_t> offsets;
                const auto row = rowWith(format, 20, fixedBytes, lengths, offsets);
                ASSERT_FALSE(row.empty());
                RowLayout layout;
                ASSERT_TRUE(parseRowLayout(row, format, true, layout))
                    << format.jet3 << " " << lengths.size() << " " << fixedBytes;
                EXPECT_EQ(layout.columnCount, 20);
                EXPECT_EQ(layout.fixedStart, format.jet3 ? 1 : 2);
                ASSERT_EQ(layout.variableCount(), lengths.size());
                for (size_t slot = 0; slot < lengths.size(); ++slot) {
                    EXPECT_EQ(layout.variableOffsets[slot], offsets[slot]);
                    EXPECT_EQ(layout.variableOffsets[slot + 1] - layout.variableOffsets[slot],
                              lengths[slot]);
                }
                EXPECT_EQ(layout.nullMask.size(), 3u);
                EXPECT_TRUE(layout.nullMaskBit(19));
                EXPECT_FALSE(layout.nullMaskBit(24));
            }
        }
    }
}

// Jet 4 and later: each two-byte offset sits below the count, last slot first, with the end
// of data below them. A damaged offset or count makes the row unreadable.
TEST(RowLayout, refusesTrailersThatPointOutsideTheirRow) {
    const JetFormat& format = jetFormat(FileFormat::Jet4);
    std::vector<uint16_t> offsets;
    const auto row = rowWith(format, 12, 6, {5, 9, 4}, offsets);
    const size_t countAt = row.size() - 2 - 2;
    auto offsetAt = [&](size_t slot) { return countAt - 2 * (slot + 1); };
    auto parsed = [&](const std::vector<uint8_t>& bytes) {
        RowLayout layout;
        return parseRowLayout(bytes, format, true, layout);
    };
    auto withU16 = [&](size_t at, uint16_t value) {
        auto changed = row;
        changed[at] = static_cast<uint8_t>(value);
        changed[at + 1] = static_cast<uint8_t>(value >> 8);
        return changed;
    };
    ASSERT_TRUE(parsed(row));
    EXPECT_FALSE(parsed(withU16(offsetAt(0), 1)));               // inside the column count
    // An offset before the slot before it parses: a deleted column's slot may keep a stale
    // one. Reading a column whose two offsets are out of order is refused where it is read.
    EXPECT_TRUE(parsed(withU16(offsetAt(2), offsets[1] - 1)));
    EXPECT_FALSE(parsed(withU16(offsetAt(3), countAt)));         // the end of data in the trailer
    EXPECT_FALSE(parsed(withU16(countAt, 200)));                 // more offsets than the row holds
    EXPECT_FALSE(parsed(withU16(0, 400)));                       // a null mask longer than the row
    // Equal offsets are empty values, and an end of data at the trailer's start is a full row.
    EXPECT_TRUE(parsed(withU16(offsetAt(1), offsets[0])));
    EXPECT_TRUE(parsed(withU16(offsetAt(3), static_cast<uint16_t>(countAt - 8))));

    // Every shorter piece of the row parses or is refused without reading past its end (the
    // sanitizer build watches the reads); a table without variable columns needs no trailer.
    for (size_t length = 0; length < row.size(); ++length) {
        const std::vector<uint8_t> cut(row.begin(), row.begin() + static_cast<long>(length));
        RowLayout layout;
        if (parseRowLayout(cut, format, true, layout)) {
            for (uint16_t offset : layout.variableOffsets) EXPECT_LE(offset, length);
        }
        EXPECT_EQ(parseRowLayout(cut, format, false, layout), length >= 2 + 2);
    }
}

}  // namespace
}  // namespace engine::format

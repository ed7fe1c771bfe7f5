#include "engine/format/rows/row_layout.h"

namespace engine::format {

namespace {

bool parseJet4(storage::Bytes row, bool hasVariableColumns, RowLayout& layout) {
    // Every scan parses every row: the bounds are checked once against the row's length, and
    // the fields read from the checked bytes.
    const size_t length = row.size();
    if (length < 2) return false;
    const uint8_t* const bytes = row.data();
    layout.columnCount = storage::loadU16LE(bytes);
    layout.fixedStart = 2;
    const size_t maskSize = (layout.columnCount + 7u) / 8u;
    if (maskSize + 2 > length) return false;
    layout.nullMask = storage::Bytes(bytes + length - maskSize, maskSize);
    if (!hasVariableColumns || maskSize + 2 + 2 > length) {
        layout.variableOffsets.clear();
        return !hasVariableColumns;
    }
    const size_t countAt = length - maskSize - 2;
    const uint16_t variableCount = storage::loadU16LE(bytes + countAt);
    if (variableCount == 0) {
        layout.variableOffsets.clear();
        return true;
    }
    // End of data, then the offsets below the count, last slot first. Each offset lies in the
    // row's data, past the column count. Slots of deleted columns may keep stale offsets that
    // lie before the one of the slot before them (Access leaves such rows), so the order of a
    // column's two offsets is checked where the column is read.
    const size_t tableBytes = (variableCount + 1u) * 2u;
    if (tableBytes > countAt) return false;
    const size_t dataLimit = countAt - tableBytes;
    // Rows of one table mostly have as many offsets as the last one: the storage stays.
    layout.variableOffsets.resize(variableCount + 1u);
    uint16_t* const offsets = layout.variableOffsets.data();
    const uint8_t* entry = bytes + countAt;
    for (size_t slot = 0; slot <= variableCount; ++slot) {
        entry -= 2;
        const uint16_t offset = storage::loadU16LE(entry);
        if (offset < 2 || offset > dataLimit) return false;
        offsets[slot] = offset;
    }
    return true;
}

bool parseJet3(storage::Bytes row, bool hasVariableColumns, RowLayout& layout) {
    size_t length = row.size();
    if (length < 1) return false;
    layout.columnCount = row[0];
    layout.fixedStart = 1;
    size_t maskSize = (layout.columnCount + 7u) / 8u;
    if (maskSize + 1 > length) return false;
    layout.nullMask = row.subspan(length - maskSize, maskSize);
    layout.variableOffsets.clear();
    if (!hasVariableColumns) return true;
    if (maskSize + 1 + 1 > length) return false;
    size_t countAt = length - maskSize - 1;
    uint8_t variableCount = row[countAt];
    if (variableCount == 0) return true;

    size_t jumpCount = (length - 1) / 256;
    if (jumpCount + variableCount + 1u > countAt) return false;
    size_t firstOffsetAt = countAt - jumpCount - 1;  // offset 0 sits just below the jumps
    // When the variable data stops short of the last boundary, the last jump is a filler.
    if ((firstOffsetAt - variableCount) / 256 < jumpCount) --jumpCount;

    layout.variableOffsets.resize(variableCount + 1u);
    size_t jumpsUsed = 0;
    for (size_t slot = 0; slot <= variableCount; ++slot) {
        while (jumpsUsed < jumpCount && row[countAt - 1 - jumpsUsed] == slot) ++jumpsUsed;
        size_t offset = row[firstOffsetAt - slot] + jumpsUsed * 256;
        if (offset < 1 || offset > firstOffsetAt - variableCount) return false;
        if (slot > 0 && offset < layout.variableOffsets[slot - 1]) return false;
        layout.variableOffsets[slot] = static_cast<uint16_t>(offset);
    }
    return true;
}

void appendJet4Trailer(std::vector<uint8_t>& row, const std::vector<uint16_t>& offsets) {
    const auto endOfData = static_cast<uint16_t>(row.size());
    size_t at = row.size();
    row.resize(at + 2 + 2 * offsets.size() + 2);
    storage::writeU16LE(row, at, endOfData);
    for (size_t slot = 0; slot < offsets.size(); ++slot) {
        storage::writeU16LE(row, at + 2 + 2 * (offsets.size() - 1 - slot), offsets[slot]);
    }
    storage::writeU16LE(row, row.size() - 2, static_cast<uint16_t>(offsets.size()));
}

constexpr uint8_t kJumpFiller = 0xFF;

bool appendJet3Trailer(std::vector<uint8_t>& row, const std::vector<uint16_t>& offsets,
                       size_t nullMaskSize) {
    const size_t endOfData = row.size();
    const size_t variableCount = offsets.size();
    if (variableCount > 0xFF) return false;
    // The jump table's length depends on the row's length, which includes the table: take the
    // smallest length that agrees with itself.
    const size_t withoutJumps = endOfData + 1 + variableCount + 1 + nullMaskSize;
    size_t jumps = 0;
    while ((withoutJumps + jumps - 1) / 256 != jumps) jumps = (withoutJumps + jumps - 1) / 256;
    const size_t needed = endOfData / 256;
    // Readers take one entry past the needed ones for a filler; a second filler would be read
    // as a real entry, and must then not equal any offset's index.
    if (jumps > needed + 1 && variableCount >= kJumpFiller) return false;

    // Entry k names the first offset at or past 256 x (k + 1); index variableCount stands for the
    // end of data.
    auto valueAt = [&](size_t index) { return index < variableCount ? offsets[index] : endOfData; };
    std::vector<uint8_t> table(jumps, kJumpFiller);
    for (size_t entry = 0; entry < needed; ++entry) {
        size_t index = 0;
        while (valueAt(index) < 256 * (entry + 1)) ++index;
        table[entry] = static_cast<uint8_t>(index);
    }
    row.push_back(static_cast<uint8_t>(endOfData));
    for (size_t slot = variableCount; slot-- > 0;)
        row.push_back(static_cast<uint8_t>(offsets[slot]));
    for (size_t entry = jumps; entry-- > 0;) row.push_back(table[entry]);
    row.push_back(static_cast<uint8_t>(variableCount));
    return true;
}

}  // namespace

bool appendVariableTrailer(std::vector<uint8_t>& row, const std::vector<uint16_t>& offsets,
                           size_t nullMaskSize, const JetFormat& format) {
    if (format.jet3) return appendJet3Trailer(row, offsets, nullMaskSize);
    appendJet4Trailer(row, offsets);
    return true;
}

bool parseRowLayout(storage::Bytes row, const JetFormat& format, bool hasVariableColumns,
                    RowLayout& layout) {
    return format.jet3 ? parseJet3(row, hasVariableColumns, layout)
                       : parseJet4(row, hasVariableColumns, layout);
}

}  // namespace engine::format

#include "engine/format/rows/table_definition_writer.h"

#include "engine/storage/unicode.h"

#include <algorithm>

namespace engine::format {

using storage::writeU16LE;
using storage::writeU32LE;

namespace {

constexpr uint32_t kDefinitionConstant = 1625;
constexpr uint32_t kRealIndexConstant = 1923;
constexpr uint16_t kDefaultLcid = 0x0409;
constexpr uint16_t kJet3ColumnConstant = 1;  // bytes 7-8 of every Jet 3 descriptor
constexpr size_t kPageHeaderSize = 8;
constexpr size_t kDefinitionLengthOffset = 8;
constexpr size_t kComplexAutoNumberOffset = 28;  // Jet 4 and later
constexpr size_t kAutoNumberFlagOffset = 24;     // Jet 4 and later
constexpr size_t kIndexColumnSlots = 10;
constexpr uint16_t kUnusedIndexColumn = 0xFFFF;
constexpr uint8_t kJet3PageMarker[] = {'V', 'C'};

class Writer {
public:
    Writer(const JetFormat& format, uint16_t codePage) : m_format(format), m_codePage(codePage) {}

    void u8(uint8_t value) { m_bytes.push_back(value); }
    void u16(uint16_t value) { u8(uint8_t(value)), u8(uint8_t(value >> 8)); }
    void u32(uint32_t value) { u16(uint16_t(value)), u16(uint16_t(value >> 16)); }
    void map(UsageMapRef ref) { u32(static_cast<uint32_t>(ref.row) | (ref.page << 8)); }
    void zeros(size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }
    // Jet 3: 1-byte length + code-page bytes; later formats: 2-byte byte length + UTF-16LE.
    void name(const std::string& text) {
        if (m_format.jet3) {
            char32_t missing = 0;
            auto encoded = storage::utf8ToCodePageExactly(text, m_codePage, missing);
            if (!encoded || encoded->size() > 0xFF) {
                throw EngineError(ErrorCode::InvalidName,
                                  "'" + text + "' isn't a valid name in this database: code page " +
                                      std::to_string(m_codePage) + " cannot store it.");
            }
            u8(static_cast<uint8_t>(encoded->size()));
            m_bytes.insert(m_bytes.end(), encoded->begin(), encoded->end());
            return;
        }
        std::u16string units = storage::utf8ToUtf16(text);
        u16(static_cast<uint16_t>(units.size() * 2));
        for (char16_t unit : units) u16(unit);
    }
    std::vector<uint8_t>& bytes() { return m_bytes; }

private:
    const JetFormat& m_format;
    uint16_t m_codePage;
    std::vector<uint8_t> m_bytes;
};

// The fixed part, each field at the format's offset.
void appendHeader(Writer& out, const TableDefinition& table, const JetFormat& format) {
    std::vector<uint8_t>& bytes = out.bytes();
    bytes.assign(format.tdefHeaderSize, 0);
    bytes[0] = 0x02;
    bytes[1] = 0x01;
    // Free space and next page are set when the pages are written, the length once it is known.
    writeU32LE(bytes, format.tdefRowCountOffset, table.rowCount);
    writeU32LE(bytes, format.tdefAutoNumberOffset, table.lastAutoNumber);
    if (!format.jet3) {
        writeU32LE(bytes, kDefinitionLengthOffset + 4, kDefinitionConstant);
        bytes[kAutoNumberFlagOffset] = 1;  // the product sets this AutoNumber flag on every table
        writeU32LE(bytes, kComplexAutoNumberOffset, table.lastComplexAutoNumber);
    }
    bytes[format.tdefTableTypeOffset] = table.tableType;
    writeU16LE(bytes, format.tdefMaxColumnsOffset, table.maxColumns);
    writeU16LE(bytes, format.tdefVarColumnsOffset, table.varColumns);
    writeU16LE(bytes, format.tdefColumnCountOffset, static_cast<uint16_t>(table.columns.size()));
    writeU32LE(bytes, format.tdefLogicalIndexCountOffset,
               static_cast<uint32_t>(table.logicalIndexes.size()));
    writeU32LE(bytes, format.tdefRealIndexCountOffset,
               static_cast<uint32_t>(table.realIndexes.size()));
    auto mapRef = [](UsageMapRef ref) { return static_cast<uint32_t>(ref.row) | (ref.page << 8); };
    writeU32LE(bytes, format.tdefOwnedMapOffset, mapRef(table.ownedPages));
    writeU32LE(bytes, format.tdefFreeMapOffset, mapRef(table.freeSpacePages));
}

void appendColumn(Writer& out, const ColumnDefinition& column, const JetFormat& format,
                  uint16_t codePage, uint8_t sortVersion) {
    out.u8(static_cast<uint8_t>(column.type));
    if (format.jet3) {
        out.u16(column.number);
        out.u16(column.varIndex);
        out.u16(column.number);
        out.u16(kJet3ColumnConstant);
        // Jet 3 keeps the sort order and code page in every descriptor, whatever its type.
        out.u16(column.sortLcid != 0 ? column.sortLcid : kDefaultLcid);
        out.u16(column.codePage != 0 ? column.codePage : codePage);
        out.u8(column.flags);
        out.u16(column.fixedOffset);
        out.u16(column.length);
        return;
    }
    out.u32(kDefinitionConstant);
    out.u16(column.number);
    out.u16(column.varIndex);
    out.u16(column.number);
    if (column.type == ColumnType::Numeric) {
        out.u8(column.precision);
        out.u8(column.scale);
        out.zeros(2);
    } else if (column.type == ColumnType::Complex) {
        out.u32(static_cast<uint32_t>(column.complexId));
    } else {
        out.u16(column.sortLcid != 0 ? column.sortLcid : kDefaultLcid);
        out.u8(0);
        out.u8(isTextType(column.type) ? sortVersion : 0);
    }
    out.u8(column.flags);
    out.u8(column.extFlags);
    out.zeros(4);
    out.u16(column.fixedOffset);
    out.u16(column.length);
}

void appendRealIndex(Writer& out, const RealIndex& real, const JetFormat& format) {
    if (!format.jet3) out.u32(kRealIndexConstant);
    for (size_t slot = 0; slot < kIndexColumnSlots; ++slot) {
        if (slot < real.columns.size()) {
            out.u16(real.columns[slot].columnNumber);
            out.u8(real.columns[slot].ascending ? 1 : 0);
        } else {
            out.u16(kUnusedIndexColumn);
            out.u8(0);
        }
    }
    out.map(real.pagesMap);
    out.u32(real.rootPage);
    if (!format.jet3) out.u32(0);
    out.u8(format.jet3 ? real.flags : real.flags | index_flags::kJet4);
    if (!format.jet3) out.zeros(5);
}

void appendLogicalIndex(Writer& out, const LogicalIndex& logical, const JetFormat& format) {
    if (!format.jet3) out.u32(kDefinitionConstant);
    out.u32(logical.number);
    out.u32(logical.realIndexNumber);
    out.u8(logical.relatedTableType);
    out.u32(static_cast<uint32_t>(logical.relatedIndexNumber));
    out.u32(logical.relatedTablePage);
    out.u8(logical.cascadeUpdates);
    out.u8(logical.cascadeDeletes);
    out.u8(logical.indexType);
    if (!format.jet3) out.u32(0);
}

// The stored bytes of a definition as read, through its end; Internal when the definition was
// not read from a file.
std::vector<uint8_t> storedPart(const std::vector<uint8_t>& bytes, const TableDefinition& table) {
    const size_t end = std::max(table.stored.end, table.stored.columnMaps);
    if (table.stored.logicalNames == 0 || end > bytes.size()) {
        throw EngineError(ErrorCode::Internal,
                          "a definition is spliced that was not read from these bytes");
    }
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end)};
}

// Where the name of the logical index at position (in stored order) begins; the end of the
// names for the position after the last.
size_t logicalNameOffset(const std::vector<uint8_t>& bytes, const TableDefinition& table,
                         const JetFormat& format, size_t position) {
    size_t offset = table.stored.logicalNames;
    for (size_t index = 0; index < position; ++index) {
        offset += format.jet3 ? 1u + bytes.at(offset)
                              : 2u + storage::readU16LE(storage::Bytes(bytes), offset);
    }
    return offset;
}

void insertAt(std::vector<uint8_t>& bytes, size_t offset, const std::vector<uint8_t>& part) {
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(offset), part.begin(), part.end());
}

void eraseAt(std::vector<uint8_t>& bytes, size_t offset, size_t count) {
    const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
    bytes.erase(from, from + static_cast<std::ptrdiff_t>(count));
}

// Where the column descriptors begin, and the names after them.
size_t descriptorsOffset(const TableDefinition& table, const JetFormat& format) {
    return format.tdefHeaderSize + table.realIndexes.size() * format.realIndexCountBlockSize;
}

// Where the name of the column whose descriptor is at position begins (in stored order).
size_t columnNameOffset(const std::vector<uint8_t>& bytes, const TableDefinition& table,
                        const JetFormat& format, size_t position) {
    size_t offset =
        descriptorsOffset(table, format) + table.columns.size() * format.columnDescriptorSize;
    for (size_t index = 0; index < position; ++index) {
        offset += format.jet3 ? 1u + bytes.at(offset)
                              : 2u + storage::readU16LE(storage::Bytes(bytes), offset);
    }
    return offset;
}

// Where the long-value map of the column numbered number sits; the terminator's place when
// none names it.
size_t columnMapOffset(const std::vector<uint8_t>& bytes, const TableDefinition& table,
                       uint16_t number) {
    constexpr size_t kEntrySize = 10;
    size_t offset = table.stored.columnMaps;
    while (offset + 2 <= bytes.size()) {
        const uint16_t named = storage::readU16LE(storage::Bytes(bytes), offset);
        if (named == 0xFFFF || named == number) return offset;
        offset += kEntrySize;
    }
    return std::min(offset, bytes.size());
}

void storeCounts(std::vector<uint8_t>& bytes, const JetFormat& format, size_t logical,
                 size_t real) {
    writeU32LE(bytes, format.tdefLogicalIndexCountOffset, static_cast<uint32_t>(logical));
    writeU32LE(bytes, format.tdefRealIndexCountOffset, static_cast<uint32_t>(real));
    writeU32LE(bytes, kDefinitionLengthOffset, static_cast<uint32_t>(bytes.size()));
}

}  // namespace

size_t logicalIndexPosition(const TableDefinition& table, const std::string& name) {
    const std::string key = storage::foldedCase(name);
    size_t position = 0;
    while (position < table.logicalIndexes.size() &&
           storage::foldedCase(table.logicalIndexes[position].name) <= key) {
        ++position;
    }
    return position;
}

std::vector<uint8_t> spliceIndexIn(const std::vector<uint8_t>& bytes, const TableDefinition& table,
                                   const JetFormat& format, uint16_t codePage,
                                   const RealIndex* real, const LogicalIndex& logical) {
    std::vector<uint8_t> out = storedPart(bytes, table);
    const size_t position = logicalIndexPosition(table, logical.name);
    // From the back, so that each offset still holds when its part goes in.
    Writer name(format, codePage);
    name.name(logical.name);
    insertAt(out, logicalNameOffset(out, table, format, position), name.bytes());
    Writer definition(format, codePage);
    appendLogicalIndex(definition, logical, format);
    insertAt(out, table.stored.logicalIndexes + position * format.logicalIndexDefinitionSize,
             definition.bytes());
    size_t realCount = table.realIndexes.size();
    if (real) {
        if (real->number != realCount) {
            throw EngineError(ErrorCode::Internal, "a new real index must take the next number");
        }
        Writer realDefinition(format, codePage);
        appendRealIndex(realDefinition, *real, format);
        insertAt(out, table.stored.logicalIndexes, realDefinition.bytes());
        std::vector<uint8_t> block(format.realIndexCountBlockSize, 0);
        writeU32LE(block, 4, real->uniqueEntryCount);
        insertAt(out, format.tdefHeaderSize + realCount * format.realIndexCountBlockSize, block);
        ++realCount;
    }
    storeCounts(out, format, table.logicalIndexes.size() + 1, realCount);
    return out;
}

std::vector<uint8_t> spliceIndexOut(const std::vector<uint8_t>& bytes, const TableDefinition& table,
                                    const JetFormat& format, size_t position, bool removeReal) {
    std::vector<uint8_t> out = storedPart(bytes, table);
    const LogicalIndex& gone = table.logicalIndexes.at(position);
    const size_t nameAt = logicalNameOffset(out, table, format, position);
    eraseAt(out, nameAt, logicalNameOffset(out, table, format, position + 1) - nameAt);
    // The others' numbers close the gaps.
    const size_t fields = format.jet3 ? 0 : 4;
    for (size_t index = 0; index < table.logicalIndexes.size(); ++index) {
        const size_t at =
            table.stored.logicalIndexes + index * format.logicalIndexDefinitionSize + fields;
        const LogicalIndex& other = table.logicalIndexes[index];
        if (other.number > gone.number) writeU32LE(out, at, other.number - 1);
        if (removeReal && other.realIndexNumber > gone.realIndexNumber) {
            writeU32LE(out, at + 4, other.realIndexNumber - 1);
        }
    }
    eraseAt(out, table.stored.logicalIndexes + position * format.logicalIndexDefinitionSize,
            format.logicalIndexDefinitionSize);
    size_t realCount = table.realIndexes.size();
    if (removeReal) {
        eraseAt(out,
                table.stored.realIndexes + gone.realIndexNumber * format.realIndexDefinitionSize,
                format.realIndexDefinitionSize);
        eraseAt(out, format.tdefHeaderSize + gone.realIndexNumber * format.realIndexCountBlockSize,
                format.realIndexCountBlockSize);
        --realCount;
    }
    storeCounts(out, format, table.logicalIndexes.size() - 1, realCount);
    return out;
}

std::vector<uint8_t> spliceColumnIn(const std::vector<uint8_t>& bytes, const TableDefinition& table,
                                    const JetFormat& format, uint16_t codePage, uint8_t sortVersion,
                                    const ColumnDefinition& column) {
    std::vector<uint8_t> out = storedPart(bytes, table);
    // From the back, so that each offset still holds when its part goes in.
    if (isLongValueType(column.type) && !column.lvOwnedMap.empty()) {
        Writer map(format, codePage);
        map.u16(column.number);
        map.map(column.lvOwnedMap);
        map.map(column.lvFreeMap);
        insertAt(out, columnMapOffset(out, table, 0xFFFF), map.bytes());
    }
    Writer name(format, codePage);
    name.name(column.name);
    insertAt(out, table.stored.realIndexes, name.bytes());
    Writer descriptor(format, codePage);
    appendColumn(descriptor, column, format, codePage, sortVersion);
    insertAt(out,
             descriptorsOffset(table, format) + table.columns.size() * format.columnDescriptorSize,
             descriptor.bytes());
    writeU16LE(out, format.tdefColumnCountOffset, static_cast<uint16_t>(table.columns.size() + 1));
    writeU16LE(out, format.tdefMaxColumnsOffset,
               std::max<uint16_t>(table.maxColumns, static_cast<uint16_t>(column.number + 1)));
    if (!column.isFixed()) {
        writeU16LE(
            out, format.tdefVarColumnsOffset,
            std::max<uint16_t>(table.varColumns, static_cast<uint16_t>(column.varIndex + 1)));
    }
    storeCounts(out, format, table.logicalIndexes.size(), table.realIndexes.size());
    return out;
}

std::vector<uint8_t> spliceColumnOut(const std::vector<uint8_t>& bytes,
                                     const TableDefinition& table, const JetFormat& format,
                                     uint16_t number) {
    std::vector<uint8_t> out = storedPart(bytes, table);
    const size_t descriptors = descriptorsOffset(table, format);
    const size_t numberField = format.jet3 ? 1 : 5;
    size_t position = 0;
    while (position < table.columns.size() &&
           storage::readU16LE(storage::Bytes(out),
                              descriptors + position * format.columnDescriptorSize + numberField) !=
               number) {
        ++position;
    }
    if (position == table.columns.size()) {
        throw EngineError(ErrorCode::Internal, "a column is spliced out that the table lacks");
    }
    const size_t map = columnMapOffset(out, table, number);
    if (map + 2 <= out.size() && storage::readU16LE(storage::Bytes(out), map) == number) {
        eraseAt(out, map, 10);
    }
    const size_t nameAt = columnNameOffset(out, table, format, position);
    eraseAt(out, nameAt, columnNameOffset(out, table, format, position + 1) - nameAt);
    eraseAt(out, descriptors + position * format.columnDescriptorSize, format.columnDescriptorSize);
    writeU16LE(out, format.tdefColumnCountOffset, static_cast<uint16_t>(table.columns.size() - 1));
    storeCounts(out, format, table.logicalIndexes.size(), table.realIndexes.size());
    return out;
}

void layOutColumns(std::vector<ColumnDefinition>& columns) {
    uint16_t fixedOffset = 0;
    uint16_t varIndex = 0;
    for (size_t index = 0; index < columns.size(); ++index) {
        auto& column = columns[index];
        column.number = static_cast<uint16_t>(index);
        uint32_t size = fixedSizeOf(column.type);
        // Calculated columns keep their wrapped results in the variable area.
        bool fixed = !column.isCalculated() && (column.type == ColumnType::Boolean || size != 0);
        if (fixed) {
            column.flags |= column_flags::kFixed;
            column.fixedOffset = column.type == ColumnType::Boolean ? 0 : fixedOffset;
            column.length = column.type == ColumnType::Boolean ? 1 : static_cast<uint16_t>(size);
            fixedOffset = static_cast<uint16_t>(fixedOffset + size);
        } else {
            column.flags &= static_cast<uint8_t>(~column_flags::kFixed);
            column.fixedOffset = 0;
        }
    }
    for (auto& column : columns) {
        if (!column.isFixed() && !isLongValueType(column.type)) column.varIndex = varIndex++;
    }
    for (auto& column : columns) {
        if (!column.isFixed() && isLongValueType(column.type)) column.varIndex = varIndex++;
    }
}

std::vector<uint8_t> buildTableDefinition(const TableDefinition& table, const JetFormat& format,
                                          uint16_t codePage, uint8_t sortVersion) {
    Writer out(format, codePage);
    appendHeader(out, table, format);
    for (const auto& real : table.realIndexes) {
        size_t at = out.bytes().size();
        out.zeros(format.realIndexCountBlockSize);
        writeU32LE(out.bytes(), at + 4, real.uniqueEntryCount);
    }
    for (const auto& column : table.columns)
        appendColumn(out, column, format, codePage, sortVersion);
    for (const auto& column : table.columns) out.name(column.name);
    for (const auto& real : table.realIndexes) appendRealIndex(out, real, format);
    std::vector<const LogicalIndex*> logicals;
    for (const auto& logical : table.logicalIndexes) logicals.push_back(&logical);
    std::stable_sort(logicals.begin(), logicals.end(), [](const auto* a, const auto* b) {
        return storage::foldedCase(a->name) < storage::foldedCase(b->name);
    });
    for (const auto* logical : logicals) appendLogicalIndex(out, *logical, format);
    for (const auto* logical : logicals) out.name(logical->name);
    for (const auto& column : table.columns) {
        if (!isLongValueType(column.type) || column.lvOwnedMap.empty()) continue;
        out.u16(column.number);
        out.map(column.lvOwnedMap);
        out.map(column.lvFreeMap);
    }
    out.u16(0xFFFF);
    auto& bytes = out.bytes();
    writeU32LE(bytes, kDefinitionLengthOffset, static_cast<uint32_t>(bytes.size()));
    return bytes;
}

void writeTableDefinition(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                          const std::vector<uint8_t>& logical, TableDefinition& table) {
    const size_t pageSize = pager.pageSize();
    const size_t firstCapacity = pageSize;
    const size_t laterCapacity = pageSize - kPageHeaderSize;
    size_t pageCount = 1;
    if (logical.size() > firstCapacity) {
        pageCount += (logical.size() - firstCapacity + laterCapacity - 1) / laterCapacity;
    }
    if (table.pages.empty()) table.pages.push_back(table.firstPage);
    while (table.pages.size() < pageCount) table.pages.push_back(allocator.allocate());
    while (table.pages.size() > pageCount) {
        allocator.release(table.pages.back());
        table.pages.pop_back();
    }

    size_t from = 0;
    for (size_t index = 0; index < pageCount; ++index) {
        storage::PageBuffer page(pageSize, 0);
        size_t start = index == 0 ? 0 : kPageHeaderSize;
        size_t take = std::min(pageSize - start, logical.size() - from);
        std::copy_n(logical.begin() + static_cast<std::ptrdiff_t>(from), take,
                    page.begin() + static_cast<std::ptrdiff_t>(start));
        from += take;
        page[0] = 0x02;
        page[1] = 0x01;
        if (format.jet3) {
            // Jet 3 marks every definition page with these letters instead of free space.
            std::copy(std::begin(kJet3PageMarker), std::end(kJet3PageMarker), page.begin() + 2);
        } else {
            // The product records free space only on a definition that fits one page.
            uint16_t free = pageCount == 1 ? static_cast<uint16_t>(pageSize - logical.size() - 8)
                            : index == 0   ? 0
                                           : static_cast<uint16_t>(pageSize - start - take);
            writeU16LE(page, 2, free);
        }
        writeU32LE(page, 4, index + 1 < pageCount ? table.pages[index + 1] : 0);
        pager.write(table.pages[index], page);
    }
}

void patchTableDefinitionCounts(storage::Pager& pager, const JetFormat& format,
                                const TableDefinition& table) {
    auto contents = pager.read(table.firstPage);
    storage::PageBuffer page = *contents;
    writeU32LE(page, format.tdefRowCountOffset, table.rowCount);
    writeU32LE(page, format.tdefAutoNumberOffset, table.lastAutoNumber);
    if (!format.jet3) writeU32LE(page, kComplexAutoNumberOffset, table.lastComplexAutoNumber);
    // The unique-entry counts sit in the blocks that open the variable part; they lie on the
    // first page for any table with fewer than about 300 indexes.
    for (const auto& real : table.realIndexes) {
        size_t at = format.tdefHeaderSize + real.number * format.realIndexCountBlockSize + 4;
        if (at + 4 <= page.size()) writeU32LE(page, at, real.uniqueEntryCount);
    }
    pager.write(table.firstPage, page);
}

}  // namespace engine::format

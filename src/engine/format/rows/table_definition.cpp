#include "engine/format/rows/table_definition.h"

#include "engine/storage/byte_order.h"
#include "engine/storage/unicode.h"

#include <algorithm>
#include <unordered_set>

namespace engine::format {

using storage::Bytes;
using storage::readU16LE;
using storage::readU32LE;
using storage::readU8;

namespace {

constexpr size_t kContinuationHeaderSize = 8;
constexpr size_t kNextPageOffset = 4;
constexpr size_t kDefinitionLengthOffset = 8;
constexpr uint16_t kEndOfColumnMaps = 0xFFFF;
constexpr size_t kIndexColumnSlots = 10;
constexpr uint16_t kUnusedIndexColumn = 0xFFFF;
// A definition of 255 columns with long names and 32 indexes needs fewer than 16 pages.
constexpr size_t kMaxDefinitionPages = 64;

[[noreturn]] void damaged(const storage::Pager& pager, PageNumber page, const std::string& what) {
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + pager.path() +
                          "' is damaged: the table definition on page " + std::to_string(page) +
                          " " + what + ".",
                      page);
}

// Joins the definition's pages into one logical buffer.
std::vector<uint8_t> loadDefinition(storage::Pager& pager, PageNumber first,
                                    std::vector<PageNumber>& pages) {
    std::vector<uint8_t> buffer;
    std::unordered_set<PageNumber> seen;
    PageNumber page = first;
    while (page != 0) {
        if (!seen.insert(page).second || seen.size() > kMaxDefinitionPages) {
            damaged(pager, first, "continues in a loop");
        }
        if (page >= pager.pageCount()) {
            damaged(pager, first, "continues past the end of the file");
        }
        auto contents = pager.read(page);
        Bytes bytes = *contents;
        if (bytes[0] != kTableDefinitionPageType) {
            damaged(pager, first,
                    "continues on page " + std::to_string(page) +
                        ", which is not a table definition page");
        }
        pages.push_back(page);
        size_t from = buffer.empty() ? 0 : kContinuationHeaderSize;
        buffer.insert(buffer.end(), bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
        page = readU32LE(bytes, kNextPageOffset);
    }
    return buffer;
}

// Reads fields of the logical buffer, turning any overrun into a Corrupt error for the table.
class DefinitionReader {
public:
    DefinitionReader(storage::Pager& pager, PageNumber page, Bytes bytes)
        : m_pager(pager), m_page(page), m_bytes(bytes) {}

    void require(size_t offset, size_t width) const {
        if (offset > m_bytes.size() || width > m_bytes.size() - offset) {
            damaged(m_pager, m_page, "is shorter than its contents claim");
        }
    }
    uint8_t u8(size_t offset) const {
        require(offset, 1);
        return readU8(m_bytes, offset);
    }
    uint16_t u16(size_t offset) const {
        require(offset, 2);
        return readU16LE(m_bytes, offset);
    }
    uint32_t u32(size_t offset) const {
        require(offset, 4);
        return readU32LE(m_bytes, offset);
    }
    UsageMapRef map(size_t offset) const {
        require(offset, 4);
        return readUsageMapRef(m_bytes, offset);
    }
    Bytes slice(size_t offset, size_t width) const {
        require(offset, width);
        return m_bytes.subspan(offset, width);
    }
    [[noreturn]] void fail(const std::string& what) const { damaged(m_pager, m_page, what); }

private:
    storage::Pager& m_pager;
    PageNumber m_page;
    Bytes m_bytes;
};

// Reads one name at offset (advancing it): Jet 3 1-byte length + code page, else 2-byte length
// + UTF-16LE.
std::string readName(const DefinitionReader& reader, const JetFormat& format, uint16_t codePage,
                     size_t& offset) {
    if (format.jet3) {
        uint8_t length = reader.u8(offset);
        Bytes bytes = reader.slice(offset + 1, length);
        offset += 1 + length;
        return storage::codePageToUtf8(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), codePage);
    }
    uint16_t length = reader.u16(offset);
    if (length % 2 != 0) reader.fail("holds a name of odd length");
    Bytes bytes = reader.slice(offset + 2, length);
    offset += 2u + length;
    std::u16string text(length / 2, u'\0');
    for (size_t index = 0; index < text.size(); ++index) {
        text[index] = static_cast<char16_t>(readU16LE(bytes, index * 2));
    }
    return storage::utf16ToUtf8(text);
}

ColumnDefinition readColumn(const DefinitionReader& reader, const JetFormat& format,
                            size_t offset) {
    ColumnDefinition column;
    // Types this engine does not know (later products add some) are kept by their code and
    // read as raw bytes.
    column.type = static_cast<ColumnType>(reader.u8(offset));
    if (format.jet3) {
        column.number = reader.u16(offset + 1);
        column.varIndex = reader.u16(offset + 3);
        column.sortLcid = reader.u16(offset + 9);
        column.codePage = reader.u16(offset + 11);
        column.precision = reader.u8(offset + 11);
        column.scale = reader.u8(offset + 12);
        column.flags = reader.u8(offset + 13);
        column.fixedOffset = reader.u16(offset + 14);
        column.length = reader.u16(offset + 16);
    } else {
        column.number = reader.u16(offset + 5);
        column.varIndex = reader.u16(offset + 7);
        column.sortLcid = reader.u16(offset + 11);
        column.sortVersion = reader.u8(offset + 14);
        column.precision = reader.u8(offset + 11);
        column.scale = reader.u8(offset + 12);
        column.complexId = static_cast<int32_t>(reader.u32(offset + 11));
        column.flags = reader.u8(offset + 15);
        column.extFlags = reader.u8(offset + 16);
        column.fixedOffset = reader.u16(offset + 21);
        column.length = reader.u16(offset + 23);
    }
    if (!isTextType(column.type)) {
        column.sortLcid = 0;
        column.sortVersion = 0;
        column.codePage = 0;
    }
    if (column.type != ColumnType::Numeric) {
        column.precision = 0;
        column.scale = 0;
    }
    if (column.type != ColumnType::Complex) column.complexId = 0;
    return column;
}

RealIndex readRealIndex(const DefinitionReader& reader, const JetFormat& format, size_t offset) {
    RealIndex index;
    size_t slots = format.jet3 ? offset : offset + 4;
    for (size_t slot = 0; slot < kIndexColumnSlots; ++slot) {
        uint16_t number = reader.u16(slots + slot * 3);
        if (number == kUnusedIndexColumn) continue;
        index.columns.push_back({number, reader.u8(slots + slot * 3 + 2) != 0});
    }
    size_t tail = slots + kIndexColumnSlots * 3;
    index.pagesMap = reader.map(tail);
    index.rootPage = reader.u32(tail + 4);
    index.flags = reader.u8(format.jet3 ? tail + 8 : tail + 12);
    return index;
}

LogicalIndex readLogicalIndex(const DefinitionReader& reader, const JetFormat& format,
                              size_t offset) {
    LogicalIndex index;
    size_t base = format.jet3 ? offset : offset + 4;
    index.number = reader.u32(base);
    index.realIndexNumber = reader.u32(base + 4);
    index.relatedTableType = reader.u8(base + 8);
    index.relatedIndexNumber = static_cast<int32_t>(reader.u32(base + 9));
    index.relatedTablePage = reader.u32(base + 13);
    index.cascadeUpdates = reader.u8(base + 17);
    index.cascadeDeletes = reader.u8(base + 18);
    index.indexType = reader.u8(base + 19);
    return index;
}

}  // namespace

std::vector<uint8_t> readTableDefinitionBytes(storage::Pager& pager, PageNumber page) {
    std::vector<PageNumber> pages;
    return loadDefinition(pager, page, pages);
}

UsageMapRef readUsageMapRef(Bytes bytes, size_t offset) {
    uint32_t raw = readU32LE(bytes, offset);
    return {static_cast<uint8_t>(raw & 0xFF), raw >> 8};
}

const ColumnDefinition* TableDefinition::findColumn(std::string_view name) const {
    for (const auto& column : columns) {
        if (storage::equalsIgnoringCase(column.name, name)) return &column;
    }
    return nullptr;
}

bool storesRowsAlike(const TableDefinition& from, const TableDefinition& to) {
    if (from.maxColumns != to.maxColumns || from.varColumns != to.varColumns ||
        from.columns.size() != to.columns.size()) {
        return false;
    }
    for (size_t index = 0; index < from.columns.size(); ++index) {
        const ColumnDefinition& a = from.columns[index];
        const ColumnDefinition& b = to.columns[index];
        if (a.isCalculated() || b.isCalculated() || a.type != b.type || a.number != b.number ||
            a.isFixed() != b.isFixed() || a.length != b.length ||
            a.isCompressedUnicode() != b.isCompressedUnicode() || a.codePage != b.codePage) {
            return false;
        }
        if (a.isFixed() ? a.fixedOffset != b.fixedOffset : a.varIndex != b.varIndex) return false;
    }
    return true;
}

TableDefinition readTableDefinition(storage::Pager& pager, const JetFormat& format,
                                    uint16_t codePage, PageNumber page) {
    TableDefinition table;
    table.firstPage = page;
    std::vector<uint8_t> buffer = loadDefinition(pager, page, table.pages);
    DefinitionReader reader(pager, page, buffer);

    table.rowCount = reader.u32(format.tdefRowCountOffset);
    table.lastAutoNumber = reader.u32(format.tdefAutoNumberOffset);
    if (!format.jet3) table.lastComplexAutoNumber = reader.u32(28);
    table.tableType = reader.u8(format.tdefTableTypeOffset);
    table.maxColumns = reader.u16(format.tdefMaxColumnsOffset);
    table.varColumns = reader.u16(format.tdefVarColumnsOffset);
    uint16_t columnCount = reader.u16(format.tdefColumnCountOffset);
    uint32_t logicalIndexCount = reader.u32(format.tdefLogicalIndexCountOffset);
    uint32_t realIndexCount = reader.u32(format.tdefRealIndexCountOffset);
    table.ownedPages = reader.map(format.tdefOwnedMapOffset);
    table.freeSpacePages = reader.map(format.tdefFreeMapOffset);

    // Counts bound every loop below; anything larger than the format allows is damage, and
    // checking here keeps a bad count from reserving absurd amounts of memory.
    // A table has at most as many columns as column slots: the slots never shrink.
    if (columnCount == 0 || columnCount > 4096 || logicalIndexCount > 256 || realIndexCount > 256 ||
        columnCount > table.maxColumns) {
        reader.fail("holds impossible column or index counts");
    }

    size_t offset = format.tdefHeaderSize;
    for (uint32_t index = 0; index < realIndexCount; ++index) {
        RealIndex real;
        real.number = index;
        real.uniqueEntryCount = reader.u32(offset + 4);
        table.realIndexes.push_back(real);
        offset += format.realIndexCountBlockSize;
    }

    std::vector<ColumnDefinition> columns;
    for (uint16_t index = 0; index < columnCount; ++index) {
        columns.push_back(readColumn(reader, format, offset));
        offset += format.columnDescriptorSize;
    }
    for (auto& column : columns) {
        column.name = readName(reader, format, codePage, offset);
        if (column.codePage == 0 && isTextType(column.type)) column.codePage = codePage;
    }

    table.stored.realIndexes = offset;
    for (uint32_t index = 0; index < realIndexCount; ++index) {
        RealIndex parsed = readRealIndex(reader, format, offset);
        parsed.number = index;
        parsed.uniqueEntryCount = table.realIndexes[index].uniqueEntryCount;
        table.realIndexes[index] = parsed;
        offset += format.realIndexDefinitionSize;
    }
    table.stored.logicalIndexes = offset;
    for (uint32_t index = 0; index < logicalIndexCount; ++index) {
        LogicalIndex logical = readLogicalIndex(reader, format, offset);
        if (logical.realIndexNumber >= realIndexCount) {
            reader.fail("holds an index that refers to a missing index");
        }
        table.logicalIndexes.push_back(logical);
        offset += format.logicalIndexDefinitionSize;
    }
    table.stored.logicalNames = offset;
    for (auto& logical : table.logicalIndexes) {
        logical.name = readName(reader, format, codePage, offset);
    }
    table.stored.columnMaps = offset;

    // The long-value column maps run to a 0xFFFF terminator; files whose definition ends
    // before one simply have no such maps.
    size_t end = std::min<size_t>(reader.u32(kDefinitionLengthOffset), buffer.size());
    while (offset + 2 <= end) {
        uint16_t number = reader.u16(offset);
        if (number == kEndOfColumnMaps) break;
        auto column = std::find_if(columns.begin(), columns.end(),
                                   [number](const auto& c) { return c.number == number; });
        if (column != columns.end()) {
            column->lvOwnedMap = reader.map(offset + 2);
            column->lvFreeMap = reader.map(offset + 6);
        }
        offset += 10;
    }
    // The terminator, when there is one, is the definition's last two bytes.
    if (offset + 2 < end) {
        reader.fail("ends at byte " + std::to_string(offset + 2) + ", not where its length says");
    }
    table.stored.end = end;

    std::sort(columns.begin(), columns.end(),
              [](const auto& a, const auto& b) { return a.number < b.number; });
    for (size_t index = 1; index < columns.size(); ++index) {
        if (columns[index].number == columns[index - 1].number) {
            reader.fail("holds two columns with the same number");
        }
    }
    for (const auto& real : table.realIndexes) {
        for (const auto& part : real.columns) {
            if (std::none_of(columns.begin(), columns.end(),
                             [&](const auto& c) { return c.number == part.columnNumber; })) {
                reader.fail("holds an index on a missing column");
            }
        }
    }
    table.columns = std::move(columns);
    return table;
}

}  // namespace engine::format

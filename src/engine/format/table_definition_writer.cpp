#include "engine/format/table_definition_writer.h"

#include "engine/storage/unicode.h"

namespace engine::format {

using storage::writeU16LE;
using storage::writeU32LE;

namespace {

constexpr uint32_t kDefinitionConstant = 1625;
constexpr uint32_t kRealIndexConstant = 1923;
constexpr uint16_t kDefaultLcid = 0x0409;
constexpr size_t kPageHeaderSize = 8;
constexpr size_t kDefinitionLengthOffset = 8;
constexpr uint16_t kUnusedIndexColumn = 0xFFFF;

class Writer {
public:
    void u8(uint8_t value) { m_bytes.push_back(value); }
    void u16(uint16_t value) { u8(uint8_t(value)), u8(uint8_t(value >> 8)); }
    void u32(uint32_t value) { u16(uint16_t(value)), u16(uint16_t(value >> 16)); }
    void map(UsageMapRef ref) { u32(static_cast<uint32_t>(ref.row) | (ref.page << 8)); }
    void zeros(size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }
    void name(const std::string& text) {
        std::u16string units = storage::utf8ToUtf16(text);
        u16(static_cast<uint16_t>(units.size() * 2));
        for (char16_t unit : units) u16(unit);
    }
    std::vector<uint8_t>& bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

}  // namespace

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
                                          uint8_t sortVersion) {
    if (format.jet3) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    Writer out;
    out.u8(0x02);
    out.u8(0x01);
    out.zeros(6);  // free space and next page, set when the pages are written
    out.u32(0);    // definition length, set below
    out.u32(kDefinitionConstant);
    out.u32(table.rowCount);
    out.u32(table.lastAutoNumber);
    out.u8(1);  // the product sets this AutoNumber flag on every table
    out.zeros(3);
    out.u32(table.lastComplexAutoNumber);
    out.zeros(8);
    out.u8(table.tableType);
    out.u16(table.maxColumns);
    out.u16(table.varColumns);
    out.u16(static_cast<uint16_t>(table.columns.size()));
    out.u32(static_cast<uint32_t>(table.logicalIndexes.size()));
    out.u32(static_cast<uint32_t>(table.realIndexes.size()));
    out.map(table.ownedPages);
    out.map(table.freeSpacePages);

    for (const auto& real : table.realIndexes) {
        out.u32(0);
        out.u32(real.uniqueEntryCount);
        out.u32(0);
    }
    for (const auto& column : table.columns) {
        out.u8(static_cast<uint8_t>(column.type));
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
    for (const auto& column : table.columns) out.name(column.name);
    for (const auto& real : table.realIndexes) {
        out.u32(kRealIndexConstant);
        for (size_t slot = 0; slot < 10; ++slot) {
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
        out.u32(0);
        out.u8(real.flags);
        out.zeros(5);
    }
    for (const auto& logical : table.logicalIndexes) {
        out.u32(kDefinitionConstant);
        out.u32(logical.number);
        out.u32(logical.realIndexNumber);
        out.u8(logical.relatedTableType);
        out.u32(static_cast<uint32_t>(logical.relatedIndexNumber));
        out.u32(logical.relatedTablePage);
        out.u8(logical.cascadeUpdates);
        out.u8(logical.cascadeDeletes);
        out.u8(logical.indexType);
        out.u32(0);
    }
    for (const auto& logical : table.logicalIndexes) out.name(logical.name);
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

void writeTableDefinition(storage::Pager& pager, PageAllocator& allocator,
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
        // The product records free space only on a definition that fits one page.
        uint16_t free = pageCount == 1 ? static_cast<uint16_t>(pageSize - logical.size() - 8)
                        : index == 0   ? 0
                                       : static_cast<uint16_t>(pageSize - start - take);
        writeU16LE(page, 2, free);
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
    if (!format.jet3) writeU32LE(page, 28, table.lastComplexAutoNumber);
    // The unique-entry counts sit in the blocks that open the variable part; they lie on the
    // first page for any table with fewer than about 300 indexes.
    for (const auto& real : table.realIndexes) {
        size_t at = format.tdefHeaderSize + real.number * format.realIndexCountBlockSize + 4;
        if (at + 4 <= page.size()) writeU32LE(page, at, real.uniqueEntryCount);
    }
    pager.write(table.firstPage, page);
}

}  // namespace engine::format

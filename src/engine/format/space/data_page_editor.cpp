#include "engine/format/space/data_page_editor.h"

#include <algorithm>

namespace engine::format {

using storage::readU16LE;
using storage::writeU16LE;
using storage::writeU32LE;

namespace {
constexpr size_t kFreeSpaceOffset = 2;
constexpr size_t kOwnerOffset = 4;
}  // namespace

uint32_t maxRowOnEmptyPage(const JetFormat& format) {
    return format.pageSize - format.dataRowTableOffset - 2;
}

DataPageEditor::DataPageEditor(const JetFormat& format, storage::PageBuffer page)
    : m_format(&format), m_page(std::move(page)) {}

DataPageEditor DataPageEditor::fresh(const JetFormat& format, uint32_t owner) {
    storage::PageBuffer page(format.pageSize, 0);
    page[0] = kDataPageType;
    page[1] = 0x01;
    writeU32LE(page, kOwnerOffset, owner);
    DataPageEditor editor(format, std::move(page));
    editor.updateFreeSpace();
    return editor;
}

DataPageEditor DataPageEditor::copyOf(storage::Bytes page, const JetFormat& format,
                                      PageNumber number, const std::string& path, uint32_t owner) {
    DataPageView view(page, format, number, path);  // validates the header and row table
    view.requireOwner(owner);
    view.requirePacked();
    return DataPageEditor(format, storage::PageBuffer(page.begin(), page.end()));
}

uint16_t DataPageEditor::rowCount() const {
    return readU16LE(m_page, m_format->dataRowCountOffset);
}

uint16_t DataPageEditor::lowestRowStart() const {
    uint16_t count = rowCount();
    if (count == 0) return static_cast<uint16_t>(m_format->pageSize);
    // Rows are packed downwards in slot order, so the last slot holds the lowest row.
    return readU16LE(m_page, m_format->dataRowTableOffset + 2u * (count - 1)) & kRowOffsetMask;
}

uint16_t DataPageEditor::freeSpace() const { return readU16LE(m_page, kFreeSpaceOffset); }

void DataPageEditor::updateFreeSpace() {
    uint32_t tableEnd = m_format->dataRowTableOffset + 2u * rowCount();
    writeU16LE(m_page, kFreeSpaceOffset, static_cast<uint16_t>(lowestRowStart() - tableEnd));
}

bool DataPageEditor::fits(size_t rowLength) const {
    return rowCount() < kMaxRowsPerPage && rowLength + 2 <= freeSpace();
}

uint8_t DataPageEditor::appendRow(storage::Bytes row) {
    if (!fits(row.size())) {
        throw EngineError(ErrorCode::Internal, "a row was placed on a page without room for it");
    }
    uint16_t count = rowCount();
    auto start = static_cast<uint16_t>(lowestRowStart() - row.size());
    std::copy(row.begin(), row.end(), m_page.begin() + start);
    writeU16LE(m_page, m_format->dataRowTableOffset + 2u * count, start);
    writeU16LE(m_page, m_format->dataRowCountOffset, static_cast<uint16_t>(count + 1));
    updateFreeSpace();
    return static_cast<uint8_t>(count);
}

void DataPageEditor::overwriteRow(uint8_t row, storage::Bytes bytes) {
    DataPageView view(m_page, *m_format, 0, "");
    RowSlot slot = view.slot(row);
    if (static_cast<size_t>(slot.end - slot.start) != bytes.size()) {
        throw EngineError(ErrorCode::Internal, "a row was rewritten with a different length");
    }
    std::copy(bytes.begin(), bytes.end(), m_page.begin() + slot.start);
}

void DataPageEditor::markDeleted(uint8_t row) {
    if (row >= rowCount()) {
        throw EngineError(ErrorCode::Internal, "a row that is not on its page was deleted");
    }
    size_t at = m_format->dataRowTableOffset + 2u * row;
    writeU16LE(m_page, at, readU16LE(m_page, at) | kRowDeletedFlag | kRowLookupFlag);
}

}  // namespace engine::format

#include "engine/format/space/data_page.h"

namespace engine::format {

using storage::readU16LE;
using storage::readU32LE;

namespace {
constexpr size_t kFreeSpaceOffset = 2;
constexpr size_t kOwnerOffset = 4;
}  // namespace

DataPageView::DataPageView(storage::Bytes page, const JetFormat& format, PageNumber number,
                           const std::string& path)
    : m_page(page), m_format(format), m_number(number), m_path(path) {
    if (m_page.size() != format.pageSize || m_page[0] != kDataPageType) {
        damaged("is not a data page");
    }
    m_rowCount = readU16LE(m_page, format.dataRowCountOffset);
    if (m_rowCount > kMaxRowsPerPage ||
        format.dataRowTableOffset + 2u * m_rowCount > format.pageSize) {
        damaged("claims " + std::to_string(m_rowCount) + " rows");
    }
}

uint32_t DataPageView::owner() const { return readU32LE(m_page, kOwnerOffset); }

uint16_t DataPageView::freeSpace() const { return readU16LE(m_page, kFreeSpaceOffset); }

void DataPageView::badSlot(uint16_t row) const {
    if (row >= m_rowCount) damaged("has no row " + std::to_string(row));
    damaged("holds row " + std::to_string(row) + " outside its row area");
}

void DataPageView::requireOwner(uint32_t expected) const {
    if (owner() == expected) return;
    auto named = [](uint32_t owner) {
        if (owner == kLongValueOwner) return std::string("long values");
        if (owner == kUsageMapOwner) return std::string("usage maps");
        return "the table on page " + std::to_string(owner);
    };
    damaged("belongs to " + named(owner()) + ", not to " + named(expected));
}

void DataPageView::requirePacked() const {
    const uint32_t tableEnd = m_format.dataRowTableOffset + 2u * m_rowCount;
    uint32_t previousStart = m_format.pageSize;
    // The row table lies inside the page (checked on construction).
    const uint8_t* entry = m_page.data() + m_format.dataRowTableOffset;
    for (uint16_t row = 0; row < m_rowCount; ++row, entry += 2) {
        uint32_t start = storage::loadU16LE(entry) & kRowOffsetMask;
        if (start < tableEnd || start > previousStart) {
            damaged("holds row " + std::to_string(row) + " out of place");
        }
        previousStart = start;
    }
    if (freeSpace() != previousStart - tableEnd) {
        damaged("records " + std::to_string(freeSpace()) + " bytes of free space, not " +
                std::to_string(previousStart - tableEnd));
    }
}

void DataPageView::damaged(const std::string& what) const {
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + m_path + "' is damaged: page " + std::to_string(m_number) +
                          " " + what + ".",
                      m_number);
}

}  // namespace engine::format

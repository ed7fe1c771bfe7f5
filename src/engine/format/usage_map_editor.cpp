#include "engine/format/usage_map_editor.h"

#include "engine/format/data_page_editor.h"
#include "engine/format/usage_map.h"

namespace engine::format {

using storage::readU32LE;
using storage::writeU32LE;

std::vector<uint8_t> newInlineMapRow(PageNumber start) {
    std::vector<uint8_t> row(kUsageMapRowSizeJet4, 0);
    row[0] = kInlineMap;
    writeU32LE(row, 1, start);
    return row;
}

std::vector<uint8_t> newReferenceMapRow() {
    std::vector<uint8_t> row(kUsageMapRowSizeJet4, 0);
    row[0] = kReferenceMap;
    return row;
}

UsageMapEditor::UsageMapEditor(storage::Pager& pager, const JetFormat& format,
                               PageAllocator& allocator, UsageMapRef ref)
    : m_pager(pager), m_format(format), m_allocator(allocator), m_ref(ref) {
    std::vector<uint8_t> row = readUsageMapRow(pager, format, ref);
    m_rowLength = row.size();
    if (row[0] == kReferenceMap) {
        for (size_t slot = 0; 1 + slot * 4 + 4 <= row.size(); ++slot) {
            m_bitmapPages.push_back(readU32LE(row, 1 + slot * 4));
        }
    }
    auto pages = readUsageMapPages(pager, format, ref);
    m_pages.insert(pages.begin(), pages.end());
}

void UsageMapEditor::save() {
    if (m_rowLength < kInlineMapHeaderSize) {
        throw EngineError(ErrorCode::Corrupt, "a usage map row is too short to rewrite",
                          m_ref.page);
    }
    std::vector<uint8_t> row(m_rowLength, 0);
    const size_t windowPages = (m_rowLength - kInlineMapHeaderSize) * 8;
    PageNumber first = m_pages.empty() ? 0 : *m_pages.begin() / 8 * 8;
    PageNumber last = m_pages.empty() ? 0 : *m_pages.rbegin();
    bool inlineFits = last - first < windowPages;
    bool wasReference = !m_bitmapPages.empty();

    if (!wasReference && inlineFits) {
        row[0] = kInlineMap;
        writeU32LE(row, 1, first);
        for (PageNumber page : m_pages) {
            size_t bit = page - first;
            row[kInlineMapHeaderSize + bit / 8] |= uint8_t(1u << (bit % 8));
        }
    } else {
        const uint64_t perBitmap = (m_format.pageSize - kBitmapPageHeaderSize) * 8ull;
        const size_t slots = (m_rowLength - 1) / 4;
        m_bitmapPages.resize(slots, 0);
        std::vector<storage::PageBuffer> bitmaps(slots);
        for (PageNumber page : m_pages) {
            size_t slot = page / perBitmap;
            if (slot >= slots) {
                throw EngineError(ErrorCode::DiskFull,
                                  "A usage map of '" + m_pager.path() + "' is full.");
            }
            if (bitmaps[slot].empty()) {
                bitmaps[slot].assign(m_format.pageSize, 0);
                bitmaps[slot][0] = kBitmapPageType;
                bitmaps[slot][1] = 0x01;
            }
            uint64_t bit = page % perBitmap;
            bitmaps[slot][kBitmapPageHeaderSize + bit / 8] |= uint8_t(1u << (bit % 8));
        }
        row[0] = kReferenceMap;
        for (size_t slot = 0; slot < slots; ++slot) {
            if (bitmaps[slot].empty()) {
                // A bitmap page that no longer marks anything is cleared, not freed: the map
                // keeps it for later pages of its range.
                if (m_bitmapPages[slot] == 0) continue;
                bitmaps[slot].assign(m_format.pageSize, 0);
                bitmaps[slot][0] = kBitmapPageType;
                bitmaps[slot][1] = 0x01;
            }
            if (m_bitmapPages[slot] == 0) m_bitmapPages[slot] = m_allocator.allocate();
            m_pager.write(m_bitmapPages[slot], bitmaps[slot]);
            writeU32LE(row, 1 + slot * 4, m_bitmapPages[slot]);
        }
    }
    auto contents = m_pager.read(m_ref.page);
    auto editor =
        DataPageEditor::copyOf(*contents, m_format, m_ref.page, m_pager.path(), kUsageMapOwner);
    editor.overwriteRow(m_ref.row, row);
    m_pager.write(m_ref.page, editor.bytes());
}

}  // namespace engine::format

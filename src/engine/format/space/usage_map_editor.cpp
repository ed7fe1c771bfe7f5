#include "engine/format/space/usage_map_editor.h"

#include "engine/format/space/data_page_editor.h"

#include <algorithm>

namespace engine::format {

using storage::readU32LE;
using storage::writeU32LE;

std::vector<uint8_t> newInlineMapRow(const JetFormat& format, PageNumber start) {
    std::vector<uint8_t> row(format.usageMapRowSize, 0);
    row[0] = kInlineMap;
    writeU32LE(row, 1, start);
    return row;
}

std::vector<uint8_t> newReferenceMapRow(const JetFormat& format) {
    std::vector<uint8_t> row(format.usageMapRowSize, 0);
    row[0] = kReferenceMap;
    return row;
}

UsageMapEditor::UsageMapEditor(storage::Pager& pager, const JetFormat& format,
                               PageAllocator& allocator, UsageMapRef ref)
    : m_pager(pager), m_format(format), m_allocator(allocator), m_ref(ref) {
    m_row = readUsageMapRow(pager, format, ref);
    if (m_row.size() < kInlineMapHeaderSize || (m_row[0] != kInlineMap && !isReference())) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + pager.path() + "' is damaged: the usage map on page " +
                              std::to_string(ref.page) + " cannot be read.",
                          ref.page);
    }
}

size_t UsageMapEditor::windowPages() const { return (m_row.size() - kInlineMapHeaderSize) * 8; }

PageNumber UsageMapEditor::windowStart() const { return readU32LE(m_row, 1); }

size_t UsageMapEditor::slotCount() const { return (m_row.size() - 1) / 4; }

UsageMapEditor::Bitmap* UsageMapEditor::bitmap(size_t slot, bool create) {
    if (auto found = m_bitmaps.find(slot); found != m_bitmaps.end()) return &found->second;
    if (slot >= slotCount()) {
        if (!create) return nullptr;
        throw EngineError(ErrorCode::DiskFull, "A usage map of '" + m_pager.path() + "' is full.");
    }
    const PageNumber page = referenceMapBitmap(m_row, slot);
    Bitmap bitmap;
    if (page != 0) {
        bitmap.page = page;
        auto contents = m_pager.read(page);
        if ((*contents)[0] != kBitmapPageType) {
            throw EngineError(ErrorCode::Corrupt,
                              "The database '" + m_pager.path() + "' is damaged: page " +
                                  std::to_string(page) + " is not a usage bitmap page.",
                              page);
        }
        bitmap.bytes = *contents;
    } else {
        if (!create) return nullptr;
        bitmap.page = m_allocator.allocate();
        bitmap.bytes = newBitmapPage(m_format);
        bitmap.changed = true;
        writeU32LE(m_row, 1 + slot * 4, bitmap.page);
        m_rowChanged = true;
    }
    return &m_bitmaps.emplace(slot, std::move(bitmap)).first->second;
}

bool UsageMapEditor::contains(PageNumber page) {
    if (!isReference()) {
        PageNumber start = windowStart();
        if (page < start || page - start >= windowPages()) return false;
        return testPageBit(inlineBits(), page - start);
    }
    const uint64_t perBitmap = pagesPerBitmapPage(m_format);
    Bitmap* found = bitmap(static_cast<size_t>(page / perBitmap), false);
    if (!found) return false;
    return testPageBit(found->bits(), page % perBitmap);
}

void UsageMapEditor::setBit(PageNumber page, bool on) {
    if (!isReference()) {
        if (assignPageBit(inlineBits(), page - windowStart(), on)) m_rowChanged = true;
        return;
    }
    const uint64_t perBitmap = pagesPerBitmapPage(m_format);
    Bitmap* found = bitmap(static_cast<size_t>(page / perBitmap), on);
    if (!found) return;
    if (assignPageBit(found->bits(), page % perBitmap, on)) found->changed = true;
}

void UsageMapEditor::add(PageNumber page) {
    if (!isReference()) {
        PageNumber start = windowStart();
        if (page < start || page - start >= windowPages()) {
            std::vector<PageNumber> all = marked();
            all.push_back(page);
            relayout(all);
            return;
        }
    }
    setBit(page, true);
}

void UsageMapEditor::remove(PageNumber page) {
    if (!isReference()) {
        PageNumber start = windowStart();
        if (page < start || page - start >= windowPages()) return;
    }
    setBit(page, false);
}

void UsageMapEditor::relayout(const std::vector<PageNumber>& pages) {
    PageNumber first = *std::min_element(pages.begin(), pages.end()) / 8 * 8;
    PageNumber last = *std::max_element(pages.begin(), pages.end());
    std::fill(m_row.begin() + 1, m_row.end(), 0);
    m_rowChanged = true;
    if (last - first < windowPages()) {
        writeU32LE(m_row, 1, first);
    } else {
        m_row[0] = kReferenceMap;
    }
    for (PageNumber page : pages) setBit(page, true);
}

std::vector<PageNumber> UsageMapEditor::pages() {
    std::vector<PageNumber> listed = marked();
    const PageNumber pageCount = m_pager.pageCount();
    listed.erase(std::lower_bound(listed.begin(), listed.end(), pageCount), listed.end());
    return listed;
}

std::vector<PageNumber> UsageMapEditor::marked() {
    std::vector<PageNumber> listed;
    auto collect = [&](uint64_t page) {
        listed.push_back(static_cast<PageNumber>(page));
        return true;
    };
    if (!isReference()) {
        forEachSetPageBit(inlineBits(), windowStart(), collect);
        return listed;
    }
    const uint64_t perBitmap = pagesPerBitmapPage(m_format);
    for (size_t slot = 0; slot < slotCount(); ++slot) {
        if (Bitmap* found = bitmap(slot, false)) {
            forEachSetPageBit(found->bits(), slot * perBitmap, collect);
        }
    }
    return listed;
}

void UsageMapEditor::save() {
    for (auto& [slot, bitmap] : m_bitmaps) {
        if (!bitmap.changed) continue;
        m_pager.write(bitmap.page, bitmap.bytes);
        bitmap.changed = false;
    }
    if (!m_rowChanged) return;
    auto contents = m_pager.read(m_ref.page);
    auto editor =
        DataPageEditor::copyOf(*contents, m_format, m_ref.page, m_pager.path(), kUsageMapOwner);
    editor.overwriteRow(m_ref.row, m_row);
    m_pager.write(m_ref.page, editor.bytes());
    m_rowChanged = false;
}

}  // namespace engine::format

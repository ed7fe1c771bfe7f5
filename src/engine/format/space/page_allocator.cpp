#include "engine/format/space/page_allocator.h"

#include "engine/format/space/data_page_editor.h"
#include "engine/format/space/usage_map.h"

#include <algorithm>

namespace engine::format {

using storage::readU32LE;
using storage::writeU32LE;

namespace {

// The product grows the inline map 32 pages (4 bytes) at a time.
constexpr size_t kInlineGrowthBytes = 4;

std::vector<uint8_t> rowOf(const DataPageView& view, uint16_t row) {
    auto bytes = view.rowBytes(view.slot(row));
    return {bytes.begin(), bytes.end()};
}

}  // namespace

bool PageAllocator::test(const Bits& bits, PageNumber page) {
    return page / 64 < bits.size() && ((bits[page / 64] >> (page % 64)) & 1);
}

PageAllocator::PageAllocator(storage::Pager& pager, const JetFormat& format)
    : m_pager(pager), m_format(format) {
    m_pageCountAtStart = pager.pageCount();
    m_nextNewPage = m_pageCountAtStart;
    m_free.assign((m_pageCountAtStart + 63) / 64, 0);

    auto damaged = [&](PageNumber where, const std::string& what) {
        throw EngineError(
            ErrorCode::Corrupt,
            "The database '" + pager.path() + "' is damaged: the global page map " + what + ".",
            where);
    };
    auto contents = pager.read(kGlobalMapPage);
    DataPageView page(*contents, format, kGlobalMapPage, pager.path());
    // Page 1 names itself as its owner in every file; another owner means another object's page
    // lies where the map belongs.
    if (page.owner() != kGlobalMapPage || page.rowCount() == 0) {
        damaged(kGlobalMapPage, "is missing");
    }
    std::vector<uint8_t> row = rowOf(page, 0);
    auto mark = [&](storage::Bytes bitmap, uint64_t first) {
        forEachSetPageBit(bitmap, first, [&](uint64_t number) {
            if (number >= m_pageCountAtStart) return false;
            m_free[number / 64] |= 1ull << (number % 64);
            return true;
        });
    };
    // Pages past the end that the map calls in use: a healthy file's map calls them free, so
    // such a bit tells of a file cut short or a damaged map, and the take check must see the
    // page before the file grows over it.
    const uint64_t largestFile = (1ull << 31) / format.pageSize;
    auto markPastEnd = [&](storage::Bytes bitmap, uint64_t first) {
        const uint64_t end = std::min<uint64_t>(first + bitmap.size() * 8, largestFile);
        for (uint64_t number = std::max<uint64_t>(first, m_pageCountAtStart); number < end;
             ++number) {
            if (testPageBit(bitmap, number - first)) continue;
            if (number / 64 >= m_inUsePastEnd.size()) m_inUsePastEnd.resize(number / 64 + 1, 0);
            m_inUsePastEnd[number / 64] |= 1ull << (number % 64);
        }
    };
    const bool inlineForm = row.size() >= kInlineMapHeaderSize && row[0] == kInlineMap;
    if (!inlineForm && (row.empty() || row[0] != kReferenceMap)) {
        damaged(kGlobalMapPage, "has an unknown form");
    }
    if (inlineForm) m_inlineBitmapBytes = row.size() - kInlineMapHeaderSize;
    // Slots are kept as stored: one that points to no page is written back as it was.
    for (size_t slot = 0; !inlineForm && 1 + slot * 4 + 4 <= row.size(); ++slot) {
        m_bitmapPages.push_back(readU32LE(row, 1 + slot * 4));
    }
    if (row.size() >= kInlineMapHeaderSize) {
        forEachMapBitmap(
            pager, format, row,
            [&](storage::Bytes bitmap, uint64_t first) {
                mark(bitmap, first);
                markPastEnd(bitmap, first);
            },
            [&](PageNumber bitmapPage) {
                damaged(bitmapPage, "keeps bits on page " + std::to_string(bitmapPage) +
                                        ", which is not a usage bitmap page of the file");
            });
    }
    // The header and the map's own page are never free, whatever the map says.
    if (!m_free.empty()) m_free[0] &= ~3ull;
    m_freeAtStart = m_free;
    m_taken.assign(m_free.size(), 0);
}

bool PageAllocator::takenFromFree(PageNumber page) const { return test(m_taken, page); }

bool PageAllocator::wasInUseAtStart(PageNumber page) const {
    return page < m_pageCountAtStart && !test(m_freeAtStart, page);
}

bool PageAllocator::isFree(PageNumber page) const {
    return page < m_nextNewPage ? test(m_free, page) : true;
}

void PageAllocator::setFree(PageNumber page, bool free) {
    if (page / 64 >= m_free.size()) m_free.resize(page / 64 + 1, 0);
    uint64_t mask = 1ull << (page % 64);
    m_free[page / 64] = free ? (m_free[page / 64] | mask) : (m_free[page / 64] & ~mask);
    m_changed = true;
    if (!m_bitmapPages.empty()) m_changedSlots.insert(page / pagesPerBitmapPage(m_format));
}

PageNumber PageAllocator::allocate() {
    // Free at the start and still free now, word by word.
    for (size_t word = m_searchFrom / 64; word < m_freeAtStart.size(); ++word) {
        uint64_t candidates = m_freeAtStart[word] & m_free[word];
        if (word == m_searchFrom / 64) candidates &= ~0ull << (m_searchFrom % 64);
        if (candidates == 0) continue;
        auto page =
            static_cast<PageNumber>(word * 64 + static_cast<size_t>(__builtin_ctzll(candidates)));
        if (page >= m_pageCountAtStart) break;
        if (m_takeCheck) m_takeCheck(page);
        setFree(page, false);
        m_taken[word] |= 1ull << (page % 64);
        m_searchFrom = page + 1;
        return page;
    }
    m_searchFrom = m_pageCountAtStart;
    PageNumber page = m_nextNewPage;
    // The largest file the format allows is 2 GiB.
    if (static_cast<uint64_t>(page + 1) * m_format.pageSize > (1ull << 31)) {
        throw EngineError(ErrorCode::DiskFull,
                          "The database '" + m_pager.path() + "' has reached its size limit.");
    }
    if (m_takeCheck && test(m_inUsePastEnd, page)) m_takeCheck(page);
    ++m_nextNewPage;
    setFree(page, false);
    return page;
}

void PageAllocator::release(PageNumber page) {
    if (page <= kGlobalMapPage) {
        throw EngineError(ErrorCode::Internal, "page " + std::to_string(page) + " cannot be freed");
    }
    setFree(page, true);
}

std::vector<uint8_t> PageAllocator::inlineRow(size_t bitmapBytes) const {
    std::vector<uint8_t> row(kInlineMapHeaderSize + bitmapBytes, 0);
    row[0] = kInlineMap;
    writeU32LE(row, 1, 0);
    const auto bits = storage::MutableBytes(row).subspan(kInlineMapHeaderSize);
    for (size_t page = 0; page < bitmapBytes * 8; ++page) {
        if (isFree(static_cast<PageNumber>(page))) assignPageBit(bits, page, true);
    }
    return row;
}

void PageAllocator::saveReferenceMap(std::vector<uint8_t>& row) {
    const uint64_t perBitmap = pagesPerBitmapPage(m_format);
    // Bitmap pages are allocated first; allocating can extend the file they describe, so
    // repeat until every page has a bitmap.
    while (m_bitmapPages.size() * perBitmap <= m_nextNewPage ||
           std::find(m_bitmapPages.begin(), m_bitmapPages.end(), 0u) != m_bitmapPages.end()) {
        if (m_bitmapPages.size() * perBitmap <= m_nextNewPage) m_bitmapPages.push_back(0);
        for (size_t slot = 0; slot < m_bitmapPages.size(); ++slot) {
            if (m_bitmapPages[slot] != 0) continue;
            m_bitmapPages[slot] = allocate();
            m_changedSlots.insert(slot);
        }
    }
    // At least as many slots as a map row of the length the product writes holds.
    size_t slots = std::max<size_t>(m_bitmapPages.size(), (m_format.usageMapRowSize - 1) / 4);
    row.assign(1 + 4 * slots, 0);
    row[0] = kReferenceMap;
    for (size_t slot = 0; slot < m_bitmapPages.size(); ++slot) {
        writeU32LE(row, 1 + slot * 4, m_bitmapPages[slot]);
    }
    for (size_t slot : m_changedSlots) {
        if (slot >= m_bitmapPages.size() || !pointsToBitmapPage(m_bitmapPages[slot])) continue;
        storage::PageBuffer bitmap = newBitmapPage(m_format);
        const auto bits = storage::MutableBytes(bitmap).subspan(kBitmapPageHeaderSize);
        for (uint64_t bit = 0; bit < perBitmap; ++bit) {
            if (isFree(static_cast<PageNumber>(slot * perBitmap + bit))) {
                assignPageBit(bits, bit, true);
            }
        }
        m_pager.write(m_bitmapPages[slot], bitmap);
    }
    m_changedSlots.clear();
}

void PageAllocator::save() {
    if (!m_changed) return;
    auto contents = m_pager.read(kGlobalMapPage);
    DataPageView oldPage(*contents, m_format, kGlobalMapPage, m_pager.path());
    std::vector<uint8_t> oldRow = rowOf(oldPage, 0);
    std::vector<uint8_t> secondRow;
    if (oldPage.rowCount() > 1) secondRow = rowOf(oldPage, 1);

    const size_t available = maxRowOnEmptyPage(m_format) - 2 - secondRow.size();
    // Cover every page the file will have, with room to grow in the product's steps.
    size_t neededBytes = std::max<size_t>(m_inlineBitmapBytes, (m_nextNewPage + 7) / 8);
    neededBytes = (neededBytes + kInlineGrowthBytes - 1) / kInlineGrowthBytes * kInlineGrowthBytes;

    std::vector<uint8_t> row;
    if (m_bitmapPages.empty() && kInlineMapHeaderSize + neededBytes <= available) {
        row = inlineRow(neededBytes);
    } else {
        // A reference map; when the inline map outgrew its page, every slot is new.
        saveReferenceMap(row);
    }
    m_changed = false;
    if (row == oldRow) return;
    if (row.size() + secondRow.size() + 4 > maxRowOnEmptyPage(m_format)) {
        throw EngineError(ErrorCode::Internal, "the global page map does not fit on its page");
    }
    DataPageEditor page = DataPageEditor::fresh(m_format, kGlobalMapPage);
    page.appendRow(row);
    if (!secondRow.empty()) page.appendRow(secondRow);
    m_pager.write(kGlobalMapPage, page.bytes());
}

}  // namespace engine::format

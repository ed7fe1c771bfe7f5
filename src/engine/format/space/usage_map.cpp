#include "engine/format/space/usage_map.h"

#include "engine/format/space/data_page.h"

namespace engine::format {

using storage::readU32LE;

PageNumber referenceMapBitmap(const std::vector<uint8_t>& row, size_t slot) {
    const PageNumber page = readU32LE(row, 1 + slot * 4);
    return pointsToBitmapPage(page) ? page : 0;
}

std::vector<uint8_t> readUsageMapRow(storage::Pager& pager, const JetFormat& format,
                                     UsageMapRef ref) {
    auto contents = pager.read(ref.page);
    DataPageView page(*contents, format, ref.page, pager.path());
    RowSlot slot = page.slot(ref.row);
    auto bytes = page.rowBytes(slot);
    if (slot.deleted || bytes.empty()) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + pager.path() + "' is damaged: the usage map in row " +
                              std::to_string(ref.row) + " of page " + std::to_string(ref.page) +
                              " is missing.",
                          ref.page);
    }
    return {bytes.begin(), bytes.end()};
}

std::vector<PageNumber> readUsageMapPages(storage::Pager& pager, const JetFormat& format,
                                          UsageMapRef ref) {
    std::vector<uint8_t> row = readUsageMapRow(pager, format, ref);
    if (row[0] == kInlineMap && row.size() < kInlineMapHeaderSize) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + pager.path() + "' is damaged: the usage map " +
                              "in row " + std::to_string(ref.row) + " of page " +
                              std::to_string(ref.page) + " is cut short.",
                          ref.page);
    }
    if (row[0] != kInlineMap && row[0] != kReferenceMap) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + pager.path() + "' is damaged: the usage map on page " +
                              std::to_string(ref.page) + " has unknown type " +
                              std::to_string(row[0]) + ".",
                          ref.page);
    }
    // A reference map row shorter than the inline header has no whole slot to read.
    if (row.size() < kInlineMapHeaderSize) return {};
    std::vector<PageNumber> pages;
    const PageNumber pageCount = pager.pageCount();
    // A map that names a page the file does not have lost pages when the file was cut short,
    // or is itself damaged: either way the pages it describes cannot be trusted.
    auto collect = [&](storage::Bytes bits, uint64_t first) {
        forEachSetPageBit(bits, first, [&](uint64_t page) {
            if (page >= pageCount) {
                throw EngineError(
                    ErrorCode::Corrupt,
                    "The database '" + pager.path() + "' is damaged: the usage map in row " +
                        std::to_string(ref.row) + " of page " + std::to_string(ref.page) +
                        " names page " + std::to_string(page) + ", past the end of the file.",
                    ref.page);
            }
            pages.push_back(static_cast<PageNumber>(page));
            return true;
        });
    };
    forEachMapBitmap(pager, format, row, collect, [&](PageNumber bitmapPage) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + pager.path() + "' is damaged: page " +
                              std::to_string(bitmapPage) + " is not a usage bitmap page.",
                          bitmapPage);
    });
    return pages;
}

}  // namespace engine::format

#include "engine/format/usage_map.h"

#include "engine/format/data_page.h"

namespace engine::format {

using storage::readU32LE;

namespace {

// A map that names a page the file does not have lost pages when the file was cut short, or
// is itself damaged: either way the pages it describes cannot be trusted.
void collectBits(const storage::Pager& pager, UsageMapRef ref, storage::Bytes bitmap,
                 uint64_t first, std::vector<PageNumber>& pages) {
    const PageNumber pageCount = pager.pageCount();
    for (size_t byteIndex = 0; byteIndex < bitmap.size(); ++byteIndex) {
        uint8_t bits = bitmap[byteIndex];
        while (bits != 0) {
            int bit = __builtin_ctz(bits);
            bits = static_cast<uint8_t>(bits & (bits - 1));
            uint64_t page = first + byteIndex * 8 + static_cast<uint64_t>(bit);
            if (page >= pageCount) {
                throw EngineError(ErrorCode::Corrupt,
                                  "The database '" + pager.path() +
                                      "' is damaged: the usage map in row " +
                                      std::to_string(ref.row) + " of page " +
                                      std::to_string(ref.page) + " names page " +
                                      std::to_string(page) + ", past the end of the file.",
                                  ref.page);
            }
            pages.push_back(static_cast<PageNumber>(page));
        }
    }
}

}  // namespace

PageNumber referenceMapBitmap(const std::vector<uint8_t>& row, size_t slot) {
    const PageNumber page = readU32LE(row, 1 + slot * 4);
    return (page & 0x80000000u) != 0 ? 0 : page;
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
    std::vector<PageNumber> pages;
    if (row[0] == kInlineMap) {
        if (row.size() < kInlineMapHeaderSize) {
            throw EngineError(ErrorCode::Corrupt,
                              "The database '" + pager.path() + "' is damaged: the usage map " +
                                  "in row " + std::to_string(ref.row) + " of page " +
                                  std::to_string(ref.page) + " is cut short.",
                              ref.page);
        }
        collectBits(pager, ref, storage::Bytes(row).subspan(kInlineMapHeaderSize),
                    readU32LE(row, 1), pages);
        return pages;
    }
    if (row[0] != kReferenceMap) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + pager.path() + "' is damaged: the usage map on page " +
                              std::to_string(ref.page) + " has unknown type " +
                              std::to_string(row[0]) + ".",
                          ref.page);
    }
    const PageNumber pagesPerBitmap = (format.pageSize - kBitmapPageHeaderSize) * 8;
    for (size_t slot = 0; 1 + slot * 4 + 4 <= row.size(); ++slot) {
        const PageNumber bitmapPage = referenceMapBitmap(row, slot);
        if (bitmapPage == 0) continue;
        auto contents = pager.read(bitmapPage);
        storage::Bytes bitmap = *contents;
        if (bitmap[0] != kBitmapPageType) {
            throw EngineError(ErrorCode::Corrupt,
                              "The database '" + pager.path() + "' is damaged: page " +
                                  std::to_string(bitmapPage) + " is not a usage bitmap page.",
                              bitmapPage);
        }
        collectBits(pager, ref, bitmap.subspan(kBitmapPageHeaderSize),
                    static_cast<uint64_t>(slot) * pagesPerBitmap, pages);
    }
    return pages;
}

}  // namespace engine::format

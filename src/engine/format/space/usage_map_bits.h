// Addressing pages in the bitmaps of usage maps (their forms are in usage_map.h): bit i of a
// bitmap, the least significant bit of each byte first, stands for page first + i. The one
// place that knows how bits, bytes and bitmap pages relate; the map reader, the map editor and
// the page allocator all go through it.
#pragma once

#include "engine/format/jet_format.h"
#include "engine/storage/byte_order.h"
#include "engine/storage/pager.h"

#include <cassert>
#include <cstdint>
#include <vector>

namespace engine::format {

inline constexpr uint8_t kInlineMap = 0x00;
inline constexpr uint8_t kReferenceMap = 0x01;
inline constexpr uint8_t kBitmapPageType = 0x05;
inline constexpr size_t kInlineMapHeaderSize = 5;
inline constexpr size_t kBitmapPageHeaderSize = 4;

// How many pages one bitmap page of a reference map covers: slot k covers the pages from
// k times this many.
inline uint64_t pagesPerBitmapPage(const JetFormat& format) {
    return (format.pageSize - kBitmapPageHeaderSize) * 8ull;
}

// Whether a reference map's slot, as stored, points to a bitmap page: 0 points to none, and so
// does a value with its top bit set (0xFFFFFF80 in a file Access 2000 made).
inline bool pointsToBitmapPage(uint32_t stored) {
    return stored != 0 && (stored & 0x80000000u) == 0;
}

// REQUIRES: bit < bits.size() * 8.
inline bool testPageBit(storage::Bytes bits, uint64_t bit) {
    assert(bit / 8 < bits.size());
    return ((bits[bit / 8] >> (bit % 8)) & 1) != 0;
}

// Sets or clears the bit; true when that changed it. REQUIRES: bit < bits.size() * 8.
inline bool assignPageBit(storage::MutableBytes bits, uint64_t bit, bool on) {
    assert(bit / 8 < bits.size());
    uint8_t& byte = bits[bit / 8];
    const auto mask = static_cast<uint8_t>(1u << (bit % 8));
    const bool was = (byte & mask) != 0;
    byte = on ? static_cast<uint8_t>(byte | mask) : static_cast<uint8_t>(byte & ~mask);
    return was != on;
}

// Calls visit(page) for each set bit of the bitmap, in ascending order, while visit returns
// true.
template <class Visit>
void forEachSetPageBit(storage::Bytes bits, uint64_t first, Visit&& visit) {
    for (size_t index = 0; index < bits.size(); ++index) {
        for (uint8_t byte = bits[index]; byte != 0; byte &= static_cast<uint8_t>(byte - 1)) {
            if (!visit(first + index * 8 + static_cast<uint64_t>(__builtin_ctz(byte)))) return;
        }
    }
}

// A bitmap page with no bit set.
inline storage::PageBuffer newBitmapPage(const JetFormat& format) {
    storage::PageBuffer page(format.pageSize, 0);
    page[0] = kBitmapPageType;
    page[1] = 0x01;
    return page;
}

// Calls visit(bits, first) for each bitmap a map row holds: its own bits in the inline form,
// and the bits of each bitmap page the reference form points to. A pointed-to page that is not a
// bitmap page of the file (outside it, the header, the global map's own page, another page
// type) goes to notBitmap(page), which throws.
// REQUIRES: row holds at least the inline header and row[0] is kInlineMap or kReferenceMap.
template <class Visit, class NotBitmap>
void forEachMapBitmap(storage::Pager& pager, const JetFormat& format,
                      const std::vector<uint8_t>& row, Visit&& visit, NotBitmap&& notBitmap) {
    assert(row.size() >= kInlineMapHeaderSize && (row[0] == kInlineMap || row[0] == kReferenceMap));
    if (row[0] == kInlineMap) {
        visit(storage::Bytes(row).subspan(kInlineMapHeaderSize), storage::readU32LE(row, 1));
        return;
    }
    for (size_t slot = 0; 1 + slot * 4 + 4 <= row.size(); ++slot) {
        const uint32_t page = storage::readU32LE(row, 1 + slot * 4);
        if (!pointsToBitmapPage(page)) continue;
        storage::PageRef contents;
        if (page > 1 && page < pager.pageCount()) contents = pager.read(page);
        if (!contents || (*contents)[0] != kBitmapPageType) notBitmap(page);
        visit(storage::Bytes(*contents).subspan(kBitmapPageHeaderSize),
              slot * pagesPerBitmapPage(format));
    }
}

}  // namespace engine::format

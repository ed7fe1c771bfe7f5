#include "engine/format/index_page.h"

#include <algorithm>

namespace engine::format {

using storage::readU16LE;
using storage::readU32LE;
using storage::writeU16LE;
using storage::writeU32LE;

namespace {

constexpr size_t kRowPointerSize = 4;
constexpr size_t kChildPointerSize = 4;

struct Offsets {
    size_t previous, next, tail, prefix, mask, entries;
};

Offsets offsetsOf(const JetFormat& format) {
    if (format.jet3) return {8, 12, 16, 20, 22, 0xF8};
    return {12, 16, 20, 24, 27, 0x1E0};
}

[[noreturn]] void damaged(const std::string& path, PageNumber page, const std::string& what) {
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + path + "' is damaged: index page " + std::to_string(page) +
                          " " + what + ".",
                      page);
}

std::vector<uint8_t> storedBytes(const IndexEntry& entry, bool leaf) {
    std::vector<uint8_t> bytes = entry.sortBytes();
    if (!leaf) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes.push_back(static_cast<uint8_t>(entry.child >> shift));
        }
    }
    return bytes;
}

}  // namespace

std::vector<uint8_t> IndexEntry::sortBytes() const {
    std::vector<uint8_t> bytes = key;
    bytes.push_back(static_cast<uint8_t>(row.page >> 16));
    bytes.push_back(static_cast<uint8_t>(row.page >> 8));
    bytes.push_back(static_cast<uint8_t>(row.page));
    bytes.push_back(row.row);
    return bytes;
}

IndexPage parseIndexPage(storage::Bytes bytes, const JetFormat& format, PageNumber number,
                         const std::string& path) {
    Offsets at = offsetsOf(format);
    if (bytes.size() != format.pageSize ||
        (bytes[0] != kIndexNodePageType && bytes[0] != kIndexLeafPageType)) {
        damaged(path, number, "is not an index page");
    }
    IndexPage page;
    page.leaf = bytes[0] == kIndexLeafPageType;
    page.owner = readU32LE(bytes, 4);
    page.previous = readU32LE(bytes, at.previous);
    page.next = readU32LE(bytes, at.next);
    page.tail = readU32LE(bytes, at.tail);
    // Jet 3 keeps the prefix length in one byte (the next is a flag, as byte 26 is in Jet 4).
    size_t prefixLength = format.jet3 ? bytes[at.prefix] : readU16LE(bytes, at.prefix);
    const size_t pointers = kRowPointerSize + (page.leaf ? 0 : kChildPointerSize);

    size_t maskBytes = at.entries - at.mask;
    size_t areaSize = std::min<size_t>(maskBytes * 8, format.pageSize - at.entries);
    storage::Bytes area = bytes.subspan(at.entries, format.pageSize - at.entries);
    std::vector<uint8_t> prefix;
    size_t start = 0;
    for (size_t bit = 1; bit <= areaSize && bit < maskBytes * 8; ++bit) {
        if (!((bytes[at.mask + bit / 8] >> (bit % 8)) & 1)) continue;
        std::vector<uint8_t> entry;
        if (page.entries.empty()) {
            if (prefixLength > bit)
                damaged(path, number, "has a prefix longer than its first entry");
            prefix.assign(area.begin(), area.begin() + static_cast<std::ptrdiff_t>(prefixLength));
            entry.assign(area.begin(), area.begin() + static_cast<std::ptrdiff_t>(bit));
        } else {
            entry = prefix;
            entry.insert(entry.end(), area.begin() + static_cast<std::ptrdiff_t>(start),
                         area.begin() + static_cast<std::ptrdiff_t>(bit));
        }
        start = bit;
        if (entry.size() < pointers) damaged(path, number, "holds an entry too short to point");
        IndexEntry parsed;
        size_t keyLength = entry.size() - pointers;
        parsed.key.assign(entry.begin(), entry.begin() + static_cast<std::ptrdiff_t>(keyLength));
        parsed.row.page = storage::readU24BE(entry, keyLength);
        parsed.row.row = entry[keyLength + 3];
        if (!page.leaf) parsed.child = storage::readU32BE(entry, keyLength + kRowPointerSize);
        page.entries.push_back(std::move(parsed));
    }
    return page;
}

IndexPage readIndexPage(storage::Pager& pager, const JetFormat& format, PageNumber number,
                        PageNumber owner) {
    // Pages 0 and 1 are the header and the global page map, never part of an index.
    constexpr PageNumber kFirstIndexPage = 2;
    auto inside = [&](PageNumber page) { return page >= kFirstIndexPage && page < pager.pageCount(); };
    if (!inside(number)) damaged(pager.path(), number, "lies outside the file's index pages");
    auto contents = pager.read(number);
    IndexPage page = parseIndexPage(*contents, format, number, pager.path());
    if (page.owner != owner) {
        damaged(pager.path(), number,
                "belongs to the table on page " + std::to_string(page.owner) + ", not to the " +
                    "table on page " + std::to_string(owner));
    }
    for (PageNumber linked : {page.previous, page.next, page.tail}) {
        if (linked != 0 && !inside(linked)) {
            damaged(pager.path(), number, "links to page " + std::to_string(linked) +
                                              ", outside the file's index pages");
        }
    }
    for (const auto& entry : page.entries) {
        if (!page.leaf && !inside(entry.child)) {
            damaged(pager.path(), number, "names child page " + std::to_string(entry.child) +
                                              ", outside the file's index pages");
        }
    }
    return page;
}

std::optional<storage::PageBuffer> buildIndexPage(const IndexPage& page, const JetFormat& format) {
    Offsets at = offsetsOf(format);
    const size_t maskBytes = at.entries - at.mask;
    const size_t capacity = std::min<size_t>(maskBytes * 8 - 1, format.pageSize - at.entries);

    std::vector<std::vector<uint8_t>> stored;
    size_t whole = 0;
    for (const auto& entry : page.entries) {
        stored.push_back(storedBytes(entry, page.leaf));
        whole += stored.back().size();
    }
    // The product shares a prefix only when the entries would not fit without one.
    size_t prefixLength = 0;
    if (whole > capacity && stored.size() > 1) {
        const auto& first = page.entries.front().key;
        const auto& last = page.entries.back().key;
        while (prefixLength < first.size() && prefixLength < last.size() &&
               first[prefixLength] == last[prefixLength]) {
            ++prefixLength;
        }
    }
    size_t total = prefixLength;
    for (const auto& bytes : stored) total += bytes.size() - prefixLength;
    if (total > capacity) return std::nullopt;

    storage::PageBuffer out(format.pageSize, 0);
    out[0] = page.leaf ? kIndexLeafPageType : kIndexNodePageType;
    out[1] = 0x01;
    writeU32LE(out, 4, page.owner);
    writeU32LE(out, at.previous, page.previous);
    writeU32LE(out, at.next, page.next);
    writeU32LE(out, at.tail, page.tail);
    if (format.jet3) {
        out[at.prefix] = static_cast<uint8_t>(prefixLength);
    } else {
        writeU16LE(out, at.prefix, static_cast<uint16_t>(prefixLength));
    }
    out[at.mask - 1] = page.leaf ? 0 : 1;
    size_t position = at.entries;
    size_t end = prefixLength;
    if (!stored.empty()) {
        std::copy_n(stored.front().begin(), prefixLength,
                    out.begin() + static_cast<std::ptrdiff_t>(position));
        position += prefixLength;
    }
    for (const auto& bytes : stored) {
        std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(prefixLength), bytes.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(position));
        position += bytes.size() - prefixLength;
        end += bytes.size() - prefixLength;
        out[at.mask + end / 8] |= static_cast<uint8_t>(1u << (end % 8));
    }
    writeU16LE(out, 2, static_cast<uint16_t>(format.pageSize - position));
    return out;
}

}  // namespace engine::format

#include "engine/format/indexes/index_page.h"

#include "engine/format/indexes/index_entry_list.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace engine::format {

using storage::readU16LE;
using storage::readU32LE;
using storage::writeU16LE;
using storage::writeU32LE;

namespace {

constexpr size_t kRowPointerSize = 4;
constexpr size_t kChildPointerSize = 4;
constexpr size_t kNodeFlagBefore = 1;  // the node flag sits just before the entry mask

[[noreturn]] void damaged(const std::string& path, PageNumber page, const std::string& what) {
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + path + "' is damaged: index page " + std::to_string(page) +
                          " " + what + ".",
                      page);
}

// Bytes of the entry area the mask can describe.
size_t entryCapacity(const JetFormat& format) {
    const size_t maskBits = (format.indexFirstEntryOffset - format.indexMaskOffset) * 8;
    return std::min<size_t>(maskBits - 1, format.pageSize - format.indexFirstEntryOffset);
}

size_t commonPrefix(storage::Bytes a, storage::Bytes b) {
    size_t length = 0;
    const size_t limit = std::min(a.size(), b.size());
    while (length < limit && a[length] == b[length]) ++length;
    return length;
}

// The prefix the page's later entries leave out: none when the entries fit whole.
size_t sharedPrefix(std::span<const IndexEntryView> entries, size_t wholeSize,
                    const JetFormat& format) {
    if (wholeSize <= entryCapacity(format) || entries.size() < 2) return 0;
    return commonPrefix(entries.front().key, entries.back().key);
}

void appendStored(const IndexEntryView& entry, bool leaf, std::vector<uint8_t>& out) {
    out.insert(out.end(), entry.key.begin(), entry.key.end());
    out.push_back(static_cast<uint8_t>(entry.row.page >> 16));
    out.push_back(static_cast<uint8_t>(entry.row.page >> 8));
    out.push_back(static_cast<uint8_t>(entry.row.page));
    out.push_back(entry.row.row);
    if (!leaf) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            out.push_back(static_cast<uint8_t>(entry.child >> shift));
        }
    }
}

std::vector<IndexEntryView> viewsOf(const std::vector<IndexEntry>& entries) {
    return std::vector<IndexEntryView>(entries.begin(), entries.end());
}

}  // namespace

std::vector<uint8_t> IndexEntry::sortBytes() const {
    std::vector<uint8_t> bytes;
    bytes.reserve(key.size() + kRowPointerSize);
    appendStored(IndexEntryView(*this), true, bytes);
    return bytes;
}

int compareIndexEntries(const IndexEntryView& a, const IndexEntryView& b) {
    const size_t common = std::min(a.key.size(), b.key.size());
    if (common > 0) {
        if (int order = std::memcmp(a.key.data(), b.key.data(), common)) return order;
    }
    if (a.key.size() != b.key.size()) return a.key.size() < b.key.size() ? -1 : 1;
    if (a.row.page != b.row.page) return a.row.page < b.row.page ? -1 : 1;
    if (a.row.row != b.row.row) return a.row.row < b.row.row ? -1 : 1;
    return 0;
}

int compareIndexEntries(const IndexEntry& a, const IndexEntry& b) {
    return compareIndexEntries(IndexEntryView(a), IndexEntryView(b));
}

bool IndexEntry::operator<(const IndexEntry& other) const {
    return compareIndexEntries(*this, other) < 0;
}

namespace {

// An index page's header and where each of its entries ends, found by one scan of the mask and
// checked; an entry's bytes are put together only when asked for, in a buffer the layout
// reuses, so reading entries allocates nothing per entry and a search reads only the entries it
// compares.
class EntryLayout {
public:
    EntryLayout(storage::Bytes bytes, const JetFormat& format, PageNumber number,
                const std::string& path)
        : m_area(bytes.data() + format.indexFirstEntryOffset) {
        if (bytes.size() != format.pageSize ||
            (bytes[0] != kIndexNodePageType && bytes[0] != kIndexLeafPageType)) {
            damaged(path, number, "is not an index page");
        }
        header.leaf = bytes[0] == kIndexLeafPageType;
        header.owner = readU32LE(bytes, 4);
        header.previous = readU32LE(bytes, format.indexPreviousOffset);
        header.next = readU32LE(bytes, format.indexNextOffset);
        header.tail = readU32LE(bytes, format.indexTailOffset);
        m_prefixLength = format.indexPrefixSize == 1 ? bytes[format.indexPrefixOffset]
                                                     : readU16LE(bytes, format.indexPrefixOffset);
        m_pointers = kRowPointerSize + (header.leaf ? 0 : kChildPointerSize);

        const size_t maskBytes = format.indexFirstEntryOffset - format.indexMaskOffset;
        const size_t areaSize = entryCapacity(format);
        const uint8_t* mask = bytes.data() + format.indexMaskOffset;
        m_ends.reserve(areaSize / m_pointers);
        for (size_t maskByte = 0; maskByte < maskBytes; ++maskByte) {
            for (uint8_t bits = mask[maskByte]; bits != 0; bits &= static_cast<uint8_t>(bits - 1)) {
                const size_t end = maskByte * 8 + static_cast<size_t>(__builtin_ctz(bits));
                if (end == 0) continue;  // bit 0 marks nothing: no entry ends before it starts
                if (end > areaSize) damaged(path, number, "marks an entry past its end");
                const bool first = m_ends.empty();
                if (first && m_prefixLength > end) {
                    damaged(path, number, "has a prefix longer than its first entry");
                }
                const size_t start = first ? 0 : m_ends.back();
                if ((first ? 0 : m_prefixLength) + (end - start) < m_pointers) {
                    damaged(path, number, "holds an entry too short to point");
                }
                m_ends.push_back(static_cast<uint16_t>(end));
            }
        }
        // Left uninitialised: at() writes every byte it reads.
        m_whole.reset(new uint8_t[std::min(m_prefixLength, areaSize) + areaSize]);
    }

    size_t size() const { return m_ends.size(); }

    // The row a leaf's entry index points to, read without putting the entry together.
    RowLocation rowAt(size_t index) const {
        const size_t shared = index == 0 ? 0 : m_prefixLength;
        const size_t start = index == 0 ? 0 : m_ends[index - 1];
        const size_t whole = shared + m_ends[index] - start;
        uint8_t pointer[kRowPointerSize];
        for (size_t byte = 0; byte < kRowPointerSize; ++byte) {
            const size_t at = whole - kRowPointerSize + byte;
            pointer[byte] = at < shared ? m_area[at] : m_area[start + at - shared];
        }
        return {(static_cast<uint32_t>(pointer[0]) << 16) |
                    (static_cast<uint32_t>(pointer[1]) << 8) | pointer[2],
                pointer[3]};
    }

    // Entry index, valid until the next call.
    IndexEntryView at(size_t index) {
        // The entry's bytes: the shared prefix (the start of the first entry), then its own.
        const size_t shared = index == 0 ? 0 : m_prefixLength;
        const size_t start = index == 0 ? 0 : m_ends[index - 1];
        const size_t own = m_ends[index] - start;
        std::memcpy(m_whole.get(), m_area, shared);
        std::memcpy(m_whole.get() + shared, m_area + start, own);
        const size_t keyLength = shared + own - m_pointers;
        const uint8_t* pointer = m_whole.get() + keyLength;
        IndexEntryView entry;
        entry.key = storage::Bytes(m_whole.get(), keyLength);
        entry.row.page = (static_cast<uint32_t>(pointer[0]) << 16) |
                         (static_cast<uint32_t>(pointer[1]) << 8) | pointer[2];
        entry.row.row = pointer[3];
        if (!header.leaf) {
            for (size_t byte = 0; byte < kChildPointerSize; ++byte) {
                entry.child = (entry.child << 8) | pointer[kRowPointerSize + byte];
            }
        }
        return entry;
    }

    IndexPage header;  // the page's fields, without entries

private:
    const uint8_t* m_area;
    size_t m_prefixLength = 0;
    size_t m_pointers = 0;
    std::vector<uint16_t> m_ends;
    std::unique_ptr<uint8_t[]> m_whole;
};

IndexEntry ownedEntry(const IndexEntryView& view) {
    IndexEntry entry;
    entry.key.assign(view.key.begin(), view.key.end());
    entry.row = view.row;
    entry.child = view.child;
    return entry;
}

}  // namespace

IndexPage parseIndexPage(storage::Bytes bytes, const JetFormat& format, PageNumber number,
                         const std::string& path) {
    EntryLayout layout(bytes, format, number, path);
    IndexPage page = std::move(layout.header);
    page.entries.reserve(layout.size());
    for (size_t index = 0; index < layout.size(); ++index) {
        page.entries.push_back(ownedEntry(layout.at(index)));
    }
    return page;
}

namespace {

// Reads the index page at number through walk, then checks that it is an index page of the
// table whose definition starts at owner and that every page it points to lies inside the file.
template <typename Walk>
IndexPage readCheckedIndexPage(storage::Pager& pager, PageNumber number, PageNumber owner,
                               Walk&& walk) {
    // Pages 0 and 1 are the header and the global page map, never part of an index.
    constexpr PageNumber kFirstIndexPage = 2;
    auto inside = [&](PageNumber page) {
        return page >= kFirstIndexPage && page < pager.pageCount();
    };
    if (!inside(number)) damaged(pager.path(), number, "lies outside the file's index pages");
    auto contents = pager.read(number);
    IndexPage page = walk(*contents);
    if (page.owner != owner) {
        damaged(pager.path(), number,
                "belongs to the table on page " + std::to_string(page.owner) + ", not to the " +
                    "table on page " + std::to_string(owner));
    }
    for (PageNumber linked : {page.previous, page.next, page.tail}) {
        if (linked != 0 && !inside(linked)) {
            damaged(pager.path(), number,
                    "links to page " + std::to_string(linked) + ", outside the file's index pages");
        }
    }
    for (const auto& entry : page.entries) {
        if (!page.leaf && !inside(entry.child)) {
            damaged(pager.path(), number,
                    "names child page " + std::to_string(entry.child) +
                        ", outside the file's index pages");
        }
    }
    return page;
}

}  // namespace

IndexPage readIndexPage(storage::Pager& pager, const JetFormat& format, PageNumber number,
                        PageNumber owner) {
    return readCheckedIndexPage(pager, number, owner, [&](storage::Bytes bytes) {
        return parseIndexPage(bytes, format, number, pager.path());
    });
}

IndexPage readIndexLeaf(storage::Pager& pager, const JetFormat& format, PageNumber number,
                        PageNumber owner, IndexEntryList& entries, const RowSet* leaveOut,
                        size_t* leftOut) {
    return readCheckedIndexPage(pager, number, owner, [&](storage::Bytes bytes) {
        EntryLayout layout(bytes, format, number, pager.path());
        IndexPage page = std::move(layout.header);
        if (!page.leaf) return page;
        for (size_t index = 0; index < layout.size(); ++index) {
            if (leaveOut && leaveOut->contains(layout.rowAt(index))) {
                ++*leftOut;
                continue;
            }
            entries.add(layout.at(index));
        }
        return page;
    });
}

IndexPageSearch readIndexPageFrom(storage::Pager& pager, const JetFormat& format, PageNumber number,
                                  PageNumber owner, const IndexEntry& from,
                                  const std::function<bool(storage::Bytes key)>& more) {
    IndexPageSearch search;
    search.page = readCheckedIndexPage(pager, number, owner, [&](storage::Bytes bytes) {
        EntryLayout layout(bytes, format, number, pager.path());
        IndexPage page = std::move(layout.header);
        const IndexEntryView wanted(from);
        // The first entry that does not sort before from, by halving.
        size_t low = 0;
        size_t high = layout.size();
        while (low < high) {
            const size_t middle = low + (high - low) / 2;
            if (compareIndexEntries(layout.at(middle), wanted) < 0) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        search.firstSlot = low > 0 ? low - 1 : 0;
        for (size_t index = search.firstSlot; index < layout.size(); ++index) {
            const IndexEntryView entry = layout.at(index);
            page.entries.push_back(ownedEntry(entry));
            if (index >= low && !(page.leaf && more(entry.key))) break;
        }
        return page;
    });
    return search;
}

bool indexEntriesFit(const IndexPage& page, size_t wholeSize, const JetFormat& format) {
    const auto views = viewsOf(page.entries);
    const size_t prefix = sharedPrefix(views, wholeSize, format);
    const size_t saved = page.entries.empty() ? 0 : prefix * (page.entries.size() - 1);
    return wholeSize - saved <= entryCapacity(format);
}

std::optional<storage::PageBuffer> buildIndexPage(const IndexPage& page, const JetFormat& format) {
    return buildIndexPage(page, viewsOf(page.entries), format);
}

std::optional<storage::PageBuffer> buildIndexPage(const IndexPage& header,
                                                  std::span<const IndexEntryView> entries,
                                                  const JetFormat& format) {
    size_t whole = 0;
    for (const auto& entry : entries) whole += entry.key.size() + (header.leaf ? 4 : 8);
    const size_t prefixLength = sharedPrefix(entries, whole, format);
    const size_t saved = entries.empty() ? 0 : prefixLength * (entries.size() - 1);
    if (whole - saved > entryCapacity(format)) return std::nullopt;

    storage::PageBuffer out(format.pageSize, 0);
    out[0] = header.leaf ? kIndexLeafPageType : kIndexNodePageType;
    out[1] = 0x01;
    writeU32LE(out, 4, header.owner);
    writeU32LE(out, format.indexPreviousOffset, header.previous);
    writeU32LE(out, format.indexNextOffset, header.next);
    writeU32LE(out, format.indexTailOffset, header.tail);
    if (format.indexPrefixSize == 1) {
        out[format.indexPrefixOffset] = static_cast<uint8_t>(prefixLength);
    } else {
        writeU16LE(out, format.indexPrefixOffset, static_cast<uint16_t>(prefixLength));
    }
    out[format.indexMaskOffset - kNodeFlagBefore] = header.leaf ? 0 : 1;
    size_t position = format.indexFirstEntryOffset;
    size_t end = 0;
    std::vector<uint8_t> stored;
    for (size_t index = 0; index < entries.size(); ++index) {
        stored.clear();
        appendStored(entries[index], header.leaf, stored);
        const size_t skip = index == 0 ? 0 : prefixLength;
        std::copy(stored.begin() + static_cast<std::ptrdiff_t>(skip), stored.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(position));
        position += stored.size() - skip;
        end += stored.size() - skip;
        out[format.indexMaskOffset + end / 8] |= static_cast<uint8_t>(1u << (end % 8));
    }
    writeU16LE(out, 2, static_cast<uint16_t>(format.pageSize - position));
    return out;
}

}  // namespace engine::format

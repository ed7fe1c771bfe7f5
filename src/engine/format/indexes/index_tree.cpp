#include "engine/format/indexes/index_tree.h"

#include "engine/format/space/usage_map.h"
#include "engine/format/space/usage_map_editor.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <set>

namespace engine::format {

namespace {

constexpr int kMaxDepth = 16;
// How many pages of the file are read at once where an index's pages are likely to follow
// each other.
constexpr PageNumber kReadAheadPages = 32;

size_t entryCapacity(const JetFormat& format) { return format.indexMaxEntryBytes; }

size_t commonPrefix(storage::Bytes a, storage::Bytes b) {
    size_t length = 0;
    while (length < a.size() && length < b.size() && a[length] == b[length]) ++length;
    return length;
}

// Packs entries [begin, end) into pages in order, as many to a page as fit: where each page's
// entries end.
std::vector<size_t> pack(const IndexEntryList& entries, size_t begin, size_t end, bool leaf,
                         const JetFormat& format) {
    const size_t pointerBytes = leaf ? 4 : 8;
    std::vector<size_t> ends;
    size_t first = begin;  // the current page's first entry
    storage::Bytes firstKey;
    size_t sizes = 0;
    for (size_t at = begin; at < end; ++at) {
        const storage::Bytes key = entries[at].key;
        const size_t size = key.size() + pointerBytes;
        if (at > first) {
            const size_t prefix = commonPrefix(firstKey, key);
            const size_t total = sizes + size - (at - first + 1) * prefix + prefix;
            if (total > entryCapacity(format)) {
                ends.push_back(at);
                first = at;
                sizes = 0;
            }
        }
        if (at == first) firstKey = key;
        sizes += size;
    }
    ends.push_back(end);
    return ends;
}

[[noreturn]] void damaged(const storage::Pager& pager, PageNumber page, const std::string& what) {
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + pager.path() + "' is damaged: the index at page " +
                          std::to_string(page) + " " + what + ".",
                      page);
}

void writeIndexPage(storage::Pager& pager, const JetFormat& format, PageNumber number,
                    const IndexPage& header, std::span<const IndexEntryView> entries) {
    auto bytes = buildIndexPage(header, entries, format);
    if (!bytes) throw EngineError(ErrorCode::Internal, "an index page was packed too full");
    pager.write(number, *bytes);
}

// The first leaf of the index's tree, found by going down its first children.
PageNumber firstLeaf(storage::Pager& pager, const JetFormat& format, const RealIndex& index,
                     PageNumber owner) {
    PageNumber page = index.rootPage;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) damaged(pager, index.rootPage, "is deeper than any real index");
        IndexPage parsed = readIndexPage(pager, format, page, owner);
        if (parsed.leaf) return page;
        page = parsed.entries.empty() ? parsed.tail : parsed.entries.front().child;
        if (page == 0) damaged(pager, index.rootPage, "has a node without children");
    }
}

// The pages an index's tree is written to: its root, which never moves, then its other pages
// (in the order of the file) before new ones; the pages left over are freed when it is done.
class TreePages {
public:
    // Every index page of owner in the index's map is spare but the root and those kept.
    TreePages(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
              const RealIndex& index, PageNumber owner, const std::set<PageNumber>& kept = {})
        : m_allocator(allocator),
          m_map(pager, format, allocator, index.pagesMap),
          m_root(index.rootPage) {
        PageNumber readAheadEnd = 0;
        for (PageNumber page : m_map.pages()) {
            if (page == m_root || kept.count(page)) continue;
            if (page >= readAheadEnd) {
                pager.readAhead(page, kReadAheadPages);
                readAheadEnd = page + kReadAheadPages;
            }
            auto contents = pager.read(page);
            const uint8_t type = (*contents)[0];
            if ((type == kIndexLeafPageType || type == kIndexNodePageType) &&
                storage::readU32LE(*contents, 4) == owner) {
                m_spare.push_back(page);
            }
        }
        std::reverse(m_spare.begin(), m_spare.end());
    }

    bool mapped(PageNumber page) { return m_map.contains(page); }

    PageNumber take() {
        if (m_spare.empty()) {
            const PageNumber page = m_allocator.allocate();
            m_map.add(page);
            return page;
        }
        const PageNumber page = m_spare.back();
        m_spare.pop_back();
        return page;
    }

    void finish() {
        for (PageNumber page : m_spare) {
            m_map.remove(page);
            m_allocator.release(page);
        }
        m_spare.clear();
        m_map.add(m_root);
        m_map.save();
    }

private:
    PageAllocator& m_allocator;
    UsageMapEditor m_map;
    PageNumber m_root;
    std::vector<PageNumber> m_spare;
};

// Writes a level of the tree from its entries (sorted; leaf entries or, for nodes, the last
// entry of each child naming it) and the levels of nodes above it, one at a time: each page's
// last entry is its summary in the level above. The level that fits one page is the root.
void writeLevels(storage::Pager& pager, const JetFormat& format, PageNumber owner, PageNumber root,
                 const IndexEntryList& entries, bool leaf, TreePages& pages) {
    const IndexEntryList* level = &entries;
    IndexEntryList above;  // the summaries of the level below, once there is one
    std::vector<IndexEntryView> onPage;
    while (true) {
        const std::vector<size_t> ends = pack(*level, 0, level->size(), leaf, format);
        const bool top = ends.size() == 1;
        std::vector<PageNumber> numbers;
        for (size_t index = 0; index < ends.size(); ++index) {
            numbers.push_back(top ? root : pages.take());
        }
        IndexEntryList summaries;
        for (size_t position = 0; position < ends.size(); ++position) {
            const size_t first = position > 0 ? ends[position - 1] : 0;
            IndexPage page;
            page.leaf = leaf;
            page.owner = owner;
            onPage.clear();
            for (size_t at = first; at < ends[position]; ++at) onPage.push_back((*level)[at]);
            if (!leaf && onPage.size() >= 2) {
                page.tail = onPage.back().child;
                onPage.pop_back();
            }
            if (!top) {
                page.previous = position > 0 ? numbers[position - 1] : 0;
                page.next = position + 1 < ends.size() ? numbers[position + 1] : 0;
                const IndexEntryView last = (*level)[ends[position] - 1];
                summaries.add(last.key, last.row, numbers[position]);
            }
            writeIndexPage(pager, format, numbers[position], page, onPage);
        }
        if (top) return;
        leaf = false;
        above = std::move(summaries);
        level = &above;
    }
}

}  // namespace

IndexEntryList readIndexEntryList(storage::Pager& pager, const JetFormat& format,
                                  const RealIndex& index, PageNumber owner, size_t expected) {
    PageNumber page = firstLeaf(pager, format, index, owner);
    IndexEntryList entries;
    std::set<PageNumber> seen;
    PageNumber readAheadEnd = 0;
    while (page != 0) {
        if (!seen.insert(page).second) damaged(pager, index.rootPage, "has leaves that loop");
        const IndexPage leaf = readIndexLeaf(pager, format, page, owner, entries);
        // Leaves written in one go follow each other in the file: read them in runs.
        if (leaf.next == page + 1 && leaf.next >= readAheadEnd) {
            pager.readAhead(leaf.next, kReadAheadPages);
            readAheadEnd = leaf.next + kReadAheadPages;
        }
        if (!leaf.leaf) damaged(pager, index.rootPage, "links a node among its leaves");
        // Room for the expected entries, their keys as long as the first leaf's on average.
        if (seen.size() == 1 && !entries.empty() && expected > entries.size()) {
            entries.reserve(expected, entries.keyBytes() / entries.size() * expected * 9 / 8);
        }
        page = leaf.next;
    }
    return entries;
}

std::vector<IndexEntry> readIndexEntries(storage::Pager& pager, const JetFormat& format,
                                         const RealIndex& index, PageNumber owner) {
    return readIndexEntryList(pager, format, index, owner, 0).owned();
}

size_t searchSlot(const IndexPage& page, const IndexEntry& entry) {
    const auto& entries = page.entries;
    auto found = std::lower_bound(
        entries.begin(), entries.end(), entry,
        [](const IndexEntry& a, const IndexEntry& b) { return compareIndexEntries(a, b) < 0; });
    auto slot = static_cast<size_t>(found - entries.begin());
    if (!page.leaf && slot == entries.size() && page.tail == 0 && slot > 0) --slot;
    return slot;
}

std::vector<IndexEntry> readIndexEntries(storage::Pager& pager, const JetFormat& format,
                                         const RealIndex& index, PageNumber owner,
                                         const std::vector<uint8_t>& keyPrefix) {
    IndexEntry probe;  // sorts before every entry whose key starts with the prefix
    probe.key = keyPrefix;
    auto hasPrefix = [&](storage::Bytes key) {
        return key.size() >= keyPrefix.size() &&
               std::equal(keyPrefix.begin(), keyPrefix.end(), key.begin());
    };
    PageNumber number = index.rootPage;
    IndexPage page;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) damaged(pager, index.rootPage, "is deeper than any real index");
        page = readIndexPageFrom(pager, format, number, owner, probe, hasPrefix).page;
        if (page.leaf) break;
        size_t slot = searchSlot(page, probe);
        number = slot < page.entries.size() ? page.entries[slot].child : page.tail;
        if (number == 0) damaged(pager, index.rootPage, "has a node without children");
    }
    std::vector<IndexEntry> found;
    std::set<PageNumber> seen;
    for (size_t slot = searchSlot(page, probe);;) {
        for (; slot < page.entries.size(); ++slot) {
            if (!hasPrefix(page.entries[slot].key)) return found;
            found.push_back(std::move(page.entries[slot]));
        }
        if (page.next == 0) return found;
        if (!seen.insert(page.next).second) damaged(pager, index.rootPage, "has leaves that loop");
        page = readIndexPageFrom(pager, format, page.next, owner, probe, hasPrefix).page;
        if (!page.leaf) damaged(pager, index.rootPage, "links a node among its leaves");
        slot = 0;
    }
}

void rewriteIndex(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                  const RealIndex& index, PageNumber owner, const IndexEntryList& entries) {
    readIndexPage(pager, format, index.rootPage, owner);  // the root is rewritten in place
    TreePages pages(pager, format, allocator, index, owner);
    writeLevels(pager, format, owner, index.rootPage, entries, true, pages);
    pages.finish();
}

std::optional<uint32_t> removeIndexEntries(storage::Pager& pager, const JetFormat& format,
                                           PageAllocator& allocator, const RealIndex& index,
                                           PageNumber owner, size_t expected, const RowSet& stale) {
    readIndexPage(pager, format, index.rootPage, owner);  // the root is rewritten in place
    // A leaf that keeps entries: where it was linked, and either the position of its last
    // entry in lasts (it lost none and keeps its bytes) or its entries kept[first, end).
    struct Leaf {
        PageNumber page = 0;
        PageNumber previous = 0;
        PageNumber next = 0;
        bool trimmed = false;
        size_t first = 0;
        size_t end = 0;
    };
    std::vector<Leaf> leaves;
    IndexEntryList kept;   // the entries of the leaves that lost some, in order
    IndexEntryList lasts;  // the last entry of each leaf that lost none
    IndexEntryList onPage;
    std::vector<uint8_t> lastKey;
    uint32_t distinct = 0;
    std::set<PageNumber> seen;
    PageNumber readAheadEnd = 0;
    const PageNumber first = firstLeaf(pager, format, index, owner);
    for (PageNumber page = first; page != 0;) {
        if (!seen.insert(page).second) damaged(pager, index.rootPage, "has leaves that loop");
        // The entries that stay, the stale ones only counted.
        onPage.clear();
        size_t staleEntries = 0;
        const IndexPage leaf =
            readIndexLeaf(pager, format, page, owner, onPage, &stale, &staleEntries);
        if (!leaf.leaf) damaged(pager, index.rootPage, "links a node among its leaves");
        if (leaf.next == page + 1 && leaf.next >= readAheadEnd) {
            pager.readAhead(leaf.next, kReadAheadPages);
            readAheadEnd = leaf.next + kReadAheadPages;
        }
        if (staleEntries > 0 && !onPage.empty() && kept.empty()) {
            // Room for as many entries as expected, as long as this leaf's on average.
            kept.reserve(expected, onPage.keyBytes() / onPage.size() * expected * 9 / 8);
        }
        if (!onPage.empty()) {
            Leaf record{page, leaf.previous, leaf.next, staleEntries > 0, kept.size(), 0};
            for (size_t at = 0; at < onPage.size(); ++at) {
                const IndexEntryView entry = onPage[at];
                if (distinct == 0 || !std::ranges::equal(entry.key, lastKey)) ++distinct;
                lastKey.assign(entry.key.begin(), entry.key.end());
                if (record.trimmed) kept.add(entry);
            }
            if (record.trimmed) {
                record.end = kept.size();
            } else {
                record.first = lasts.size();
                lasts.add(onPage[onPage.size() - 1]);
            }
            leaves.push_back(record);
        }
        page = leaf.next;
    }
    const bool oneLeaf = first == index.rootPage;
    if (oneLeaf && seen.size() > 1) return std::nullopt;  // a root leaf linked to others
    if (oneLeaf && leaves.size() == 1 && !leaves.front().trimmed) {
        return distinct;  // a root leaf that lost nothing
    }
    // Leaves that lost entries next to each other are packed anew, as full as they go, into as
    // many of their pages as that takes (never more than they were): no leaf is left sparse.
    std::vector<Leaf> packed;
    for (size_t at = 0; at < leaves.size();) {
        if (!leaves[at].trimmed) {
            packed.push_back(leaves[at++]);
            continue;
        }
        size_t runEnd = at;
        while (runEnd < leaves.size() && leaves[runEnd].trimmed) ++runEnd;
        size_t from = leaves[at].first;
        const auto ends = pack(kept, from, leaves[runEnd - 1].end, true, format);
        // Pages the product packed more tightly than this engine would: rewrite it whole.
        if (ends.size() > runEnd - at) return std::nullopt;
        for (size_t page = 0; page < ends.size(); ++page) {
            Leaf leaf = leaves[at + page];
            leaf.first = from;
            leaf.end = ends[page];
            from = ends[page];
            packed.push_back(leaf);
        }
        at = runEnd;
    }
    std::set<PageNumber> keptPages;
    if (!oneLeaf && packed.size() >= 2) {
        for (const Leaf& leaf : packed) keptPages.insert(leaf.page);
    }
    TreePages pages(pager, format, allocator, index, owner, keptPages);
    // A tree whose leaves the map does not name is rewritten whole by the caller.
    for (PageNumber page : keptPages) {
        if (!pages.mapped(page)) return std::nullopt;
    }
    IndexPage header;
    header.owner = owner;
    std::vector<IndexEntryView> views;
    if (oneLeaf || packed.size() < 2) {
        // What is left fits the root, a leaf again: the other pages go.
        if (!packed.empty() && packed[0].trimmed) {
            for (size_t at = packed[0].first; at < packed[0].end; ++at) views.push_back(kept[at]);
        } else if (!packed.empty()) {
            onPage.clear();
            readIndexLeaf(pager, format, packed[0].page, owner, onPage);
            for (size_t at = 0; at < onPage.size(); ++at) views.push_back(onPage[at]);
        }
        writeIndexPage(pager, format, index.rootPage, header, views);
        pages.finish();
        return distinct;
    }
    IndexEntryList summaries;  // each leaf's last entry, naming the leaf
    for (size_t at = 0; at < packed.size(); ++at) {
        const Leaf& leaf = packed[at];
        header.previous = at > 0 ? packed[at - 1].page : 0;
        header.next = at + 1 < packed.size() ? packed[at + 1].page : 0;
        const IndexEntryView last = leaf.trimmed ? kept[leaf.end - 1] : lasts[leaf.first];
        summaries.add(last.key, last.row, leaf.page);
        if (leaf.trimmed) {
            views.clear();
            for (size_t entry = leaf.first; entry < leaf.end; ++entry) views.push_back(kept[entry]);
            writeIndexPage(pager, format, leaf.page, header, views);
        } else if (header.previous != leaf.previous || header.next != leaf.next) {
            // A leaf that lost nothing keeps its bytes but for its links.
            storage::PageBuffer bytes = *pager.read(leaf.page);
            storage::writeU32LE(bytes, format.indexPreviousOffset, header.previous);
            storage::writeU32LE(bytes, format.indexNextOffset, header.next);
            pager.write(leaf.page, bytes);
        }
    }
    writeLevels(pager, format, owner, index.rootPage, summaries, false, pages);
    pages.finish();
    return distinct;
}

IndexFindings checkIndexTree(storage::Pager& pager, const JetFormat& format, const RealIndex& index,
                             PageNumber owner) {
    IndexFindings findings;
    auto& problems = findings.problems;
    auto problem = [&](PageNumber page, const std::string& what) {
        problems.push_back("index page " + std::to_string(page) + " " + what);
    };
    std::set<PageNumber> mapped;
    try {
        auto listed = readUsageMapPages(pager, format, index.pagesMap);
        mapped.insert(listed.begin(), listed.end());
    } catch (const EngineError& error) {
        problems.push_back(error.what());
    }
    std::set<PageNumber> seen;
    std::vector<std::vector<PageNumber>> levels;  // the pages of each level, left to right
    std::vector<IndexPage> leaves;
    // The first and last entries of a subtree (none when it has no entries).
    struct Span {
        std::optional<IndexEntry> first;
        std::optional<IndexEntry> last;
    };
    std::function<Span(PageNumber, size_t)> walk = [&](PageNumber number, size_t depth) -> Span {
        if (depth > kMaxDepth || !seen.insert(number).second) {
            problem(number, "is reached twice");
            return {};
        }
        IndexPage page = readIndexPage(pager, format, number, owner);
        if (!mapped.empty() && !mapped.count(number)) problem(number, "is missing from its map");
        if (levels.size() <= depth) levels.resize(depth + 1);
        levels[depth].push_back(number);
        for (size_t entry = 1; entry < page.entries.size(); ++entry) {
            if (!(page.entries[entry - 1] < page.entries[entry])) {
                problem(number, "is out of order");
                break;
            }
        }
        const bool root = number == index.rootPage;
        if (page.leaf) {
            if (page.entries.empty() && !root) problem(number, "is an empty leaf");
            Span span;
            if (!page.entries.empty()) {
                span.first = page.entries.front();
                span.last = page.entries.back();
            }
            leaves.push_back(std::move(page));
            return span;
        }
        // A node whose only child is its tail: the product leaves such nodes, and readers
        // follow the tail.
        if (page.entries.empty() && page.tail != 0) {
            findings.notices.push_back("index page " + std::to_string(number) +
                                       " is a node whose only child is its tail");
        } else if (page.entries.empty()) {
            problem(number, "is a node without children");
        }
        if (page.entries.size() >= 2 && page.tail == 0) {
            problem(number, "names its last child by an entry instead of as its tail");
        }
        // Each entry bounds the child it names: no entry below it lies above it, and every
        // entry below it lies above the entry before it. The product keeps entries that are not
        // the child's last entry (a bound left after the last entry went, say).
        Span span;
        const IndexEntry* before = nullptr;
        auto child = [&](PageNumber page, const IndexEntry* bound) {
            Span below = walk(page, depth + 1);
            if (!below.last) {
                problem(number, "names child " + std::to_string(page) + ", which holds no entry");
                return;
            }
            if ((bound && compareIndexEntries(*below.last, *bound) > 0) ||
                (before && compareIndexEntries(*below.first, *before) <= 0)) {
                problem(number, "names child " + std::to_string(page) +
                                    " by an entry that does not bound it");
            }
            if (!span.first) span.first = below.first;
            span.last = below.last;
        };
        for (const auto& entry : page.entries) {
            child(entry.child, &entry);
            before = &entry;
        }
        if (page.tail != 0) child(page.tail, nullptr);
        return span;
    };
    try {
        walk(index.rootPage, 0);
        // Every leaf lies on the deepest level, and the leaves are linked in order both ways.
        if (!leaves.empty() && levels.back().size() != leaves.size()) {
            problems.push_back("the leaves of the index at page " + std::to_string(index.rootPage) +
                               " lie at different depths");
        }
        const auto& leafPages = levels.back();
        for (size_t position = 0; position < leaves.size() && position < leafPages.size();
             ++position) {
            PageNumber previous = position > 0 ? leafPages[position - 1] : 0;
            PageNumber next = position + 1 < leafPages.size() ? leafPages[position + 1] : 0;
            if (leaves[position].previous != previous || leaves[position].next != next) {
                problem(leafPages[position], "is linked to the wrong neighbours");
            }
        }
        // Nodes may leave a link empty (other writers link nodes only under one parent), but a
        // link they keep names the page's neighbour.
        for (size_t depth = 1; depth + 1 < levels.size(); ++depth) {
            const auto& pages = levels[depth];
            for (size_t position = 0; position < pages.size(); ++position) {
                IndexPage page = readIndexPage(pager, format, pages[position], owner);
                PageNumber previous = position > 0 ? pages[position - 1] : 0;
                PageNumber next = position + 1 < pages.size() ? pages[position + 1] : 0;
                if ((page.previous != 0 && page.previous != previous) ||
                    (page.next != 0 && page.next != next)) {
                    problem(pages[position], "is linked to the wrong neighbours");
                }
            }
        }
        auto entries = readIndexEntries(pager, format, index, owner);
        for (size_t entry = 1; entry < entries.size(); ++entry) {
            if (!(entries[entry - 1] < entries[entry])) {
                problems.push_back("the leaves of the index at page " +
                                   std::to_string(index.rootPage) + " are out of order");
                break;
            }
        }
    } catch (const EngineError& error) {
        problems.push_back(error.what());
    }
    return findings;
}

}  // namespace engine::format

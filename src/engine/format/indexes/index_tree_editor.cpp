#include "engine/format/indexes/index_tree_editor.h"

#include "engine/format/indexes/index_tree.h"

#include <algorithm>
#include <cassert>
#include <iterator>
#include <set>

namespace engine::format {

namespace {

constexpr size_t kMaxDepth = 16;
// Parsed pages kept from one edit to the next; past this many, the changed ones are written and
// all are dropped.
constexpr size_t kKeptPages = 64;

size_t childCount(const IndexPage& page) { return page.entries.size() + (page.tail != 0 ? 1 : 0); }

// The key and row of an entry, as a node names the page that ends with it.
IndexEntry namedBy(const IndexEntry& last, PageNumber child) {
    IndexEntry named;
    named.key = last.key;
    named.row = last.row;
    named.child = child;
    return named;
}

}  // namespace

IndexTreeEditor::IndexTreeEditor(storage::Pager& pager, const JetFormat& format,
                                 PageAllocator& allocator, const RealIndex& index, PageNumber owner)
    : m_pager(pager), m_format(format), m_allocator(allocator), m_index(index), m_owner(owner) {
    assert(pager.inTransaction());
}

IndexTreeEditor::~IndexTreeEditor() = default;

size_t maxIndexKeySize(const JetFormat& format) { return format.indexMaxEntryBytes / 2 - 8; }

size_t IndexTreeEditor::maxKeySize() const { return maxIndexKeySize(m_format); }

void IndexTreeEditor::damaged(PageNumber page, const std::string& what) const {
    throw EngineError(ErrorCode::Corrupt,
                      "The database '" + m_pager.path() + "' is damaged: the index at page " +
                          std::to_string(m_index.rootPage) + " " + what + ".",
                      page);
}

IndexTreeEditor::Node& IndexTreeEditor::node(PageNumber page) {
    if (auto found = m_nodes.find(page); found != m_nodes.end()) return found->second;
    // Every page the editor follows a pointer to, or may rewrite, is read whole and checked:
    // an index page of this table whose own pointers stay inside the file.
    Node loaded;
    loaded.page = readIndexPage(m_pager, m_format, page, m_owner);
    for (const auto& entry : loaded.page.entries) {
        loaded.size += indexEntrySize(entry, loaded.page.leaf);
    }
    return m_nodes.emplace(page, std::move(loaded)).first->second;
}

bool IndexTreeEditor::fits(const Node& current) const {
    return indexEntriesFit(current.page, current.size, m_format);
}

IndexTreeEditor::Path IndexTreeEditor::descend(const IndexEntry& entry) {
    Path path;
    PageNumber page = m_index.rootPage;
    while (true) {
        if (path.size() > kMaxDepth) damaged(page, "is deeper than any real index");
        // A node on the way is searched in place; it is read whole only once it is to change.
        // The leaf is read whole, as the change is made there.
        std::optional<IndexPageSearch> searched;
        if (!m_nodes.contains(page) && page < m_pager.pageCount() &&
            (*m_pager.read(page))[0] == kIndexNodePageType) {
            searched = readIndexPageFrom(m_pager, m_format, page, m_owner, entry,
                                         [](storage::Bytes) { return false; });
        }
        const IndexPage& current = searched ? searched->page : node(page).page;
        const auto& entries = current.entries;
        // Past every entry of a node: the tail child, or else the last child, whose range grows.
        const size_t slot = searchSlot(current, entry);
        path.push_back({page, (searched ? searched->firstSlot : 0) + slot});
        if (current.leaf) return path;
        if (entries.empty() && current.tail == 0) damaged(page, "has a node without children");
        page = slot < entries.size() ? entries[slot].child : current.tail;
    }
}

bool IndexTreeEditor::sameKeyBeside(PageNumber leafPage, size_t slot,
                                    const std::vector<uint8_t>& key) {
    const IndexPage& leaf = node(leafPage).page;
    if (slot > 0) {
        if (leaf.entries[slot - 1].key == key) return true;
    } else if (leaf.previous != 0) {
        const IndexPage& before = node(leaf.previous).page;
        if (!before.entries.empty() && before.entries.back().key == key) return true;
    }
    if (slot < leaf.entries.size()) return leaf.entries[slot].key == key;
    if (leaf.next == 0) return false;
    const IndexPage& after = node(leaf.next).page;
    return !after.entries.empty() && after.entries.front().key == key;
}

bool IndexTreeEditor::insert(const IndexEntry& entry) {
    Path path = descend(entry);
    const Step at = path.back();
    Node& leaf = node(at.page);
    auto& entries = leaf.page.entries;
    if (at.slot < entries.size() && compareIndexEntries(entries[at.slot], entry) == 0) {
        damaged(at.page, "already holds an entry for row " + std::to_string(entry.row.row) +
                             " of page " + std::to_string(entry.row.page));
    }
    const bool repeated = sameKeyBeside(at.page, at.slot, entry.key);
    IndexEntry stored = namedBy(entry, 0);
    leaf.size += indexEntrySize(stored, true);
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at.slot), std::move(stored));
    touch(leaf);
    if (at.slot + 1 == entries.size()) updateLastEntry(path, path.size() - 1, entry);
    rebalance(path, false);
    if (m_nodes.size() > kKeptPages) {
        writeChanged();
        m_nodes.clear();
    }
    return repeated;
}

bool IndexTreeEditor::remove(const IndexEntry& entry) {
    if (auto remains = removeFound(entry)) return *remains;
    return removeRow(entry.row);
}

std::optional<IndexEntry> IndexTreeEditor::findRow(RowLocation row) {
    PageNumber page = m_index.rootPage;
    for (size_t depth = 0;; ++depth) {
        if (depth > kMaxDepth) damaged(page, "is deeper than any real index");
        const IndexPage& current = node(page).page;
        if (current.leaf) break;
        page = current.entries.empty() ? current.tail : current.entries.front().child;
        if (page == 0) damaged(m_index.rootPage, "has a node without children");
    }
    std::set<PageNumber> seen;
    while (page != 0) {
        if (!seen.insert(page).second) damaged(page, "has leaves that loop");
        const IndexPage& leaf = node(page).page;
        if (!leaf.leaf) damaged(page, "links a node among its leaves");
        for (const auto& entry : leaf.entries) {
            if (entry.row == row) return entry;
        }
        page = leaf.next;
    }
    return std::nullopt;
}

bool IndexTreeEditor::removeRow(RowLocation row) {
    std::optional<IndexEntry> stored = findRow(row);
    std::optional<bool> remains;
    if (stored) remains = removeFound(*stored);
    if (!remains) {
        damaged(m_index.rootPage, "lacks the entry for row " + std::to_string(row.row) +
                                      " of page " + std::to_string(row.page));
    }
    return *remains;
}

// Removes entry where a search for its key leads; nullopt (nothing changed) when it is not
// there. Returns whether an entry with the same key remains.
std::optional<bool> IndexTreeEditor::removeFound(const IndexEntry& entry) {
    Path path = descend(entry);
    const Step at = path.back();
    Node& leaf = node(at.page);
    auto& entries = leaf.page.entries;
    if (at.slot >= entries.size() || compareIndexEntries(entries[at.slot], entry) != 0) {
        return std::nullopt;
    }
    leaf.size -= indexEntrySize(entries[at.slot], true);
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(at.slot));
    touch(leaf);
    const bool remains = sameKeyBeside(at.page, at.slot, entry.key);
    if (!entries.empty() && at.slot == entries.size()) {
        updateLastEntry(path, path.size() - 1, entries.back());
    }
    rebalance(path, true);
    if (m_nodes.size() > kKeptPages) {
        writeChanged();
        m_nodes.clear();
    }
    return remains;
}

void IndexTreeEditor::updateLastEntry(const Path& path, size_t level, const IndexEntry& last) {
    const IndexEntry summary = namedBy(last, 0);
    for (size_t at = level; at > 0; --at) {
        Node& parent = node(path[at - 1].page);
        const size_t slot = path[at - 1].slot;
        auto& entries = parent.page.entries;
        // The tail child has no entry: the parent's own last entry changes with it.
        if (slot >= entries.size()) continue;
        IndexEntry& named = entries[slot];
        parent.size = parent.size - named.key.size() + summary.key.size();
        named.key = summary.key;
        named.row = summary.row;
        touch(parent);
        if (slot + 1 < entries.size() || parent.page.tail != 0) return;
    }
}

void IndexTreeEditor::rebalance(Path& path, bool shrunk) {
    for (size_t level = path.size() - 1; level > 0; --level) {
        // A page on the way that was never read whole has not changed: it needs no care.
        if (!m_nodes.contains(path[level].page)) continue;
        Node& current = node(path[level].page);
        if (childCount(current.page) == 0) {
            removePage(path, level);
        } else if (!fits(current)) {
            split(path, level);
        } else if (shrunk && current.size < m_format.indexMaxEntryBytes / 4) {
            merge(path, level);
        }
    }
    // The root changes only once it is read whole; one left unread is as the file holds it.
    const auto root = m_nodes.find(m_index.rootPage);
    if (root != m_nodes.end() && !fits(root->second)) {
        nestRoot(path);
        split(path, 1);
    }
    collapseRoot();
}

void IndexTreeEditor::split(Path& path, size_t level) {
    while (true) {
        const PageNumber number = path[level].page;
        Node& current = node(number);
        if (fits(current)) return;
        auto& entries = current.page.entries;
        const bool leaf = current.page.leaf;
        if (entries.size() < 2) {
            throw EngineError(ErrorCode::Internal, "an index entry is too large for its page");
        }
        // The new page takes the first entries, the page keeps at least its last one. At the
        // right end of a level it keeps only that one: keys arriving in order fill pages whole.
        const size_t target =
            current.page.next == 0 ? m_format.indexMaxEntryBytes : current.size / 2;
        size_t moving = 0;
        size_t moved = 0;
        while (moving + 1 < entries.size()) {
            size_t size = indexEntrySize(entries[moving], leaf);
            if (moving > 0 && moved + size > target) break;
            moved += size;
            ++moving;
        }
        const PageNumber fresh = allocate();
        Node left;
        left.page.leaf = leaf;
        left.page.owner = m_owner;
        left.page.previous = current.page.previous;
        left.page.next = number;
        left.page.entries.assign(
            std::make_move_iterator(entries.begin()),
            std::make_move_iterator(entries.begin() + static_cast<std::ptrdiff_t>(moving)));
        entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(moving));
        current.size -= moved;
        left.size = moved;
        IndexEntry named = namedBy(left.page.entries.back(), fresh);
        promoteTail(left);
        left.changed = true;
        if (current.page.previous != 0) {
            Node& before = node(current.page.previous);
            before.page.next = fresh;
            touch(before);
        }
        current.page.previous = fresh;
        touch(current);
        m_nodes.emplace(fresh, std::move(left));

        Node& parent = node(path[level - 1].page);
        const size_t slot = path[level - 1].slot;
        parent.size += indexEntrySize(named, false);
        parent.page.entries.insert(parent.page.entries.begin() + static_cast<std::ptrdiff_t>(slot),
                                   std::move(named));
        promoteTail(parent);
        touch(parent);
        path[level - 1].slot = slot + 1;
    }
}

void IndexTreeEditor::nestRoot(Path& path) {
    Node& root = node(m_index.rootPage);
    const PageNumber child = allocate();
    Node moved;
    moved.page.leaf = root.page.leaf;
    moved.page.owner = m_owner;
    moved.page.tail = root.page.tail;
    moved.page.entries = std::move(root.page.entries);
    moved.size = root.size;
    moved.changed = true;
    // For a moment the root's only child is its tail; the split that follows names a second.
    root.page.leaf = false;
    root.page.entries.clear();
    root.page.tail = child;
    root.size = 0;
    touch(root);
    m_nodes.emplace(child, std::move(moved));
    path.insert(path.begin() + 1, Step{child, path[0].slot});
    path[0].slot = 0;
}

void IndexTreeEditor::merge(Path& path, size_t level) {
    Node& parent = node(path[level - 1].page);
    auto& named = parent.page.entries;
    const size_t slot = path[level - 1].slot;
    if (named.empty()) return;
    // The pair: this page and the one before it, or the one after it when this page is first.
    const size_t leftSlot = std::min(slot > 0 ? slot - 1 : 0, named.size() - 1);
    const PageNumber leftPage = named[leftSlot].child;
    const PageNumber rightPage =
        leftSlot + 1 < named.size() ? named[leftSlot + 1].child : parent.page.tail;
    if (rightPage == 0) return;
    Node& left = node(leftPage);
    Node& right = node(rightPage);
    const bool leaf = left.page.leaf;
    if (right.page.leaf != leaf) damaged(rightPage, "has leaves and nodes side by side");
    // The two become one, and their neighbours' links are rewritten from theirs: so they must
    // name each other (a node may leave a link empty), or the merge would cut a level apart.
    const bool linked = leaf ? left.page.next == rightPage && right.page.previous == leftPage
                             : (left.page.next == 0 || left.page.next == rightPage) &&
                                   (right.page.previous == 0 || right.page.previous == leftPage);
    if (!linked) damaged(leftPage, "links siblings that are not each other's neighbours");
    size_t joined = left.size + right.size;
    // A node's tail child needs an entry once other children follow it: the parent's entry
    // for the left page names the same last entry.
    const bool leftTail = !leaf && left.page.tail != 0;
    IndexEntry tailEntry = namedBy(named[leftSlot], left.page.tail);
    if (leftTail) joined += indexEntrySize(tailEntry, false);
    if (joined > m_format.indexMaxEntryBytes * 3 / 4) return;

    std::vector<IndexEntry> entries = std::move(left.page.entries);
    if (leftTail) entries.push_back(std::move(tailEntry));
    entries.insert(entries.end(), std::make_move_iterator(right.page.entries.begin()),
                   std::make_move_iterator(right.page.entries.end()));
    right.page.entries = std::move(entries);
    right.size = joined;
    promoteTail(right);
    touch(right);
    unlink(left);
    release(leftPage);

    parent.size -= indexEntrySize(named[leftSlot], false);
    named.erase(named.begin() + static_cast<std::ptrdiff_t>(leftSlot));
    touch(parent);
    if (named.empty() && parent.page.tail != 0) demoteTail(parent);
    path[level - 1].slot = leftSlot;
    path[level].page = rightPage;
}

void IndexTreeEditor::removePage(Path& path, size_t level) {
    const PageNumber page = path[level].page;
    unlink(node(page));
    release(page);
    removeChild(path, level - 1);
}

void IndexTreeEditor::removeChild(Path& path, size_t level) {
    Node& parent = node(path[level].page);
    auto& named = parent.page.entries;
    const size_t slot = path[level].slot;
    touch(parent);
    if (slot >= named.size()) {
        // The tail went: the last child with an entry becomes the last child, and its entry
        // the parent's last entry.
        parent.page.tail = 0;
        if (named.empty()) return;  // the parent is empty now and goes next
        const IndexEntry last = named.back();
        promoteTail(parent);
        updateLastEntry(path, level, last);
        return;
    }
    parent.size -= indexEntrySize(named[slot], false);
    named.erase(named.begin() + static_cast<std::ptrdiff_t>(slot));
    if (named.empty()) {
        if (parent.page.tail != 0) demoteTail(parent);
        return;
    }
    if (parent.page.tail == 0 && slot == named.size()) updateLastEntry(path, level, named.back());
}

void IndexTreeEditor::promoteTail(Node& parent) {
    // A node with two or more children names the last one only as its tail.
    auto& named = parent.page.entries;
    if (parent.page.leaf || parent.page.tail != 0 || named.size() < 2) return;
    parent.page.tail = named.back().child;
    parent.size -= indexEntrySize(named.back(), false);
    named.pop_back();
}

void IndexTreeEditor::demoteTail(Node& parent) {
    // A node with one child names it by an entry: the last entry below it.
    IndexEntry only = lastEntryBelow(parent.page.tail);
    only.child = parent.page.tail;
    parent.page.tail = 0;
    parent.size += indexEntrySize(only, false);
    parent.page.entries.push_back(std::move(only));
    touch(parent);
}

IndexEntry IndexTreeEditor::lastEntryBelow(PageNumber page) {
    for (size_t depth = 0; depth <= kMaxDepth; ++depth) {
        const IndexPage& current = node(page).page;
        if (!current.leaf && current.tail != 0) {
            page = current.tail;
            continue;
        }
        if (current.entries.empty()) damaged(page, "has an empty page below a node");
        return namedBy(current.entries.back(), 0);
    }
    damaged(page, "is deeper than any real index");
}

void IndexTreeEditor::collapseRoot() {
    while (m_nodes.contains(m_index.rootPage)) {
        Node& root = node(m_index.rootPage);
        if (root.page.leaf || childCount(root.page) > 1) return;
        if (childCount(root.page) == 0) {
            root.page.leaf = true;
            root.page.tail = 0;
            root.size = 0;
            touch(root);
            return;
        }
        const PageNumber only =
            root.page.entries.empty() ? root.page.tail : root.page.entries.front().child;
        Node& child = node(only);
        if (child.page.previous != 0 || child.page.next != 0) {
            damaged(only, "links its only child to pages outside it");
        }
        root.page.leaf = child.page.leaf;
        root.page.tail = child.page.tail;
        root.page.entries = std::move(child.page.entries);
        root.size = child.size;
        touch(root);
        release(only);
    }
}

PageNumber IndexTreeEditor::allocate() {
    if (!m_map) m_map.emplace(m_pager, m_format, m_allocator, m_index.pagesMap);
    PageNumber page = m_allocator.allocate();
    m_map->add(page);
    return page;
}

void IndexTreeEditor::unlink(Node& current) {
    if (current.page.previous != 0) {
        Node& before = node(current.page.previous);
        before.page.next = current.page.next;
        touch(before);
    }
    if (current.page.next != 0) {
        Node& after = node(current.page.next);
        after.page.previous = current.page.previous;
        touch(after);
    }
}

void IndexTreeEditor::release(PageNumber page) {
    if (!m_map) m_map.emplace(m_pager, m_format, m_allocator, m_index.pagesMap);
    m_nodes.erase(page);
    m_allocator.release(page);
    m_map->remove(page);
}

void IndexTreeEditor::writeChanged() {
    for (auto& [number, current] : m_nodes) {
        if (!current.changed) continue;
        auto bytes = buildIndexPage(current.page, m_format);
        if (!bytes) throw EngineError(ErrorCode::Internal, "an index page was left too full");
        m_pager.write(number, *bytes);
        current.changed = false;
    }
}

void IndexTreeEditor::flush() {
    writeChanged();
    m_nodes.clear();
    if (m_map) m_map->save();
}

}  // namespace engine::format

// Changes an index's tree in place (pages in index_page.h, invariants in index_tree.h), so a
// change costs the pages along one path from the root, not the whole index:
//
//   insert   the entry goes into the leaf whose range holds it; when it becomes the leaf's last
//            entry, the entries that name the leaf in the nodes above follow.
//   remove   the entry leaves its leaf; an emptied page is freed and leaves its parent.
//   split    a page that no longer fits gives its first entries to a new page, linked in just
//            before it at its level and named in its parent (which may split in turn). The page
//            at the right end of a level keeps only its last entry, so keys that arrive in
//            order fill pages whole. The root never moves: when it overflows, its contents move
//            to a new child first.
//   merge    a page left under a quarter full moves its entries into its neighbour under the
//            same parent when the two fit in three quarters of a page; the emptied page is
//            freed.
//   collapse a root left with a single child takes over the child's contents.
//
// Every page is read through readIndexPage (index_page.h) before the editor follows a pointer
// to it or changes it: a page of another table, or one that points outside the file, throws
// Corrupt before anything is written.
//
// Pages are parsed once and kept until flush() writes the changed ones; when many pages have
// been read, the changed ones are written and the parsed copies dropped, so memory stays
// bounded however large the change.
#pragma once

#include "engine/format/indexes/index_page.h"
#include "engine/format/rows/table_definition.h"
#include "engine/format/space/page_allocator.h"
#include "engine/format/space/usage_map_editor.h"

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace engine::format {

// The largest key an index entry may carry: two node entries fit on any page.
size_t maxIndexKeySize(const JetFormat& format);

class IndexTreeEditor {
public:
    // REQUIRES: a change is running on pager. owner is the table's first page.
    IndexTreeEditor(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                    const RealIndex& index, PageNumber owner);
    ~IndexTreeEditor();

    // The largest key an entry may carry: two node entries fit on any page.
    size_t maxKeySize() const;

    // Adds entry (key and row). Returns whether the tree already held an entry with the same
    // key. Throws Corrupt when the tree is damaged or already holds this very entry.
    bool insert(const IndexEntry& entry);
    // Removes entry. Returns whether an entry with the same key remains. An entry for the row
    // stored under another key (one Access computed by rules this engine does not have) is
    // found by its row and removed. Throws Corrupt when the tree is damaged or holds no entry
    // for the row.
    bool remove(const IndexEntry& entry);
    // Removes the entry for row, whatever its key, found by reading the leaves in order.
    bool removeRow(RowLocation row);
    // Writes every changed page and the index's page map.
    void flush();

private:
    struct Node {
        IndexPage page;
        size_t size = 0;  // the entries' bytes, stored whole
        bool changed = false;
    };
    // One page on the way from the root to a leaf: in a node, which child the way takes (the
    // position of its entry, or the number of entries for the tail); in the leaf, the entry's
    // position.
    struct Step {
        PageNumber page;
        size_t slot;
    };
    using Path = std::vector<Step>;

    Node& node(PageNumber page);
    std::optional<bool> removeFound(const IndexEntry& entry);
    // The stored entry for row; nullopt when no leaf holds one.
    std::optional<IndexEntry> findRow(RowLocation row);
    Path descend(const IndexEntry& entry);
    bool fits(const Node& node) const;
    void touch(Node& node) { node.changed = true; }
    bool sameKeyBeside(PageNumber leaf, size_t slot, const std::vector<uint8_t>& key);
    void updateLastEntry(const Path& path, size_t level, const IndexEntry& last);
    // Splits, frees and (after a removal, when shrunk) merges the pages along path, from the
    // leaf up, then settles the root.
    void rebalance(Path& path, bool shrunk);
    void split(Path& path, size_t level);
    void nestRoot(Path& path);
    void merge(Path& path, size_t level);
    void removePage(Path& path, size_t level);
    void removeChild(Path& path, size_t level);
    void promoteTail(Node& node);
    void demoteTail(Node& parent);
    void collapseRoot();
    IndexEntry lastEntryBelow(PageNumber page);
    PageNumber allocate();
    void unlink(Node& node);
    void release(PageNumber page);
    void writeChanged();
    [[noreturn]] void damaged(PageNumber page, const std::string& what) const;

    storage::Pager& m_pager;
    const JetFormat& m_format;
    PageAllocator& m_allocator;
    RealIndex m_index;
    PageNumber m_owner;
    std::unordered_map<PageNumber, Node> m_nodes;
    std::optional<UsageMapEditor> m_map;
};

}  // namespace engine::format

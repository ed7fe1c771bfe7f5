// An index's tree of pages (layout in index_page.h): reading its entries in order, checking its
// shape, and writing it anew from a sorted list of entries.
//
// Writing anew builds the tree bottom-up: leaves packed in key order and linked left to right,
// then levels of nodes above them, each node entry naming a child by the child's last entry,
// until one page is left. That page is written to the index's root page, which never moves: the
// table definition names it. The index's other pages are reused before new ones are taken, and
// pages left over are freed. Changes edit trees in place (index_tree_editor.h); the tree written
// anew from a table's rows is what any sequence of such edits must come to, key for key.
//
// Invariants of a tree (checkIndexTree reports any that fail):
//   (1) entries strictly increase across the leaf level;
//   (2) a node entry bounds the child it names: no entry of the child lies above it, and every
//       one lies above the node's entry before it. Trees written here name each child by its
//       last entry; the product also keeps larger bounds. A node's tail child (its last child,
//       when it has two or more) has no entry;
//   (3) every leaf lies at the same depth, and leaves are linked in order through
//       previous/next; a node's links, where set, name its neighbours at its level;
//   (4) every page but the root holds entries, belongs to the table, and is in the index's
//       page map.
#pragma once

#include "engine/format/indexes/index_entry_list.h"
#include "engine/format/indexes/index_page.h"
#include "engine/format/rows/row_set.h"
#include "engine/format/rows/table_definition.h"
#include "engine/format/space/page_allocator.h"

#include <optional>
#include <string>
#include <vector>

namespace engine::format {

// Every leaf entry of the index in order; owner is the table's first page, and expected how
// many entries it probably holds (room is made for them). Throws Corrupt on a damaged tree
// (loops, and pages outside the file or of another table, included).
IndexEntryList readIndexEntryList(storage::Pager& pager, const JetFormat& format,
                                  const RealIndex& index, PageNumber owner, size_t expected);
// The same, each entry owning its key.
std::vector<IndexEntry> readIndexEntries(storage::Pager& pager, const JetFormat& format,
                                         const RealIndex& index, PageNumber owner);
// The leaf entries whose key starts with keyPrefix, in order, found from the root.
std::vector<IndexEntry> readIndexEntries(storage::Pager& pager, const JetFormat& format,
                                         const RealIndex& index, PageNumber owner,
                                         const std::vector<uint8_t>& keyPrefix);

// Where a search for entry goes on a page: in a leaf, the position of the first entry not
// below it; in a node, the child to follow (the number of entries for the tail; the last child
// when entry lies past every entry of a node without a tail). A node without children gives 0.
size_t searchSlot(const IndexPage& page, const IndexEntry& entry);

// Rewrites the index from entries (sorted, no two equal). owner is the table's first page.
// Throws Corrupt, before writing anything, when the index's root is not an index page of owner.
void rewriteIndex(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                  const RealIndex& index, PageNumber owner, const IndexEntryList& entries);

// Removes the entries whose row is among stale, editing the tree where they were: a leaf that
// loses none keeps its bytes (its links set anew when a neighbour went), one that loses some is
// written again with the rest, one that loses all goes, and the nodes are built anew above the
// leaves left (the root kept in place); expected is a hint of how many entries the index holds.
// Returns the number of distinct keys left; nullopt, having changed nothing, when the tree is
// not one this can edit so (its map does not name its leaves, a root leaf links to others, its
// leaves hold more than this engine packs on a page): rewrite it whole then. Throws Corrupt as
// readIndexEntryList does, before writing anything.
std::optional<uint32_t> removeIndexEntries(storage::Pager& pager, const JetFormat& format,
                                           PageAllocator& allocator, const RealIndex& index,
                                           PageNumber owner, size_t expected, const RowSet& stale);

// What a check of an index finds: problems (what breaks a reader or a later change) and
// notices (shapes the product leaves that do no harm).
struct IndexFindings {
    std::vector<std::string> problems;
    std::vector<std::string> notices;
};

// What is wrong with the shape of the index's tree: order, node entries, links.
IndexFindings checkIndexTree(storage::Pager& pager, const JetFormat& format, const RealIndex& index,
                             PageNumber owner);

}  // namespace engine::format

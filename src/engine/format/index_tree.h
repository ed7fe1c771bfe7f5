// An index's tree of pages (layout in index_page.h): reading its entries in order, checking its
// shape, and writing it anew from a sorted list of entries.
//
// Writing builds the tree bottom-up: leaves packed in key order and linked left to right, then
// levels of nodes above them, each node entry naming a child by the child's last entry, until
// one page is left. That page is written to the index's root page, which never moves: the table
// definition names it. The index's other pages are reused before new ones are taken, and pages
// left over are freed. Catalogue indexes hold a few hundred entries, so rewriting one whole on
// each change costs little and leaves no half-split pages behind.
//
// Invariants of a tree this code writes:
//   (1) entries strictly increase across the leaf level;
//   (2) a node entry equals the last entry of the child it names; a node's tail child (its last
//       child, when it has two or more) has no entry;
//   (3) pages of one level are linked in order through previous/next.
#pragma once

#include "engine/format/index_page.h"
#include "engine/format/page_allocator.h"
#include "engine/format/table_definition.h"

#include <string>
#include <vector>

namespace engine::format {

// Every leaf entry of the index in order; owner is the table's first page. Throws Corrupt on a
// damaged tree (loops, and pages outside the file or of another table, included).
std::vector<IndexEntry> readIndexEntries(storage::Pager& pager, const JetFormat& format,
                                         const RealIndex& index, PageNumber owner);

// Rewrites the index from entries (sorted, no two equal). owner is the table's first page.
// Throws Corrupt, before writing anything, when the index's root is not an index page of owner.
void rewriteIndex(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                  const RealIndex& index, PageNumber owner, const std::vector<IndexEntry>& entries);

// What is wrong with the shape of the index's tree: order, node entries, links. Empty when
// nothing is.
std::vector<std::string> checkIndexTree(storage::Pager& pager, const JetFormat& format,
                                        const RealIndex& index, PageNumber owner);

}  // namespace engine::format

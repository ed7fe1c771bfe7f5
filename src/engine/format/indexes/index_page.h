// Index pages: the leaves and nodes of an index's tree. Header integers little-endian, entry
// bytes big-endian.
//
//   field                        size  Jet 3  Jet 4+
//   type 0x03 node / 0x04 leaf     1     0      0
//   01                             1     1      1
//   free space                     2     2      2   page size minus the end of the entries
//   owner                          4     4      4   first page of the table's definition
//   unknown, 0                     4     -      8
//   previous page at this level    4     8     12
//   next page at this level        4    12     16
//   tail page                      4    16     20   nodes: the last child, which has no entry
//   shared prefix length         1/2    20     24   Jet 3: one byte
//   node flag (1 node, 0 leaf)     1    21     26
//   entry mask                       22-247 27-479  bit b set = an entry ends at byte b
//   entries                          248    480
//
// Entries follow each other without gaps. The first is stored whole; every later one leaves out
// the prefix it shares with the first (the common start of the first and the last keys on the
// page; the product shares one only when the entries would not fit whole). Jet 3 node pages
// set byte 21 to 1, Jet 4 node pages byte 26. A leaf entry is the key, then the row's page (3
// bytes) and row (1 byte); a node entry is the last leaf entry of a child (key and row) followed by
// the child's page (4 bytes). A node with two or more children keeps its last child only as its
// tail page. Entries are in strictly increasing byte order.
#pragma once

#include "engine/format/jet_format.h"
#include "engine/format/rows/row_location.h"
#include "engine/format/rows/row_set.h"
#include "engine/storage/pager.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace engine::format {

class IndexEntryList;

inline constexpr uint8_t kIndexNodePageType = 0x03;
inline constexpr uint8_t kIndexLeafPageType = 0x04;

struct IndexEntry {
    std::vector<uint8_t> key;
    RowLocation row;
    PageNumber child = 0;  // node entries only

    // Key, page and row as stored (big-endian page).
    std::vector<uint8_t> sortBytes() const;
    bool operator<(const IndexEntry& other) const;
};

// An entry read in place: its key lies in memory the reader owns.
struct IndexEntryView {
    storage::Bytes key;
    RowLocation row;
    PageNumber child = 0;

    IndexEntryView() = default;
    explicit IndexEntryView(const IndexEntry& entry)
        : key(entry.key), row(entry.row), child(entry.child) {}
};

// Orders entries as pages keep them: by key bytes (a key that is the start of another comes
// first), then by the row's page and row. Negative, zero or positive.
int compareIndexEntries(const IndexEntryView& a, const IndexEntryView& b);
int compareIndexEntries(const IndexEntry& a, const IndexEntry& b);

// The bytes an entry takes on a page stored whole: the key, the row (4) and, in a node, the
// child (4).
inline size_t indexEntrySize(const IndexEntry& entry, bool leaf) {
    return entry.key.size() + (leaf ? 4 : 8);
}

struct IndexPage {
    bool leaf = true;
    PageNumber owner = 0;
    PageNumber previous = 0;
    PageNumber next = 0;
    PageNumber tail = 0;
    std::vector<IndexEntry> entries;
};

// Parses an index page. Throws Corrupt (naming path and page) on any inconsistency.
IndexPage parseIndexPage(storage::Bytes bytes, const JetFormat& format, PageNumber number,
                         const std::string& path);

// Reads the index page at number for code that follows a pointer to it or is about to rewrite
// it: owner is the first page of the table the index belongs to. Throws Corrupt, naming the
// page, unless it lies inside the file, is an index page of that table, parses, and every page
// it points to (children, tail, neighbours) lies inside the file.
IndexPage readIndexPage(storage::Pager& pager, const JetFormat& format, PageNumber number,
                        PageNumber owner);

// Reads the index page at number as readIndexPage does, its entries (when it is a leaf)
// appended to entries instead of kept on the page; those whose row is in leaveOut, when given,
// are only counted, in *leftOut.
IndexPage readIndexLeaf(storage::Pager& pager, const JetFormat& format, PageNumber number,
                        PageNumber owner, IndexEntryList& entries, const RowSet* leaveOut = nullptr,
                        size_t* leftOut = nullptr);

// Reads the index page at number as readIndexPage does, for a search that starts at from: the
// page keeps only the last entry that sorts before from (if any), then the first that does not
// and, in a leaf, the entries after it up to and including the first whose key more refuses.
// Every entry's bounds are checked as readIndexPage checks them, but the search compares only a
// few entries (it halves) and copies only those it keeps, so it costs little on a full page.
struct IndexPageSearch {
    IndexPage page;
    size_t firstSlot = 0;  // where page.entries.front() stands among all the page's entries
};
IndexPageSearch readIndexPageFrom(storage::Pager& pager, const JetFormat& format, PageNumber number,
                                  PageNumber owner, const IndexEntry& from,
                                  const std::function<bool(storage::Bytes key)>& more);

// Whether the entries fit on one page; wholeSize is the sum of their indexEntrySize().
bool indexEntriesFit(const IndexPage& page, size_t wholeSize, const JetFormat& format);

// Lays out an index page; nullopt when the entries do not fit.
std::optional<storage::PageBuffer> buildIndexPage(const IndexPage& page, const JetFormat& format);
// The same for the kind and links of header (its own entries left aside) holding entries.
std::optional<storage::PageBuffer> buildIndexPage(const IndexPage& header,
                                                  std::span<const IndexEntryView> entries,
                                                  const JetFormat& format);

}  // namespace engine::format

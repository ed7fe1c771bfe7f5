// Keeps a table's indexes in step with its rows: once rows were added or removed, finish()
// writes every real index of the table anew from the table's rows (index_tree.h). Keys are
// encoded with the sort order the indexed text columns declare.
#pragma once

#include "engine/format/page_allocator.h"
#include "engine/format/row_location.h"
#include "engine/format/table_definition.h"
#include "engine/format/value.h"

#include <memory>
#include <string>
#include <vector>

namespace engine::format {

// The page a new index starts with: an empty leaf, which stays its root for good.
storage::PageBuffer emptyIndexLeaf(const JetFormat& format, PageNumber owner);

// What is wrong with a table's indexes: the shape of their trees, and any difference between
// their entries and the entries the table's rows call for. Empty when nothing is.
std::vector<std::string> checkIndexes(storage::Pager& pager, const JetFormat& format,
                                      const TableDefinition& table);

class IndexUpdater {
public:
    // REQUIRES: a change is running on pager; table outlives the updater.
    IndexUpdater(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                 TableDefinition& table);
    ~IndexUpdater();

    // Notes that a row was added or removed.
    void add(const std::vector<Value>& row, RowLocation location);
    void remove(const std::vector<Value>& row, RowLocation location);
    // Writes the indexes and their usage maps, and updates the unique-entry counts in the
    // definition (the caller writes the definition). Throws DuplicateKey, naming the index, when
    // a unique index would hold one key twice.
    void finish();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace engine::format

// Keeps a table's indexes in step with its rows: every row added or removed adds or removes its
// entry in each real index of the table, in place (index_tree_editor.h). Keys are encoded with
// the sort order the indexed text columns declare.
#pragma once

#include "engine/format/indexes/index_page.h"
#include "engine/format/indexes/index_tree.h"
#include "engine/format/rows/row_location.h"
#include "engine/format/rows/table_definition.h"
#include "engine/format/rows/value.h"
#include "engine/format/space/page_allocator.h"

#include <memory>
#include <string>
#include <vector>

namespace engine::format {

// The error of a unique index asked to hold a key twice, naming the index.
EngineError duplicateKeyError(const std::string& index);

// The name of the logical index that real serves (its number when none names it).
std::string indexName(const TableDefinition& table, const RealIndex& real);

// The page a new index starts with: an empty leaf, which stays its root for good.
storage::PageBuffer emptyIndexLeaf(const JetFormat& format, PageNumber owner);

// The entries the table's rows call for, per real index (in the definition's order), sorted:
// what an index written anew from the rows holds. Indexes on columns this engine cannot encode
// get none.
std::vector<std::vector<IndexEntry>> indexEntriesFromRows(storage::Pager& pager,
                                                          const JetFormat& format,
                                                          const TableDefinition& table);

// What is wrong with a table's indexes: the shape of their trees, and any difference between
// their entries and the entries the table's rows call for; and the notices of their trees.
IndexFindings checkIndexes(storage::Pager& pager, const JetFormat& format,
                           const TableDefinition& table);

class IndexUpdater {
public:
    // REQUIRES: a change is running on pager; table outlives the updater.
    IndexUpdater(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                 TableDefinition& table);
    ~IndexUpdater();

    // Adds or removes the row's entries, and keeps the unique-entry counts in the definition
    // (the caller writes the definition). add throws DuplicateKey, naming the index, when a
    // unique index would hold one key twice; both throw NotSupported for an index on a type
    // this engine cannot encode, or a key too long for an index page.
    // only, when not empty, marks the real indexes (by position) to change; the others are
    // left alone (a row rewritten in place keeps the entries whose keys it keeps).
    void add(const std::vector<Value>& row, RowLocation location,
             const std::vector<bool>& only = {});
    void remove(const std::vector<Value>& row, RowLocation location,
                const std::vector<bool>& only = {});
    // From now on, gathers the entries rows add or remove and applies them in key order, a
    // batch at a time (when a batch is full, and before a change of the other kind), so that a
    // change of many rows edits each index page a few times rather than once per row. The
    // trees lag behind the rows until applyPending or finish; a DuplicateKey may then surface
    // for a row added earlier.
    void batchChanges();
    void applyPending();
    // Writes the index pages changed and their usage maps.
    void finish();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace engine::format

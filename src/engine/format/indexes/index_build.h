// An index's entries built from its table's rows: CREATE INDEX builds a new index from them, and
// a change of many rows' keys rebuilds the index from them rather than editing it entry by entry.
#pragma once

#include "engine/format/indexes/index_entry_list.h"
#include "engine/format/jet_format.h"
#include "engine/format/rows/row_location.h"
#include "engine/format/rows/table_definition.h"
#include "engine/format/rows/value.h"
#include "engine/storage/pager.h"

#include <string>
#include <vector>

namespace engine::format {

struct BuiltIndex {
    IndexEntryList entries;  // one per row the index keeps, sorted
    uint32_t distinctKeys = 0;
};

// Appends the entry of the row at location in real to entries, unless the index leaves the
// row out (every field NULL in an index that ignores NULLs). key is room reused from call to
// call. Throws as buildIndexEntries does for one row.
void addRowIndexEntry(const TableDefinition& table, const RealIndex& real,
                      const std::vector<Value>& row, RowLocation location,
                      storage::FileFormat fileFormat, const std::string& name, size_t maxKeySize,
                      std::vector<uint8_t>& key, IndexEntryList& entries);

// The number of distinct keys among sorted entries. Throws DuplicateKey, naming name, when real
// is unique and two entries hold one key (other than the key of all fields NULL).
uint32_t distinctIndexKeys(const TableDefinition& table, const RealIndex& real,
                           const IndexEntryList& sorted, storage::FileFormat fileFormat,
                           const std::string& name);

// Sorted fresh entries merged into the sorted entries an index keeps, with the number of
// distinct keys. Throws DuplicateKey, naming name, when real is unique and a fresh entry meets
// another of its key (other than the key of all fields NULL); keys the index already held
// twice stay as they are.
BuiltIndex mergeIndexEntries(const TableDefinition& table, const RealIndex& real,
                             IndexEntryList kept, const IndexEntryList& fresh,
                             storage::FileFormat fileFormat, const std::string& name);

// The entries of real from every row of table; name names the index in errors. Throws
// PrimaryKeyNull for a NULL a required index refuses, DuplicateKey for a key a unique index
// would hold twice, NotSupported for a key this engine cannot compute exactly or one longer
// than maxKeySize.
BuiltIndex buildIndexEntries(storage::Pager& pager, const JetFormat& format,
                             const TableDefinition& table, const RealIndex& real,
                             const std::string& name, size_t maxKeySize);

}  // namespace engine::format

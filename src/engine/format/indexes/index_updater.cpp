#include "engine/format/indexes/index_updater.h"

#include "engine/format/indexes/index_key.h"
#include "engine/format/indexes/index_tree.h"
#include "engine/format/indexes/index_tree_editor.h"
#include "engine/format/rows/table_scan.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <optional>

namespace engine::format {

namespace {

IndexEntry entryOf(const TableDefinition& table, const RealIndex& real,
                   const std::vector<Value>& row, storage::FileFormat format,
                   RowLocation location) {
    IndexEntry entry;
    encodeIndexKey(table, real, row, format, entry.key);
    entry.row = location;
    return entry;
}

// Calls take with every live row and every index that keeps an entry for it: one whose keys the
// engine encodes, unless the index leaves out rows whose indexed columns are all NULL and the
// row is one.
void forEachIndexedRow(storage::Pager& pager, const JetFormat& format, const TableDefinition& table,
                       const std::function<void(size_t index, const std::vector<Value>& row,
                                                RowLocation location)>& take) {
    TableScan scan(pager, format, table);
    std::vector<Value> row;
    while (scan.next(row)) {
        for (size_t index = 0; index < table.realIndexes.size(); ++index) {
            const RealIndex& real = table.realIndexes[index];
            if (!canEncodeIndex(table, real, format.format)) continue;
            if ((real.flags & index_flags::kIgnoreNulls) && allIndexColumnsNull(table, real, row)) {
                continue;
            }
            take(index, row, scan.location());
        }
    }
}

}  // namespace

std::string indexName(const TableDefinition& table, const RealIndex& real) {
    for (const auto& logical : table.logicalIndexes) {
        if (logical.realIndexNumber == real.number) return logical.name;
    }
    return std::to_string(real.number);
}

std::vector<std::vector<IndexEntry>> indexEntriesFromRows(storage::Pager& pager,
                                                          const JetFormat& format,
                                                          const TableDefinition& table) {
    std::vector<std::vector<IndexEntry>> entries(table.realIndexes.size());
    forEachIndexedRow(pager, format, table,
                      [&](size_t index, const std::vector<Value>& row, RowLocation location) {
                          entries[index].push_back(entryOf(table, table.realIndexes[index], row,
                                                           format.format, location));
                      });
    for (auto& list : entries) std::sort(list.begin(), list.end());
    return entries;
}

EngineError duplicateKeyError(const std::string& index) {
    return EngineError(ErrorCode::DuplicateKey,
                       "The changes you requested to the table were not successful because they "
                       "would create duplicate values in the index '" +
                           index + "'.");
}

storage::PageBuffer emptyIndexLeaf(const JetFormat& format, PageNumber owner) {
    IndexPage page;
    page.owner = owner;
    return *buildIndexPage(page, format);
}

class IndexUpdater::Impl {
public:
    Impl(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
         TableDefinition& table)
        : m_pager(pager),
          m_format(format),
          m_allocator(allocator),
          m_table(table),
          m_indexes(table.realIndexes.size()) {}

    void change(const std::vector<Value>& row, RowLocation location, bool adding,
                const std::vector<bool>& only);
    void batchChanges() { m_batching = true; }
    void applyPending() {
        for (size_t position = 0; position < m_indexes.size(); ++position) apply(position);
    }
    void finish() {
        applyPending();
        for (auto& index : m_indexes) {
            if (index.editor) index.editor->flush();
        }
    }

private:
    // Entries gathered per index before a batch is applied: enough that a batch in key order
    // meets most pages of a large index several times, few enough to keep memory small.
    static constexpr size_t kBatchEntries = 65536;

    // What the updater keeps per real index once a row has touched it.
    struct Index {
        std::unique_ptr<IndexTreeEditor> editor;
        std::vector<uint8_t> nullKey;
        std::vector<IndexEntry> pending;  // when batching: entries still to add or remove
        bool pendingAdds = false;
    };
    Index& prepare(size_t position);
    // Adds or removes one entry in the tree now.
    void store(size_t position, const IndexEntry& entry, bool adding);
    void apply(size_t position);

    storage::Pager& m_pager;
    const JetFormat& m_format;
    PageAllocator& m_allocator;
    TableDefinition& m_table;
    std::vector<Index> m_indexes;  // by position in the definition's real indexes
    bool m_batching = false;
};

void IndexUpdater::Impl::store(size_t position, const IndexEntry& entry, bool adding) {
    RealIndex& real = m_table.realIndexes[position];
    Index& index = m_indexes[position];
    if (!adding) {
        const bool remains = index.editor->remove(entry);
        if (!remains && real.uniqueEntryCount > 0) --real.uniqueEntryCount;
        return;
    }
    const bool repeated = index.editor->insert(entry);
    if (repeated && real.isUnique() && entry.key != index.nullKey) {
        throw duplicateKeyError(indexName(m_table, real));
    }
    if (!repeated) ++real.uniqueEntryCount;
}

void IndexUpdater::Impl::apply(size_t position) {
    Index& index = m_indexes[position];
    if (index.pending.empty()) return;
    std::sort(index.pending.begin(), index.pending.end());
    for (const auto& entry : index.pending) store(position, entry, index.pendingAdds);
    index.pending.clear();
}

IndexUpdater::Impl::Index& IndexUpdater::Impl::prepare(size_t position) {
    Index& index = m_indexes[position];
    if (index.editor) return index;
    const RealIndex& real = m_table.realIndexes[position];
    if (!canEncodeIndex(m_table, real, m_format.format)) {
        throw EngineError(ErrorCode::NotSupported,
                          "The index '" + indexName(m_table, real) +
                              "' is on a field of a type this engine cannot index.");
    }
    index.editor =
        std::make_unique<IndexTreeEditor>(m_pager, m_format, m_allocator, real, m_table.firstPage);
    index.nullKey = nullIndexKey(m_table, real, m_format.format);
    return index;
}

void IndexUpdater::Impl::change(const std::vector<Value>& row, RowLocation location, bool adding,
                                const std::vector<bool>& only) {
    for (size_t position = 0; position < m_table.realIndexes.size(); ++position) {
        if (!only.empty() && !only.at(position)) continue;
        RealIndex& real = m_table.realIndexes[position];
        Index& index = prepare(position);
        if ((real.flags & index_flags::kIgnoreNulls) && allIndexColumnsNull(m_table, real, row)) {
            continue;
        }
        if (!adding && indexKeyGap(m_table, real, row, m_format.format)) {
            // An entry whose key this engine cannot compute is found by its row.
            apply(position);
            if (!index.editor->removeRow(location) && real.uniqueEntryCount > 0) {
                --real.uniqueEntryCount;
            }
            continue;
        }
        if (adding && (real.flags & index_flags::kRequired) &&
            anyIndexColumnNull(m_table, real, row)) {
            throw EngineError(ErrorCode::PrimaryKeyNull,
                              "Index or primary key cannot contain a Null value: a row gives "
                              "none for a field of the index '" +
                                  indexName(m_table, real) + "'.");
        }
        IndexEntry entry = entryOf(m_table, real, row, m_format.format, location);
        if (adding && entry.key.size() > index.editor->maxKeySize()) {
            throw EngineError(ErrorCode::NotSupported, "A value is too long for the index '" +
                                                           indexName(m_table, real) + "'.");
        }
        if (!m_batching) {
            store(position, entry, adding);
            continue;
        }
        if (!index.pending.empty() && index.pendingAdds != adding) apply(position);
        index.pendingAdds = adding;
        index.pending.push_back(std::move(entry));
        if (index.pending.size() >= kBatchEntries) apply(position);
    }
}

IndexUpdater::IndexUpdater(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                           TableDefinition& table)
    : m_impl(std::make_unique<Impl>(pager, format, allocator, table)) {
    assert(pager.inTransaction());
}

IndexUpdater::~IndexUpdater() = default;

void IndexUpdater::add(const std::vector<Value>& row, RowLocation location,
                       const std::vector<bool>& only) {
    m_impl->change(row, location, true, only);
}

void IndexUpdater::remove(const std::vector<Value>& row, RowLocation location,
                          const std::vector<bool>& only) {
    m_impl->change(row, location, false, only);
}

void IndexUpdater::batchChanges() { m_impl->batchChanges(); }

void IndexUpdater::applyPending() { m_impl->applyPending(); }

void IndexUpdater::finish() { m_impl->finish(); }

IndexFindings checkIndexes(storage::Pager& pager, const JetFormat& format,
                           const TableDefinition& table) {
    IndexFindings findings;
    auto& problems = findings.problems;
    if (table.realIndexes.empty()) return findings;
    // What each row calls for, per index: an entry, with its key where this engine can compute
    // it (a text in a sort order it knows only in part may leave it unknown).
    struct Expected {
        RowLocation row;
        std::optional<std::vector<uint8_t>> key;
    };
    std::vector<std::vector<Expected>> expected(table.realIndexes.size());
    std::vector<size_t> unknown(table.realIndexes.size(), 0);
    std::vector<std::string> gaps(table.realIndexes.size());
    forEachIndexedRow(pager, format, table,
                      [&](size_t index, const std::vector<Value>& row, RowLocation location) {
                          const RealIndex& real = table.realIndexes[index];
                          Expected entry{location, std::nullopt};
                          if (auto gap = indexKeyGap(table, real, row, format.format)) {
                              if (unknown[index]++ == 0) gaps[index] = *gap;
                          } else {
                              entry.key = entryOf(table, real, row, format.format, location).key;
                          }
                          expected[index].push_back(std::move(entry));
                      });
    for (size_t index = 0; index < table.realIndexes.size(); ++index) {
        const RealIndex& real = table.realIndexes[index];
        std::string name = "index '" + indexName(table, real) + "'";
        auto tree = checkIndexTree(pager, format, real, table.firstPage);
        for (const auto& problem : tree.problems) problems.push_back(name + ": " + problem);
        for (const auto& notice : tree.notices) findings.notices.push_back(name + ": " + notice);
        // Keys of types this engine cannot encode are left unchecked; the tree's shape is not.
        if (!canEncodeIndex(table, real, format.format)) continue;
        std::vector<IndexEntry> actual;
        try {
            actual = readIndexEntries(pager, format, real, table.firstPage);
        } catch (const EngineError& error) {
            problems.push_back(name + ": " + error.what());
            continue;
        }
        if (actual.size() != expected[index].size()) {
            problems.push_back(name + " holds " + std::to_string(actual.size()) + " entries for " +
                               std::to_string(expected[index].size()) + " rows");
            continue;
        }
        // Entry for entry by row: each row has one, with the key the row gives where known.
        std::sort(actual.begin(), actual.end(),
                  [](const IndexEntry& a, const IndexEntry& b) { return a.row < b.row; });
        auto& rows = expected[index];
        std::sort(rows.begin(), rows.end(),
                  [](const Expected& a, const Expected& b) { return a.row < b.row; });
        for (size_t entry = 0; entry < actual.size(); ++entry) {
            const RowLocation row = actual[entry].row;
            if (row != rows[entry].row) {
                problems.push_back(name + " holds an entry for page " + std::to_string(row.page) +
                                   ", row " + std::to_string(row.row) +
                                   ", which is not one entry of a live row");
                break;
            }
            if (rows[entry].key && actual[entry].key != *rows[entry].key) {
                problems.push_back(name + " holds an entry that does not match its row (page " +
                                   std::to_string(row.page) + ", row " + std::to_string(row.row) +
                                   ")");
                break;
            }
        }
        if (unknown[index] > 0) {
            findings.notices.push_back(
                name + ": " + std::to_string(unknown[index]) +
                " keys were not compared with their rows: this engine does not know the code of " +
                gaps[index]);
        }
    }
    return findings;
}

}  // namespace engine::format

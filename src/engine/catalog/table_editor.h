// Adds and removes rows of an existing table, keeping its indexes, usage maps and row count in
// step. Used for the system tables a change touches (MSysObjects, MSysACEs ...) and for
// inserts into user tables.
#pragma once

#include "engine/catalog/column_value.h"
#include "engine/catalog/write_context.h"
#include "engine/format/indexes/index_entry_list.h"
#include "engine/format/indexes/index_updater.h"
#include "engine/format/rows/row_encoder.h"
#include "engine/format/rows/row_fetch.h"
#include "engine/format/rows/row_layout.h"
#include "engine/format/rows/table_appender.h"

#include <functional>
#include <memory>
#include <optional>

namespace engine::catalog {

class TableEditor {
public:
    TableEditor(const WriteContext& context, format::TableDefinition definition);
    ~TableEditor();

    const format::TableDefinition& definition() const { return m_definition; }
    // The position of a column in the definition's column list. Throws Corrupt when missing.
    size_t columnPosition(std::string_view name) const;

    // Adds the row and its entries; indexes, when not empty, marks the real indexes (by
    // position) that take the row's entry, the others being built anew later.
    format::RowLocation insert(const std::vector<format::Value>& row,
                               const std::vector<bool>& indexes = {});
    // Removes every row for which matches returns true (given the decoded row), moved rows with
    // the slots they moved to. A removal of many rows takes their entries out of each index
    // leaf by leaf (format::removeIndexEntries), instead of one by one from the root. reads, when
    // given, names the positions of the columns matches looks at: only those are decoded, so
    // that a damaged value elsewhere in a row (a long value that points nowhere, say) does not
    // stop the change, and the scan costs little. Not given: every column.
    size_t removeWhere(const std::function<bool(const std::vector<format::Value>&)>& matches,
                       const std::optional<std::vector<size_t>>& reads = std::nullopt);
    // Sets the values of every row for which matches returns true (given the decoded row;
    // reads, when given, names the columns it looks at, as for removeWhere). A row whose new
    // form takes as many bytes, with its long values unchanged, is rewritten in its place, and
    // only the index entries whose keys change are replaced; any other row is stored anew. When
    // every value set is of a fixed size, a row is rewritten by changing just those values'
    // bytes, the rest kept as stored. Every old index entry goes before any new one comes, so a
    // unique index judges the rows as they will stand. Keeps only where the rows live, not
    // their values. Returns how many changed.
    size_t updateWhere(const std::function<bool(const std::vector<format::Value>&)>& matches,
                       const std::vector<ColumnValue>& values,
                       const std::optional<std::vector<size_t>>& reads = std::nullopt);
    // Removes every row whose column (by position) holds value: found through an index that
    // starts with the column when the table has one (the cost then does not grow with the
    // table), else by reading every row. Returns how many went.
    size_t removeWhereEqual(size_t position, const format::Value& value);
    // Calls visit with every live row. Rows this editor added are seen once it has finished.
    void forEachRow(const std::function<void(const std::vector<format::Value>&)>& visit);
    // Calls visit with every live row whose column (by position) holds value: through an index
    // that starts with the column when the table has one, else by reading every row.
    void forEachRowWhere(size_t position, const format::Value& value,
                         const std::function<void(const std::vector<format::Value>&)>& visit);
    // Applies index changes in batches from now on (format::IndexUpdater::batchChanges), for a
    // change of many rows; searches through an index apply what is pending first.
    void batchIndexChanges();
    // Writes everything changed: pages, indexes, maps, and the definition's counters.
    void finish();

private:
    // The columns a scan decodes for a condition that reads those (by position): every
    // column (empty) when not given.
    std::vector<bool> readColumns(const std::optional<std::vector<size_t>>& reads) const;
    // The columns some index of the table holds, by position.
    std::vector<bool> indexedColumns() const;
    // Encodes row after into bytes to take the place of row before at location: false unless
    // the row lives in its home slot in the table's current shape, its long values stay as they
    // are, and the new row takes exactly as many bytes. With patched (values of a fixed size
    // that make after of before), the stored row is patched instead when it can be.
    bool rewriteInPlace(format::RowLocation location, const std::vector<format::Value>& before,
                        const std::vector<format::Value>& after,
                        const std::vector<ColumnValue>* patched, std::vector<uint8_t>& bytes);
    // Whether every value set is of a fixed size, so that rows change by patch().
    bool patches(const std::vector<ColumnValue>& values) const;
    // Copies the stored row (its layout parsed) into bytes with the values set in its fixed
    // area and null mask: false unless the row is in the table's current shape.
    bool patch(storage::Bytes stored, const format::RowLayout& layout,
               const std::vector<ColumnValue>& values, std::vector<uint8_t>& bytes) const;
    // Whether changing the entries of that many of the live rows rewrites the index whole.
    bool rewritesIndex(const format::RealIndex& real, size_t changed, uint64_t live) const;
    // Whether removing that many of the live rows rewrites every index whole.
    bool rewritesIndexes(size_t removed, uint64_t live) const;
    // Rewrites each real index not kept (by position) without the entries of the stale rows:
    // one with fresh entries (any order) whole, those merged in; one without, leaf by leaf.
    void rewriteIndexes(const std::vector<bool>& kept,
                        const std::vector<format::RowLocation>& stale,
                        std::vector<format::IndexEntryList> fresh);
    // Rewrites every index without the entries of rows.
    void dropIndexEntriesOf(const std::vector<format::RowLocation>& rows);
    // Which real indexes (by position) hold a column whose value differs between the rows.
    void changedIndexes(const std::vector<format::Value>& before,
                        const std::vector<format::Value>& after, std::vector<bool>& changed);
    // Flags the row at location deleted, on the page as the file holds it.
    void removeStored(format::RowLocation location);
    // Flags the rows at locations deleted, each page written once.
    void removeStored(const std::vector<format::RowLocation>& locations);
    // Decodes the live row at location (the wanted columns); Corrupt when none is there.
    void fetchLive(format::RowFetcher& fetcher, format::RowLocation location,
                   const std::vector<bool>& wanted, std::vector<format::Value>& row);
    // The rows an index that starts with the column (by position) names under value's key: all
    // rows that may hold value, and some that do not. nullopt when no such index can be searched
    // for value.
    std::optional<std::vector<format::RowLocation>> rowsKeyedBy(size_t position,
                                                                const format::Value& value);

    const WriteContext& m_context;
    format::TableDefinition m_definition;
    std::unique_ptr<format::TableAppender> m_appender;
    std::unique_ptr<format::IndexUpdater> m_indexes;
    std::unique_ptr<format::RowEncoder> m_encoder;  // for rows rewritten in place
    // Room reused by rewriteInPlace and changedIndexes, row after row.
    format::RowLayout m_layout;
    std::vector<format::ByteString> m_longValues;
    std::vector<std::vector<size_t>> m_indexPositions;  // each real index's columns
    bool m_batching = false;                        // index changes go in batches
};

}  // namespace engine::catalog

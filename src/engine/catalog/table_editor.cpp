#include "engine/catalog/table_editor.h"

#include "engine/format/indexes/index_build.h"
#include "engine/format/indexes/index_key.h"
#include "engine/format/indexes/index_tree.h"
#include "engine/format/indexes/index_tree_editor.h"
#include "engine/format/rows/row_encoder.h"
#include "engine/format/rows/row_fetch.h"
#include "engine/format/rows/row_layout.h"
#include "engine/format/rows/row_removal.h"
#include "engine/format/rows/row_set.h"
#include "engine/format/rows/table_definition_writer.h"
#include "engine/format/rows/table_scan.h"
#include "engine/format/rows/value_codec.h"
#include "engine/format/space/data_page_editor.h"
#include "engine/storage/unicode.h"

#include <algorithm>

namespace engine::catalog {

TableEditor::TableEditor(const WriteContext& context, format::TableDefinition definition)
    : m_context(context), m_definition(std::move(definition)) {
    m_indexes = std::make_unique<format::IndexUpdater>(m_context.pager, m_context.format,
                                                       m_context.allocator, m_definition);
}

TableEditor::~TableEditor() = default;

size_t TableEditor::columnPosition(std::string_view name) const {
    const auto* column = m_definition.findColumn(name);
    if (!column) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + m_context.pager.path() + "' is damaged: the system " +
                              "table on page " + std::to_string(m_definition.firstPage) +
                              " lacks its column '" + std::string(name) + "'.",
                          m_definition.firstPage);
    }
    return static_cast<size_t>(column - m_definition.columns.data());
}

format::RowLocation TableEditor::insert(const std::vector<format::Value>& row,
                                        const std::vector<bool>& indexes) {
    if (!m_appender) {
        m_appender = std::make_unique<format::TableAppender>(m_context.pager, m_context.format,
                                                             m_context.allocator, m_definition);
    }
    format::RowLocation location = m_appender->append(row);
    m_indexes->add(m_appender->lastRow(), location, indexes);
    return location;
}

void TableEditor::forEachRow(const std::function<void(const std::vector<format::Value>&)>& visit) {
    format::TableScan scan(m_context.pager, m_context.format, m_definition);
    std::vector<format::Value> row;
    while (scan.next(row)) visit(row);
}

std::optional<std::vector<format::RowLocation>> TableEditor::rowsKeyedBy(
    size_t position, const format::Value& value) {
    m_indexes->applyPending();
    const auto& column = m_definition.columns.at(position);
    for (const auto& real : m_definition.realIndexes) {
        if (real.columns.empty() || real.columns.front().columnNumber != column.number ||
            !format::canEncodeIndex(m_definition, real, m_context.format.format)) {
            continue;
        }
        // The entries whose key opens with the value's part, where the engine knows that key.
        format::RealIndex first = real;
        first.columns.resize(1);
        std::vector<format::Value> probe(m_definition.columns.size());
        probe[position] = value;
        if (format::indexKeyGap(m_definition, first, probe, m_context.format.format)) continue;
        std::vector<uint8_t> prefix;
        format::encodeIndexKey(m_definition, first, probe, m_context.format.format, prefix);
        std::vector<format::RowLocation> rows;
        for (const auto& entry : format::readIndexEntries(m_context.pager, m_context.format, real,
                                                          m_definition.firstPage, prefix)) {
            rows.push_back(entry.row);
        }
        return rows;
    }
    return std::nullopt;
}

void TableEditor::forEachRowWhere(
    size_t position, const format::Value& value,
    const std::function<void(const std::vector<format::Value>&)>& visit) {
    const auto keyed = rowsKeyedBy(position, value);
    if (!keyed) {
        forEachRow([&](const std::vector<format::Value>& row) {
            if (row[position] == value) visit(row);
        });
        return;
    }
    format::RowFetcher fetcher(m_context.pager, m_context.format, m_definition);
    std::vector<format::Value> row;
    for (const auto location : *keyed) {
        if (fetcher.fetch(location, row) && row[position] == value) visit(row);
    }
}

size_t TableEditor::removeWhereEqual(size_t position, const format::Value& value) {
    const auto keyed = rowsKeyedBy(position, value);
    if (!keyed) {
        return removeWhere(
            [&](const std::vector<format::Value>& row) { return row[position] == value; },
            std::vector<size_t>{position});
    }
    // Only the indexed columns and the compared one are decoded.
    std::vector<bool> wanted = indexedColumns();
    wanted[position] = true;
    std::vector<std::pair<format::RowLocation, std::vector<format::Value>>> doomed;
    format::RowFetcher fetcher(m_context.pager, m_context.format, m_definition);
    std::vector<format::Value> row;
    for (const auto location : *keyed) {
        if (fetcher.fetch(location, wanted, row) && row[position] == value) {
            doomed.emplace_back(location, row);
        }
    }
    for (const auto& [location, values] : doomed) {
        removeStored(location);
        m_indexes->remove(values, location);
        if (m_definition.rowCount > 0) --m_definition.rowCount;
    }
    return doomed.size();
}

std::vector<bool> TableEditor::readColumns(const std::optional<std::vector<size_t>>& reads) const {
    if (!reads) return {};
    std::vector<bool> wanted(m_definition.columns.size(), false);
    for (size_t position : *reads) wanted.at(position) = true;
    return wanted;
}

std::vector<bool> TableEditor::indexedColumns() const {
    std::vector<bool> wanted(m_definition.columns.size(), false);
    for (const auto& real : m_definition.realIndexes) {
        for (const auto& part : real.columns) {
            for (size_t position = 0; position < m_definition.columns.size(); ++position) {
                if (m_definition.columns[position].number == part.columnNumber) {
                    wanted[position] = true;
                }
            }
        }
    }
    return wanted;
}

size_t TableEditor::removeWhere(
    const std::function<bool(const std::vector<format::Value>&)>& matches,
    const std::optional<std::vector<size_t>>& reads) {
    const std::vector<bool> wanted = readColumns(reads);
    // Collect first: the scan reads pages that the removals change. Only where the rows live
    // is kept; each is read again for its indexed values when it goes, so that memory does not
    // grow with the rows' contents.
    std::vector<format::RowLocation> doomed;
    uint64_t live = 0;
    {
        format::TableScan scan(m_context.pager, m_context.format, m_definition);
        std::vector<format::Value> row;
        while (scan.next(wanted, row)) {
            ++live;
            if (matches(row)) doomed.push_back(scan.location());
        }
    }
    const std::vector<bool> indexed = indexedColumns();
    format::RowFetcher fetcher(m_context.pager, m_context.format, m_definition);
    std::vector<format::Value> row;
    const bool rewrite = rewritesIndexes(doomed.size(), live);
    if (rewrite) {
        dropIndexEntriesOf(doomed);
    } else if (!m_definition.realIndexes.empty()) {
        for (const auto location : doomed) {
            fetchLive(fetcher, location, indexed, row);
            m_indexes->remove(row, location);
        }
    }
    removeStored(doomed);
    m_definition.rowCount -=
        std::min<uint32_t>(m_definition.rowCount, static_cast<uint32_t>(doomed.size()));
    // The scan counted every row, so the count the definition keeps (a counter the product
    // does not always keep up to date) becomes the true one. Rows this editor appended are
    // not among those the scan saw.
    if (!m_appender) m_definition.rowCount = static_cast<uint32_t>(live - doomed.size());
    return doomed.size();
}

bool TableEditor::rewritesIndex(const format::RealIndex& real, size_t changed,
                                uint64_t live) const {
    // Changing entry by entry edits a path of pages per row; rewriting reads and writes each
    // page of the index once. From an eighth of the rows on, the rewrite costs less.
    constexpr size_t kFewest = 1024;
    constexpr uint64_t kShare = 8;
    // Indexes whose keys this engine cannot compute stay with the path that refuses them.
    return changed >= kFewest && changed * kShare >= live &&
           format::canEncodeIndex(m_definition, real, m_context.format.format);
}

bool TableEditor::rewritesIndexes(size_t removed, uint64_t live) const {
    return !m_definition.realIndexes.empty() &&
           std::all_of(
               m_definition.realIndexes.begin(), m_definition.realIndexes.end(),
               [&](const format::RealIndex& real) { return rewritesIndex(real, removed, live); });
}

void TableEditor::dropIndexEntriesOf(const std::vector<format::RowLocation>& rows) {
    rewriteIndexes(std::vector<bool>(m_definition.realIndexes.size(), false), rows, {});
}

void TableEditor::rewriteIndexes(const std::vector<bool>& kept,
                                 const std::vector<format::RowLocation>& stale,
                                 std::vector<format::IndexEntryList> fresh) {
    // The updater's pending entries and cached pages land first; it starts afresh after.
    m_indexes->finish();
    const format::RowSet isStale(stale);
    fresh.resize(kept.size());
    for (size_t index = 0; index < kept.size(); ++index) {
        if (kept[index]) continue;
        auto& real = m_definition.realIndexes[index];
        // Without new entries, the stale ones are taken out of the tree where they are.
        if (fresh[index].empty()) {
            if (const auto distinct = format::removeIndexEntries(
                    m_context.pager, m_context.format, m_context.allocator, real,
                    m_definition.firstPage, m_definition.rowCount, isStale)) {
                real.uniqueEntryCount = *distinct;
                continue;
            }
        }
        // The count of rows is only a hint of how many entries there are.
        auto entries = format::readIndexEntryList(m_context.pager, m_context.format, real,
                                                  m_definition.firstPage, m_definition.rowCount);
        // Entries keep their stored keys and order, whatever rules made them.
        entries.keepRows([&](format::RowLocation row) { return !isStale.contains(row); });
        fresh[index].sort();
        const auto merged = format::mergeIndexEntries(m_definition, real, std::move(entries),
                                                      fresh[index], m_context.format.format,
                                                      format::indexName(m_definition, real));
        format::rewriteIndex(m_context.pager, m_context.format, m_context.allocator, real,
                             m_definition.firstPage, merged.entries);
        real.uniqueEntryCount = merged.distinctKeys;
    }
    m_indexes = std::make_unique<format::IndexUpdater>(m_context.pager, m_context.format,
                                                       m_context.allocator, m_definition);
    if (m_batching) m_indexes->batchChanges();
}

size_t TableEditor::updateWhere(
    const std::function<bool(const std::vector<format::Value>&)>& matches,
    const std::vector<ColumnValue>& values, const std::optional<std::vector<size_t>>& reads) {
    auto update = [&](std::vector<format::Value>& row) {
        for (const auto& [position, value] : values) row.at(position) = value;
    };
    // Rows rewritten in place go in page order, so each page is copied and written once. A
    // page rows are being added to is let go first, so that its copy does not overwrite these
    // changes.
    if (m_appender) m_appender->releasePage();
    std::optional<format::DataPageEditor> page;
    PageNumber pageNumber = 0;
    auto writePage = [&] {
        if (page) m_context.pager.write(pageNumber, page->bytes());
        page.reset();
    };
    auto overwrite = [&](format::RowLocation location, const std::vector<uint8_t>& bytes) {
        if (page && pageNumber != location.page) writePage();
        if (!page) {
            auto contents = m_context.pager.read(location.page);
            page = format::DataPageEditor::copyOf(*contents, m_context.format, location.page,
                                                  m_context.pager.path(), m_definition.firstPage);
            pageNumber = location.page;
        }
        page->overwriteRow(location.row, bytes);
    };
    // When the rows change by patching their stored bytes, the scan decodes only what the
    // condition reads and the fields set (to tell whether a key changes); a row that cannot be
    // patched is decoded whole where it stands.
    const bool patching = patches(values);
    std::vector<bool> wanted;
    if (patching) {
        wanted = readColumns(reads);
        if (!wanted.empty()) {
            for (const auto& value : values) wanted.at(value.position) = true;
        }
    }
    // Every old entry leaves the indexes before any new one enters, so that a unique index
    // judges the new keys against the rows as they will stand, not against the old values of
    // rows still to change. A row that fits its place and changes no index key is rewritten as
    // the scan passes it: the scan has left its page by the time that page is written, and
    // reaches no row twice. The others wait for every old entry to be out: rewritten in place
    // keeping the entries whose keys they keep, or stored anew.
    std::vector<format::RowLocation> later;
    std::vector<bool> laterInPlace;
    uint64_t live = 0;
    size_t updated = 0;
    std::vector<uint8_t> bytes;
    std::vector<bool> changed;
    std::vector<size_t> keysChanged(m_definition.realIndexes.size(), 0);  // rows, by index
    {
        format::TableScan scan(m_context.pager, m_context.format, m_definition);
        std::vector<format::Value> before;
        std::vector<format::Value> after;
        while (scan.next(wanted, before)) {
            ++live;
            if (!matches(before)) continue;
            ++updated;
            const format::RowLocation location = scan.location();
            bool fits =
                patching && !scan.moved() && patch(scan.rowBytes(), scan.layout(), values, bytes);
            if (patching && !fits) scan.decode(before);
            after = before;
            update(after);
            if (!fits) fits = rewriteInPlace(location, before, after, nullptr, bytes);
            changedIndexes(before, after, changed);
            const bool keysKept = std::none_of(changed.begin(), changed.end(), std::identity());
            if (fits && keysKept) {
                overwrite(location, bytes);
                continue;
            }
            later.push_back(location);
            laterInPlace.push_back(fits);
            for (size_t index = 0; index < changed.size(); ++index) {
                if (!fits || changed[index]) ++keysChanged[index];
            }
        }
    }
    // An index whose key changes for many rows is rewritten whole once every row is written
    // (its entries of those rows left out, their new entries merged in), by the rule of a large
    // DELETE; the others are edited entry by entry.
    std::vector<bool> edited(m_definition.realIndexes.size(), true);
    for (size_t index = 0; index < edited.size(); ++index) {
        edited[index] = !rewritesIndex(m_definition.realIndexes[index], keysChanged[index], live);
    }
    const bool rebuilds = std::find(edited.begin(), edited.end(), false) != edited.end();
    // For the indexes rebuilt: where the rows' old entries point, and their new entries.
    std::vector<format::RowLocation> stale;
    std::vector<format::IndexEntryList> fresh(edited.size());
    const size_t maxKeySize = format::maxIndexKeySize(m_context.format);
    std::vector<uint8_t> key;
    auto addFresh = [&](const std::vector<format::Value>& row, format::RowLocation location) {
        for (size_t index = 0; index < edited.size(); ++index) {
            if (edited[index]) continue;
            const auto& real = m_definition.realIndexes[index];
            format::addRowIndexEntry(m_definition, real, row, location, m_context.format.format,
                                     format::indexName(m_definition, real), maxKeySize, key,
                                     fresh[index]);
        }
    };
    if (rebuilds) stale = later;
    format::RowFetcher fetcher(m_context.pager, m_context.format, m_definition);
    const std::vector<bool> everyColumn(m_definition.columns.size(), true);
    std::vector<format::Value> before;
    std::vector<format::Value> after;
    auto changeOf = [&](format::RowLocation location) {
        fetchLive(fetcher, location, everyColumn, before);
        after = before;
        update(after);
    };
    // The edited indexes' entries that change, of the rows whose entries change.
    auto editedChanges = [&](bool inPlace) {
        if (!inPlace) return edited;
        changedIndexes(before, after, changed);
        for (size_t index = 0; index < changed.size(); ++index) {
            changed[index] = changed[index] && edited[index];
        }
        return changed;
    };
    if (std::find(edited.begin(), edited.end(), true) != edited.end()) {
        for (size_t at = 0; at < later.size(); ++at) {
            changeOf(later[at]);
            m_indexes->remove(before, later[at], editedChanges(laterInPlace[at]));
        }
    }
    // The rows rewritten in place with new keys, before any row is stored anew.
    for (size_t at = 0; at < later.size(); ++at) {
        if (!laterInPlace[at]) continue;
        changeOf(later[at]);
        if (!rewriteInPlace(later[at], before, after, patching ? &values : nullptr, bytes)) {
            throw EngineError(ErrorCode::Internal, "a row no longer fits its place");
        }
        overwrite(later[at], bytes);
        m_indexes->add(after, later[at], editedChanges(true));
        if (rebuilds) addFresh(after, later[at]);
    }
    writePage();
    if (!m_appender) m_definition.rowCount = static_cast<uint32_t>(live);
    for (size_t at = 0; at < later.size(); ++at) {
        if (laterInPlace[at]) continue;
        changeOf(later[at]);
        removeStored(later[at]);
        if (m_definition.rowCount > 0) --m_definition.rowCount;
        const format::RowLocation location = insert(after, edited);
        if (rebuilds) addFresh(m_appender->lastRow(), location);
    }
    if (rebuilds) rewriteIndexes(edited, stale, std::move(fresh));
    return updated;
}

bool TableEditor::rewriteInPlace(format::RowLocation location,
                                 const std::vector<format::Value>& before,
                                 const std::vector<format::Value>& after,
                                 const std::vector<ColumnValue>* patched,
                                 std::vector<uint8_t>& bytes) {
    for (size_t at = 0; at < m_definition.columns.size(); ++at) {
        if (format::isLongValueType(m_definition.columns[at].type) && !(before[at] == after[at])) {
            return false;
        }
    }
    auto contents = m_context.pager.read(location.page);
    format::DataPageView view(*contents, m_context.format, location.page, m_context.pager.path());
    const format::RowSlot slot = view.slot(location.row);
    if (slot.deleted || slot.lookup) return false;
    const storage::Bytes stored = view.rowBytes(slot);
    if (!format::parseRowLayout(stored, m_context.format, m_definition.varColumns > 0, m_layout) ||
        m_layout.columnCount != m_definition.maxColumns) {
        return false;
    }
    if (patched && patch(stored, m_layout, *patched, bytes)) return true;
    // The long values stay where they are: the row keeps their stored bytes.
    m_longValues.resize(m_definition.columns.size());
    for (size_t at = 0; at < m_definition.columns.size(); ++at) {
        const auto& column = m_definition.columns[at];
        m_longValues[at].clear();
        if (!format::isLongValueType(column.type) || format::isNull(before[at])) continue;
        if (column.varIndex + 1u >= m_layout.variableOffsets.size()) return false;
        const uint16_t from = m_layout.variableOffsets[column.varIndex];
        const uint16_t to = m_layout.variableOffsets[column.varIndex + 1u];
        if (from > to || to > stored.size()) return false;
        m_longValues[at].assign(stored.begin() + from, stored.begin() + to);
    }
    if (!m_encoder)
        m_encoder = std::make_unique<format::RowEncoder>(m_context.format, m_definition);
    m_encoder->encode(after, m_longValues, bytes, 1);
    return bytes.size() == stored.size();
}

bool TableEditor::patches(const std::vector<ColumnValue>& values) const {
    for (const auto& [position, value] : values) {
        const auto& column = m_definition.columns.at(position);
        if (column.type == format::ColumnType::Boolean && !column.isCalculated()) {
            if (!format::isNull(value) && !std::holds_alternative<bool>(value)) return false;
            continue;
        }
        if (!column.isFixed() || format::fixedSizeOf(column.type) == 0 ||
            (!format::isNull(value) && !format::holdsTypeOf(column.type, value))) {
            return false;
        }
    }
    return true;
}

bool TableEditor::patch(storage::Bytes stored, const format::RowLayout& layout,
                        const std::vector<ColumnValue>& values, std::vector<uint8_t>& bytes) const {
    if (layout.columnCount != m_definition.maxColumns) return false;
    // The fixed area ends where the variable data starts, else at the null mask.
    const auto maskStart = static_cast<size_t>(layout.nullMask.data() - stored.data());
    const size_t fixedEnd =
        layout.variableOffsets.empty() ? maskStart : layout.variableOffsets.front();
    bytes.assign(stored.begin(), stored.end());
    for (const auto& [position, value] : values) {
        const auto& column = m_definition.columns[position];
        bool present = !format::isNull(value);
        if (column.type == format::ColumnType::Boolean && !column.isCalculated()) {
            present = present && std::get<bool>(value);
        } else {
            const size_t start = layout.fixedStart + column.fixedOffset;
            const size_t size = format::fixedSizeOf(column.type);
            if (start + size > fixedEnd) return false;
            const storage::MutableBytes slot(bytes.data() + start, size);
            // A NULL keeps zeros in its place, as a row written whole does.
            if (present) {
                format::encodeFixedValue(column.type, value, slot);
            } else {
                std::fill(slot.begin(), slot.end(), uint8_t{0});
            }
        }
        const size_t byte = maskStart + column.number / 8u;
        if (byte >= bytes.size()) return false;
        const auto bit = static_cast<uint8_t>(1u << (column.number % 8u));
        bytes[byte] = present ? static_cast<uint8_t>(bytes[byte] | bit)
                              : static_cast<uint8_t>(bytes[byte] & ~bit);
    }
    return true;
}

void TableEditor::changedIndexes(const std::vector<format::Value>& before,
                                 const std::vector<format::Value>& after,
                                 std::vector<bool>& changed) {
    if (m_indexPositions.size() != m_definition.realIndexes.size()) {
        m_indexPositions.assign(m_definition.realIndexes.size(), {});
        for (size_t index = 0; index < m_indexPositions.size(); ++index) {
            for (const auto& part : m_definition.realIndexes[index].columns) {
                for (size_t at = 0; at < m_definition.columns.size(); ++at) {
                    if (m_definition.columns[at].number == part.columnNumber) {
                        m_indexPositions[index].push_back(at);
                    }
                }
            }
        }
    }
    changed.assign(m_indexPositions.size(), false);
    for (size_t index = 0; index < changed.size(); ++index) {
        for (const size_t at : m_indexPositions[index]) {
            if (!(before[at] == after[at])) changed[index] = true;
        }
    }
}

void TableEditor::removeStored(format::RowLocation location) {
    // The appender may hold a copy of a page of the row: it lets it go, and reads it afresh
    // with the row gone when it next adds a row.
    if (m_appender) {
        for (const auto slot : format::rowSlots(m_context.pager, m_context.format, location)) {
            if (m_appender->holdsPage(slot.page)) m_appender->releasePage();
        }
    }
    format::removeRow(m_context.pager, m_context.format, location, m_definition.firstPage);
}

void TableEditor::removeStored(const std::vector<format::RowLocation>& locations) {
    // As for one row; the appender's page is let go whichever page the rows are on.
    if (m_appender) m_appender->releasePage();
    format::removeRows(m_context.pager, m_context.format, locations, m_definition.firstPage);
}

void TableEditor::fetchLive(format::RowFetcher& fetcher, format::RowLocation location,
                            const std::vector<bool>& wanted, std::vector<format::Value>& row) {
    if (!fetcher.fetch(location, wanted, row)) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + m_context.pager.path() +
                              "' is damaged: a row of the table on page " +
                              std::to_string(m_definition.firstPage) + " is gone from page " +
                              std::to_string(location.page) + " while it is being changed.",
                          location.page);
    }
}

void TableEditor::batchIndexChanges() {
    m_batching = true;
    m_indexes->batchChanges();
}

void TableEditor::finish() {
    if (m_appender) m_appender->finish();
    m_indexes->finish();
    format::patchTableDefinitionCounts(m_context.pager, m_context.format, m_definition);
}

}  // namespace engine::catalog

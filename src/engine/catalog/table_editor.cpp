#include "engine/catalog/table_editor.h"

#include "engine/format/indexes/index_key.h"
#include "engine/format/indexes/index_tree.h"
#include "engine/format/rows/row_fetch.h"
#include "engine/format/rows/row_removal.h"
#include "engine/format/rows/table_definition_writer.h"
#include "engine/format/rows/table_scan.h"
#include "engine/format/space/data_page_editor.h"
#include "engine/storage/unicode.h"

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

format::RowLocation TableEditor::insert(const std::vector<format::Value>& row) {
    if (!m_appender) {
        m_appender = std::make_unique<format::TableAppender>(m_context.pager, m_context.format,
                                                             m_context.allocator, m_definition);
    }
    format::RowLocation location = m_appender->append(row);
    m_indexes->add(m_appender->lastRow(), location);
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
            {position});
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
        format::removeRow(m_context.pager, m_context.format, location, m_definition.firstPage);
        m_indexes->remove(values, location);
        if (m_definition.rowCount > 0) --m_definition.rowCount;
    }
    return doomed.size();
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
    const std::vector<size_t>& reads) {
    std::vector<bool> wanted;
    if (!reads.empty()) {
        wanted = indexedColumns();
        for (size_t position : reads) wanted.at(position) = true;
    }
    // Collect first: the scan reads pages that the removals change. Only where the rows live
    // is kept; each is read again for its indexed values when it goes, so that memory does not
    // grow with the rows' contents.
    std::vector<format::RowLocation> doomed;
    uint64_t live = 0;
    {
        format::TableScan scan(m_context.pager, m_context.format, m_definition);
        std::vector<format::Value> row;
        while (wanted.empty() ? scan.next(row) : scan.next(wanted, row)) {
            ++live;
            if (matches(row)) doomed.push_back(scan.location());
        }
    }
    const std::vector<bool> indexed = indexedColumns();
    format::RowFetcher fetcher(m_context.pager, m_context.format, m_definition);
    std::vector<format::Value> row;
    for (const auto location : doomed) {
        if (!m_definition.realIndexes.empty()) {
            fetchLive(fetcher, location, indexed, row);
            m_indexes->remove(row, location);
        }
        format::removeRow(m_context.pager, m_context.format, location, m_definition.firstPage);
        if (m_definition.rowCount > 0) --m_definition.rowCount;
    }
    // The scan counted every row, so the count the definition keeps (a counter the product
    // does not always keep up to date) becomes the true one. Rows this editor appended are
    // not among those the scan saw.
    if (!m_appender) m_definition.rowCount = static_cast<uint32_t>(live - doomed.size());
    return doomed.size();
}

size_t TableEditor::updateWhere(
    const std::function<bool(const std::vector<format::Value>&)>& matches,
    const std::function<void(std::vector<format::Value>&)>& update) {
    std::vector<format::RowLocation> chosen;
    uint64_t live = 0;
    {
        format::TableScan scan(m_context.pager, m_context.format, m_definition);
        std::vector<format::Value> row;
        while (scan.next(row)) {
            ++live;
            if (matches(row)) chosen.push_back(scan.location());
        }
    }
    format::RowFetcher fetcher(m_context.pager, m_context.format, m_definition);
    std::vector<format::Value> row;
    // Every old entry leaves the indexes before any new one enters, so that a unique index
    // judges the new keys against the rows as they will stand, not against the old values of
    // rows still to change.
    if (!m_definition.realIndexes.empty()) {
        const std::vector<bool> indexed = indexedColumns();
        for (const auto location : chosen) {
            fetchLive(fetcher, location, indexed, row);
            m_indexes->remove(row, location);
        }
    }
    if (!m_appender) m_definition.rowCount = static_cast<uint32_t>(live);
    const std::vector<bool> everyColumn(m_definition.columns.size(), true);
    for (const auto location : chosen) {
        fetchLive(fetcher, location, everyColumn, row);
        update(row);
        format::removeRow(m_context.pager, m_context.format, location, m_definition.firstPage);
        if (m_definition.rowCount > 0) --m_definition.rowCount;
        insert(row);
    }
    return chosen.size();
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

void TableEditor::batchIndexChanges() { m_indexes->batchChanges(); }

void TableEditor::finish() {
    if (m_appender) m_appender->finish();
    m_indexes->finish();
    format::patchTableDefinitionCounts(m_context.pager, m_context.format, m_definition);
}

}  // namespace engine::catalog

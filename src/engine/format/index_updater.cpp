#include "engine/format/index_updater.h"

#include "engine/format/index_key.h"
#include "engine/format/index_tree.h"
#include "engine/format/table_scan.h"

#include <algorithm>

namespace engine::format {

namespace {

// The entries the table's rows call for, per real index, sorted.
std::vector<std::vector<IndexEntry>> entriesFromRows(storage::Pager& pager, const JetFormat& format,
                                                     const TableDefinition& table) {
    std::vector<std::vector<IndexEntry>> entries(table.realIndexes.size());
    TableScan scan(pager, format, table);
    std::vector<Value> row;
    while (scan.next(row)) {
        for (size_t index = 0; index < table.realIndexes.size(); ++index) {
            const RealIndex& real = table.realIndexes[index];
            if (!canEncodeIndex(table, real)) continue;
            if ((real.flags & index_flags::kIgnoreNulls) && allIndexColumnsNull(table, real, row)) {
                continue;
            }
            IndexEntry entry;
            encodeIndexKey(table, real, row, format.format, entry.key);
            entry.row = scan.location();
            entries[index].push_back(std::move(entry));
        }
    }
    for (auto& list : entries) std::sort(list.begin(), list.end());
    return entries;
}

// The key of a row whose indexed columns are all NULL; a unique index may hold it many times.
std::vector<uint8_t> nullKeyOf(const TableDefinition& table, const RealIndex& real,
                               storage::FileFormat format) {
    std::vector<Value> nulls(table.columns.size());
    std::vector<uint8_t> key;
    encodeIndexKey(table, real, nulls, format, key);
    return key;
}

std::string indexName(const TableDefinition& table, const RealIndex& real) {
    for (const auto& logical : table.logicalIndexes) {
        if (logical.realIndexNumber == real.number) return logical.name;
    }
    return std::to_string(real.number);
}

}  // namespace

storage::PageBuffer emptyIndexLeaf(const JetFormat& format, PageNumber owner) {
    IndexPage page;
    page.owner = owner;
    return *buildIndexPage(page, format);
}

class IndexUpdater::Impl {
public:
    Impl(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
         TableDefinition& table)
        : m_pager(pager), m_format(format), m_allocator(allocator), m_table(table) {}

    void touch() { m_changed = true; }
    void finish();

private:
    storage::Pager& m_pager;
    const JetFormat& m_format;
    PageAllocator& m_allocator;
    TableDefinition& m_table;
    bool m_changed = false;
};

void IndexUpdater::Impl::finish() {
    if (!m_changed || m_table.realIndexes.empty()) return;
    auto entries = entriesFromRows(m_pager, m_format, m_table);
    for (size_t index = 0; index < m_table.realIndexes.size(); ++index) {
        RealIndex& real = m_table.realIndexes[index];
        if (!canEncodeIndex(m_table, real)) {
            throw EngineError(ErrorCode::NotSupported,
                              "The index '" + indexName(m_table, real) +
                                  "' is on a field of a type this engine cannot index.");
        }
        const auto& list = entries[index];
        uint32_t distinct = 0;
        const std::vector<uint8_t> nullKey = nullKeyOf(m_table, real, m_format.format);
        for (size_t entry = 0; entry < list.size(); ++entry) {
            bool repeat = entry > 0 && list[entry].key == list[entry - 1].key;
            if (!repeat) ++distinct;
            if (repeat && real.isUnique() && list[entry].key != nullKey) {
                throw EngineError(ErrorCode::DuplicateKey,
                                  "The changes you requested to the table were not successful "
                                  "because they would create duplicate values in the index '" +
                                      indexName(m_table, real) + "'.");
            }
        }
        rewriteIndex(m_pager, m_format, m_allocator, real, m_table.firstPage, list);
        real.uniqueEntryCount = distinct;
    }
    m_changed = false;
}

IndexUpdater::IndexUpdater(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                           TableDefinition& table)
    : m_impl(std::make_unique<Impl>(pager, format, allocator, table)) {}

IndexUpdater::~IndexUpdater() = default;

void IndexUpdater::add(const std::vector<Value>&, RowLocation) { m_impl->touch(); }

void IndexUpdater::remove(const std::vector<Value>&, RowLocation) { m_impl->touch(); }

void IndexUpdater::finish() { m_impl->finish(); }

std::vector<std::string> checkIndexes(storage::Pager& pager, const JetFormat& format,
                                      const TableDefinition& table) {
    std::vector<std::string> problems;
    if (table.realIndexes.empty()) return problems;
    auto expected = entriesFromRows(pager, format, table);
    for (size_t index = 0; index < table.realIndexes.size(); ++index) {
        const RealIndex& real = table.realIndexes[index];
        std::string name = "index '" + indexName(table, real) + "'";
        for (const auto& problem : checkIndexTree(pager, format, real, table.firstPage)) {
            problems.push_back(name + ": " + problem);
        }
        // Keys of types this engine cannot encode are left unchecked; the tree's shape is not.
        if (!canEncodeIndex(table, real)) continue;
        std::vector<IndexEntry> actual;
        try {
            actual = readIndexEntries(pager, format, real, table.firstPage);
        } catch (const EngineError& error) {
            problems.push_back(name + ": " + error.what());
            continue;
        }
        std::sort(actual.begin(), actual.end());
        if (actual.size() != expected[index].size()) {
            problems.push_back(name + " holds " + std::to_string(actual.size()) + " entries for " +
                               std::to_string(expected[index].size()) + " rows");
            continue;
        }
        for (size_t entry = 0; entry < actual.size(); ++entry) {
            if (actual[entry].sortBytes() != expected[index][entry].sortBytes()) {
                problems.push_back(name + " holds an entry that does not match its row (page " +
                                   std::to_string(actual[entry].row.page) + ", row " +
                                   std::to_string(actual[entry].row.row) + ")");
                break;
            }
        }
    }
    return problems;
}

}  // namespace engine::format

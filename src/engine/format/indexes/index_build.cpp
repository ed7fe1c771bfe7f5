#include "engine/format/indexes/index_build.h"

#include "engine/format/indexes/index_key.h"
#include "engine/format/indexes/index_updater.h"
#include "engine/format/rows/table_scan.h"

#include <algorithm>

namespace engine::format {

std::optional<IndexEntry> rowIndexEntry(const TableDefinition& table, const RealIndex& real,
                                        const std::vector<Value>& row, RowLocation location,
                                        storage::FileFormat fileFormat, const std::string& name,
                                        size_t maxKeySize) {
    if ((real.flags & index_flags::kIgnoreNulls) && allIndexColumnsNull(table, real, row)) {
        return std::nullopt;
    }
    if ((real.flags & index_flags::kRequired) && anyIndexColumnNull(table, real, row)) {
        throw EngineError(ErrorCode::PrimaryKeyNull,
                          "Index or primary key cannot contain a Null value: a row has none in "
                          "a field of the index '" +
                              name + "'.");
    }
    if (auto gap = indexKeyGap(table, real, row, fileFormat)) {
        throw EngineError(ErrorCode::NotSupported,
                          "The index '" + name +
                              "' cannot take a row: this engine does not know the code of " + *gap +
                              ", so it cannot compute a row's key exactly.");
    }
    IndexEntry entry;
    encodeIndexKey(table, real, row, fileFormat, entry.key);
    if (entry.key.size() > maxKeySize) {
        throw EngineError(ErrorCode::NotSupported,
                          "A value is too long for the index '" + name + "'.");
    }
    entry.row = location;
    return entry;
}

uint32_t distinctIndexKeys(const TableDefinition& table, const RealIndex& real,
                           const std::vector<IndexEntry>& sorted, storage::FileFormat fileFormat,
                           const std::string& name) {
    std::vector<Value> nulls(table.columns.size());
    std::vector<uint8_t> nullKey;
    encodeIndexKey(table, real, nulls, fileFormat, nullKey);
    uint32_t distinct = 0;
    for (size_t at = 0; at < sorted.size(); ++at) {
        if (at > 0 && sorted[at].key == sorted[at - 1].key) {
            if (real.isUnique() && sorted[at].key != nullKey) throw duplicateKeyError(name);
            continue;
        }
        ++distinct;
    }
    return distinct;
}

BuiltIndex mergeIndexEntries(const TableDefinition& table, const RealIndex& real,
                             std::vector<IndexEntry> kept, std::vector<IndexEntry> fresh,
                             storage::FileFormat fileFormat, const std::string& name) {
    std::vector<Value> nulls(table.columns.size());
    std::vector<uint8_t> nullKey;
    encodeIndexKey(table, real, nulls, fileFormat, nullKey);
    BuiltIndex merged;
    merged.entries.reserve(kept.size() + fresh.size());
    bool lastFresh = false;
    for (size_t a = 0, b = 0; a < kept.size() || b < fresh.size();) {
        const bool takeFresh = a == kept.size() || (b < fresh.size() && fresh[b] < kept[a]);
        IndexEntry& entry = takeFresh ? fresh[b++] : kept[a++];
        if (!merged.entries.empty() && merged.entries.back().key == entry.key) {
            if ((takeFresh || lastFresh) && real.isUnique() && entry.key != nullKey) {
                throw duplicateKeyError(name);
            }
        } else {
            ++merged.distinctKeys;
        }
        merged.entries.push_back(std::move(entry));
        lastFresh = takeFresh;
    }
    return merged;
}

BuiltIndex buildIndexEntries(storage::Pager& pager, const JetFormat& format,
                             const TableDefinition& table, const RealIndex& real,
                             const std::string& name, size_t maxKeySize) {
    std::vector<bool> wanted(table.columns.size(), false);
    for (const auto& part : real.columns) {
        for (size_t at = 0; at < table.columns.size(); ++at) {
            if (table.columns[at].number == part.columnNumber) wanted[at] = true;
        }
    }
    BuiltIndex built;
    TableScan scan(pager, format, table);
    std::vector<Value> row;
    while (scan.next(wanted, row)) {
        if (auto entry =
                rowIndexEntry(table, real, row, scan.location(), format.format, name, maxKeySize)) {
            built.entries.push_back(std::move(*entry));
        }
    }
    std::sort(built.entries.begin(), built.entries.end());
    built.distinctKeys = distinctIndexKeys(table, real, built.entries, format.format, name);
    return built;
}

}  // namespace engine::format

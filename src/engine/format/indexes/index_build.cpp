#include "engine/format/indexes/index_build.h"

#include "engine/format/indexes/index_key.h"
#include "engine/format/indexes/index_updater.h"
#include "engine/format/rows/table_scan.h"

#include <algorithm>

namespace engine::format {

void addRowIndexEntry(const TableDefinition& table, const RealIndex& real,
                      const std::vector<Value>& row, RowLocation location,
                      storage::FileFormat fileFormat, const std::string& name, size_t maxKeySize,
                      std::vector<uint8_t>& key, IndexEntryList& entries) {
    if ((real.flags & index_flags::kIgnoreNulls) && allIndexColumnsNull(table, real, row)) return;
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
    key.clear();
    encodeIndexKey(table, real, row, fileFormat, key);
    if (key.size() > maxKeySize) {
        throw EngineError(ErrorCode::NotSupported,
                          "A value is too long for the index '" + name + "'.");
    }
    entries.add(key, location);
}

namespace {

bool sameKey(storage::Bytes a, storage::Bytes b) { return std::ranges::equal(a, b); }

}  // namespace

uint32_t distinctIndexKeys(const TableDefinition& table, const RealIndex& real,
                           const IndexEntryList& sorted, storage::FileFormat fileFormat,
                           const std::string& name) {
    const std::vector<uint8_t> nullKey = nullIndexKey(table, real, fileFormat);
    uint32_t distinct = 0;
    for (size_t at = 0; at < sorted.size(); ++at) {
        const storage::Bytes key = sorted[at].key;
        if (at > 0 && sameKey(key, sorted[at - 1].key)) {
            if (real.isUnique() && !sameKey(key, nullKey)) throw duplicateKeyError(name);
            continue;
        }
        ++distinct;
    }
    return distinct;
}

BuiltIndex mergeIndexEntries(const TableDefinition& table, const RealIndex& real,
                             IndexEntryList kept, const IndexEntryList& fresh,
                             storage::FileFormat fileFormat, const std::string& name) {
    BuiltIndex merged;
    if (fresh.empty()) {
        // The kept entries as they stand: keys the index already held twice are let be.
        merged.entries = std::move(kept);
        for (size_t at = 0; at < merged.entries.size(); ++at) {
            if (at == 0 || !sameKey(merged.entries[at].key, merged.entries[at - 1].key)) {
                ++merged.distinctKeys;
            }
        }
        return merged;
    }
    const std::vector<uint8_t> nullKey = nullIndexKey(table, real, fileFormat);
    merged.entries.reserve(kept.size() + fresh.size(), kept.keyBytes() + fresh.keyBytes());
    bool lastFresh = false;
    storage::Bytes lastKey;
    for (size_t a = 0, b = 0; a < kept.size() || b < fresh.size();) {
        const bool takeFresh =
            a == kept.size() || (b < fresh.size() && compareIndexEntries(fresh[b], kept[a]) < 0);
        const IndexEntryView entry = takeFresh ? fresh[b++] : kept[a++];
        if (!merged.entries.empty() && sameKey(lastKey, entry.key)) {
            if ((takeFresh || lastFresh) && real.isUnique() && !sameKey(entry.key, nullKey)) {
                throw duplicateKeyError(name);
            }
        } else {
            ++merged.distinctKeys;
        }
        lastKey = entry.key;  // lies in kept or fresh, which outlive the loop
        merged.entries.add(entry);
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
    std::vector<uint8_t> key;
    while (scan.next(wanted, row)) {
        addRowIndexEntry(table, real, row, scan.location(), format.format, name, maxKeySize, key,
                         built.entries);
    }
    built.entries.sort();
    built.distinctKeys = distinctIndexKeys(table, real, built.entries, format.format, name);
    return built;
}

}  // namespace engine::format

#include "engine/table_copy.h"

#include "engine/catalog/table_creator.h"
#include "engine/catalog/table_properties.h"
#include "engine/format/rows/exact_number.h"
#include "engine/format/rows/long_value.h"
#include "engine/storage/unicode.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace engine {

namespace {

template <typename T>
void appendBytes(std::string& key, const T& value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    key.append(bytes, sizeof(T));
}

// Appends a text that cannot run into the next value: its length first.
void appendText(std::string& key, std::string_view text) {
    appendBytes(key, text.size());
    key.append(text);
}

}  // namespace

std::string distinctKey(const std::vector<format::Value>& row) {
    std::string key;
    for (const auto& value : row) {
        key.push_back(static_cast<char>(value.index()));
        std::visit(
            [&key](const auto& typed) {
                using T = std::decay_t<decltype(typed)>;
                if constexpr (std::is_same_v<T, std::monostate>) {
                } else if constexpr (std::is_same_v<T, std::string>) {
                    appendText(key, storage::foldedCase(typed));
                } else if constexpr (std::is_same_v<T, format::ByteString>) {
                    appendText(key, std::string_view(reinterpret_cast<const char*>(typed.data()),
                                                     typed.size()));
                } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                    appendBytes(key, typed == 0 ? T(0) : typed);  // -0 equals 0
                } else if constexpr (std::is_same_v<T, format::DateTime>) {
                    appendBytes(key, typed.days);
                } else if constexpr (std::is_same_v<T, format::ExtendedDateTime>) {
                    appendText(key, typed.stored);
                } else if constexpr (std::is_same_v<T, format::Currency>) {
                    appendBytes(key, typed.scaled);
                } else if constexpr (std::is_same_v<T, format::Guid>) {
                    appendBytes(key, typed.bytes);
                } else if constexpr (std::is_same_v<T, format::Decimal>) {
                    appendBytes(key, typed.negative);
                    appendBytes(key, typed.high);
                    appendBytes(key, typed.low);
                    appendBytes(key, typed.scale);
                } else if constexpr (std::is_same_v<T, format::ComplexKey>) {
                    appendBytes(key, typed.key);
                } else {
                    appendBytes(key, typed);
                }
            },
            value);
    }
    return key;
}

namespace {

// A calculated Decimal column keeps every value with a scale of its own; its plain copy takes
// the largest scale any value needs. Where the most integer digits and the most decimals of
// its values need more than the 28 digits a Decimal holds, no plain Decimal column holds them
// all and the copy is refused: it never rounds a value.
void chooseDecimalScales(SelectedRows& scan, const std::vector<size_t>& positions,
                         std::vector<catalog::NewColumn>& columns) {
    std::vector<size_t> integerDigits(positions.size(), 0);
    std::vector<uint32_t> scales(positions.size(), 0);
    std::vector<format::Value> row;
    while (scan.next(row)) {
        for (size_t at = 0; at < positions.size(); ++at) {
            if (const auto* decimal = std::get_if<format::Decimal>(&row[positions[at]])) {
                auto number = format::ExactNumber::fromDecimal(*decimal);
                integerDigits[at] = std::max(integerDigits[at], number.integerDigits());
                scales[at] = std::max(scales[at], number.scale());
            }
        }
    }
    for (size_t at = 0; at < positions.size(); ++at) {
        auto& column = columns[positions[at]];
        if (integerDigits[at] + scales[at] > column.precision) {
            throw EngineError(
                ErrorCode::NumericOverflow,
                "Numeric field overflow: the field '" + column.name + "' holds values with " +
                    std::to_string(integerDigits[at]) + " digits before the decimal point and " +
                    "values with " + std::to_string(scales[at]) + " after it, more than the " +
                    std::to_string(column.precision) +
                    " digits a Decimal field holds, so no copy of it keeps every value exactly.");
        }
        column.scale = static_cast<uint8_t>(scales[at]);
    }
}

}  // namespace

SelectedRows::SelectedRows(Database& source, format::TableDefinition definition,
                           Selection selection)
    : m_definition(std::move(definition)),
      m_selection(std::move(selection)),
      m_wanted(m_definition.columns.size(), false),
      m_source(source),
      m_scan(source.pager(), source.jetFormat(), m_definition),
      m_listing(source.listingOf(m_definition.firstPage)) {
    if (m_selection.columns.empty()) {
        for (size_t index = 0; index < m_definition.columns.size(); ++index) {
            m_selection.columns.push_back({index, m_definition.columns[index].name});
        }
    }
    for (size_t index = 0; index < m_selection.columns.size(); ++index) {
        const size_t source = m_selection.columns[index].source;
        m_columns.push_back(&m_definition.columns.at(source));
        m_names.push_back(m_selection.columns[index].name);
        m_wanted[source] = true;
        // A column selected twice is copied for all but its last place, and moved there.
        m_lastUse.push_back(true);
        for (size_t earlier = 0; earlier < index; ++earlier) {
            if (m_selection.columns[earlier].source == source) m_lastUse[earlier] = false;
        }
    }
    for (size_t column : m_selection.filterColumns) m_wanted.at(column) = true;
}

bool SelectedRows::next(std::vector<format::Value>& row) {
    while (m_scan.next(m_wanted, m_sourceRow)) {
        if (m_selection.filter && !m_selection.filter(m_sourceRow)) continue;
        // Values trade places rather than being copied, so both rows keep their storage for
        // the next one.
        row.resize(m_selection.columns.size());
        for (size_t index = 0; index < m_selection.columns.size(); ++index) {
            auto& value = m_sourceRow[m_selection.columns[index].source];
            if (m_lastUse[index]) {
                std::swap(row[index], value);
            } else {
                row[index] = value;
            }
        }
        if (m_selection.distinct && !m_seen.insert(distinctKey(row)).second) continue;
        return true;
    }
    m_source.requireReadWhole(m_listing);
    return false;
}

bool SelectedRows::takesRowsWhole() const {
    if (m_selection.filter || m_selection.distinct ||
        m_selection.columns.size() != m_definition.columns.size()) {
        return false;
    }
    for (size_t index = 0; index < m_selection.columns.size(); ++index) {
        if (m_selection.columns[index].source != index) return false;
    }
    return true;
}

bool SelectedRows::nextStored() {
    if (m_scan.nextRaw()) return true;
    m_source.requireReadWhole(m_listing);
    return false;
}

void copyTable(Database& source, std::string_view table, Database& destination,
               const std::string& newName, const Selection& selection,
               const CopyProgress& progress) {
    format::TableDefinition definition = source.tableDefinition(table);
    const uint64_t rowsInTable = definition.rowCount;
    SelectedRows rows(source, std::move(definition), selection);
    std::vector<catalog::NewColumn> columns;
    std::vector<size_t> decimalResults;  // calculated Decimal columns, by place in the copy
    for (size_t index = 0; index < rows.columns().size(); ++index) {
        const format::ColumnDefinition& column = *rows.columns()[index];
        if (column.type == format::ColumnType::Complex) {
            throw EngineError(ErrorCode::NotSupported,
                              "The field '" + column.name +
                                  "' holds attachments or several values, which a make-table "
                                  "query cannot copy.");
        }
        if (!format::columnTypeFromCode(static_cast<uint8_t>(column.type)) ||
            column.type == format::ColumnType::UnknownBinary ||
            column.type == format::ColumnType::UnknownFixed) {
            throw EngineError(ErrorCode::NotSupported, "The field '" + column.name +
                                                           "' has a type this engine cannot copy.");
        }
        columns.push_back(catalog::NewColumn::of(column, storage::isJet3(source.format())));
        columns.back().name = rows.names()[index];
        if (column.isCalculated() && column.type == format::ColumnType::Numeric) {
            decimalResults.push_back(index);
        }
    }
    if (!decimalResults.empty()) {
        SelectedRows scan(source, source.tableDefinition(table), selection);
        chooseDecimalScales(scan, decimalResults, columns);
    }
    uint64_t rowsRead = 0;
    // Jet 4 and every ACE version lay out rows alike; Jet 3 rows differ from theirs.
    const bool sameRowFormat =
        storage::isJet3(source.format()) == storage::isJet3(destination.format()) &&
        source.header().codePage() == destination.header().codePage();
    if (rows.takesRowsWhole() && decimalResults.empty() && sameRowFormat) {
        // Rows the new table stores alike are passed on as they are, without being decoded
        // and encoded again; each long value on pages is read and stored anew.
        destination.createTable(newName, columns, [&](catalog::NewTable& table) {
            const bool alike = format::storesRowsAlike(rows.definition(), table.definition());
            format::ByteString scratch;
            auto longValue = [&](size_t, storage::Bytes descriptor) {
                return format::readLongValue(source.pager(), source.jetFormat(), descriptor,
                                             scratch);
            };
            std::vector<format::Value> row;
            while (rows.nextStored()) {
                if (progress) progress(++rowsRead, rowsInTable);
                if (alike && table.appendStored(rows.storedRow(), longValue)) continue;
                rows.decodeStored(row);
                table.append(row);
            }
        });
        return;
    }
    destination.createTable(newName, columns, [&](std::vector<format::Value>& row) {
        if (!rows.next(row)) return false;
        if (progress) progress(++rowsRead, rowsInTable);
        for (size_t index : decimalResults) {
            if (const auto* decimal = std::get_if<format::Decimal>(&row[index])) {
                auto fitted = format::ExactNumber::fromDecimal(*decimal).toDecimal(
                    columns[index].precision, columns[index].scale);
                if (!fitted) {
                    throw EngineError(ErrorCode::NumericOverflow, "Numeric field overflow.");
                }
                row[index] = *fitted;
            }
        }
        return true;
    });
}

namespace {

// A column the copy cannot take: attachments and several values, and types this engine does
// not know.
void requireCopyable(const format::ColumnDefinition& column) {
    if (column.type == format::ColumnType::Complex) {
        throw EngineError(ErrorCode::NotSupported,
                          "The field '" + column.name +
                              "' holds attachments or several values, which a copy cannot "
                              "take.");
    }
    if (!format::columnTypeFromCode(static_cast<uint8_t>(column.type)) ||
        column.type == format::ColumnType::UnknownBinary ||
        column.type == format::ColumnType::UnknownFixed) {
        throw EngineError(ErrorCode::NotSupported,
                          "The field '" + column.name + "' has a type this engine cannot copy.");
    }
}

std::string textOfProperty(const catalog::Property& property) {
    std::u16string units;
    for (size_t at = 0; at + 1 < property.value.size(); at += 2) {
        units.push_back(static_cast<char16_t>(property.value[at] | (property.value[at + 1] << 8)));
    }
    return storage::utf16ToUtf8(units);
}

}  // namespace

void copyWholeTable(Database& source, std::string_view table, Database& destination,
                    const std::string& newName, const CopyProgress& progress) {
    const auto object = source.findInTables(table);
    if (!object || !object->isLocalTable()) throw inputTableNotFound(table);
    format::TableDefinition definition = source.tableDefinition(object->name);
    const catalog::TableProperties sourceProperties = catalog::readProperties(
        source.pager(), source.jetFormat(), source.header().codePage(), *object);
    const bool jet3Source = storage::isJet3(source.format());
    if (!sourceProperties.empty() && (jet3Source || storage::isJet3(destination.format()))) {
        throw EngineError(ErrorCode::NotSupported,
                          "'" + object->name +
                              "' has field or table properties, which this engine cannot carry "
                              "to or from an Access 97 database; copy it without its "
                              "properties instead.");
    }
    catalog::TableProperties properties;
    sourceProperties.forEach(
        [&](const std::string& column, const std::string& name, const catalog::Property& property) {
            if (!storage::equalsIgnoringCase(name, "GUID")) properties.set(column, name, property);
        });

    std::vector<catalog::NewColumn> columns;
    for (const auto& column : definition.columns) {
        requireCopyable(column);
        catalog::NewColumn request = catalog::NewColumn::of(column, jet3Source);
        request.autoNumber = column.isAutoNumber();
        request.guidAutoNumber = column.isGuidAutoNumber();
        if (column.isCalculated()) {
            const catalog::Property* expression = sourceProperties.find(column.name, "Expression");
            if (!expression) {
                throw EngineError(ErrorCode::Corrupt, "The database '" + source.path() +
                                                          "' is damaged: the calculated "
                                                          "field '" +
                                                          column.name + "' of '" + object->name +
                                                          "' has no expression.");
            }
            if (destination.format() < storage::FileFormat::Ace14) {
                throw EngineError(ErrorCode::NotSupported,
                                  "The field '" + column.name +
                                      "' is calculated, which databases before the Access 2010 "
                                      "format cannot hold.");
            }
            request.expression = textOfProperty(*expression);
        }
        columns.push_back(std::move(request));
    }

    std::vector<catalog::NewIndex> indexes;
    for (const auto& logical : definition.logicalIndexes) {
        if (logical.indexType == 2) continue;  // a relationship's own index
        const auto real = std::find_if(definition.realIndexes.begin(), definition.realIndexes.end(),
                                       [&](const format::RealIndex& candidate) {
                                           return candidate.number == logical.realIndexNumber;
                                       });
        if (real == definition.realIndexes.end()) continue;
        catalog::NewIndex index;
        index.name = logical.name;
        index.primaryKey = logical.indexType == 1;
        index.unique = real->isUnique();
        index.ignoreNulls = (real->flags & format::index_flags::kIgnoreNulls) != 0;
        index.required = (real->flags & format::index_flags::kRequired) != 0;
        for (const auto& part : real->columns) {
            const auto column = std::find_if(
                definition.columns.begin(), definition.columns.end(),
                [&](const format::ColumnDefinition& c) { return c.number == part.columnNumber; });
            if (column == definition.columns.end()) {
                throw EngineError(ErrorCode::Corrupt,
                                  "The database '" + source.path() + "' is damaged: the index '" +
                                      logical.name + "' of '" + object->name +
                                      "' names a field the table lacks.",
                                  definition.firstPage);
            }
            index.columns.push_back(column->name);
            index.descending.push_back(!part.ascending);
        }
        indexes.push_back(std::move(index));
    }

    const uint64_t rowsInTable = definition.rowCount;
    const uint32_t lastAutoNumber = definition.lastAutoNumber;
    SelectedRows rows(source, std::move(definition), {});
    uint64_t rowsRead = 0;
    destination.createTable(newName, columns,
                            [&](std::vector<format::Value>& row) {
                                if (!rows.next(row)) return false;
                                if (progress) progress(++rowsRead, rowsInTable);
                                return true;
                            },
                            indexes, {.properties = &properties, .lastAutoNumber = lastAutoNumber});
}

}  // namespace engine

#include "engine/table_copy.h"

#include "engine/storage/unicode.h"

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

// A key equal for two rows exactly when DISTINCT counts them as one.
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
        row.clear();
        for (size_t index = 0; index < m_selection.columns.size(); ++index) {
            auto& value = m_sourceRow[m_selection.columns[index].source];
            row.push_back(m_lastUse[index] ? std::move(value) : value);
        }
        if (m_selection.distinct && !m_seen.insert(distinctKey(row)).second) continue;
        return true;
    }
    m_source.requireListed(m_listing);
    m_scan.requireAllRowsRead();
    return false;
}

void copyTable(Database& source, std::string_view table, Database& destination,
               const std::string& newName, const Selection& selection) {
    SelectedRows rows(source, source.tableDefinition(table), selection);
    std::vector<catalog::NewColumn> columns;
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
    }
    destination.createTable(newName, columns,
                            [&rows](std::vector<format::Value>& row) { return rows.next(row); });
}

}  // namespace engine

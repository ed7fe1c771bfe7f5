// The table a SELECT reads, as its field names see it: fields are found by name with letter
// case ignored, and a qualified name (qualifier.field, qualifier.*) must name the table by its
// alias when the statement gives one, else by its name; the qualifier is compared as the
// catalogue compares table names (catalog/object_name.h).
#pragma once

#include "engine/format/indexes/text_index_key.h"
#include "engine/format/rows/table_definition.h"
#include "engine/sql/statement.h"

#include <string>

namespace engine::sql {

class TableScope {
public:
    TableScope(const format::TableDefinition& definition, std::string table, std::string alias,
               format::TextSortOrder nameOrder)
        : m_definition(definition),
          m_table(std::move(table)),
          m_alias(std::move(alias)),
          m_nameOrder(nameOrder) {}

    const format::TableDefinition& definition() const { return m_definition; }
    // Whether a qualifier names this table; an empty one always does.
    bool isNamedBy(std::string_view qualifier) const;
    // The position of the field a reference names. Throws UnknownField.
    size_t column(const ColumnRef& reference) const;

private:
    const format::TableDefinition& m_definition;
    std::string m_table;
    std::string m_alias;
    format::TextSortOrder m_nameOrder;
};

// "The database engine does not recognize 'what' as a valid field name or expression."
EngineError unknownField(const std::string& what);

}  // namespace engine::sql

#include "engine/sql/table_scope.h"

#include "engine/catalog/object_name.h"

namespace engine::sql {

EngineError unknownField(const std::string& what) {
    return EngineError(ErrorCode::UnknownField, "The database engine does not recognize '" + what +
                                                    "' as a valid field name or expression.");
}

bool TableScope::isNamedBy(std::string_view qualifier) const {
    return qualifier.empty() ||
           catalog::sameObjectName(qualifier, m_alias.empty() ? m_table : m_alias, m_nameOrder);
}

size_t TableScope::column(const ColumnRef& reference) const {
    const std::string written = reference.qualifier.empty()
                                    ? reference.column
                                    : reference.qualifier + "." + reference.column;
    if (!isNamedBy(reference.qualifier)) throw unknownField(written);
    const format::ColumnDefinition* found = m_definition.findColumn(reference.column);
    if (!found) throw unknownField(written);
    return static_cast<size_t>(found - m_definition.columns.data());
}

}  // namespace engine::sql

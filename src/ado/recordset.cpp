#include "ado/recordset.h"

#include "ado/com_error.h"
#include "engine/storage/unicode.h"

namespace ado {

Recordset::Recordset(std::vector<std::string> fieldNames, std::vector<Row> rows)
    : m_open(true), m_fieldNames(std::move(fieldNames)), m_rows(std::move(rows)) {}

void Recordset::requireOpen() const {
    if (!m_open) {
        throw ComError(error_number::kObjectClosed,
                       "Operation is not allowed when the object is closed.");
    }
}

void Recordset::requireCurrentRow() const {
    requireOpen();
    if (m_current >= m_rows.size()) {
        throw ComError(error_number::kNoCurrentRow,
                       "Either BOF or EOF is True, or the current record has been deleted. "
                       "Requested operation requires a current record.");
    }
}

bool Recordset::eof() const {
    requireOpen();
    return m_current >= m_rows.size();
}

void Recordset::moveNext() {
    requireCurrentRow();
    ++m_current;
}

size_t Recordset::fieldCount() const {
    requireOpen();
    return m_fieldNames.size();
}

const std::string& Recordset::fieldName(size_t index) const {
    requireOpen();
    if (index >= m_fieldNames.size()) {
        throw ComError(error_number::kFieldNotFound,
                       "Item cannot be found in the collection corresponding to the requested "
                       "name or ordinal: there is no field " +
                           std::to_string(index) + ".");
    }
    return m_fieldNames[index];
}

const engine::format::Value& Recordset::field(std::string_view name) const {
    requireOpen();
    for (size_t index = 0; index < m_fieldNames.size(); ++index) {
        if (engine::storage::equalsIgnoringCase(m_fieldNames[index], name)) return field(index);
    }
    throw ComError(error_number::kFieldNotFound,
                   "Item cannot be found in the collection corresponding to the requested name "
                   "or ordinal: there is no field '" +
                       std::string(name) + "'.");
}

const engine::format::Value& Recordset::field(size_t index) const {
    fieldName(index);
    requireCurrentRow();
    return m_rows[m_current][index];
}

void Recordset::close() {
    requireOpen();
    m_open = false;
    m_rows.clear();
}

}  // namespace ado

// A rowset read forward: the tables schema rowset, and the rows of a SELECT. It holds its rows
// itself, so it outlives the connection that made it.
//
//   while (!rowset->eof()) {
//       const auto& name = rowset->field("TABLE_NAME");
//       rowset->moveNext();
//   }
//   rowset->close();
//
// Field values are the engine's typed values (a text is a std::string, a date a DateTime, NULL
// std::monostate). Field names are looked up without regard to letter case. A closed rowset
// refuses everything with 3704; reading a field or moving on at the end raises 3021.
#pragma once

#include "engine/format/rows/value.h"

#include <string>
#include <string_view>
#include <vector>

namespace ado {

using Row = std::vector<engine::format::Value>;

class Recordset {
public:
    // A closed recordset, as statements that return no rows give.
    Recordset() = default;
    Recordset(std::vector<std::string> fieldNames, std::vector<Row> rows);

    bool isOpen() const { return m_open; }
    bool eof() const;
    void moveNext();
    size_t fieldCount() const;
    const std::string& fieldName(size_t index) const;
    const engine::format::Value& field(std::string_view name) const;
    const engine::format::Value& field(size_t index) const;
    void close();

private:
    void requireOpen() const;
    void requireCurrentRow() const;

    bool m_open = false;
    std::vector<std::string> m_fieldNames;
    std::vector<Row> m_rows;
    size_t m_current = 0;
};

}  // namespace ado

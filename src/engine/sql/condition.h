// A WHERE condition bound to the fields of its table, ready to test rows.
//
// Values compare as the engine compares them:
//   - numbers of every type with each other (Yes/No counts as -1 and 0; a date is its day
//     number), exactly where both are exact (whole numbers, Currency, Decimal, number
//     literals), else as floating point;
//   - texts with texts, letter case ignored, ordered by code point;
//   - GUIDs with GUIDs, by their bytes.
// Anything else (a text with a number, binary data, Date/Time Extended) is refused with
// DataTypeMismatch when the condition is bound, before any row is read, as the field types
// tell. NULL makes a comparison unknown; AND, OR and NOT follow three-valued logic, and a row is
// kept only when the condition is true. A number standing alone is true when it is not zero.
// LIKE takes texts and the patterns of like_pattern.h.
#pragma once

#include "engine/error.h"
#include "engine/format/rows/value.h"
#include "engine/sql/statement.h"
#include "engine/sql/table_scope.h"

#include <memory>
#include <vector>

namespace engine::sql {

class Condition {
public:
    // Throws UnknownField, DataTypeMismatch, and WhereSyntax for an invalid literal LIKE
    // pattern.
    Condition(const Expression& expression, const TableScope& scope);
    ~Condition();
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;

    // The positions of the fields the condition reads.
    const std::vector<size_t>& columns() const { return m_columns; }
    // Whether the condition is true for a row of the table. Throws WhereSyntax when a pattern
    // read from a field is invalid.
    bool holds(const std::vector<format::Value>& row) const;

    struct Node;

private:
    std::unique_ptr<Node> m_root;
    std::vector<size_t> m_columns;
};

// Orders two values of one field as sorting does: NULL before everything else, then as a
// condition compares them (texts by code point, letter case ignored). Values a condition cannot
// compare order as equal. Negative, zero or positive.
int orderValues(const format::Value& left, const format::Value& right);

}  // namespace engine::sql

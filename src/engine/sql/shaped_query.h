// The rows of a SELECT that aggregates, groups, sorts or keeps only its first rows:
//
//   SELECT [DISTINCT] [TOP n] items FROM t [WHERE c] [GROUP BY f, ...] [ORDER BY k [DESC], ...]
//
// Items are fields and aggregates of fields: COUNT(*) counts rows, COUNT(f) the rows where f is
// not NULL; SUM and AVG add numbers (Yes/No counts -1, a date its day number), MIN and MAX take
// the least and greatest value as ORDER BY sorts. SUM gives a whole number for whole-number
// fields, Currency for Currency, else a Double; AVG a Double; each gives NULL over no values.
// An aggregate with no name of its own is named Expr1000, Expr1001 ... in order.
//
// A query with an aggregate or GROUP BY gives one row per group (one row in all without GROUP
// BY, also over no rows); its other items must be fields it groups by (NotAggregated), and *
// cannot be grouped (GroupOnStar). Without ORDER BY, groups come in the order of their fields.
//
// ORDER BY sorts by fields of the table (selected or not), by a result's name, or by an
// aggregate: NULL first, numbers by value, text in the General order of the database's sort
// family (accents and letter case as the product sorts them), Yes/No as -1 and 0; DESC reverses.
// Rows that sort alike keep the table's order. Binary and OLE data cannot be sorted, grouped or
// taken the least or greatest of (CannotSort); with DISTINCT, ORDER BY may name only selected
// fields (OrderByDistinct). TOP n keeps the first n rows and, with ORDER BY, every further row
// that sorts alike with the n-th, as the product does.
//
// These rows are computed whole when the first is asked for: they take memory in proportion to
// the rows selected (the groups, when grouping).
#pragma once

#include "engine/database.h"
#include "engine/sql/statement.h"
#include "engine/sql/table_scope.h"
#include "engine/table_copy.h"

#include <memory>
#include <string>
#include <vector>

namespace engine::sql {

// Rows of a result, one at a time.
class ResultRows {
public:
    virtual ~ResultRows() = default;
    virtual const std::vector<std::string>& names() const = 0;
    virtual bool next(std::vector<format::Value>& row) = 0;
};

// Whether a SELECT needs shaping: it aggregates, groups, sorts or has TOP.
bool needsShaping(const SelectStatement& select);

// The shaped rows of select, read from the table definition describes through scope; filter
// carries the WHERE condition (its filter and filterColumns) and nothing else. Throws
// UnknownField, NotAggregated, GroupOnStar, OrderByDistinct, CannotSort, DataTypeMismatch,
// DuplicateField, NotSupported (an expression other than a field).
std::unique_ptr<ResultRows> shapedRows(Database& source, format::TableDefinition definition,
                                       const SelectStatement& select, const TableScope& scope,
                                       Selection filter);

}  // namespace engine::sql

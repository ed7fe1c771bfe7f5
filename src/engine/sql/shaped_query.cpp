#include "engine/sql/shaped_query.h"

#include "engine/format/indexes/text_index_key.h"
#include "engine/format/rows/column_type.h"
#include "engine/format/rows/exact_number.h"
#include "engine/sql/condition.h"
#include "engine/storage/unicode.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <unordered_map>

namespace engine::sql {

using format::ColumnType;
using format::Value;

namespace {

// One value of each result row: a field, or an aggregate of one over the rows of a group.
struct Term {
    std::optional<Aggregate> aggregate;
    bool everyRow = false;  // COUNT(*)
    size_t input = 0;       // the field's place among the columns read (not for COUNT(*))
    ColumnType type = ColumnType::Long;
    std::string name;
    bool sameAs(const Term& other) const {
        return aggregate == other.aggregate && everyRow == other.everyRow &&
               (everyRow || input == other.input);
    }
};

bool isBinaryType(ColumnType type) {
    return type == ColumnType::Binary || type == ColumnType::Ole || type == ColumnType::Complex;
}

bool isWholeType(ColumnType type) {
    return type == ColumnType::Boolean || type == ColumnType::Byte || type == ColumnType::Integer ||
           type == ColumnType::Long || type == ColumnType::BigInt;
}

bool isNumberType(ColumnType type) {
    return isWholeType(type) || type == ColumnType::Currency || type == ColumnType::Single ||
           type == ColumnType::Double || type == ColumnType::Numeric ||
           type == ColumnType::DateTime;
}

const char* aggregateName(Aggregate aggregate) {
    switch (aggregate) {
        case Aggregate::Count:
            return "Count";
        case Aggregate::Sum:
            return "Sum";
        case Aggregate::Min:
            return "Min";
        case Aggregate::Max:
            return "Max";
        case Aggregate::Avg:
            break;
    }
    return "Avg";
}

std::string termText(const OutputColumn& term) {
    std::string field;
    if (const auto* reference = std::get_if<ColumnRef>(&term.expression.node)) {
        field = reference->qualifier.empty() ? reference->column
                                             : reference->qualifier + "." + reference->column;
    }
    if (!term.aggregate) return field;
    return std::string(aggregateName(*term.aggregate)) + "(" + (term.everyRow ? "*" : field) + ")";
}

[[noreturn]] void notAggregated(const std::string& what) {
    throw EngineError(ErrorCode::NotAggregated,
                      "Your query does not include the specified expression '" + what +
                          "' as part of an aggregate function.");
}

[[noreturn]] void cannotSort(const std::string& what) {
    throw EngineError(ErrorCode::CannotSort,
                      "Cannot sort, group or compare binary or OLE data: '" + what + "'.");
}

// ---- sorting ------------------------------------------------------------------------------

// A value as it sorts: texts become their General key (then the text itself, letter case
// folded, for what the key leaves equal); other values stay as they are.
struct SortValue {
    Value value;
    std::optional<std::string> textKey;
};

SortValue sortValueOf(const Value& value, format::TextSortOrder order) {
    SortValue sortable{value, std::nullopt};
    if (const auto* text = std::get_if<std::string>(&value)) {
        std::string key;
        if (!format::textKeyGap(*text, order)) {
            std::vector<uint8_t> bytes;
            format::appendTextKey(*text, order, true, bytes);
            key.assign(bytes.begin(), bytes.end());
        }
        key.push_back('\0');
        key += storage::foldedCase(*text);
        sortable.textKey = std::move(key);
    }
    return sortable;
}

int compareSortValues(const SortValue& left, const SortValue& right) {
    if (left.textKey && right.textKey) {
        const int order = left.textKey->compare(*right.textKey);
        return (order > 0) - (order < 0);
    }
    return orderValues(left.value, right.value);
}

// ---- aggregates ---------------------------------------------------------------------------

std::optional<int64_t> wholeOf(const Value& value) {
    if (const auto* truth = std::get_if<bool>(&value)) return *truth ? -1 : 0;
    if (const auto* byte = std::get_if<uint8_t>(&value)) return *byte;
    if (const auto* small = std::get_if<int16_t>(&value)) return *small;
    if (const auto* longInt = std::get_if<int32_t>(&value)) return *longInt;
    if (const auto* large = std::get_if<int64_t>(&value)) return *large;
    return std::nullopt;
}

long double approximateOf(const Value& value) {
    if (auto whole = wholeOf(value)) return static_cast<long double>(*whole);
    if (const auto* money = std::get_if<format::Currency>(&value)) {
        return static_cast<long double>(money->scaled) / 10000;
    }
    if (const auto* single = std::get_if<float>(&value)) return *single;
    if (const auto* real = std::get_if<double>(&value)) return *real;
    if (const auto* date = std::get_if<format::DateTime>(&value)) return date->days;
    if (const auto* decimal = std::get_if<format::Decimal>(&value)) {
        return format::ExactNumber::fromDecimal(*decimal).toDouble();
    }
    return 0;
}

// The running state of one aggregate over one group.
struct Accumulator {
    int64_t count = 0;
    int64_t exactSum = 0;  // whole numbers, or Currency scaled by 10000, while they fit
    bool exact = true;
    long double sum = 0;
    std::optional<SortValue> extreme;  // MIN, MAX

    void add(const Term& term, const Value& value, format::TextSortOrder order) {
        if (term.everyRow) {
            ++count;
            return;
        }
        if (format::isNull(value)) return;
        ++count;
        switch (*term.aggregate) {
            case Aggregate::Count:
                return;
            case Aggregate::Min:
            case Aggregate::Max: {
                SortValue candidate = sortValueOf(value, order);
                const int sign = *term.aggregate == Aggregate::Min ? -1 : 1;
                if (!extreme || compareSortValues(candidate, *extreme) * sign > 0) {
                    extreme = std::move(candidate);
                }
                return;
            }
            case Aggregate::Sum:
            case Aggregate::Avg:
                break;
        }
        sum += approximateOf(value);
        std::optional<int64_t> addend = wholeOf(value);
        if (const auto* money = std::get_if<format::Currency>(&value)) addend = money->scaled;
        if (exact && addend && !__builtin_add_overflow(exactSum, *addend, &exactSum)) return;
        exact = false;
    }

    Value result(const Term& term) const {
        if (*term.aggregate == Aggregate::Count) return static_cast<int32_t>(count);
        if (count == 0) return std::monostate();
        switch (*term.aggregate) {
            case Aggregate::Min:
            case Aggregate::Max:
                return extreme->value;
            case Aggregate::Avg:
                return static_cast<double>(sum / count);
            default:
                break;
        }
        if (isWholeType(term.type) && exact) return exactSum;
        if (term.type == ColumnType::Currency && exact) return format::Currency{exactSum};
        return static_cast<double>(sum);
    }
};

// ---- the query ----------------------------------------------------------------------------

class ShapedRows final : public ResultRows {
public:
    ShapedRows(Database& source, format::TableDefinition definition, const SelectStatement& select,
               const TableScope& scope, Selection filter);

    const std::vector<std::string>& names() const override { return m_names; }
    bool next(std::vector<Value>& row) override;

private:
    size_t read(size_t column);  // the place of a table column among those read
    Term fieldTerm(size_t column, std::string name);
    Term termOf(const OutputColumn& item, const TableScope& scope);
    size_t orderTerm(const OrderKey& key, const TableScope& scope);
    void compute();
    // Sorts the rows stably by the terms given (each with whether it is descending) and returns
    // each row's sort values, in the new order.
    std::vector<std::vector<SortValue>> sortBy(const std::vector<std::pair<size_t, bool>>& by);
    static int compareKeys(const std::vector<SortValue>& left, const std::vector<SortValue>& right,
                           const std::vector<std::pair<size_t, bool>>& by);
    void sortRows();

    Database& m_source;
    format::TableDefinition m_definition;
    bool m_distinct = false;
    std::optional<uint64_t> m_top;
    Selection m_selection;
    format::TextSortOrder m_order;
    std::vector<Term> m_terms;  // the visible ones first
    size_t m_visible = 0;
    std::vector<size_t> m_groupInputs;            // places among the columns read
    std::vector<std::pair<size_t, bool>> m_sort;  // term, descending
    bool m_aggregating = false;
    std::vector<std::string> m_names;
    bool m_computed = false;
    std::vector<std::vector<Value>> m_rows;
    size_t m_next = 0;
};

size_t ShapedRows::read(size_t column) {
    for (size_t place = 0; place < m_selection.columns.size(); ++place) {
        if (m_selection.columns[place].source == column) return place;
    }
    m_selection.columns.push_back({column, m_definition.columns[column].name});
    return m_selection.columns.size() - 1;
}

Term ShapedRows::fieldTerm(size_t column, std::string name) {
    Term term;
    term.input = read(column);
    term.type = m_definition.columns[column].type;
    term.name = std::move(name);
    return term;
}

Term ShapedRows::termOf(const OutputColumn& item, const TableScope& scope) {
    const auto* reference = std::get_if<ColumnRef>(&item.expression.node);
    if (item.everyRow) {
        Term term;
        term.aggregate = Aggregate::Count;
        term.everyRow = true;
        return term;
    }
    if (!reference) {
        throw EngineError(ErrorCode::NotSupported,
                          "Only fields and aggregates of fields can be selected; values "
                          "calculated from them are not supported.");
    }
    const size_t column = scope.column(*reference);
    Term term = fieldTerm(column, m_definition.columns[column].name);
    term.aggregate = item.aggregate;
    if (!item.aggregate) return term;
    const bool numeric = isNumberType(term.type);
    if (isBinaryType(term.type) && *item.aggregate != Aggregate::Count) {
        cannotSort(termText(item));
    }
    if ((*item.aggregate == Aggregate::Sum || *item.aggregate == Aggregate::Avg) && !numeric) {
        throw EngineError(ErrorCode::DataTypeMismatch,
                          "Data type mismatch in criteria expression: " + termText(item) +
                              " adds numbers, and '" + reference->column + "' holds none.");
    }
    return term;
}

size_t ShapedRows::orderTerm(const OrderKey& key, const TableScope& scope) {
    const OutputColumn& item = key.term;
    const auto* reference = std::get_if<ColumnRef>(&item.expression.node);
    if (!item.aggregate && reference && reference->qualifier.empty() &&
        !scope.definition().findColumn(reference->column)) {
        // Not a field of the table: the name of a result column.
        for (size_t at = 0; at < m_visible; ++at) {
            if (storage::equalsIgnoringCase(m_terms[at].name, reference->column)) return at;
        }
    }
    Term wanted = termOf(item, scope);
    if (!wanted.aggregate && isBinaryType(wanted.type)) cannotSort(termText(item));
    for (size_t at = 0; at < m_terms.size(); ++at) {
        if (m_terms[at].sameAs(wanted)) return at;
    }
    if (m_distinct) {
        throw EngineError(ErrorCode::OrderByDistinct,
                          "ORDER BY clause (" + termText(item) + ") conflicts with DISTINCT.");
    }
    if (m_aggregating && !wanted.aggregate &&
        std::find(m_groupInputs.begin(), m_groupInputs.end(), wanted.input) ==
            m_groupInputs.end()) {
        notAggregated(termText(item));
    }
    m_terms.push_back(std::move(wanted));
    return m_terms.size() - 1;
}

ShapedRows::ShapedRows(Database& source, format::TableDefinition definition,
                       const SelectStatement& select, const TableScope& scope, Selection filter)
    : m_source(source),
      m_definition(std::move(definition)),
      m_distinct(select.distinct),
      m_top(select.top),
      m_selection(std::move(filter)),
      m_order(format::generalOf(source.catalog().nameOrder())) {
    m_selection.columns.clear();
    m_selection.distinct = false;
    auto isAggregate = [](const OutputColumn& item) { return item.aggregate.has_value(); };
    m_aggregating = !select.groupBy.empty();
    for (const auto& item : select.items) {
        if (const auto* output = std::get_if<OutputColumn>(&item); output && isAggregate(*output)) {
            m_aggregating = true;
        }
    }
    for (const auto& key : select.orderBy) m_aggregating = m_aggregating || isAggregate(key.term);
    for (const auto& reference : select.groupBy) {
        const size_t column = scope.column(reference);
        if (isBinaryType(m_definition.columns[column].type)) cannotSort(reference.column);
        m_groupInputs.push_back(read(column));
    }

    size_t unnamed = 1000;
    for (const auto& item : select.items) {
        if (const auto* all = std::get_if<AllColumns>(&item)) {
            if (!scope.isNamedBy(all->qualifier)) throw unknownField(all->qualifier + ".*");
            if (m_aggregating) {
                if (select.groupBy.empty()) notAggregated(m_definition.columns.at(0).name);
                throw EngineError(ErrorCode::GroupOnStar,
                                  "Cannot group on fields selected with '*'.");
            }
            for (size_t column = 0; column < m_definition.columns.size(); ++column) {
                m_terms.push_back(fieldTerm(column, m_definition.columns[column].name));
            }
            continue;
        }
        const auto& output = std::get<OutputColumn>(item);
        Term term = termOf(output, scope);
        if (m_aggregating && !term.aggregate &&
            std::find(m_groupInputs.begin(), m_groupInputs.end(), term.input) ==
                m_groupInputs.end()) {
            notAggregated(termText(output));
        }
        if (!output.alias.empty()) {
            term.name = output.alias;
        } else if (term.aggregate) {
            term.name = "Expr" + std::to_string(unnamed++);
        }
        m_terms.push_back(std::move(term));
    }
    m_visible = m_terms.size();
    for (size_t index = 0; index < m_visible; ++index) {
        for (size_t earlier = 0; earlier < index; ++earlier) {
            if (storage::equalsIgnoringCase(m_terms[earlier].name, m_terms[index].name)) {
                throw EngineError(ErrorCode::DuplicateField,
                                  "Cannot define field more than once: two fields of the result "
                                  "are named '" +
                                      m_terms[index].name + "'.");
            }
        }
        m_names.push_back(m_terms[index].name);
    }
    for (const auto& key : select.orderBy) {
        m_sort.emplace_back(orderTerm(key, scope), key.descending);
    }
    // Rows are read for their count even when no field is: read the first, the least work.
    if (m_selection.columns.empty()) read(0);
}

void ShapedRows::compute() {
    SelectedRows rows(m_source, m_definition, m_selection);
    std::vector<Value> input;
    if (!m_aggregating) {
        std::unordered_map<std::string, bool> seen;
        while (rows.next(input)) {
            std::vector<Value> row;
            row.reserve(m_terms.size());
            for (const auto& term : m_terms) row.push_back(input[term.input]);
            if (m_distinct) {
                std::vector<Value> visible(row.begin(), row.begin() + m_visible);
                if (!seen.emplace(distinctKey(visible), true).second) continue;
            }
            m_rows.push_back(std::move(row));
        }
    } else {
        struct Group {
            std::vector<Value> keys;
            std::vector<Accumulator> accumulators;
        };
        std::vector<Group> groups;
        std::unordered_map<std::string, size_t> groupOf;
        while (rows.next(input)) {
            std::vector<Value> keys;
            for (size_t place : m_groupInputs) keys.push_back(input[place]);
            auto [found, added] = groupOf.emplace(distinctKey(keys), groups.size());
            if (added)
                groups.push_back({std::move(keys), std::vector<Accumulator>(m_terms.size())});
            Group& group = groups[found->second];
            for (size_t at = 0; at < m_terms.size(); ++at) {
                const Term& term = m_terms[at];
                if (term.aggregate) {
                    group.accumulators[at].add(term, term.everyRow ? Value() : input[term.input],
                                               m_order);
                }
            }
        }
        if (groups.empty() && m_groupInputs.empty()) {
            groups.push_back({{}, std::vector<Accumulator>(m_terms.size())});
        }
        std::unordered_map<std::string, bool> seen;
        for (const Group& group : groups) {
            std::vector<Value> row;
            for (size_t at = 0; at < m_terms.size(); ++at) {
                const Term& term = m_terms[at];
                if (term.aggregate) {
                    row.push_back(group.accumulators[at].result(term));
                } else {
                    const auto place =
                        std::find(m_groupInputs.begin(), m_groupInputs.end(), term.input) -
                        m_groupInputs.begin();
                    row.push_back(group.keys[static_cast<size_t>(place)]);
                }
            }
            if (m_distinct) {
                std::vector<Value> visible(row.begin(), row.begin() + m_visible);
                if (!seen.emplace(distinctKey(visible), true).second) continue;
            }
            m_rows.push_back(std::move(row));
        }
        // Groups come in the order of the fields grouped by, as grouping sorts them; ORDER BY
        // sorts them further.
        std::vector<std::pair<size_t, bool>> groupOrder;
        for (size_t place = 0; place < m_groupInputs.size(); ++place) {
            for (size_t at = 0; at < m_terms.size(); ++at) {
                if (!m_terms[at].aggregate && m_terms[at].input == m_groupInputs[place]) {
                    groupOrder.emplace_back(at, false);
                    break;
                }
            }
        }
        sortBy(groupOrder);
    }
    sortRows();
}

int ShapedRows::compareKeys(const std::vector<SortValue>& left, const std::vector<SortValue>& right,
                            const std::vector<std::pair<size_t, bool>>& by) {
    for (size_t at = 0; at < by.size(); ++at) {
        const int order = compareSortValues(left[at], right[at]);
        if (order != 0) return by[at].second ? -order : order;
    }
    return 0;
}

std::vector<std::vector<SortValue>> ShapedRows::sortBy(
    const std::vector<std::pair<size_t, bool>>& by) {
    // Each row's sort values are computed once, not at every comparison.
    std::vector<std::pair<std::vector<SortValue>, size_t>> keyed;
    keyed.reserve(m_rows.size());
    for (size_t index = 0; index < m_rows.size(); ++index) {
        std::vector<SortValue> keys;
        for (const auto& [term, descending] : by) {
            keys.push_back(sortValueOf(m_rows[index][term], m_order));
        }
        keyed.emplace_back(std::move(keys), index);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& left, const auto& right) {
        return compareKeys(left.first, right.first, by) < 0;
    });
    std::vector<std::vector<Value>> sorted;
    std::vector<std::vector<SortValue>> keys;
    sorted.reserve(keyed.size());
    keys.reserve(keyed.size());
    for (auto& [rowKeys, index] : keyed) {
        sorted.push_back(std::move(m_rows[index]));
        keys.push_back(std::move(rowKeys));
    }
    m_rows = std::move(sorted);
    return keys;
}

void ShapedRows::sortRows() {
    size_t kept = m_rows.size();
    if (!m_sort.empty()) {
        const auto keys = sortBy(m_sort);
        if (m_top && *m_top < kept) {
            // Rows that sort alike with the last one kept are kept too.
            kept = static_cast<size_t>(*m_top);
            while (kept < keys.size() && compareKeys(keys[kept], keys[kept - 1], m_sort) == 0) {
                ++kept;
            }
        }
    } else if (m_top && *m_top < kept) {
        kept = static_cast<size_t>(*m_top);
    }
    m_rows.resize(kept);
    for (auto& row : m_rows) row.resize(m_visible);
}

bool ShapedRows::next(std::vector<Value>& row) {
    if (!m_computed) {
        compute();
        m_computed = true;
    }
    if (m_next >= m_rows.size()) return false;
    row = std::move(m_rows[m_next++]);
    return true;
}

}  // namespace

bool needsShaping(const SelectStatement& select) {
    if (select.top || !select.groupBy.empty() || !select.orderBy.empty()) return true;
    return std::any_of(select.items.begin(), select.items.end(), [](const SelectItem& item) {
        const auto* output = std::get_if<OutputColumn>(&item);
        return output && output->aggregate;
    });
}

std::unique_ptr<ResultRows> shapedRows(Database& source, format::TableDefinition definition,
                                       const SelectStatement& select, const TableScope& scope,
                                       Selection filter) {
    return std::make_unique<ShapedRows>(source, std::move(definition), select, scope,
                                        std::move(filter));
}

}  // namespace engine::sql

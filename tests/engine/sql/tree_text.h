// A compact text form of statement trees, so that tests can state the tree they expect in one
// line. Names stand in <angle brackets> so that blanks and quotes in them show; a table of
// another file is <table>@<path>, followed by #<password> when it has one.
//
//   SELECT * INTO <Orders> FROM <Orders>@<D:\Sales.mdb> AS <a1> WHERE (<a1>.<Id> > 5)
//   CREATE TABLE <T> (<Name> Text(50) NOT NULL, <Price> Decimal(10,2))
//   INSERT INTO <T> (<a>, <b>) VALUES (-1.5, 'it''s', NULL, TRUE, #36526.5#)
//   DELETE FROM <T> WHERE (<a> = 1)
#pragma once

#include "engine/sql/statement.h"

#include <cstdio>
#include <string>
#include <type_traits>
#include <variant>

namespace engine::sql::testing {

inline std::string nameText(const std::string& name) { return "<" + name + ">"; }

inline std::string doubleText(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.12g", value);
    return buffer;
}

inline std::string literalText(const Literal& literal) {
    return std::visit(
        [](const auto& value) -> std::string {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return "NULL";
            } else if constexpr (std::is_same_v<T, bool>) {
                return value ? "TRUE" : "FALSE";
            } else if constexpr (std::is_same_v<T, Number>) {
                return value.text;
            } else if constexpr (std::is_same_v<T, std::string>) {
                std::string quoted = "'";
                for (char c : value) quoted += c == '\'' ? std::string("''") : std::string(1, c);
                return quoted + "'";
            } else if constexpr (std::is_same_v<T, Date>) {
                return "#" + doubleText(value.days) + "#";
            } else {
                static constexpr char kHex[] = "0123456789abcdef";
                std::string hex = "{";
                for (uint8_t byte : value.bytes) {
                    hex += kHex[byte >> 4];
                    hex += kHex[byte & 0x0F];
                }
                return hex + "}";
            }
        },
        literal);
}

inline std::string expressionText(const Expression& expression);

inline std::string expressionText(const ExpressionPtr& expression) {
    return expression ? expressionText(*expression) : "(none)";
}

inline const char* compareText(CompareOp op) {
    switch (op) {
        case CompareOp::Equal:
            return "=";
        case CompareOp::NotEqual:
            return "<>";
        case CompareOp::Less:
            return "<";
        case CompareOp::LessOrEqual:
            return "<=";
        case CompareOp::Greater:
            return ">";
        case CompareOp::GreaterOrEqual:
            return ">=";
    }
    return "?";
}

inline std::string expressionText(const Expression& expression) {
    return std::visit(
        [](const auto& node) -> std::string {
            using T = std::decay_t<decltype(node)>;
            if constexpr (std::is_same_v<T, Literal>) {
                return literalText(node);
            } else if constexpr (std::is_same_v<T, ColumnRef>) {
                return (node.qualifier.empty() ? "" : nameText(node.qualifier) + ".") +
                       nameText(node.column);
            } else if constexpr (std::is_same_v<T, Comparison>) {
                return "(" + expressionText(node.left) + " " + compareText(node.op) + " " +
                       expressionText(node.right) + ")";
            } else if constexpr (std::is_same_v<T, Logical>) {
                return "(" + expressionText(node.left) +
                       (node.op == LogicalOp::And ? " AND " : " OR ") + expressionText(node.right) +
                       ")";
            } else if constexpr (std::is_same_v<T, Negation>) {
                return "(NOT " + expressionText(node.operand) + ")";
            } else if constexpr (std::is_same_v<T, NullTest>) {
                return "(" + expressionText(node.operand) +
                       (node.negated ? " IS NOT NULL)" : " IS NULL)");
            } else {
                return "(" + expressionText(node.operand) +
                       (node.negated ? " NOT LIKE " : " LIKE ") + expressionText(node.pattern) +
                       ")";
            }
        },
        expression.node);
}

inline std::string tableText(const TableReference& table) {
    std::string text = nameText(table.name);
    if (table.database) {
        text += "@" + nameText(table.database->path);
        if (!table.database->password.empty()) text += "#" + nameText(table.database->password);
    }
    return text;
}

inline const char* dataTypeText(DataType type) {
    switch (type) {
        case DataType::Boolean:
            return "Boolean";
        case DataType::Byte:
            return "Byte";
        case DataType::Integer:
            return "Integer";
        case DataType::Long:
            return "Long";
        case DataType::Counter:
            return "Counter";
        case DataType::BigInt:
            return "BigInt";
        case DataType::Currency:
            return "Currency";
        case DataType::Single:
            return "Single";
        case DataType::Double:
            return "Double";
        case DataType::Decimal:
            return "Decimal";
        case DataType::DateTime:
            return "DateTime";
        case DataType::Guid:
            return "Guid";
        case DataType::Text:
            return "Text";
        case DataType::Memo:
            return "Memo";
        case DataType::Binary:
            return "Binary";
        case DataType::OleObject:
            return "OleObject";
    }
    return "?";
}

template <typename Item, typename Format>
std::string joined(const std::vector<Item>& items, Format format) {
    std::string text;
    for (const Item& item : items) text += (text.empty() ? "" : ", ") + format(item);
    return text;
}

inline std::string termText(const OutputColumn& column) {
    static const char* const kNames[] = {"COUNT", "SUM", "MIN", "MAX", "AVG"};
    if (!column.aggregate) return expressionText(column.expression);
    return std::string(kNames[static_cast<int>(*column.aggregate)]) + "(" +
           (column.everyRow ? std::string("*") : expressionText(column.expression)) + ")";
}

inline std::string selectText(const SelectStatement& node) {
    std::string text = node.distinct ? "SELECT DISTINCT " : "SELECT ";
    if (node.top) text += "TOP " + std::to_string(*node.top) + " ";
    text += joined(node.items, [](const SelectItem& item) {
        if (const auto* all = std::get_if<AllColumns>(&item)) {
            return all->qualifier.empty() ? std::string("*") : nameText(all->qualifier) + ".*";
        }
        const auto& column = std::get<OutputColumn>(item);
        return termText(column) + (column.alias.empty() ? "" : " AS " + nameText(column.alias));
    });
    if (node.into) text += " INTO " + tableText(*node.into);
    text += " FROM " + tableText(node.from.table);
    if (!node.from.alias.empty()) text += " AS " + nameText(node.from.alias);
    if (node.where) text += " WHERE " + expressionText(node.where);
    if (!node.groupBy.empty()) {
        text += " GROUP BY " + joined(node.groupBy, [](const ColumnRef& column) {
                    Expression expression;
                    expression.node = column;
                    return expressionText(expression);
                });
    }
    if (!node.orderBy.empty()) {
        text += " ORDER BY " + joined(node.orderBy, [](const OrderKey& key) {
                    return termText(key.term) + (key.descending ? " DESC" : "");
                });
    }
    return text;
}

inline std::string statementText(const Statement& statement) {
    return std::visit(
        [](const auto& node) -> std::string {
            using T = std::decay_t<decltype(node)>;
            if constexpr (std::is_same_v<T, SelectStatement>) {
                return selectText(node);
            } else if constexpr (std::is_same_v<T, CreateTableStatement>) {
                return "CREATE TABLE " + nameText(node.table) + " (" +
                       joined(node.columns,
                              [](const ColumnDefinition& column) {
                                  std::string text =
                                      nameText(column.name) + " " + dataTypeText(column.type);
                                  if (column.size) text += "(" + std::to_string(*column.size) + ")";
                                  if (column.type == DataType::Decimal) {
                                      text += "(" + std::to_string(column.precision) + "," +
                                              std::to_string(column.scale) + ")";
                                  }
                                  return column.notNull ? text + " NOT NULL" : text;
                              }) +
                       (node.keys.empty() ? "" : ", ") +
                       joined(node.keys,
                              [](const KeyConstraint& key) {
                                  return "CONSTRAINT " + nameText(key.name) +
                                         (key.primaryKey ? " PRIMARY KEY (" : " UNIQUE (") +
                                         joined(key.columns, nameText) + ")";
                              }) +
                       ")";
            } else if constexpr (std::is_same_v<T, DropTableStatement>) {
                return "DROP TABLE " + nameText(node.table);
            } else if constexpr (std::is_same_v<T, CreateIndexStatement>) {
                std::string fields;
                for (size_t at = 0; at < node.columns.size(); ++at) {
                    if (at > 0) fields += ", ";
                    fields += nameText(node.columns[at]) + (node.descending[at] ? " DESC" : "");
                }
                return std::string("CREATE ") + (node.unique ? "UNIQUE " : "") + "INDEX " +
                       nameText(node.index) + " ON " + nameText(node.table) + " (" + fields + ")" +
                       (node.primaryKey     ? " WITH PRIMARY"
                        : node.disallowNull ? " WITH DISALLOW NULL"
                        : node.ignoreNull   ? " WITH IGNORE NULL"
                                            : "");
            } else if constexpr (std::is_same_v<T, DropIndexStatement>) {
                return "DROP INDEX " + nameText(node.index) + " ON " + nameText(node.table);
            } else if constexpr (std::is_same_v<T, AlterTableStatement>) {
                using Action = AlterTableStatement::Action;
                std::string text = "ALTER TABLE " + nameText(node.table);
                switch (node.action) {
                    case Action::AddColumn:
                        text += " ADD COLUMN " + nameText(node.column.name) +
                                (node.column.notNull ? " NOT NULL" : "");
                        break;
                    case Action::DropColumn:
                        return text + " DROP COLUMN " + nameText(node.name);
                    case Action::DropConstraint:
                        return text + " DROP CONSTRAINT " + nameText(node.name);
                    case Action::AddConstraint:
                        text += " ADD";
                        break;
                }
                for (const auto& key : node.keys) {
                    text += " CONSTRAINT " + nameText(key.name) +
                            (key.primaryKey ? " PRIMARY KEY (" : " UNIQUE (") +
                            joined(key.columns, nameText) + ")";
                }
                return text;
            } else if constexpr (std::is_same_v<T, UpdateStatement>) {
                return "UPDATE " + nameText(node.table) + " SET " +
                       joined(node.assignments,
                              [](const Assignment& assignment) {
                                  return nameText(assignment.column) + " = " +
                                         literalText(assignment.value);
                              }) +
                       (node.where ? " WHERE " + expressionText(node.where) : "");
            } else if constexpr (std::is_same_v<T, DeleteStatement>) {
                return "DELETE FROM " + nameText(node.table) +
                       (node.where ? " WHERE " + expressionText(node.where) : "");
            } else {
                std::string text = "INSERT INTO " + nameText(node.table);
                if (!node.columns.empty()) text += " (" + joined(node.columns, nameText) + ")";
                if (node.select) return text + " " + selectText(*node.select);
                return text + " VALUES (" + joined(node.values, literalText) + ")";
            }
        },
        statement);
}

}  // namespace engine::sql::testing

#include "engine/sql/table_statements.h"

#include "engine/catalog/object_name.h"
#include "engine/catalog/table_properties.h"
#include "engine/sql/condition.h"
#include "engine/sql/executor.h"
#include "engine/sql/literal_values.h"
#include "engine/sql/syntax_error.h"
#include "engine/storage/unicode.h"

namespace engine::sql {

using format::ColumnType;

namespace {

constexpr size_t kMaxFields = 255;
constexpr uint32_t kMaxTextSize = 255;
constexpr uint32_t kMaxBinarySize = 510;
constexpr uint32_t kDefaultSize = 255;

// The catalogue's listing of a table the statements may change: a system table is read-only.
const catalog::CatalogObject* userTable(Database& database, const std::string& name) {
    const catalog::CatalogObject* object = database.catalog().findTable(name);
    if (!object) throw inputTableNotFound(name);
    if (object->flags & (catalog::kSystemObjectFlag | catalog::kAccessObjectFlag)) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only: '" +
                                                   object->name + "' is a system table.");
    }
    return object;
}

// Whether some relationship's row holds the table's name in the field tableField and, when
// columnField is given, the column's name in that one.
bool inRelationship(Database& database, const std::string& table, const char* tableField,
                    const std::string& column = {}, const char* columnField = nullptr) {
    constexpr char kRelationships[] = "MSysRelationships";
    if (!database.findInTables(kRelationships)) return false;
    auto reader = database.readTable(kRelationships);
    const auto& definition = reader->definition();
    const format::ColumnDefinition* tableColumn = definition.findColumn(tableField);
    const format::ColumnDefinition* columnColumn =
        columnField ? definition.findColumn(columnField) : nullptr;
    if (!tableColumn || (columnField && !columnColumn)) return false;
    const auto order = database.catalog().nameOrder();
    const catalog::NameMatcher named(table, order);
    auto textAt = [&](const std::vector<format::Value>& row, const format::ColumnDefinition* at) {
        return std::get_if<std::string>(&row[static_cast<size_t>(at - definition.columns.data())]);
    };
    std::vector<format::Value> row;
    while (reader->next(row)) {
        const std::string* name = textAt(row, tableColumn);
        if (!name || !named.matches(*name)) continue;
        if (!columnField) return true;
        const std::string* joined = textAt(row, columnColumn);
        if (joined && catalog::sameObjectName(*joined, column, order)) return true;
    }
    return false;
}

// Whether a relationship names the table as the one whose rows others refer to.
bool referencedByRelationship(Database& database, const std::string& table) {
    return inRelationship(database, table, "szReferencedObject");
}

// Whether a relationship joins on the table's column, on either side.
bool joinedByRelationship(Database& database, const std::string& table, const std::string& column) {
    return inRelationship(database, table, "szObject", column, "szColumn") ||
           inRelationship(database, table, "szReferencedObject", column, "szReferencedColumn");
}

[[noreturn]] void definedTwice(const std::string& name) {
    throw EngineError(ErrorCode::DuplicateField,
                      "Cannot define field more than once: '" + name + "' is given twice.");
}

uint16_t sizeOf(const ColumnDefinition& column, uint32_t largest, const char* unit) {
    const uint32_t size = column.size.value_or(kDefaultSize);
    if (size > largest) {
        throwSyntaxError(ErrorCode::FieldSyntax,
                         "The field '" + column.name + "' asks for " + std::to_string(size) + " " +
                             unit + "; it can hold at most " + std::to_string(largest) + ".");
    }
    return static_cast<uint16_t>(size);
}

catalog::NewColumn specOf(const ColumnDefinition& column, storage::FileFormat format) {
    if (column.notNull && storage::isJet3(format)) {
        throw EngineError(ErrorCode::NotSupported,
                          "The field '" + column.name +
                              "' is declared NOT NULL, which this engine can store only in "
                              "files of Access 2000 and later; create it without NOT NULL.");
    }
    catalog::NewColumn request;
    request.name = column.name;
    request.required = column.notNull;
    switch (column.type) {
        case DataType::Boolean:
            request.type = ColumnType::Boolean;
            break;
        case DataType::Byte:
            request.type = ColumnType::Byte;
            break;
        case DataType::Integer:
            request.type = ColumnType::Integer;
            break;
        case DataType::Long:
            request.type = ColumnType::Long;
            break;
        case DataType::Counter:
            request.type = ColumnType::Long;
            request.autoNumber = true;
            break;
        case DataType::BigInt:
            if (format < storage::FileFormat::Ace16) {
                throw EngineError(ErrorCode::InvalidFieldType,
                                  "Invalid field data type: the field '" + column.name +
                                      "' is a Large Number (BIGINT), which needs a database of "
                                      "the Access 2016 format or later.");
            }
            request.type = ColumnType::BigInt;
            break;
        case DataType::Currency:
            request.type = ColumnType::Currency;
            break;
        case DataType::Single:
            request.type = ColumnType::Single;
            break;
        case DataType::Double:
            request.type = ColumnType::Double;
            break;
        case DataType::Decimal:
            if (storage::isJet3(format)) {
                throw EngineError(ErrorCode::InvalidFieldType,
                                  "Invalid field data type: the field '" + column.name +
                                      "' is a Decimal, which Access 97 databases lack.");
            }
            request.type = ColumnType::Numeric;
            request.precision = column.precision;
            request.scale = column.scale;
            break;
        case DataType::DateTime:
            request.type = ColumnType::DateTime;
            break;
        case DataType::Guid:
            request.type = ColumnType::Guid;
            break;
        case DataType::Text:
            request.type = ColumnType::Text;
            request.size = sizeOf(column, kMaxTextSize, "characters");
            break;
        case DataType::Memo:
            request.type = ColumnType::Memo;
            break;
        case DataType::Binary:
            request.type = ColumnType::Binary;
            request.size = sizeOf(column, kMaxBinarySize, "bytes");
            break;
        case DataType::OleObject:
            request.type = ColumnType::Ole;
            break;
    }
    return request;
}

// The indexes of the keys a CREATE TABLE declares. An unnamed primary key is PrimaryKey, an
// unnamed UNIQUE key takes its fields' names (a number follows where that name is taken), as
// the product names the indexes it makes.
std::vector<catalog::NewIndex> keyIndexes(const CreateTableStatement& statement,
                                          const std::vector<catalog::NewColumn>& columns) {
    std::vector<catalog::NewIndex> indexes;
    auto taken = [&indexes](const std::string& name) {
        return std::any_of(indexes.begin(), indexes.end(), [&](const catalog::NewIndex& index) {
            return storage::equalsIgnoringCase(index.name, name);
        });
    };
    bool primary = false;
    for (const KeyConstraint& key : statement.keys) {
        if (key.primaryKey && primary) {
            throw EngineError(ErrorCode::CreateTableSyntax,
                              "Syntax error in CREATE TABLE statement: '" + statement.table +
                                  "' is given more than one primary key.");
        }
        primary = primary || key.primaryKey;
        catalog::NewIndex index;
        index.primaryKey = key.primaryKey;
        index.unique = true;
        for (const auto& name : key.columns) {
            const auto column = std::find_if(columns.begin(), columns.end(), [&](const auto& c) {
                return storage::equalsIgnoringCase(c.name, name);
            });
            if (column == columns.end()) {
                throw EngineError(ErrorCode::UnknownField, "The key of '" + statement.table +
                                                               "' names the field '" + name +
                                                               "', which the table does not have.");
            }
            if (std::any_of(index.columns.begin(), index.columns.end(),
                            [&](const std::string& earlier) {
                                return storage::equalsIgnoringCase(earlier, name);
                            })) {
                definedTwice(name);
            }
            index.columns.push_back(column->name);
        }
        if (!key.name.empty()) {
            if (taken(key.name)) definedTwice(key.name);
            index.name = key.name;
        } else {
            std::string base = key.primaryKey ? std::string("PrimaryKey") : index.columns.front();
            index.name = base;
            for (int number = 1; taken(index.name); ++number) {
                index.name = base + std::to_string(number);
            }
        }
        indexes.push_back(std::move(index));
    }
    return indexes;
}

}  // namespace

void createTable(Database& database, const CreateTableStatement& statement) {
    if (statement.columns.size() > kMaxFields) {
        throw EngineError(ErrorCode::TooManyColumns,
                          "Too many fields defined: '" + statement.table + "' would have " +
                              std::to_string(statement.columns.size()) + "; at most " +
                              std::to_string(kMaxFields) + " are allowed.");
    }
    std::vector<catalog::NewColumn> newColumns;
    for (const auto& column : statement.columns) {
        for (const auto& earlier : newColumns) {
            if (storage::equalsIgnoringCase(earlier.name, column.name)) definedTwice(column.name);
        }
        newColumns.push_back(specOf(column, database.format()));
    }
    database.createTable(statement.table, newColumns, {}, keyIndexes(statement, newColumns));
}

namespace {

// Per column of the table: whether its Required property is set.
std::vector<bool> requiredColumns(Database& database, const catalog::CatalogObject& object,
                                  const format::TableDefinition& definition) {
    const auto properties = catalog::readProperties(database.pager(), database.jetFormat(),
                                                    database.header().codePage(), object);
    std::vector<bool> required;
    for (const auto& column : definition.columns) {
        required.push_back(!column.isAutoNumber() && !column.isGuidAutoNumber() &&
                           catalog::isRequired(properties, column.name));
    }
    return required;
}

[[noreturn]] void nullForRequired(const std::string& table, const std::string& column) {
    throw EngineError(ErrorCode::RequiredValue,
                      "The field '" + table + "." + column +
                          "' cannot contain a Null value because the Required property for this "
                          "field is set to True. Enter a value in this field.");
}

void requireValues(const std::vector<bool>& required, const format::TableDefinition& definition,
                   const std::string& table, const std::vector<format::Value>& row) {
    for (size_t index = 0; index < required.size(); ++index) {
        if (required[index] && format::isNull(row[index])) {
            nullForRequired(table, definition.columns[index].name);
        }
    }
}

[[noreturn]] void unknownInsertField(const std::string& name) {
    throw EngineError(ErrorCode::UnknownInsertField,
                      "The INSERT INTO statement contains the following unknown field name: '" +
                          name +
                          "'. Make sure you have typed the name correctly, and try the operation "
                          "again.");
}

}  // namespace

size_t addRows(Database& database, const std::string& tableName,
               const std::vector<std::string>& fields, size_t valueCount,
               const std::function<bool(std::vector<format::Value>&)>& next) {
    const format::TableDefinition definition = storedTable(database, tableName);
    const catalog::CatalogObject* object = userTable(database, tableName);
    for (const auto& column : definition.columns) {
        if (column.type == ColumnType::Complex || column.isCalculated()) {
            throw EngineError(ErrorCode::NotSupported,
                              "Rows cannot be added to '" + object->name + "': its field '" +
                                  column.name +
                                  "' holds attachments, several values or a calculated value, "
                                  "which this engine does not write.");
        }
    }
    std::vector<size_t> targets;
    if (fields.empty()) {
        for (size_t index = 0; index < definition.columns.size(); ++index) targets.push_back(index);
    }
    for (const auto& name : fields) {
        const format::ColumnDefinition* column = definition.findColumn(name);
        if (!column) unknownInsertField(name);
        const auto index = static_cast<size_t>(column - definition.columns.data());
        if (std::find(targets.begin(), targets.end(), index) != targets.end()) definedTwice(name);
        targets.push_back(index);
    }
    if (targets.size() != valueCount) {
        throw EngineError(ErrorCode::ValueCountMismatch,
                          "Number of query values and destination fields are not the same: " +
                              std::to_string(valueCount) + " values for " +
                              std::to_string(targets.size()) + " fields.");
    }

    const std::string table = object->name;
    const std::vector<bool> required = requiredColumns(database, *object, definition);
    const format::JetFormat& jetFormat = database.jetFormat();
    size_t added = 0;
    std::vector<format::Value> input;
    database.insertRows(table, [&](std::vector<format::Value>& row) {
        if (!next(input)) return false;
        row.assign(definition.columns.size(), format::Value());
        for (size_t index = 0; index < targets.size(); ++index) {
            row[targets[index]] =
                valueForField(input.at(index), definition.columns[targets[index]], jetFormat);
        }
        requireValues(required, definition, table, row);
        ++added;
        return true;
    });
    return added;
}

size_t insertRows(Database& database, const InsertStatement& statement, ResultRows* selected) {
    // Without a field list, VALUES fill every field in order and SELECT the fields named as its
    // columns are.
    const std::vector<std::string>& fields =
        statement.columns.empty() && selected ? selected->names() : statement.columns;
    if (selected) {
        return addRows(database, statement.table, fields, selected->names().size(),
                       [&](std::vector<format::Value>& row) { return selected->next(row); });
    }
    const format::TableDefinition definition = storedTable(database, statement.table);
    const format::JetFormat& jetFormat = database.jetFormat();
    bool given = false;
    return addRows(
        database, statement.table, fields, statement.values.size(),
        [&](std::vector<format::Value>& row) {
            if (given) return false;
            given = true;
            // Each literal converts for the field it goes to.
            row.clear();
            for (size_t index = 0; index < statement.values.size(); ++index) {
                const format::ColumnDefinition* column = fields.empty()
                                                             ? &definition.columns.at(index)
                                                             : definition.findColumn(fields[index]);
                row.push_back(valueForField(statement.values[index], *column, jetFormat));
            }
            return true;
        });
}

size_t deleteRows(Database& database, const DeleteStatement& statement) {
    const format::TableDefinition definition = storedTable(database, statement.table);
    const catalog::CatalogObject* object = userTable(database, statement.table);
    const std::string table = object->name;
    for (const auto& column : definition.columns) {
        if (column.type == ColumnType::Complex) {
            throw EngineError(ErrorCode::NotSupported,
                              "Rows cannot be deleted from '" + table + "': its field '" +
                                  column.name +
                                  "' keeps attachments or several values in a hidden table, "
                                  "which this engine does not change.");
        }
    }
    if (referencedByRelationship(database, table)) {
        throw EngineError(ErrorCode::NotSupported,
                          "Rows cannot be deleted from '" + table +
                              "': a relationship refers to it, and this engine does not check "
                              "the related records.");
    }
    const TableScope scope(definition, table, "", database.catalog().nameOrder());
    const auto condition =
        statement.where ? std::make_unique<const Condition>(*statement.where, scope) : nullptr;
    return database.deleteRows(
        table,
        [&](const std::vector<format::Value>& row) { return !condition || condition->holds(row); },
        condition ? condition->columns() : std::vector<size_t>{});
}

size_t updateRows(Database& database, const UpdateStatement& statement) {
    const format::TableDefinition definition = storedTable(database, statement.table);
    const catalog::CatalogObject* object = userTable(database, statement.table);
    const std::string table = object->name;
    for (const auto& column : definition.columns) {
        if (column.type == ColumnType::Complex || column.isCalculated()) {
            throw EngineError(ErrorCode::NotSupported,
                              "Rows of '" + table + "' cannot be changed: its field '" +
                                  column.name +
                                  "' holds attachments, several values or a calculated value, "
                                  "which this engine does not write.");
        }
    }
    const TableScope scope(definition, table, "", database.catalog().nameOrder());
    std::vector<catalog::ColumnValue> changes;
    for (const Assignment& assignment : statement.assignments) {
        const size_t position = scope.column(ColumnRef{{}, assignment.column});
        const format::ColumnDefinition* column = &definition.columns[position];
        for (const auto& [earlier, value] : changes) {
            if (earlier == position) definedTwice(assignment.column);
        }
        if (column->isAutoNumber() || column->isGuidAutoNumber()) {
            throw EngineError(
                ErrorCode::FieldNotUpdatable,
                "Field cannot be updated: '" + column->name + "' is an AutoNumber field.");
        }
        if (joinedByRelationship(database, table, column->name)) {
            throw EngineError(ErrorCode::NotSupported,
                              "The field '" + column->name + "' of '" + table +
                                  "' cannot be changed: a relationship joins on it, and this "
                                  "engine does not check the related records.");
        }
        changes.push_back(
            {position, valueForField(assignment.value, *column, database.jetFormat())});
    }
    const std::vector<bool> required = requiredColumns(database, *object, definition);
    for (const auto& [position, value] : changes) {
        if (required[position] && format::isNull(value)) {
            nullForRequired(table, definition.columns[position].name);
        }
    }
    const auto condition =
        statement.where ? std::make_unique<const Condition>(*statement.where, scope) : nullptr;
    return database.updateRows(
        table,
        [&](const std::vector<format::Value>& row) { return !condition || condition->holds(row); },
        changes, condition ? condition->columns() : std::vector<size_t>{});
}

void dropTable(Database& database, const DropTableStatement& statement) {
    database.dropTable(statement.table);
}

void alterTable(Database& database, const AlterTableStatement& statement) {
    using Action = AlterTableStatement::Action;
    switch (statement.action) {
        case Action::AddColumn: {
            const std::vector<catalog::NewColumn> columns = {
                specOf(statement.column, database.format())};
            const CreateTableStatement shape{statement.table, {statement.column}, statement.keys};
            database.addColumn(statement.table, columns.front(), keyIndexes(shape, columns));
            return;
        }
        case Action::AddConstraint: {
            const KeyConstraint& key = statement.keys.at(0);
            database.createIndex(statement.table, {.name = key.name,
                                                   .columns = key.columns,
                                                   .unique = true,
                                                   .primaryKey = key.primaryKey});
            return;
        }
        case Action::DropColumn:
            database.dropColumn(statement.table, statement.name);
            return;
        case Action::DropConstraint:
            database.dropIndex(statement.table, statement.name);
            return;
    }
}

void createIndex(Database& database, const CreateIndexStatement& statement) {
    catalog::NewIndex index;
    index.name = statement.index;
    index.columns = statement.columns;
    index.descending = statement.descending;
    index.unique = statement.unique;
    index.primaryKey = statement.primaryKey;
    index.required = statement.disallowNull;
    index.ignoreNulls = statement.ignoreNull;
    database.createIndex(statement.table, index);
}

}  // namespace engine::sql

// CREATE TABLE, INSERT INTO ... VALUES, DELETE and DROP TABLE on a database.
//
// CREATE TABLE column types (data_type_names.h gives the names):
//   Counter                a Long Integer AutoNumber
//   BigInt (Large Number)  only in Access 2016 files and later (InvalidFieldType before)
//   Text                   255 characters unless a size is given; at most 255
//   Binary                 255 bytes unless a size is given; at most 510
//   Decimal                precision and scale as given, else 18 and 0
// NOT NULL sets the field's Required property (files of Access 2000 and later; NotSupported in
// Access 97 files). PRIMARY KEY and UNIQUE, after a field or as CONSTRAINT name PRIMARY KEY|UNIQUE
// (fields), make unique indexes; the primary key's also refuses NULL (PrimaryKeyNull). An unnamed
// primary key is named PrimaryKey, an unnamed unique key after its first field. More than 255
// fields is TooManyColumns, two of one name (letter case ignored) DuplicateField, a second
// primary key CreateTableSyntax, a key on a field the table lacks UnknownField.
//
// INSERT INTO stores rows: with VALUES one row, the fields listed (all, in order, when none
// are) taking the values (literal_values.h); with SELECT every row the query gives, its columns
// going to the fields listed, in order, or without a list to the fields of their names. Other
// fields are NULL (an AutoNumber field numbers itself). Unknown fields are UnknownInsertField, a
// field listed twice DuplicateField, a count of values that differs from the count of fields
// ValueCountMismatch, NULL for a field whose Required property is set RequiredValue. The rows
// are stored in one change: all of them or none. System tables, and tables with attachment,
// multi-value or calculated fields, are refused. Returns how many rows were added.
//
// DELETE removes the rows for which the WHERE condition (condition.h) is true, every row without
// one, keeping the table's indexes, and returns how many went. System tables are ReadOnly; a
// table with attachment or multi-value fields, or one a relationship refers to (its related
// records would need checking), is refused with NotSupported before anything changes.
//
// UPDATE gives the fields named the values given (converted as INSERT INTO converts them) in
// every row the WHERE condition holds for, every row without one, in one change, and returns how
// many rows changed. An unknown field is UnknownField, one named twice DuplicateField, an
// AutoNumber field FieldNotUpdatable; a key a unique index already holds is DuplicateKey, NULL
// for a Required field RequiredValue. Tables
// refused by INSERT INTO are refused here too, and so is a field a relationship joins on.
#pragma once

#include "engine/database.h"
#include "engine/sql/shaped_query.h"
#include "engine/sql/statement.h"

namespace engine::sql {

void createTable(Database& database, const CreateTableStatement& statement);
size_t insertRows(Database& database, const InsertStatement& statement, ResultRows* selected);
// Adds the rows next gives to a table as INSERT INTO does, in one change: each row holds
// valueCount values for the fields named (every field in order when none are), each converted
// with valueForField (literal_values.h). Returns how many were added.
size_t addRows(Database& database, const std::string& table, const std::vector<std::string>& fields,
               size_t valueCount, const std::function<bool(std::vector<format::Value>&)>& next);
size_t deleteRows(Database& database, const DeleteStatement& statement);
size_t updateRows(Database& database, const UpdateStatement& statement);
void dropTable(Database& database, const DropTableStatement& statement);
// WITH PRIMARY makes the index the table's primary key (unique, no NULLs); DISALLOW NULL refuses
// rows with a NULL in a field of the index; IGNORE NULL leaves out rows whose fields of the
// index are all NULL.
void createIndex(Database& database, const CreateIndexStatement& statement);
// ADD COLUMN adds the field and its keys in one change; ADD CONSTRAINT makes the key's index
// (named as CREATE TABLE names it); DROP COLUMN drops the field, DROP CONSTRAINT the index.
void alterTable(Database& database, const AlterTableStatement& statement);

}  // namespace engine::sql

// CREATE TABLE, INSERT INTO ... VALUES, DELETE and DROP TABLE on a database.
//
// CREATE TABLE column types (data_type_names.h gives the names):
//   Counter                a Long Integer AutoNumber
//   BigInt (Large Number)  only in Access 2016 files and later (InvalidFieldType before)
//   Text                   255 characters unless a size is given; at most 255
//   Binary                 255 bytes unless a size is given; at most 510
//   Decimal                precision and scale as given, else 18 and 0
// NOT NULL is refused (NotSupported): the engine cannot store the Required property, and a field
// that silently accepted NULL would not be what was asked for. More than 255 fields is
// TooManyColumns, two of one name (letter case ignored) DuplicateField.
//
// INSERT INTO stores one row: the fields listed (all, in order, when none are) take the values
// (literal_values.h), the others NULL (an AutoNumber field numbers itself). Unknown fields are
// UnknownInsertField, a field listed twice DuplicateField, a count of values that differs from
// the count of fields ValueCountMismatch. System tables, and tables with attachment,
// multi-value or calculated fields, are refused.
//
// DELETE removes the rows for which the WHERE condition (condition.h) is true, every row without
// one, keeping the table's indexes, and returns how many went. System tables are ReadOnly; a
// table with attachment or multi-value fields, or one a relationship refers to (its related
// records would need checking), is refused with NotSupported before anything changes.
//
// UPDATE gives the fields named the values given (converted as INSERT INTO converts them) in
// every row the WHERE condition holds for, every row without one, in one change, and returns how
// many rows changed. An unknown field is UnknownField, one named twice DuplicateField, an
// AutoNumber field FieldNotUpdatable; a key a unique index already holds is DuplicateKey. Tables
// refused by INSERT INTO are refused here too, and so is a field a relationship joins on.
#pragma once

#include "engine/database.h"
#include "engine/sql/statement.h"

namespace engine::sql {

void createTable(Database& database, const CreateTableStatement& statement);
void insertRow(Database& database, const InsertStatement& statement);
size_t deleteRows(Database& database, const DeleteStatement& statement);
size_t updateRows(Database& database, const UpdateStatement& statement);
void dropTable(Database& database, const DropTableStatement& statement);

}  // namespace engine::sql

// The fields of a CSV file as values: one field converted to a column's type, and the type a
// column's values need, judged from all of them (the rules are in csv_import.h).
#pragma once

#include "engine/catalog/new_column.h"
#include "engine/format/jet_format.h"
#include "engine/format/rows/table_definition.h"
#include "engine/format/rows/value.h"

#include "csv_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tools {

// How dates written with / . or - in another order than year first read: 3/4/2020 is March 4
// (MonthDayYear, the engine's own order) or April 3 (DayMonthYear). Year-first dates
// (2020-03-04, with or without a time) read the same in every order.
enum class DateOrder { MonthDayYear, DayMonthYear };

// The field as a value of column, into out: an empty field that is not quoted is NULL. A Text
// or Memo value takes the field's text, which is left empty. Throws engine::EngineError when
// the field does not convert, naming the field and why.
void readFieldValue(CsvField& field, const engine::format::ColumnDefinition& column,
                    const engine::format::JetFormat& format, DateOrder order,
                    engine::format::Value& out);

// What the values of one column allow, from every value added: the type they all fit.
struct ColumnGuess {
    void add(const CsvField& field, DateOrder order);
    // What the values of both allow, this one's and other's.
    void merge(const ColumnGuess& other);
    // The column named name, of the narrowest type every value added fits; hasDecimal tells
    // whether the database has Decimal fields (Access 2000 files and later).
    engine::catalog::NewColumn column(const std::string& name, bool hasDecimal) const;

    bool seen = false;    // a value that is not an empty field
    bool quoted = false;  // a value in quotes
    bool yesNo = true;
    bool whole = true;  // whole numbers within Long Integer's range
    bool number = true;
    bool doubleKeepsAll = true;
    bool date = true;
    bool guid = true;
    size_t longest = 0;  // in characters (UTF-16 units)
    size_t integerDigits = 0;
    uint32_t decimals = 0;
};

// guess.add(field) and then readFieldValue(field, ...), reading the field's text once where
// both look at it.
void judgeAndReadField(CsvField& field, ColumnGuess& guess,
                       const engine::format::ColumnDefinition& column,
                       const engine::format::JetFormat& format, DateOrder order,
                       engine::format::Value& out);

// The column named column, of the type a type option names: yesno, byte, integer, long,
// bigint, single, double, currency, decimal, date, text, memo or guid (letter case ignored).
// Throws UsageError for any other name.
engine::catalog::NewColumn namedType(const std::string& column, const std::string& type);

}  // namespace tools

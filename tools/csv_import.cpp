#include "csv_import.h"

#include "engine/catalog/new_column.h"
#include "engine/sql/table_statements.h"
#include "engine/storage/unicode.h"

#include "arguments.h"
#include "csv_reader.h"
#include "csv_slices.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <limits>
#include <memory>
#include <thread>

namespace tools {

namespace {

using engine::EngineError;
using engine::ErrorCode;
using engine::catalog::NewColumn;
using engine::format::ColumnDefinition;
using engine::format::Value;

std::ifstream openCsv(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EngineError(ErrorCode::FileNotFound, "Could not find file '" + path + "'.");
    return in;
}

// An error of the value at line and column, as the engine's error with both named.
[[noreturn]] void rethrowAt(const EngineError& error, uint64_t line, const std::string& column) {
    throw EngineError(error.code(), "line " + std::to_string(line) +
                                        (column.empty() ? "" : ", column '" + column + "'") + ": " +
                                        error.what());
}

// How the file's columns are read.
struct Plan {
    std::vector<std::string> names;         // the file's first line
    std::vector<ColumnDefinition> columns;  // what each column goes into
    // Whether each column's type is judged from its values; a value that does not convert to
    // such a column only tells that the type judged so far is not the one the file needs.
    std::vector<bool> judged;
    bool converting = true;  // false: the values are only judged
    const engine::format::JetFormat* jetFormat = nullptr;
    DateOrder order = DateOrder::MonthDayYear;
};

constexpr size_t kNoColumn = std::numeric_limits<size_t>::max();

// The records of one slice of the file: converted to rows, and judged when some column's type
// is. Once any slice meets a value its judged column does not take (misjudged), no slice
// converts any more: every row will be converted again.
class SliceRows : public CsvSlices::Records {
public:
    SliceRows(const Plan& plan, std::atomic<bool>& misjudged)
        : m_plan(plan),
          m_misjudged(misjudged),
          m_judging(std::find(plan.judged.begin(), plan.judged.end(), true) != plan.judged.end()) {
        guesses.resize(plan.names.size());
    }

    void clear() override {
        count = 0;
        converted = m_plan.converting;
        failedColumn = kNoColumn;
        if (m_judging) std::fill(guesses.begin(), guesses.end(), ColumnGuess());
    }

    void add(std::vector<CsvField>& fields, uint64_t line) override {
        if (converted && m_misjudged.load(std::memory_order_relaxed)) converted = false;
        if (converted && rows.size() == count) {
            rows.emplace_back();
            lines.emplace_back();
        }
        std::vector<Value>* row = converted ? &rows[count] : nullptr;
        if (row) row->resize(fields.size());
        for (size_t at = 0; at < fields.size(); ++at) {
            const bool judged = m_plan.judged[at];
            if (!row) {
                if (judged) guesses[at].add(fields[at], m_plan.order);
                continue;
            }
            try {
                if (judged) {
                    judgeAndReadField(fields[at], guesses[at], m_plan.columns[at],
                                      *m_plan.jetFormat, m_plan.order, (*row)[at]);
                } else {
                    readFieldValue(fields[at], m_plan.columns[at], *m_plan.jetFormat, m_plan.order,
                                   (*row)[at]);
                }
            } catch (const EngineError&) {
                if (!judged) {
                    failedColumn = at;
                    throw;
                }
                // Judged before it failed; the rest of the record is judged alone.
                converted = false;
                m_misjudged.store(true, std::memory_order_relaxed);
                row = nullptr;
            }
        }
        if (row) lines[count++] = line;
    }

    std::vector<std::vector<Value>> rows;  // the first count are the slice's
    std::vector<uint64_t> lines;           // the line each of those began on, in the slice
    size_t count = 0;
    bool converted = true;            // every record of the slice is among the rows
    size_t failedColumn = kNoColumn;  // the column whose value ended the slice with an error
    std::vector<ColumnGuess> guesses;

private:
    const Plan& m_plan;
    std::atomic<bool>& m_misjudged;
    const bool m_judging;
};

// Thrown out of the change storing rows when some column needs another type than the one the
// rows were stored with: columns are the types the whole file gives.
struct Misjudged {
    std::vector<NewColumn> columns;
};

// Where the file's rows begin and with which columns.
struct FileStart {
    std::vector<std::string> names;
    uint64_t offset = 0;
    uint64_t line = 0;
};

FileStart readHeader(const std::string& path) {
    auto in = openCsv(path);
    CsvReader reader(in);
    std::vector<CsvField> fields;
    if (!reader.next(fields))
        throw CsvError(1, "the file is empty; its first line names the columns");
    FileStart start{.offset = reader.offset(), .line = reader.nextLine()};
    for (const auto& field : fields) start.names.push_back(field.text);
    return start;
}

// Rethrows the error that ended slice: a value that did not convert names its line and
// column.
[[noreturn]] void throwSliceError(const CsvSlices::Slice& slice, const SliceRows& rows,
                                  const Plan& plan) {
    if (rows.failedColumn == kNoColumn) std::rethrow_exception(slice.error);
    try {
        std::rethrow_exception(slice.error);
    } catch (const EngineError& error) {
        rethrowAt(error, slice.errorLine, plan.names[rows.failedColumn]);
    }
}

unsigned readingThreads() {
    const unsigned processors = std::thread::hardware_concurrency();
    return processors > 1 ? std::min(processors, 4u) : 0;
}

// The columns the values of the file's first slice call for, and those named by options.
std::vector<NewColumn> judgeFirstSlice(const engine::Database& database, const FileStart& start,
                                       const std::string& path, Plan& plan,
                                       const ImportOptions& options) {
    plan.converting = false;
    std::atomic<bool> misjudged{false};
    CsvSlices slices(
        path, start.offset, start.line, plan.names.size(),
        [&] { return std::make_unique<SliceRows>(plan, misjudged); }, 0);
    const CsvSlices::Slice* slice = slices.next();
    const auto& rows = *static_cast<SliceRows*>(slice->records);
    if (slice->error) throwSliceError(*slice, rows, plan);
    plan.converting = true;

    const bool hasDecimal = !engine::storage::isJet3(database.format());
    std::vector<NewColumn> columns;
    for (size_t at = 0; at < plan.names.size(); ++at) {
        columns.push_back(rows.guesses[at].column(plan.names[at], hasDecimal));
        for (const auto& [column, type] : options.types) {
            if (engine::storage::equalsIgnoringCase(column, plan.names[at])) {
                columns.back() = namedType(plan.names[at], type);
            }
        }
    }
    return columns;
}

bool sameType(const NewColumn& one, const NewColumn& other) {
    return one.type == other.type && one.precision == other.precision && one.scale == other.scale;
}

// Reads the rows of the file on the slices' workers and stores them into table: made with
// newColumns when it does not exist. Throws Misjudged, having changed nothing, when a judged
// column needs another type than newColumns gives it.
uint64_t storeRows(engine::Database& database, const std::string& path, const std::string& table,
                   const FileStart& start, const Plan& plan,
                   const std::vector<NewColumn>& newColumns, const ImportOptions& options) {
    const size_t width = plan.names.size();
    const bool judging =
        std::find(plan.judged.begin(), plan.judged.end(), true) != plan.judged.end();
    std::atomic<bool> misjudged{false};
    CsvSlices slices(
        path, start.offset, start.line, width,
        [&] { return std::make_unique<SliceRows>(plan, misjudged); }, readingThreads());
    std::vector<ColumnGuess> guesses(width);
    bool lost = false;  // a slice's records are not all among its rows
    const CsvSlices::Slice* slice = nullptr;
    SliceRows* rows = nullptr;
    size_t at = 0;
    uint64_t line = 0;
    uint64_t stored = 0;
    bool named = false;  // the error already names its line, or is the file's own

    // Judged types are final once the whole file is read: a column whose values call for
    // another type than it was made with, or rows not converted, send the rows round again.
    auto finish = [&] {
        if (!judging) return;
        const bool hasDecimal = !engine::storage::isJet3(database.format());
        std::vector<NewColumn> finalColumns = newColumns;
        bool same = !lost;
        for (size_t column = 0; column < width; ++column) {
            if (!plan.judged[column]) continue;
            finalColumns[column] = guesses[column].column(plan.names[column], hasDecimal);
            same = same && sameType(finalColumns[column], newColumns[column]);
        }
        if (!same) throw Misjudged{std::move(finalColumns)};
    };
    auto next = [&](std::vector<Value>& row) {
        while (!rows || at == rows->count) {
            if (rows && slice->error) {
                // After a row not converted, only a fault in the file itself counts here: the
                // values of the rows are all converted again, and their faults named in order.
                if (!lost || rows->failedColumn == kNoColumn) {
                    named = true;
                    throwSliceError(*slice, *rows, plan);
                }
            }
            slice = slices.next();
            if (!slice) {
                finish();
                return false;
            }
            rows = static_cast<SliceRows*>(slice->records);
            at = 0;
            if (judging) {
                for (size_t column = 0; column < width; ++column) {
                    guesses[column].merge(rows->guesses[column]);
                }
            }
            lost = lost || !rows->converted;
            if (lost) rows->count = 0;
            if (options.progress) options.progress(slice->end, slices.size());
        }
        std::swap(row, rows->rows[at]);
        line = slice->firstLine + rows->lines[at] - 1;
        ++at;
        ++stored;
        return true;
    };
    try {
        if (database.findInTables(table)) {
            return engine::sql::addRows(database, table, plan.names, width, next);
        }
        database.createTable(table, newColumns, engine::RowSource(next));
    } catch (const EngineError& error) {
        if (named || line == 0) throw;
        rethrowAt(error, line, "");
    }
    return stored;
}

}  // namespace

uint64_t importCsv(engine::Database& database, const std::string& path, const std::string& table,
                   const ImportOptions& options) {
    const bool exists = database.findInTables(table).has_value();
    if (exists && !options.types.empty()) {
        throw UsageError("--type applies only to a new table; '" + table + "' exists");
    }
    const FileStart start = readHeader(path);
    Plan plan{.names = start.names,
              .judged = std::vector<bool>(start.names.size(), !exists),
              .jetFormat = &database.jetFormat(),
              .order = options.dateOrder};
    for (const auto& [column, type] : options.types) {
        const auto named = std::find_if(
            plan.names.begin(), plan.names.end(),
            [&](const auto& name) { return engine::storage::equalsIgnoringCase(name, column); });
        if (named == plan.names.end()) {
            throw UsageError("--type names the column '" + column +
                             "', which the file's first line does not");
        }
        plan.judged[static_cast<size_t>(named - plan.names.begin())] = false;
    }
    if (exists) {
        const auto definition = engine::sql::storedTable(database, table);
        for (const auto& name : plan.names) {
            const ColumnDefinition* column = definition.findColumn(name);
            if (!column) {
                throw EngineError(
                    ErrorCode::UnknownInsertField,
                    "The file's column '" + name + "' names no field of '" + table + "'.");
            }
            plan.columns.push_back(*column);
        }
        return storeRows(database, path, table, start, plan, {}, options);
    }

    std::vector<NewColumn> newColumns = judgeFirstSlice(database, start, path, plan, options);
    const auto define = [&] {
        plan.columns = engine::catalog::defineColumns(newColumns, database.format(),
                                                      database.header().codePage(),
                                                      database.header().sortOrder());
    };
    define();
    try {
        return storeRows(database, path, table, start, plan, newColumns, options);
    } catch (Misjudged& misjudged) {
        // Every value now converts to the type the whole file gives its column.
        newColumns = std::move(misjudged.columns);
        std::fill(plan.judged.begin(), plan.judged.end(), false);
        define();
        return storeRows(database, path, table, start, plan, newColumns, options);
    }
}

}  // namespace tools

#include "csv_import.h"

#include "engine/catalog/new_column.h"
#include "engine/catalog/table_creator.h"
#include "engine/format/rows/row_encoder.h"
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
#include <optional>
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
    // Set: the rows are also encoded as this table stores them, on the reading threads, and
    // handed over as bytes. Only for a table without long values (Memo, OLE), whose rows are
    // whole in themselves.
    const engine::format::TableDefinition* encodeFor = nullptr;
};

constexpr size_t kNoColumn = std::numeric_limits<size_t>::max();

// The records of one slice of the file: converted to rows (values, or bytes when encoding),
// and judged when some column's type is. Once any slice meets a value its judged column does
// not take (misjudged), no slice converts any more: every row will be converted again.
class SliceRows : public CsvSlices::Records {
public:
    SliceRows(const Plan& plan, std::atomic<bool>& misjudged)
        : m_plan(plan),
          m_misjudged(misjudged),
          m_judging(std::find(plan.judged.begin(), plan.judged.end(), true) != plan.judged.end()) {
        guesses.resize(plan.names.size());
        if (plan.encodeFor) {
            m_encoder.emplace(*plan.jetFormat, *plan.encodeFor);
            m_noLongValues.resize(plan.names.size());
        }
    }

    void clear() override {
        count = 0;
        lines.clear();
        m_bytes.clear();
        m_ends.clear();
        converted = m_plan.converting;
        failedColumn = kNoColumn;
        valueFault = false;
        if (m_judging) std::fill(guesses.begin(), guesses.end(), ColumnGuess());
    }

    void add(std::vector<CsvField>& fields, uint64_t line) override {
        if (converted && m_misjudged.load(std::memory_order_relaxed)) converted = false;
        std::vector<Value>* row = nullptr;
        if (converted && m_encoder) {
            row = &m_row;
        } else if (converted) {
            if (rows.size() == count) rows.emplace_back();
            row = &rows[count];
        }
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
                    valueFault = true;
                    throw;
                }
                // Judged before it failed; the rest of the record is judged alone.
                converted = false;
                m_misjudged.store(true, std::memory_order_relaxed);
                row = nullptr;
            }
        }
        if (!row) return;
        if (m_encoder) {
            // What the encoder can refuse here is the row as a whole (too large for a page):
            // the row's place among those stored is not known on this thread, its line is.
            try {
                m_encoder->encode(m_row, m_noLongValues, m_encoded, 0);
            } catch (const EngineError&) {
                valueFault = true;
                throw;
            }
            m_bytes.insert(m_bytes.end(), m_encoded.begin(), m_encoded.end());
            m_ends.push_back(m_bytes.size());
        }
        lines.push_back(line);
        ++count;
    }

    // The bytes of row at, when encoding.
    engine::storage::Bytes encoded(size_t at) const {
        const size_t begin = at == 0 ? 0 : m_ends[at - 1];
        return engine::storage::Bytes(m_bytes).subspan(begin, m_ends[at] - begin);
    }

    std::vector<std::vector<Value>> rows;  // when not encoding: the first count are the slice's
    std::vector<uint64_t> lines;           // the line each row began on, in the slice
    size_t count = 0;
    bool converted = true;            // every record of the slice is among the rows
    // What ended the slice with an error: a value (of failedColumn, when it is known)
    bool valueFault = false;
    size_t failedColumn = kNoColumn;
    std::vector<ColumnGuess> guesses;

private:
    const Plan& m_plan;
    std::atomic<bool>& m_misjudged;
    const bool m_judging;
    std::optional<engine::format::RowEncoder> m_encoder;
    std::vector<engine::format::ByteString> m_noLongValues;
    std::vector<Value> m_row;        // the record being encoded
    std::vector<uint8_t> m_encoded;  // its bytes
    std::vector<uint8_t> m_bytes;    // the slice's rows, one after the other
    std::vector<size_t> m_ends;      // where each ends in m_bytes
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
    for (const auto& field : fields) start.names.emplace_back(field.text);
    return start;
}

// Rethrows the error that ended slice: one of a value names its line, and its column when
// known.
[[noreturn]] void throwSliceError(const CsvSlices::Slice& slice, const SliceRows& rows,
                                  const Plan& plan) {
    try {
        std::rethrow_exception(slice.error);
    } catch (const EngineError& error) {
        if (!rows.valueFault) throw;
        rethrowAt(error, slice.errorLine,
                  rows.failedColumn == kNoColumn ? "" : plan.names[rows.failedColumn]);
    }
}

// The workers beside the thread storing rows, which reads slices too while it waits: one
// fewer than the processors, so that every thread has one.
unsigned readingThreads() {
    const unsigned processors = std::thread::hardware_concurrency();
    return processors > 1 ? std::min(processors, 4u) - 1 : 0;
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

// The rows of the file's slices, read on the slices' workers and handed over in file order.
// Each slice is checked as it comes: the error that ended it is thrown once its rows are
// handed over, and what it tells of the judged columns is gathered.
class RowFeed {
public:
    // named is set when an error thrown already names its line (or is the file's own).
    RowFeed(const std::string& path, const FileStart& start, const Plan& plan,
            const std::vector<NewColumn>& newColumns, bool hasDecimal, const ImportOptions& options,
            bool& named)
        : m_plan(plan),
          m_newColumns(newColumns),
          m_hasDecimal(hasDecimal),
          m_options(options),
          m_named(named),
          m_judging(std::find(plan.judged.begin(), plan.judged.end(), true) != plan.judged.end()),
          m_guesses(plan.names.size()),
          m_slices(
              path, start.offset, start.line, plan.names.size(),
              [this] { return std::make_unique<SliceRows>(m_plan, m_misjudged); },
              readingThreads()) {}

    // The next slice's rows, or null after the last. Throws Misjudged then, when a judged
    // column needs another type than newColumns gives it, or some row was not converted.
    SliceRows* next() {
        if (m_rows && m_slice->error) {
            // After a row not converted, only a fault in the file itself counts here: the
            // values of the rows are all converted again, and their faults named in order.
            if (!m_lost || !m_rows->valueFault) {
                m_named = true;
                throwSliceError(*m_slice, *m_rows, m_plan);
            }
        }
        m_slice = m_slices.next();
        if (!m_slice) {
            m_rows = nullptr;
            finish();
            return nullptr;
        }
        m_rows = static_cast<SliceRows*>(m_slice->records);
        if (m_judging) {
            for (size_t column = 0; column < m_guesses.size(); ++column) {
                m_guesses[column].merge(m_rows->guesses[column]);
            }
        }
        m_lost = m_lost || !m_rows->converted;
        if (m_lost) m_rows->count = 0;
        if (m_options.progress) m_options.progress(m_slice->end, m_slices.size());
        return m_rows;
    }

    // The file's line of row at of the slice last handed over.
    uint64_t lineOf(size_t at) const { return m_slice->firstLine + m_rows->lines[at] - 1; }

private:
    // Judged types are final once the whole file is read.
    void finish() {
        if (!m_judging) return;
        std::vector<NewColumn> finalColumns = m_newColumns;
        bool same = !m_lost;
        for (size_t column = 0; column < finalColumns.size(); ++column) {
            if (!m_plan.judged[column]) continue;
            finalColumns[column] = m_guesses[column].column(m_plan.names[column], m_hasDecimal);
            same = same && sameType(finalColumns[column], m_newColumns[column]);
        }
        if (!same) throw Misjudged{std::move(finalColumns)};
    }

    const Plan& m_plan;
    const std::vector<NewColumn>& m_newColumns;
    const bool m_hasDecimal;
    const ImportOptions& m_options;
    bool& m_named;
    const bool m_judging;
    std::vector<ColumnGuess> m_guesses;  // of the slices handed over
    bool m_lost = false;                 // a slice's records are not all among its rows
    std::atomic<bool> m_misjudged{false};
    CsvSlices m_slices;
    const CsvSlices::Slice* m_slice = nullptr;
    SliceRows* m_rows = nullptr;
};

// Reads the rows of the file and stores them into table: made with newColumns when it does
// not exist. Throws Misjudged, having changed nothing, when a judged column needs another type
// than newColumns gives it.
uint64_t storeRows(engine::Database& database, const std::string& path, const std::string& table,
                   const FileStart& start, const Plan& plan,
                   const std::vector<NewColumn>& newColumns, const ImportOptions& options) {
    const bool hasDecimal = !engine::storage::isJet3(database.format());
    uint64_t line = 0;
    uint64_t stored = 0;
    bool named = false;
    // Rows handed over as values, swapped out of their slice.
    auto valuesOf = [&](RowFeed& feed) {
        return [&, rows = static_cast<SliceRows*>(nullptr),
                at = size_t{0}](std::vector<Value>& row) mutable {
            while (!rows || at == rows->count) {
                rows = feed.next();
                at = 0;
                if (!rows) return false;
            }
            std::swap(row, rows->rows[at]);
            line = feed.lineOf(at++);
            ++stored;
            return true;
        };
    };
    // A new table whose rows hold all their values (no Memo or OLE field) takes its rows
    // encoded by the reading threads. Jet 3 rows go as values: their texts are encoded in the
    // database's code page, whose refusals name the row.
    const bool encoding =
        !database.findInTables(table) && hasDecimal &&
        std::none_of(plan.columns.begin(), plan.columns.end(), [](const ColumnDefinition& column) {
            return engine::format::isLongValueType(column.type);
        });
    try {
        if (database.findInTables(table)) {
            RowFeed feed(path, start, plan, newColumns, hasDecimal, options, named);
            return engine::sql::addRows(database, table, plan.names, plan.names.size(),
                                        valuesOf(feed));
        }
        if (!encoding) {
            RowFeed feed(path, start, plan, newColumns, hasDecimal, options, named);
            database.createTable(table, newColumns, engine::RowSource(valuesOf(feed)));
            return stored;
        }
        database.createTable(table, newColumns, [&](engine::catalog::NewTable& made) {
            // The readers encode for a copy of the definition: the table's own changes as rows
            // are stored (its row count).
            const engine::format::TableDefinition definition = made.definition();
            Plan encoded = plan;
            encoded.encodeFor = &definition;
            RowFeed feed(path, start, encoded, newColumns, hasDecimal, options, named);
            while (SliceRows* rows = feed.next()) {
                for (size_t at = 0; at < rows->count; ++at) {
                    line = feed.lineOf(at);
                    made.appendEncoded(rows->encoded(at));
                    ++stored;
                }
            }
        });
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
    for (const auto& option : options.types) {
        const std::string& column = option.first;  // a lambda cannot take a structured binding
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

#include "commands.h"

#include "engine/catalog/integrity_check.h"
#include "engine/database.h"
#include "engine/sql/executor.h"
#include "engine/table_copy.h"

#include "csv_import.h"
#include "csv_reader.h"
#include "csv_writer.h"
#include "progress_line.h"
#include "row_pipeline.h"

#include <optional>
#include <unistd.h>

namespace tools {

namespace {

void requirePositional(const Arguments& arguments, size_t count) {
    if (arguments.positional.size() != count) {
        throw UsageError("'" + arguments.command + "' takes " + std::to_string(count) +
                         " argument" + (count == 1 ? "" : "s"));
    }
}

std::unique_ptr<engine::Database> openForReading(const Arguments& arguments) {
    return engine::Database::open(
        arguments.positional.at(0),
        {.password = arguments.password.value_or(""), .mode = engine::AccessMode::ReadOnly});
}

int listTables(const Arguments& arguments, std::ostream& out) {
    requirePositional(arguments, 1);
    auto database = openForReading(arguments);
    for (const auto& object : database->catalog().objects()) {
        const char* type = engine::catalog::tableTypeName(object.kind);
        if (type) {
            out << type << '\t' << object.name << '\n';
        } else if (arguments.all) {
            out << "OTHER(" << object.type << ")\t" << object.name << '\n';
        }
    }
    return 0;
}

int listColumns(const Arguments& arguments, std::ostream& out) {
    requirePositional(arguments, 2);
    auto database = openForReading(arguments);
    auto definition = database->tableDefinition(arguments.positional[1]);
    for (const auto& column : definition.columns) {
        const char* type = column.type == engine::format::ColumnType::Complex
                               ? engine::catalog::complexKindName(database->complexKind(column))
                               : engine::format::columnTypeName(column.type);
        out << column.name << '\t' << type << '\t' << column.length << '\n';
    }
    return 0;
}

int showDefinition(const Arguments& arguments, std::ostream& out) {
    requirePositional(arguments, 2);
    auto database = openForReading(arguments);
    auto definition = database->tableDefinition(arguments.positional[1]);
    out << "pages";
    for (auto page : definition.pages) out << ' ' << page;
    out << "\nrows " << definition.rowCount << " autonumber " << definition.lastAutoNumber
        << " type " << static_cast<char>(definition.tableType) << " column-slots "
        << definition.maxColumns << " variable-slots " << definition.varColumns << '\n';
    for (const auto& column : definition.columns) {
        out << "column " << column.number << " '" << column.name << "' "
            << engine::format::columnTypeName(column.type) << " flags 0x" << std::hex
            << int(column.flags) << " ext 0x" << int(column.extFlags) << std::dec << " var "
            << column.varIndex << " fixed " << column.fixedOffset << " length " << column.length
            << " sort " << column.sortLcid << '/' << int(column.sortVersion) << " precision "
            << int(column.precision) << " scale " << int(column.scale) << '\n';
    }
    for (const auto& real : definition.realIndexes) {
        out << "real-index " << real.number << " root " << real.rootPage << " flags 0x" << std::hex
            << int(real.flags) << std::dec << " columns";
        for (const auto& part : real.columns) {
            out << ' ' << part.columnNumber << (part.ascending ? "+" : "-");
        }
        out << '\n';
    }
    for (const auto& logical : definition.logicalIndexes) {
        out << "index '" << logical.name << "' number " << logical.number << " real "
            << logical.realIndexNumber << " kind " << int(logical.indexType) << '\n';
    }
    return 0;
}

// Writes rows as CSV: a line of column names, then one line per row. The rows are read on this
// thread and formatted on a second one, so that on two processors the two overlap.
void writeCsv(const std::vector<std::string>& names, const RowSource& next, std::ostream& out) {
    CsvWriter writer(out);
    writer.header(names);
    pipeRows(next, [&](const std::vector<engine::format::Value>& row) { writer.row(row); });
    writer.flush();
}

int exportTable(const Arguments& arguments, std::ostream& out) {
    requirePositional(arguments, 2);
    auto database = openForReading(arguments);
    auto reader = database->readTable(arguments.positional[1]);
    std::vector<std::string> names;
    for (const auto& column : reader->definition().columns) names.push_back(column.name);
    // Where the rows go to the screen, a progress line would only stand in their way.
    const bool rowsOnScreen = ::isatty(STDOUT_FILENO) == 1;
    ProgressLine progress(rowsOnScreen ? -1 : STDERR_FILENO,
                          "exporting '" + arguments.positional[1] + "'",
                          reader->definition().rowCount);
    uint64_t read = 0;
    writeCsv(
        names,
        [&](std::vector<engine::format::Value>& row) {
            if (!reader->next(row)) return false;
            progress.update(++read);
            return true;
        },
        out);
    return 0;
}

int runSql(const Arguments& arguments, std::ostream& out) {
    requirePositional(arguments, 2);
    // A statement that only reads leaves the file to a writer in another process.
    const std::string& statement = arguments.positional[1];
    auto database = engine::Database::open(
        arguments.positional[0],
        {.password = arguments.password.value_or(""),
         .mode = engine::sql::onlyReads(statement) ? engine::AccessMode::ReadOnly
                                                   : engine::AccessMode::ReadWriteIfAble});
    auto rows = engine::sql::execute(*database, statement);
    if (rows) {
        writeCsv(
            rows->columnNames(),
            [&](std::vector<engine::format::Value>& row) { return rows->next(row); }, out);
    }
    return 0;
}

engine::storage::FileFormat formatNamed(const std::string& name) {
    using engine::storage::FileFormat;
    if (name == "jet3") return FileFormat::Jet3;
    if (name == "jet4") return FileFormat::Jet4;
    if (name == "ace12") return FileFormat::Ace12;
    if (name == "ace14") return FileFormat::Ace14;
    if (name == "ace16") return FileFormat::Ace16;
    if (name == "ace17") return FileFormat::Ace17;
    throw UsageError("unknown format '" + name + "' (jet3, jet4, ace12, ace14, ace16 or ace17)");
}

int createDatabase(const Arguments& arguments, std::ostream&) {
    requirePositional(arguments, 1);
    engine::Database::make(arguments.positional[0],
                           {.format = formatNamed(arguments.format.value_or("jet4")),
                            .password = arguments.destinationPassword.value_or(""),
                            .encodePages = arguments.encode});
    return 0;
}

int copyTable(const Arguments& arguments, std::ostream&) {
    if (arguments.positional.size() != 3 && arguments.positional.size() != 4) {
        throw UsageError("'copy' takes SOURCE TABLE DEST [NEWNAME]");
    }
    const auto& table = arguments.positional[1];
    // A copy within one file reads through its writer: a second open for reading would hold
    // up the writer's commit.
    const auto sourceFile = engine::fileIdentity(arguments.positional[0]);
    const bool withinOneFile =
        sourceFile && sourceFile == engine::fileIdentity(arguments.positional[2]);
    std::unique_ptr<engine::Database> source;
    if (!withinOneFile) source = openForReading(arguments);
    auto destination = engine::Database::open(
        arguments.positional[2], {.password = arguments.destinationPassword.value_or(""),
                                  .mode = engine::AccessMode::ReadWrite});
    std::string newName = arguments.positional.size() == 4 ? arguments.positional[3] : table;
    std::optional<ProgressLine> progress;
    auto report = [&](uint64_t rowsRead, uint64_t rowsInTable) {
        if (!progress) progress.emplace(STDERR_FILENO, "copying '" + table + "'", rowsInTable);
        progress->update(rowsRead);
    };
    engine::Database& from = withinOneFile ? *destination : *source;
    if (arguments.whole) {
        engine::copyWholeTable(from, table, *destination, newName, report);
    } else {
        engine::copyTable(from, table, *destination, newName, {}, report);
    }
    return 0;
}

int dropTable(const Arguments& arguments, std::ostream&) {
    requirePositional(arguments, 2);
    auto database = engine::Database::open(
        arguments.positional[0],
        {.password = arguments.password.value_or(""), .mode = engine::AccessMode::ReadWrite});
    database->dropTable(arguments.positional[1]);
    return 0;
}

int importFile(const Arguments& arguments, std::ostream&) {
    requirePositional(arguments, 3);
    ImportOptions options;
    options.types = arguments.types;
    const std::string order = arguments.dateFormat.value_or("mdy");
    if (order == "dmy") {
        options.dateOrder = DateOrder::DayMonthYear;
    } else if (order != "mdy") {
        throw UsageError("unknown date format '" + order + "' (mdy or dmy)");
    }
    const std::string& table = arguments.positional[1];
    std::optional<ProgressLine> progress;
    options.progress = [&](uint64_t done, uint64_t total) {
        if (!progress) {
            progress.emplace(STDERR_FILENO, "importing into '" + table + "'", total,
                             ProgressLine::Unit::Bytes);
        }
        progress->update(done);
    };
    auto database = engine::Database::open(
        arguments.positional[0],
        {.password = arguments.password.value_or(""), .mode = engine::AccessMode::ReadWrite});
    importCsv(*database, arguments.positional[2], table, options);
    return 0;
}

int checkDatabase(const Arguments& arguments, std::ostream& out) {
    requirePositional(arguments, 1);
    auto database = openForReading(arguments);
    auto report = engine::catalog::checkIntegrity(database->pager(), database->jetFormat(),
                                                  database->header().codePage());
    if (report.ok()) {
        out << "ok\n";
    } else {
        for (const auto& problem : report.problems) out << problem << '\n';
    }
    if (arguments.all) {
        for (const auto& notice : report.notices) out << "note: " << notice << '\n';
    }
    return report.ok() ? 0 : 1;
}

}  // namespace

int runCommand(const Arguments& arguments, std::ostream& out) {
    if (arguments.help) {
        out << kUsage;
        return 0;
    }
    if (arguments.version) {
        out << kVersionLine << '\n';
        return 0;
    }
    if (arguments.command.empty()) {
        out << kUsage;
        return 2;
    }
    if (arguments.command == "tables") return listTables(arguments, out);
    if (arguments.command == "columns") return listColumns(arguments, out);
    if (arguments.command == "export") return exportTable(arguments, out);
    if (arguments.command == "definition") return showDefinition(arguments, out);
    if (arguments.command == "create") return createDatabase(arguments, out);
    if (arguments.command == "copy") return copyTable(arguments, out);
    if (arguments.command == "drop") return dropTable(arguments, out);
    if (arguments.command == "check") return checkDatabase(arguments, out);
    if (arguments.command == "sql") return runSql(arguments, out);
    if (arguments.command == "import") return importFile(arguments, out);
    throw UsageError("unknown command '" + arguments.command + "'");
}

int runCommandLine(const std::vector<std::string>& words, std::ostream& out, std::ostream& err,
                   PasswordInput& passwords) {
    try {
        Arguments arguments = parseArguments(words);
        if (!arguments.help && !arguments.version) {
            completePasswords(arguments, passwords);
        }
        const int status = runCommand(arguments, out);
        // What was printed is the command's result: output that never arrived is a failure.
        if (!out.flush()) throw OutputError();
        return status;
    } catch (const OutputError& error) {
        err << "corvanta-db: " << error.what() << '\n';
        return 1;
    } catch (const CsvError& error) {
        err << "corvanta-db: the CSV file is malformed: " << error.what() << '\n';
        return 1;
    } catch (const UsageError& error) {
        err << "corvanta-db: " << error.what() << "\n\n" << kUsage;
        return 2;
    } catch (const engine::EngineError& error) {
        out.flush();
        err << "error " << error.number() << ": " << error.what() << '\n';
        return 1;
    } catch (const std::bad_alloc&) {
        err << "error 3035: System resource exceeded.\n";
        return 1;
    }
}

int runCommandLine(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    ProcessPasswordInput passwords;
    return runCommandLine(words, out, err, passwords);
}

}  // namespace tools

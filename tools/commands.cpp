#include "commands.h"

#include "engine/database.h"

#include "value_text.h"

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

int exportTable(const Arguments& arguments, std::ostream& out) {
    requirePositional(arguments, 2);
    auto database = openForReading(arguments);
    auto reader = database->readTable(arguments.positional[1]);
    const auto& columns = reader->definition().columns;
    std::string line;
    for (size_t index = 0; index < columns.size(); ++index) {
        if (index > 0) line += ',';
        line += quoteCsv(columns[index].name);
    }
    out << line << '\n';
    std::vector<engine::format::Value> values;
    while (reader->next(values)) {
        line.clear();
        for (size_t index = 0; index < values.size(); ++index) {
            if (index > 0) line += ',';
            line += csvField(values[index]);
        }
        line += '\n';
        out << line;
    }
    return 0;
}

}  // namespace

int runCommand(const Arguments& arguments, std::ostream& out) {
    if (arguments.help || arguments.command.empty()) {
        out << kUsage;
        return arguments.help ? 0 : 2;
    }
    if (arguments.command == "tables") return listTables(arguments, out);
    if (arguments.command == "columns") return listColumns(arguments, out);
    if (arguments.command == "export") return exportTable(arguments, out);
    if (arguments.command == "definition") return showDefinition(arguments, out);
    throw UsageError("unknown command '" + arguments.command + "'");
}

int runCommandLine(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    try {
        return runCommand(parseArguments(words), out);
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

}  // namespace tools

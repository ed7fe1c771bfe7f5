#include "arguments.h"

namespace tools {

const char* const kUsage =
    "usage: corvanta-db COMMAND ARGUMENTS [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  tables FILE [--all]             one line per catalogue object: TYPE<TAB>NAME\n"
    "  columns FILE TABLE              one line per column: name, type, size\n"
    "  export FILE TABLE               the table's rows as CSV: text in double quotes, bytes\n"
    "                                  in hexadecimal (no bytes: \"\"), NULL as an empty field\n"
    "  definition FILE TABLE           the table's stored definition, field by field\n"
    "  create FILE [--format F]        a new empty database; F: jet3, jet4 (default), ace12,\n"
    "                                  ace14, ace16, ace17; -P protects it with a password;\n"
    "                                  --encode encodes a Jet 3 or Jet 4 file's pages\n"
    "  copy SOURCE TABLE DEST [NEWNAME]  copy a table and its rows, as a make-table does;\n"
    "                                  --whole: also its keys, indexes, AutoNumber and\n"
    "                                  field and table properties, as an import does\n"
    "  drop FILE TABLE                 delete a table\n"
    "  check FILE [--all]              verify every page, row and index; prints ok or the\n"
    "                                  problems (--all: also harmless findings)\n"
    "  sql FILE STATEMENT              run one SQL statement (in quotes); a SELECT prints its\n"
    "                                  rows as CSV\n"
    "  import FILE TABLE CSV           add the rows of a CSV file (first line: column names)\n"
    "                                  to TABLE, made with the types its values need when it\n"
    "                                  does not exist; all rows or none\n"
    "\n"
    "options:\n"
    "  -p PASSWORD    the database's password (the source's, for copy)\n"
    "  -P PASSWORD    the destination's password (copy, create)\n"
    "                 '-' as PASSWORD reads it from standard input (typed without\n"
    "                 echo on a terminal); an option left out takes its password\n"
    "                 from CORVANTA_PASSWORD (-p) or CORVANTA_PASSWORD2 (-P)\n"
    "  --all          tables: also objects the tables rowset does not list\n"
    "                 check: also harmless findings\n"
    "  --type C=T     import into a new table: column C takes type T (yesno, byte,\n"
    "                 integer, long, bigint, single, double, currency, decimal, date,\n"
    "                 text, memo, guid); may be given for several columns\n"
    "  --date-format O  import: dates written d/m/y (O = dmy) or m/d/y (mdy, the\n"
    "                 default); year-first dates read in either\n"
    "  --             every later word is an argument, even one starting with '-'\n"
    "  -h, --help     this text\n"
    "  --version      the version of corvanta-db\n";

const char* const kVersionLine = "corvanta-db " CORVANTA_VERSION;

Arguments parseArguments(const std::vector<std::string>& words) {
    Arguments arguments;
    bool optionsEnded = false;
    for (size_t index = 0; index < words.size(); ++index) {
        const std::string& word = words[index];
        auto value = [&](const char* option) {
            if (index + 1 >= words.size()) {
                throw UsageError(std::string("option ") + option + " needs a value");
            }
            return words[++index];
        };
        const bool isOption = !optionsEnded && word.size() > 1 && word[0] == '-';
        if (!isOption) {
            if (arguments.command.empty()) {
                arguments.command = word;
            } else {
                arguments.positional.push_back(word);
            }
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word == "-h" || word == "--help") {
            arguments.help = true;
        } else if (word == "--version") {
            arguments.version = true;
        } else if (word == "-p") {
            arguments.password = value("-p");
        } else if (word == "-P") {
            arguments.destinationPassword = value("-P");
        } else if (word == "--format") {
            arguments.format = value("--format");
        } else if (word == "--encode") {
            arguments.encode = true;
        } else if (word == "--all") {
            arguments.all = true;
        } else if (word == "--whole") {
            arguments.whole = true;
        } else if (word == "--type") {
            const std::string assignment = value("--type");
            const size_t equals = assignment.rfind('=');
            if (equals == std::string::npos || equals == 0 || equals + 1 == assignment.size()) {
                throw UsageError("--type takes COLUMN=TYPE, not '" + assignment + "'");
            }
            arguments.types.emplace_back(assignment.substr(0, equals),
                                         assignment.substr(equals + 1));
        } else if (word == "--date-format") {
            arguments.dateFormat = value("--date-format");
        } else {
            throw UsageError("unknown option " + word);
        }
    }
    return arguments;
}

}  // namespace tools

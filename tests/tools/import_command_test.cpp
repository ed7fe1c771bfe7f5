// corvanta-db import: the types a new table takes from a CSV file, values converted into an
// existing table, the round trip export -> import -> export over the fixtures, and the whole
// import refused, nothing written, for a value or a record that does not fit.
#include "engine/catalog/new_column.h"
#include "engine/database.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"

#include "command_outcome.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

using engine::format::ColumnType;

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::vector<uint8_t>> storedRows(engine::Database& database, const std::string& table) {
    engine::SelectedRows rows(database, database.tableDefinition(table), {});
    std::vector<std::vector<uint8_t>> stored;
    while (rows.nextStored()) stored.emplace_back(rows.storedRow().begin(), rows.storedRow().end());
    return stored;
}

// Whether the rows of table are stored byte for byte as the engine's own append of their
// values stores them, into a table made with the same columns; "" when they are, else the
// first row that differs.
std::string storedAsAppended(const std::filesystem::path& path, const std::string& table) {
    auto database = engine::Database::open(path.string(), {.mode = engine::AccessMode::ReadWrite});
    const auto definition = database->tableDefinition(table);
    std::vector<engine::catalog::NewColumn> columns;
    for (const auto& column : definition.columns) {
        columns.push_back(engine::catalog::NewColumn::of(column, false));
    }
    const auto rows = support::allRows(*database, table);
    size_t next = 0;
    database->createTable(table + "Appended", columns,
                          [&](std::vector<engine::format::Value>& row) {
                              if (next == rows.size()) return false;
                              row = rows[next++];
                              return true;
                          });
    const auto imported = storedRows(*database, table);
    const auto appended = storedRows(*database, table + "Appended");
    if (imported.size() != appended.size()) return "the row counts differ";
    for (size_t at = 0; at < imported.size(); ++at) {
        if (imported[at] != appended[at]) return "row " + std::to_string(at + 1) + " differs";
    }
    database->dropTable(table + "Appended");
    return "";
}

bool carriedByCsv(const engine::format::ColumnDefinition& column) {
    switch (column.type) {
        case ColumnType::Binary:
        case ColumnType::Ole:
        case ColumnType::Complex:
        case ColumnType::ExtDateTime:
        case ColumnType::UnknownBinary:
        case ColumnType::UnknownFixed:
            return false;
        default:
            return true;
    }
}

// Every user table of every fixture whose values CSV carries (no bytes, no attachments):
// exported, imported into a new table, and exported again, it gives the same CSV.
TEST(ImportCommand, exportImportExportGivesTheSameCsvForEveryFixtureTable) {
    support::TempDir folder;
    size_t tables = 0;
    size_t files = 0;
    for (const auto& fixture : support::allFixtures()) {
        if (fixture.find("encrypted") != std::string::npos) continue;
        const std::string password =
            fixture.find("with-password") != std::string::npos ? "password" : "";
        const std::string source = support::fixture(fixture).string();
        std::vector<std::string> names;
        {
            auto database = engine::Database::open(source, {.password = password});
            for (const auto& object : database->catalog().objects()) {
                if (!object.isLocalTable() || object.name.rfind("MSys", 0) == 0) continue;
                auto definition = database->tableDefinition(object.name);
                if (!std::all_of(definition.columns.begin(), definition.columns.end(),
                                 carriedByCsv)) {
                    continue;
                }
                // Some system-made columns hold bytes whatever their type says.
                const auto rows = support::allRows(*database, object.name);
                if (std::none_of(rows.begin(), rows.end(), [](const auto& row) {
                        return std::any_of(row.begin(), row.end(), [](const auto& value) {
                            return std::holds_alternative<engine::format::ByteString>(value);
                        });
                    })) {
                    names.push_back(object.name);
                }
            }
        }
        const auto target = folder / ("copy" + std::to_string(files++) + ".accdb");
        ASSERT_EQ(runCommand({"create", target.string(), "--format", "ace16"}).status, 0);
        for (const auto& name : names) {
            SCOPED_TRACE(fixture + " / " + name);
            auto first = runCommand({"export", source, name, "-p", password});
            ASSERT_EQ(first.status, 0) << first.err;
            const auto csv = folder / "table.csv";
            writeFile(csv, first.out);
            auto imported = runCommand({"import", target.string(), name, csv.string()});
            ASSERT_EQ(imported.status, 0) << imported.err;
            auto second = runCommand({"export", target.string(), name});
            EXPECT_EQ(second.out, first.out);
            ++tables;
        }
        EXPECT_EQ(support::integrityProblems(target), "") << fixture;
    }
    EXPECT_GT(tables, 40u);
}

// Each column of one file shows one rule of the guess; the last rows overturn guesses the
// first ones would allow, since the whole file is read before a type is chosen.
TEST(ImportCommand, aNewTableTakesTheTypesItsValuesNeed) {
    support::TempDir folder;
    const auto path = folder / "guess.mdb";
    ASSERT_EQ(runCommand({"create", path.string()}).status, 0);
    struct Column {
        std::string name;
        std::vector<std::string> values;  // as written in the file, one per row
        ColumnType type;
        uint16_t length = 0;  // bytes, where it matters
    };
    const std::string longText(300, 'w');
    const std::vector<Column> columns = {
        {"Whole", {"1", "-2147483648", "", "2147483647"}, ColumnType::Long},
        {"Wider", {"1", "2", "", "2147483648"}, ColumnType::Double},
        {"Real", {"1.5", "-2e10", "", "3"}, ColumnType::Double},
        {"Exact", {"1.5", "12345678901234567890.25", "", "0"}, ColumnType::Numeric},
        {"Flag", {"true", "No", "", "YES"}, ColumnType::Boolean},
        {"Day", {"2020-01-02", "3/4/2021 10:00", "", "2021-12-31 23:59:59"}, ColumnType::DateTime},
        {"Id", {"{00112233-4455-6677-8899-AABBCCDDEEFF}", "", "", ""}, ColumnType::Guid},
        {"Quoted", {"\"12\"", "3", "", "4"}, ColumnType::Text, 510},
        {"Mixed", {"1", "2020-01-02", "", "yes"}, ColumnType::Text, 510},
        {"Long", {"a", "", "", "\"" + longText + "\""}, ColumnType::Memo},
        {"Nothing", {"", "", "", ""}, ColumnType::Text, 510},
    };
    std::string csv;
    for (const auto& column : columns) csv += (csv.empty() ? "" : ",") + column.name;
    for (size_t row = 0; row < 4; ++row) {
        csv += "\r\n";
        for (size_t at = 0; at < columns.size(); ++at) {
            csv += (at ? "," : "") + columns[at].values[row];
        }
    }
    writeFile(folder / "guess.csv", csv);
    auto outcome =
        runCommand({"import", path.string(), "Guessed", (folder / "guess.csv").string()});
    ASSERT_EQ(outcome.status, 0) << outcome.err;

    auto database = engine::Database::open(path.string());
    const auto definition = database->tableDefinition("Guessed");
    ASSERT_EQ(definition.columns.size(), columns.size());
    for (size_t at = 0; at < columns.size(); ++at) {
        EXPECT_EQ(definition.columns[at].type, columns[at].type) << columns[at].name;
        if (columns[at].length) {
            EXPECT_EQ(definition.columns[at].length, columns[at].length) << columns[at].name;
        }
    }
    auto rows = support::allRows(*database, "Guessed");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][5], engine::format::Value(engine::format::DateTime{44259 + 10.0 / 24}));
    EXPECT_EQ(rows[0][7], engine::format::Value("12"));
    EXPECT_EQ(rows[3][9], engine::format::Value(longText));
    EXPECT_EQ(rows[2][10], engine::format::Value());
    database.reset();

    // A named type wins over the guess; Currency is never guessed. Numbers read alike in every
    // form they may take: a sign, leading or trailing zeros, a bare point, up to the edges of
    // their type.
    writeFile(folder / "money.csv",
              "Price,When,Count\n12.5,3/4/2021,+12\n0.0001,13/4/2021,-0\n+7,1.2.2021,007\n"
              "-007.50,2021-02-01,2147483647\n1.25000,2021-02-01 10:30,-2147483648\n.5,,5\n"
              "5.,,\n92233720368547.7580,,\n-922337203685477.5807,,\n");
    outcome =
        runCommand({"import", path.string(), "Money", (folder / "money.csv").string(), "--type",
                    "price=Currency", "--type", "Count=long", "--date-format", "dmy"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    database = engine::Database::open(path.string());
    using engine::format::Currency;
    using engine::format::DateTime;
    using engine::format::Value;
    EXPECT_EQ(support::allRows(*database, "Money"),
              (std::vector<std::vector<Value>>{
                  {Currency{125000}, DateTime{44289}, int32_t{12}},
                  {Currency{1}, DateTime{44299}, int32_t{0}},
                  {Currency{70000}, DateTime{44228}, int32_t{7}},
                  {Currency{-75000}, DateTime{44228}, int32_t{2147483647}},
                  {Currency{12500}, DateTime{44228.4375}, int32_t{-2147483647 - 1}},
                  {Currency{5000}, Value(), int32_t{5}},
                  {Currency{50000}, Value(), Value()},
                  {Currency{922337203685477580}, Value(), Value()},
                  {Currency{-9223372036854775807}, Value(), Value()}}));
}

// A new table's rows are encoded as they are read; every type a file can name, NULLs between
// values, and both page formats of Access 2000 and later, store the very bytes the engine's
// own append of the same values stores.
TEST(ImportCommand, rowsAreStoredAsTheEngineItselfStoresThem) {
    support::TempDir folder;
    std::string csv = "L,D,N,B,T,G,X,C,Y,I,S\n";
    for (int row = 0; row < 3000; ++row) {
        const auto cell = [&](int column, const std::string& value) {
            return (row + column) % 7 == 0 ? std::string() : value;
        };
        const std::string n = std::to_string(row);
        csv +=
            cell(0, n) + "," + cell(1, n + ".25") + "," + cell(2, n + ".1234567890123456789") +
            "," + cell(3, row % 2 ? "yes" : "no") + "," +
            cell(4, "2020-03-0" + std::to_string(row % 9 + 1) + " 12:30:00") + "," +
            cell(5, "{00112233-4455-6677-8899-AABBCCDD" + std::to_string(1000 + row % 9000) + "}") +
            "," + cell(6, "\"text " + std::string(static_cast<size_t>(row % 40), 'x') + " é\"") +
            "," + cell(7, n + ".5") + "," + cell(8, std::to_string(row % 256)) + "," +
            cell(9, std::to_string(row % 30000 - 15000)) + "," + cell(10, n + ".5") + "\n";
    }
    writeFile(folder / "types.csv", csv);
    for (const std::string format : {"jet4", "ace12"}) {
        SCOPED_TRACE(format);
        const auto path = folder / (format + ".mdb");
        ASSERT_EQ(runCommand({"create", path.string(), "--format", format}).status, 0);
        const auto outcome = runCommand(
            {"import", path.string(), "Types", (folder / "types.csv").string(), "--type",
             "C=currency", "--type", "Y=byte", "--type", "I=integer", "--type", "S=single"});
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(storedAsAppended(path, "Types"), "");
        auto database = engine::Database::open(path.string());
        const auto definition = database->tableDefinition("Types");
        ASSERT_EQ(definition.columns.size(), 11u);
        EXPECT_EQ(definition.columns[2].type, ColumnType::Numeric);
        EXPECT_EQ(definition.columns[5].type, ColumnType::Guid);
        EXPECT_EQ(support::allRows(*database, "Types").size(), 3000u);
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
}

// A file large enough for two readers to share the first pass guesses the same types, reads
// the same rows and names the same lines as one reader would: when its middle falls inside a
// quoted field of many lines too, and when the value that settles a type, or the fault, lies
// in its second half.
TEST(ImportCommand, aLargeFileReadsAsASmallOneDoes) {
    support::TempDir folder;
    const auto path = folder / "large.accdb";
    ASSERT_EQ(runCommand({"create", path.string(), "--format", "ace12"}).status, 0);
    constexpr int kRows = 70000;
    std::string longNote;
    for (int line = 0; line < 30000; ++line) longNote += "a line of a long note\n";
    // The rows as written; the long note (most of the file) sits in the middle row when
    // `straddled`, so that the middle of the file falls inside it.
    const auto fileOf = [&](bool straddled, int badRow) {
        std::string csv = "Id,Amount,Note,Late\n";
        uint64_t line = 2;
        uint64_t badLine = 0;
        for (int row = 0; row < kRows; ++row) {
            const bool last = row >= kRows - 10;
            const std::string note = straddled && row == kRows / 2 ? longNote : "row";
            if (row == badRow) badLine = line;
            csv += std::to_string(row) + "," + std::to_string(row) + (last ? ".5" : "") + ",\"" +
                   note + "\"," + (last ? "\"7\"" : "7") + (row == badRow ? ",extra" : "") + "\n";
            line += 1 + static_cast<uint64_t>(std::count(note.begin(), note.end(), '\n'));
        }
        return std::pair{csv, badLine};
    };
    for (const bool straddled : {true, false}) {
        SCOPED_TRACE(straddled ? "middle inside a quoted field" : "middle between records");
        const std::string table = straddled ? "Straddled" : "Split";
        const auto [csv, unused] = fileOf(straddled, -1);
        ASSERT_GT(csv.size(), size_t{1} << 20);
        writeFile(folder / "large.csv", csv);
        auto outcome =
            runCommand({"import", path.string(), table, (folder / "large.csv").string()});
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        {
            auto database = engine::Database::open(path.string());
            const auto definition = database->tableDefinition(table);
            ASSERT_EQ(definition.columns.size(), 4u);
            EXPECT_EQ(definition.columns[0].type, ColumnType::Long);
            EXPECT_EQ(definition.columns[1].type, ColumnType::Double);
            EXPECT_EQ(definition.columns[2].type, straddled ? ColumnType::Memo : ColumnType::Text);
            EXPECT_EQ(definition.columns[3].type, ColumnType::Text);
            const auto rows = support::allRows(*database, table);
            ASSERT_EQ(rows.size(), size_t{kRows});
            EXPECT_EQ(rows[kRows / 2][2],
                      engine::format::Value(straddled ? longNote : std::string("row")));
            EXPECT_EQ(rows[kRows - 1][1], engine::format::Value(kRows - 1 + 0.5));
        }
        // Long values kept on pages of their own are pointed to where each table keeps them.
        if (!straddled) {
            EXPECT_EQ(storedAsAppended(path, table), "");
        }
        // A record with a field too many, in the second half: its own line is named.
        const auto [bad, badLine] = fileOf(straddled, kRows * 3 / 4);
        writeFile(folder / "bad.csv", bad);
        outcome =
            runCommand({"import", path.string(), table + "Bad", (folder / "bad.csv").string()});
        EXPECT_NE(outcome.status, 0);
        EXPECT_NE(outcome.err.find("line " + std::to_string(badLine) + ": the record has 5 fields"),
                  std::string::npos)
            << outcome.err;
    }
}

// Into an existing table each column goes to the field of its name, converted to its type; a
// value that does not fit refuses the whole import with its line and column, and the table,
// whose unique index sees every row, keeps what it held.
TEST(ImportCommand, intoAnExistingTableValuesConvertOrTheWholeImportIsRefused) {
    support::TempDir folder;
    const auto path = folder / "into.accdb";
    ASSERT_EQ(runCommand({"create", path.string(), "--format", "ace12"}).status, 0);
    ASSERT_EQ(runCommand({"sql", path.string(),
                          "CREATE TABLE Items (Id COUNTER PRIMARY KEY, Code TEXT(4) UNIQUE, "
                          "Qty SHORT, Price CURRENCY, Ok BIT, Tag BINARY(2), Note MEMO NOT "
                          "NULL)"})
                  .status,
              0);
    writeFile(folder / "good.csv",
              "Note,Code,Qty,Price,Ok,Tag\n"
              "\"first\",A1,7,1.25,-1,0aFF\n"
              "\"\",\"B2\",-3,2,no,\n");
    auto outcome = runCommand({"import", path.string(), "Items", (folder / "good.csv").string()});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    using engine::format::Value;
    const std::vector<std::vector<Value>> stored = {
        {int32_t(1), "A1", int16_t(7), engine::format::Currency{12500}, true,
         engine::format::ByteString{0x0a, 0xff}, "first"},
        {int32_t(2), "B2", int16_t(-3), engine::format::Currency{20000}, false, Value(), ""},
    };
    {
        auto database = engine::Database::open(path.string());
        EXPECT_EQ(support::allRows(*database, "Items"), stored);
    }

    struct Refusal {
        std::string csv;
        std::string message;  // a part of what the command prints
    };
    const std::vector<Refusal> refusals = {
        {"Note,Qty\na,1\nb,x\n", "line 3, column 'Qty': Data type mismatch"},
        {"Note,Qty\na,1\nb,1.5\n", "line 3, column 'Qty'"},
        {"Note,Qty\na,1\nb,99999\n", "error 3349: line 3, column 'Qty'"},
        {"Note,Price\na,1.23456\n", "line 2, column 'Price'"},
        {"Note,Code\na,C1\nb,A1\n", "error 3022: line 3: "},
        {"Note,Code\na,TOOLONG\n", "error 3163: line 2, column 'Code'"},
        {"Note,Tag\na,0g\n", "line 2, column 'Tag'"},
        {"Note,Tag\na,010203\n", "line 2, column 'Tag'"},
        {"Note,Qty\n,1\n", "error 3314: line 2: "},
        {"Note,Qty\na,1\nb\n", "malformed: line 3: the record has 1 fields"},
        {"Note,Qty\na,1\n\"b,2\n", "malformed: line 3: a quoted field is never closed"},
        {"Note,Qty\n\"a\"x,1\n", "malformed: line 2: text follows the closing quote"},
        {"Note,Nobody\na,1\n", "error 3127"},
        {"Note\n\xff\xfe\n", "line 2, column 'Note': Data type mismatch"},
        {"", "malformed: line 1: the file is empty"},
    };
    for (const auto& refusal : refusals) {
        writeFile(folder / "bad.csv", refusal.csv);
        outcome = runCommand({"import", path.string(), "Items", (folder / "bad.csv").string()});
        EXPECT_EQ(outcome.status, 1) << refusal.csv;
        EXPECT_NE(outcome.err.find(refusal.message), std::string::npos) << refusal.csv << "\n"
                                                                        << outcome.err;
    }
    outcome = runCommand(
        {"import", path.string(), "Items", (folder / "bad.csv").string(), "--type", "Note=text"});
    EXPECT_EQ(outcome.status, 2);
    outcome = runCommand(
        {"import", path.string(), "New", (folder / "good.csv").string(), "--type", "Nobody=text"});
    EXPECT_EQ(outcome.status, 2);
    outcome = runCommand({"import", path.string(), "New", (folder / "none.csv").string()});
    EXPECT_NE(outcome.err.find("error 3024"), std::string::npos) << outcome.err;

    auto database = engine::Database::open(path.string());
    EXPECT_EQ(support::allRows(*database, "Items"), stored);
    EXPECT_FALSE(database->findInTables("New"));
    EXPECT_EQ(support::indexDifferences(*database, "Items"), "");
    EXPECT_EQ(support::integrityProblems(*database), "");
}

}  // namespace

// Calculated columns (Access 2010 and later) read by the type of their results, whatever type
// code they are stored under, and copied by a make-table as plain columns of that type. The
// expected values are the expressions' results worked out by hand.
#include "engine/catalog/table_properties.h"
#include "engine/database.h"
#include "engine/format/rows/calculated_value.h"
#include "engine/format/rows/exact_number.h"
#include "engine/sql/executor.h"
#include "support/csv.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/mdb_reader.h"
#include "support/process.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace engine {
namespace {

using format::ColumnType;
using format::Currency;
using format::Decimal;
using format::Value;

storage::PageBuffer bytesOf(const std::string& hex) {
    storage::PageBuffer bytes;
    for (size_t index = 0; index + 1 < hex.size(); index += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(index, 2), nullptr, 16)));
    }
    return bytes;
}

Value decoded(ColumnType type, const std::string& wrappedHex) {
    auto wrapped = bytesOf(wrappedHex);
    auto result = format::unwrapCalculated(wrapped);
    EXPECT_TRUE(result.has_value());
    auto value = format::decodeCalculated(type, *result, false, 1252);
    EXPECT_TRUE(value.has_value());
    return value.value_or(Value());
}

// Values as an Access 2010 file stores them (the first row of a table whose Salary is 1000000,
// LastName "Wayne", FirstName "Bruce" and Popularity 50.325), byte for byte.
TEST(CalculatedColumns, resultsDecodeAsAccessStoresThem) {
    const std::string header = "00000000000000000000000000000000";
    // [LastName] & ", " & [FirstName]
    EXPECT_EQ(
        decoded(ColumnType::Text, header + "0e000000" + "fffe5761796e652c204272756365" + "000000"),
        Value(std::string("Wayne, Bruce")));
    // Len([LastFirst])
    EXPECT_EQ(decoded(ColumnType::Long, header + "04000000" + "0c000000" + "000000"),
              Value(int32_t{12}));
    // [Salary]/12 as Currency: 83333.3333
    EXPECT_EQ(decoded(ColumnType::Currency, header + "08000000" + "55a8ab3100000000" + "000000"),
              Value(Currency{833333333}));
    // [Salary]>100000
    EXPECT_EQ(decoded(ColumnType::Boolean, header + "01000000" + "ff" + "000000"), Value(true));
    // [Salary]/52 as Decimal: 19230.7692307692 (scale 10)
    EXPECT_EQ(decoded(ColumnType::Numeric,
                      header + "10000000" + "0e000a0000000000ec04b01fe7ae0000" + "000000"),
              Value(Decimal{false, 0, 192307692307692, 10}));
    // [Popularity] as Decimal: 50.325000
    EXPECT_EQ(decoded(ColumnType::Numeric,
                      header + "10000000" + "000006000000000008e6ff0200000000" + "000000"),
              Value(Decimal{false, 0, 50325000, 6}));
    // [Salary]*0.13/[DecimalTest] as Single: 2583.2092
    EXPECT_EQ(decoded(ColumnType::Single, header + "04000000" + "59732145" + "000000"),
              Value(2583.2092f));
    // A 29-digit Decimal: 56505085819.424791296572280180 (scale 18)
    EXPECT_EQ(decoded(ColumnType::Numeric,
                      header + "10000000" + "0e00120058e993b6744deac8f7aa5218" + "000000"),
              Value(Decimal{false, 0xB693E958, 0x1852AAF7C8EA4D74, 18}));
    // An expression that gave nothing.
    EXPECT_EQ(decoded(ColumnType::Double, header + "00000000" + "000000"), Value());
    // A declared length past the value is damage.
    auto cut = bytesOf(header + "09000000" + "55a8ab3100000000");
    EXPECT_FALSE(format::unwrapCalculated(cut).has_value());
}

struct Calculated {
    catalog::NewColumn column;
    std::vector<Value> results;  // per row: the expression's result
    // The code the product may store such a column under (none: its result's type), and the
    // length it then declares.
    std::optional<ColumnType> storedAs = {};
    std::optional<uint16_t> storedLength = {};
};

// Salary 1000000, -1 and NULL; Last "Wayne", "Simpson" and NULL; First "Bruce", "Bart", NULL.
std::vector<Calculated> calculatedColumns() {
    using catalog::NewColumn;
    const std::string stars(80, '*');
    return {
        {NewColumn{.name = "LastFirst",
                   .type = ColumnType::Text,
                   .size = 100,
                   .expression = "[Last] & \", \" & [First]"},
         {std::string("Wayne, Bruce"), std::string("Simpson, Bart"), Value()}},
        {{.name = "LastLength", .type = ColumnType::Long, .expression = "Len([Last])"},
         {int32_t{5}, int32_t{7}, Value()}},
        {{.name = "Monthly", .type = ColumnType::Currency, .expression = "[Salary]/12"},
         {Currency{833333333}, Currency{-833}, Value()},
         ColumnType::Double},
        {{.name = "Rich", .type = ColumnType::Boolean, .expression = "[Salary]>100000"},
         {true, false, Value()},
         ColumnType::Integer},
        {{.name = "Banner", .type = ColumnType::Memo, .expression = "String(80, \"*\") & [Last]"},
         {stars + "Wayne", stars + "Simpson", Value()},
         ColumnType::Text,
         uint16_t{0}},
        {{.name = "Weekly", .type = ColumnType::Numeric, .expression = "[Salary]/52"},
         {Decimal{false, 0, 192307692307692, 10}, Decimal{true, 0, 192307692307692, 16}, Value()},
         ColumnType::Double},
        {{.name = "Share", .type = ColumnType::Single, .expression = "[Salary]*0.13/1000"},
         {130.0f, -0.00013f, Value()},
         ColumnType::Numeric},
        {{.name = "Third", .type = ColumnType::Double, .expression = "[Salary]/3"},
         {1000000.0 / 3, -1.0 / 3, Value()}},
        {{.name = "FirstLength", .type = ColumnType::Integer, .expression = "Len([First])"},
         {int16_t{5}, int16_t{4}, Value()}},
        {{.name = "LastLengthByte", .type = ColumnType::Byte, .expression = "Len([Last])"},
         {uint8_t{5}, uint8_t{7}, Value()}},
        {{.name = "Due", .type = ColumnType::DateTime, .expression = "[Hired]+30"},
         {format::DateTime{40374.5}, format::DateTime{36556.25}, Value()}},
        {{.name = "Millions", .type = ColumnType::BigInt, .expression = "[Salary]*1000000"},
         {int64_t{1000000000000}, int64_t{-1000000}, Value()}},
    };
}

// The Id, First, Last, Salary and Hired of the three rows.
std::vector<std::vector<Value>> plainRows() {
    return {{int32_t{1}, std::string("Bruce"), std::string("Wayne"), Currency{10000000000},
             format::DateTime{40344.5}},
            {int32_t{2}, std::string("Bart"), std::string("Simpson"), Currency{-10000},
             format::DateTime{36526.25}},
            {int32_t{3}, Value(), Value(), Value(), Value()}};
}

// Rewrites the type code and length of a column's descriptor in a table's definition, as the
// product stores some calculated columns. The table has no indexes and few columns: its
// descriptors lie on its first page, in column order.
void storeUnder(const std::filesystem::path& path, PageNumber definition, uint16_t column,
                ColumnType code, std::optional<uint16_t> length) {
    constexpr size_t kPageSize = 4096;
    constexpr size_t kDescriptors = 63;
    constexpr size_t kDescriptorSize = 25;
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    const size_t at = definition * kPageSize + kDescriptors + column * kDescriptorSize;
    file.seekp(static_cast<std::streamoff>(at));
    file.put(static_cast<char>(code));
    if (length) {
        file.seekp(static_cast<std::streamoff>(at + 23));
        file.put(static_cast<char>(*length & 0xFF));
        file.put(static_cast<char>(*length >> 8));
    }
}

class CalculatedTable : public ::testing::Test {
protected:
    void SetUp() override {
        path = folder / "calculated.accdb";
        auto database = Database::create(path, {.format = storage::FileFormat::Ace16});
        std::vector<catalog::NewColumn> columns = {
            {.name = "Id", .type = ColumnType::Long},
            {.name = "First", .type = ColumnType::Text, .size = 50},
            {.name = "Last", .type = ColumnType::Text, .size = 50},
            {.name = "Salary", .type = ColumnType::Currency},
            {.name = "Hired", .type = ColumnType::DateTime}};
        auto rows = plainRows();
        for (const auto& calculated : calculatedColumns()) {
            columns.push_back(calculated.column);
            for (size_t row = 0; row < rows.size(); ++row) {
                rows[row].push_back(calculated.results[row]);
            }
        }
        database->createTable("Staff", columns, support::RowFeed(rows));
        EXPECT_EQ(support::integrityProblems(*database), "");
        PageNumber definition = database->catalog().findTable("Staff")->tablePage();
        database.reset();
        auto calculated = calculatedColumns();
        for (size_t index = 0; index < calculated.size(); ++index) {
            if (!calculated[index].storedAs) continue;
            storeUnder(path, definition, static_cast<uint16_t>(plainRows()[0].size() + index),
                       *calculated[index].storedAs, calculated[index].storedLength);
        }
    }

    support::TempDir folder;
    std::filesystem::path path;
};

TEST_F(CalculatedTable, readsEveryResultTypeWhateverItsStoredCode) {
    auto database = Database::open(path);
    auto definition = database->tableDefinition("Staff");
    auto calculated = calculatedColumns();
    for (size_t index = 0; index < calculated.size(); ++index) {
        const auto& column = definition.columns[plainRows()[0].size() + index];
        EXPECT_TRUE(column.isCalculated()) << column.name;
        EXPECT_EQ(column.type, calculated[index].column.type) << column.name;
    }
    auto properties = catalog::readProperties(database->pager(), database->jetFormat(), 1252,
                                              *database->catalog().findTable("Staff"));
    ASSERT_NE(properties.find("monthly", "expression"), nullptr);
    EXPECT_EQ(properties.find("Monthly", "Expression")->type, ColumnType::Memo);
    EXPECT_EQ(properties.find("Monthly", "ResultType")->value,
              format::ByteString{static_cast<uint8_t>(ColumnType::Currency)});
    EXPECT_EQ(properties.find("Id", "ResultType"), nullptr);

    auto rows = support::allRows(*database, "Staff");
    ASSERT_EQ(rows.size(), 3u);
    for (size_t row = 0; row < rows.size(); ++row) {
        for (size_t index = 0; index < calculated.size(); ++index) {
            EXPECT_EQ(rows[row][plainRows()[0].size() + index], calculated[index].results[row])
                << calculated[index].column.name << " of row " << row;
        }
    }
    EXPECT_EQ(support::integrityProblems(*database), "");
}

// A calculated Decimal column's values each keep a scale of their own. A plain copy holds them
// exactly in one precision and scale, or, where no Decimal field holds them all (11 digits
// before the point in one value, 28 after it in another, as in a real Access 2010 file), the
// copy is refused naming the field, and nothing is made.
TEST(CalculatedColumns, aCopyKeepsEveryDecimalExactlyOrIsRefused) {
    const Decimal wide{false, 0xB693E958, 0x1852AAF7C8EA4D74, 18};  // 56505085819.4247...0180
    const Decimal narrow{true, 0x2891DFE, 0x71199FD05A3B7BCC, 28};  // -0.0784734499180612...748
    const Decimal small{false, 0, 1234567, 6};                      // 1.234567
    const Decimal half{false, 0, 5, 1};                             // 0.5
    struct Case {
        std::vector<Decimal> values;
        bool copies;
    };
    // 1.234567 needs a digit before the point that 28 decimals leave no room for.
    const Case cases[] = {{{wide, small}, true},
                          {{narrow, half}, true},
                          {{narrow, small}, false},
                          {{wide, narrow}, false}};
    support::TempDir folder;
    for (const auto& test : cases) {
        SCOPED_TRACE(&test - cases);
        auto path = folder / "decimals.accdb";
        std::filesystem::remove(path);
        auto database = Database::create(path, {.format = storage::FileFormat::Ace14});
        std::vector<std::vector<Value>> rows;
        for (const auto& value : test.values) rows.push_back({value});
        database->createTable("Ratios",
                              {{.name = "Ratio", .type = ColumnType::Numeric, .expression = "[A]"}},
                              support::RowFeed(rows));
        const auto error =
            support::errorOf([&] { sql::execute(*database, "SELECT * INTO Plain FROM Ratios"); });
        if (!test.copies) {
            EXPECT_EQ(error, ErrorCode::NumericOverflow);
            EXPECT_EQ(database->catalog().findTable("Plain"), nullptr);
            continue;
        }
        ASSERT_EQ(error, ErrorCode::Internal) << "the copy failed";
        // Every value arrives equal to its source, digit for digit.
        auto copied = support::allRows(*database, "Plain");
        ASSERT_EQ(copied.size(), rows.size());
        for (size_t row = 0; row < rows.size(); ++row) {
            EXPECT_EQ(
                format::ExactNumber::fromDecimal(std::get<Decimal>(copied[row][0]))
                    .compare(format::ExactNumber::fromDecimal(std::get<Decimal>(rows[row][0]))),
                0)
                << "row " << row;
        }
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
}

// The copy's columns are plain, of the results' types, with the results; mdbtools reads them.
TEST_F(CalculatedTable, makeTableCopiesResultsAsPlainColumns) {
    auto database = support::openForWriting(path);
    sql::execute(*database, "SELECT * INTO Plain FROM Staff");
    EXPECT_EQ(support::integrityProblems(*database), "");
    auto definition = database->tableDefinition("Plain");
    auto calculated = calculatedColumns();
    for (size_t index = 0; index < calculated.size(); ++index) {
        const auto& column = definition.columns[plainRows()[0].size() + index];
        EXPECT_FALSE(column.isCalculated()) << column.name;
        EXPECT_EQ(column.type, calculated[index].column.type) << column.name;
    }
    const auto& weekly = *definition.findColumn("Weekly");
    EXPECT_EQ(weekly.precision, 28);
    EXPECT_EQ(weekly.scale, 16);
    EXPECT_EQ(definition.findColumn("LastFirst")->length, 200);

    // The Decimal results take the column's scale: 19230.7692307692 as 192307692307692000000
    // sixteenth places.
    auto rows = support::allRows(*database, "Plain");
    ASSERT_EQ(rows.size(), 3u);
    const size_t weeklyAt = static_cast<size_t>(&weekly - definition.columns.data());
    EXPECT_EQ(rows[0][weeklyAt], Value(Decimal{false, 0xA, 0x6CCE2B43971A1300, 16}));
    EXPECT_EQ(rows[1][weeklyAt], Value(Decimal{true, 0, 192307692307692, 16}));
    database.reset();

    auto exported =
        support::parseCsv(support::runProcess({"mdb-export", "-D", "%Y-%m-%d", "-T",
                                               "%Y-%m-%d %H:%M:%S", path.string(), "Plain"})
                              .out);
    ASSERT_EQ(exported.size(), 4u);
    std::map<std::string, std::vector<std::string>> byColumn;
    for (size_t column = 0; column < exported[0].size(); ++column) {
        for (size_t row = 1; row < exported.size(); ++row) {
            byColumn[exported[0][column].text].push_back(exported[row][column].text);
        }
    }
    auto numbers = [&](const std::string& column) {
        std::vector<double> values;
        for (const auto& text : byColumn[column]) {
            values.push_back(text.empty() ? NAN : std::stod(text));
        }
        return values;
    };
    EXPECT_EQ(byColumn["LastFirst"],
              (std::vector<std::string>{"Wayne, Bruce", "Simpson, Bart", ""}));
    EXPECT_EQ(byColumn["LastLength"], (std::vector<std::string>{"5", "7", ""}));
    EXPECT_EQ(byColumn["Monthly"], (std::vector<std::string>{"83333.3333", "-0.0833", ""}));
    EXPECT_EQ(byColumn["Rich"], (std::vector<std::string>{"1", "0", "0"}));
    EXPECT_EQ(byColumn["Banner"], (std::vector<std::string>{std::string(80, '*') + "Wayne",
                                                            std::string(80, '*') + "Simpson", ""}));
    EXPECT_EQ(byColumn["Weekly"],
              (std::vector<std::string>{"19230.7692307692000000", "-0.0192307692307692", ""}));
    EXPECT_NEAR(numbers("Share")[0], 130.0, 1e-4);
    EXPECT_NEAR(numbers("Share")[1], -0.00013, 1e-9);
    EXPECT_NEAR(numbers("Third")[0], 333333.333333333, 1e-6);
    EXPECT_EQ(byColumn["FirstLength"], (std::vector<std::string>{"5", "4", ""}));
    EXPECT_EQ(byColumn["LastLengthByte"], (std::vector<std::string>{"5", "7", ""}));
    EXPECT_EQ(byColumn["Due"],
              (std::vector<std::string>{"2010-07-15 12:00:00", "2000-01-31 06:00:00", ""}));
    // mdbtools does not read Large Number; mdb-reader does.
    auto read = support::mdbReaderRows(path, "Plain");
    ASSERT_TRUE(read.ok) << read.failure;
    std::string lines;
    for (const auto& line : read.lines) lines += line + "\n";
    EXPECT_NE(lines.find(R"({"bigint":"1000000000000"})"), std::string::npos) << lines;
    EXPECT_NE(lines.find(R"({"bigint":"-1000000"})"), std::string::npos) << lines;
}

}  // namespace
}  // namespace engine

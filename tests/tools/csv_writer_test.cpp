#include "csv_writer.h"

#include "value_text.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tools {
namespace {

using engine::format::Value;

TEST(CsvWriter, writesFieldsAsTheToolPrintsThem) {
    std::ostringstream out;
    {
        CsvWriter writer(out);
        writer.header({"Id", "Say \"hi\""});
        writer.row({Value(int32_t{-7}), Value(std::string("a \"b\", c\nd")), Value(true),
                    Value(), Value(uint8_t{255}), Value(int16_t{-32768}),
                    Value(int64_t{9007199254740993}), Value(engine::format::ByteString{}),
                    Value(engine::format::Currency{12345}), Value(false), Value(std::string())});
    }
    EXPECT_EQ(out.str(),
              "\"Id\",\"Say \"\"hi\"\"\"\n"
              "-7,\"a \"\"b\"\", c\nd\",1,,255,-32768,9007199254740993,\"\",1.2345,0,\"\"\n");
}

// Rows that cross the writer's block boundaries, and fields larger than a block, come out
// whole and in order, each field as the per-field formatting gives it.
TEST(CsvWriter, longRowsAndFieldsLargerThanTheBlockComeOutWhole) {
    std::vector<std::vector<Value>> rows;
    for (int index = 0; index < 3000; ++index) {
        std::string text(static_cast<size_t>(index % 97) * 3, 'x');
        if (index % 5 == 0) text += "\"quoted\"";
        rows.push_back({Value(int32_t{index}), Value(text), Value(index / 7.0),
                        Value(engine::format::DateTime{40000.0 + index})});
    }
    std::string huge(300000, 'q');
    huge[150000] = '"';
    rows.push_back({Value(int32_t{1}), Value(huge), Value(0.5), Value()});
    // A row of more numbers than a block could hold at their longest, between two texts.
    std::vector<Value> wide{Value(std::string(5000, 'w'))};
    for (int index = 0; index < 400; ++index) wide.emplace_back(-1e300 / (index + 1));
    wide.emplace_back(std::string("end"));
    rows.push_back(wide);
    rows.push_back(wide);

    std::ostringstream out;
    std::string expected;
    {
        CsvWriter writer(out);
        for (const auto& row : rows) {
            writer.row(row);
            for (size_t index = 0; index < row.size(); ++index) {
                if (index > 0) expected += ',';
                appendCsvField(row[index], expected);
            }
            expected += '\n';
        }
    }
    ASSERT_EQ(out.str().size(), expected.size());
    EXPECT_TRUE(out.str() == expected);
}

}  // namespace
}  // namespace tools

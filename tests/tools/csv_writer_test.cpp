#include "csv_writer.h"

#include "support/fixtures.h"

#include "commands.h"
#include "csv_reader.h"
#include "value_text.h"

#include <gtest/gtest.h>
#include <random>
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

// Whatever a file holds, quoted or not, with LF or CRLF line ends, and wherever the reader's
// blocks of 64 KB cut it (records longer than a block among them), each record reads back as
// written: its fields, whether each was quoted, the line it began on and where it ends.
TEST(CsvReader, readsBackEveryRecordWrittenAcrossItsBlocks) {
    std::mt19937 random(20261210);
    const std::string alphabet = "ab1 ,\"\n\r.-";
    struct Written {
        std::vector<std::pair<std::string, bool>> fields;  // text, quoted
        uint64_t line = 0;
        size_t end = 0;
    };
    std::vector<Written> records;
    std::string file = "\xEF\xBB\xBF";
    uint64_t line = 1;
    while (file.size() < 500000) {
        Written record;
        record.line = line;
        const size_t width = 1 + random() % 6;
        for (size_t at = 0; at < width; ++at) {
            std::string text;
            size_t length = random() % 5 == 0 ? random() % 3000 : random() % 12;
            if (at == 0 && records.size() % 97 == 50) length = 70000 + random() % 10000;
            for (size_t count = 0; count < length; ++count) {
                text += alphabet[random() % alphabet.size()];
            }
            const bool plain = text.find_first_of(",\"\r\n") == std::string::npos;
            const bool quoted = !plain || random() % 3 == 0;
            if (at > 0) file += ',';
            if (quoted) {
                file += '"';
                for (char c : text) {
                    file += c;
                    if (c == '"') file += '"';
                }
                file += '"';
                line += static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n'));
            } else {
                file += text;
            }
            record.fields.emplace_back(text, quoted);
        }
        file += random() % 2 ? "\r\n" : "\n";
        record.end = file.size();
        ++line;
        records.push_back(record);
    }
    std::istringstream in(file);
    CsvReader reader(in);
    std::vector<CsvField> fields;
    for (size_t index = 0; index < records.size(); ++index) {
        ASSERT_TRUE(reader.next(fields)) << "record " << index;
        ASSERT_EQ(reader.line(), records[index].line) << "record " << index;
        ASSERT_EQ(reader.offset(), records[index].end) << "record " << index;
        ASSERT_EQ(fields.size(), records[index].fields.size()) << "record " << index;
        for (size_t at = 0; at < fields.size(); ++at) {
            ASSERT_EQ(fields[at].text, records[index].fields[at].first) << "record " << index;
            ASSERT_EQ(fields[at].quoted, records[index].fields[at].second) << "record " << index;
        }
    }
    EXPECT_FALSE(reader.next(fields));
}

// A stream buffer that takes `room` bytes and then refuses more, as a full disk does.
class FullDisk : public std::streambuf {
public:
    explicit FullDisk(size_t room) : m_room(room) {}
    size_t offered = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize count) override {
        offered += static_cast<size_t>(count);
        const auto taken = std::min(static_cast<size_t>(count), m_room);
        m_room -= taken;
        return static_cast<std::streamsize>(taken);
    }
    int_type overflow(int_type character) override {
        if (traits_type::eq_int_type(character, traits_type::eof())) return 0;
        char byte = traits_type::to_char_type(character);
        return xsputn(&byte, 1) == 1 ? character : traits_type::eof();
    }

private:
    size_t m_room;
};

// Output that does not arrive is an error, and the rows stop there, for the writer and for
// the commands that print.
TEST(CsvWriter, aStreamThatRefusesTheOutputIsAnError) {
    FullDisk disk(1000);
    std::ostream out(&disk);
    CsvWriter writer(out);
    writer.header({"Id"});
    EXPECT_NO_THROW(writer.flush());
    int written = 0;
    EXPECT_THROW(
        for (; written < 1000000; ++written) writer.row({Value(std::string(100, 'x'))}),
        OutputError);
    // The first block that did not fit stopped the rows.
    EXPECT_LT(written, 2000);

    const std::string sample = support::fixture("jet4/testV2003.mdb").string();
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"export", sample, "Table1"},
          std::vector<std::string>{"tables", sample},
          std::vector<std::string>{"sql", sample, "SELECT * FROM Table1"}}) {
        FullDisk full(10);
        std::ostream refusing(&full);
        std::ostringstream err;
        EXPECT_EQ(runCommandLine(words, refusing, err), 1) << words[0];
        EXPECT_EQ(err.str(), "corvanta-db: cannot write the output\n");
        EXPECT_GT(full.offered, 10u);
    }
}

}  // namespace
}  // namespace tools

// Rows as CSV, the way the command-line tool prints them (value_text.h): a line of column names,
// then one line per row. Fields are formatted straight into a buffer that goes to the stream in
// large blocks, so writing costs little beside reading the rows.
#pragma once

#include "engine/format/value.h"

#include <ostream>
#include <string>
#include <vector>

namespace tools {

class CsvWriter {
public:
    explicit CsvWriter(std::ostream& out);
    // Hands on what is left, also when an error cut the rows short.
    ~CsvWriter() { flush(); }
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    void header(const std::vector<std::string>& names);
    void row(const std::vector<engine::format::Value>& values);
    // Hands what is buffered to the stream.
    void flush();

private:
    void endLine();

    std::ostream& m_out;
    std::string m_buffer;
};

}  // namespace tools

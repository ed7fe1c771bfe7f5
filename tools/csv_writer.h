// Rows as CSV, the way the command-line tool prints them (value_text.h): a line of column names,
// then one line per row. Fields are formatted straight into a block that goes to the stream
// whole, the common types without passing through a string, so writing costs little beside
// reading the rows.
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
    void field(const engine::format::Value& value);
    void quoted(std::string_view text);
    void put(char character) {
        *room(1) = character;
        ++m_used;
    }
    // Room for bytes more characters at the end of the block (handing the block to the stream
    // first when it is short of room); the caller then advances m_used.
    char* room(size_t bytes) {
        if (m_block.size() - m_used < bytes) makeRoom(bytes);
        return m_block.data() + m_used;
    }
    void makeRoom(size_t bytes);

    std::ostream& m_out;
    std::vector<char> m_block;
    size_t m_used = 0;
    std::string m_scratch;  // the rarer values' text, storage kept between rows
};

}  // namespace tools

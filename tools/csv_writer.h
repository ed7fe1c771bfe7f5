// Rows as CSV, the way the command-line tool prints them (value_text.h): a line of column names,
// then one line per row. Fields are formatted straight into a block that goes to the stream
// whole, the common types without passing through a string, so writing costs little beside
// reading the rows.
#pragma once

#include "engine/format/rows/value.h"

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tools {

// The output stream refused what was written to it (a full disk, a closed pipe).
class OutputError : public std::runtime_error {
public:
    OutputError() : std::runtime_error("cannot write the output") {}
};

class CsvWriter {
public:
    explicit CsvWriter(std::ostream& out);
    // Hands on what is left, also when an error cut the rows short; never throws, so a stream
    // that fails here shows in its state only.
    ~CsvWriter();
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    void header(const std::vector<std::string>& names);
    void row(const std::vector<engine::format::Value>& values);
    // Hands what is buffered to the stream. Throws OutputError when the stream has failed, so
    // that a command stops reading rows nobody can receive.
    void flush();

private:
    // The writing functions take the position to write at in the block and return the end of
    // what they wrote; m_used catches up once per row. Keeping the position in a local lets
    // the compiler hold it in a register, where every character written through a char*
    // would otherwise make it reload a member.

    // A field that is not a number, date or Yes/No (those go straight into the block): it
    // makes room for itself and for `after` more characters, what the rest of the row needs.
    char* field(const engine::format::Value& value, char* at, size_t after);
    // A text in quotes, its quotes doubled; at has room for twice its length and two.
    static char* quoted(std::string_view text, char* at);
    // Room for bytes more characters at `at` (handing the block to the stream first when it is
    // short of room); returns where to write them.
    char* room(char* at, size_t bytes) {
        if (static_cast<size_t>(m_block.data() + m_block.size() - at) < bytes) {
            return makeRoom(at, bytes);
        }
        return at;
    }
    char* makeRoom(char* at, size_t bytes);
    char* cursor() { return m_block.data() + m_used; }

    std::ostream& m_out;
    std::vector<char> m_block;
    size_t m_used = 0;
    std::string m_scratch;  // the rarer values' text, storage kept between rows
};

}  // namespace tools

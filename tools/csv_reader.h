// Reading CSV (RFC 4180) one record at a time: fields separated by commas, records by CRLF or LF;
// a field in double quotes may hold commas, line breaks and doubled quotes (""). A UTF-8 byte
// order mark at the start is skipped. A field keeps whether it was quoted, so that "" (an empty
// text) stays apart from an empty field (nothing), and "12" (a text) from 12.
#pragma once

#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tools {

// A CSV file that cannot be read: what is wrong and on which line.
class CsvError : public std::runtime_error {
public:
    CsvError(uint64_t line, const std::string& what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what),
          m_line(line),
          m_reason(what) {}
    uint64_t line() const { return m_line; }
    // What is wrong, without the line.
    const std::string& reason() const { return m_reason; }

private:
    uint64_t m_line;
    std::string m_reason;
};

struct CsvField {
    std::string text;
    bool quoted = false;
};

class CsvReader {
public:
    explicit CsvReader(std::istream& in);
    // A reader that starts where a record starts inside a file: in stands there, no byte order
    // mark is looked for, and lines are counted from 1 at that record.
    struct Inside {};
    CsvReader(std::istream& in, Inside);

    // Reads the next record into fields; false at the end of the input. A blank line is a
    // record of one empty field. Throws CsvError for a quote left open at the end of the input
    // or text between a closing quote and the next comma or line end, and when the stream
    // fails.
    bool next(std::vector<CsvField>& fields);
    // The line the record last read began on, from 1.
    uint64_t line() const { return m_recordLine; }
    // The line the next record begins on.
    uint64_t nextLine() const { return m_line; }
    // How many bytes of the input the records read so far took.
    uint64_t offset() const { return m_before + static_cast<uint64_t>(m_at - m_buffer.data()); }

private:
    // The next byte, or -1 at the end of the input.
    int get() {
        if (m_at == m_end && !refill()) return -1;
        return static_cast<unsigned char>(*m_at++);
    }
    int peek() {
        if (m_at == m_end && !refill()) return -1;
        return static_cast<unsigned char>(*m_at);
    }
    bool refill();
    // Reads a quoted field's text after its opening quote, up to and with its closing quote;
    // a doubled quote is one quote of the text.
    void readQuoted(std::string& text);

    std::istream& m_in;
    std::vector<char> m_buffer;
    const char* m_at = nullptr;
    const char* m_end = nullptr;
    uint64_t m_before = 0;  // bytes of the input before the buffer's
    uint64_t m_line = 1;  // the line the next byte is on
    uint64_t m_recordLine = 1;
    bool m_started = false;
};

}  // namespace tools

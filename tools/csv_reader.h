// Reading CSV (RFC 4180) one record at a time: fields separated by commas, records by CRLF or LF;
// a field in double quotes may hold commas, line breaks and doubled quotes (""). A UTF-8 byte
// order mark at the start is skipped. A field keeps whether it was quoted, so that "" (an empty
// text) stays apart from an empty field (nothing), and "12" (a text) from 12.
//
// The reader keeps the record being read whole in its buffer, and a field's text is a view of
// its bytes there; only a quoted field with a doubled quote is copied, to write the quote once.
#pragma once

#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>
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
    std::string_view text;  // valid until the reader reads on
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
    uint64_t offset() const { return m_before + m_at; }

private:
    // Where a field lies in the record: from the record's first byte, or in m_unescaped.
    struct Span {
        size_t begin = 0;
        size_t end = 0;
        bool quoted = false;
        bool unescaped = false;
    };

    // Makes more bytes of the input follow m_at, keeping the record being read in the
    // buffer (moved to its start, or in a buffer grown for it); false at the end of the input.
    bool more();
    // Whether a byte follows m_at, reading more when needed.
    bool available() { return m_at != m_end || more(); }
    // Reads a quoted field's text after its opening quote, up to and with its closing quote;
    // a doubled quote is one quote of the text, which then goes into unescaped.
    void readQuoted(Span& span, std::string& unescaped);
    // Reads an unquoted field's bytes up to the comma or line end after it (not taken).
    void readPlain(Span& span);

    std::istream& m_in;
    std::vector<char> m_buffer;
    size_t m_at = 0;           // the next byte, in m_buffer
    size_t m_end = 0;          // past the bytes read into m_buffer
    size_t m_recordStart = 0;  // the record being read, in m_buffer
    uint64_t m_before = 0;     // bytes of the input before m_buffer's first
    bool m_inputEnded = false;
    uint64_t m_line = 1;  // the line the next byte is on
    uint64_t m_recordLine = 1;
    bool m_started = false;
    std::vector<Span> m_spans;             // the fields of the record being read
    std::vector<std::string> m_unescaped;  // quoted fields with doubled quotes, one per field
};

}  // namespace tools

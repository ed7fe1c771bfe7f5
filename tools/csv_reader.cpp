#include "csv_reader.h"

namespace tools {

namespace {

constexpr size_t kBufferSize = 1 << 16;

}  // namespace

CsvReader::CsvReader(std::istream& in) : m_in(in), m_buffer(kBufferSize) {}

bool CsvReader::refill() {
    if (m_in.bad()) throw CsvError(m_line, "the file could not be read");
    if (!m_in) return false;
    m_in.read(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    if (m_in.bad()) throw CsvError(m_line, "the file could not be read");
    m_at = m_buffer.data();
    m_end = m_at + m_in.gcount();
    return m_at != m_end;
}

bool CsvReader::next(std::vector<CsvField>& fields) {
    if (!m_started) {
        m_started = true;
        // A byte order mark: EF BB BF.
        if (peek() == 0xEF) {
            get();
            if (get() != 0xBB || get() != 0xBF) {
                throw CsvError(1,
                               "the file starts with bytes that are neither text nor a byte "
                               "order mark");
            }
        }
    }
    if (peek() < 0) return false;
    m_recordLine = m_line;
    size_t count = 0;
    auto field = [&]() -> CsvField& {
        if (fields.size() <= count) fields.emplace_back();
        CsvField& next = fields[count++];
        next.text.clear();
        next.quoted = false;
        return next;
    };
    CsvField* current = &field();
    while (true) {
        int c = get();
        if (c == '"' && current->text.empty() && !current->quoted) {
            current->quoted = true;
            const uint64_t opened = m_line;
            while (true) {
                c = get();
                if (c < 0) throw CsvError(opened, "a quoted field is never closed");
                if (c == '"') {
                    if (peek() != '"') break;
                    get();
                } else if (c == '\n') {
                    ++m_line;
                }
                current->text.push_back(static_cast<char>(c));
            }
            c = get();
            if (c == '\r' && peek() == '\n') c = get();
            if (c >= 0 && c != ',' && c != '\n') {
                throw CsvError(m_line,
                               "text follows the closing quote of a field; a quote "
                               "inside a quoted field is written twice");
            }
        } else if (c == '\r' && peek() == '\n') {
            c = get();
        } else if (c >= 0 && c != ',' && c != '\n') {
            current->text.push_back(static_cast<char>(c));
            continue;
        }
        if (c == ',') {
            current = &field();
            continue;
        }
        if (c == '\n') ++m_line;
        fields.resize(count);
        return true;
    }
}

}  // namespace tools

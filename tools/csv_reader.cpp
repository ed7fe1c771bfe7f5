#include "csv_reader.h"

#include <algorithm>
#include <cstring>

namespace tools {

namespace {

constexpr size_t kBufferSize = 1 << 16;

}  // namespace

CsvReader::CsvReader(std::istream& in) : m_in(in), m_buffer(kBufferSize) {
    m_at = m_end = m_buffer.data();
}

CsvReader::CsvReader(std::istream& in, Inside) : CsvReader(in) { m_started = true; }

bool CsvReader::refill() {
    if (m_in.bad()) throw CsvError(m_line, "the file could not be read");
    if (!m_in) return false;
    m_before += static_cast<uint64_t>(m_end - m_buffer.data());
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
        int c = peek();
        if (c == '"' && current->text.empty() && !current->quoted) {
            get();
            current->quoted = true;
            readQuoted(current->text);
            c = get();
            if (c == '\r' && peek() == '\n') c = get();
            if (c >= 0 && c != ',' && c != '\n') {
                throw CsvError(m_line,
                               "text follows the closing quote of a field; a quote "
                               "inside a quoted field is written twice");
            }
        } else if (c >= 0) {
            // A run of plain bytes goes into the field at once; only a comma or a line end
            // stops it (a quote inside an unquoted field is a byte like any other).
            const char* start = m_at;
            while (m_at != m_end && *m_at != ',' && *m_at != '\n' && *m_at != '\r') ++m_at;
            current->text.append(start, m_at);
            if (m_at == m_end) continue;
            c = get();
            if (c == '\r') {
                if (peek() != '\n') {
                    current->text.push_back('\r');
                    continue;
                }
                c = get();
            }
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

void CsvReader::readQuoted(std::string& text) {
    const uint64_t opened = m_line;
    while (true) {
        if (m_at == m_end && !refill()) throw CsvError(opened, "a quoted field is never closed");
        const auto* quote =
            static_cast<const char*>(std::memchr(m_at, '"', static_cast<size_t>(m_end - m_at)));
        const char* runEnd = quote ? quote : m_end;
        m_line += static_cast<uint64_t>(std::count(m_at, runEnd, '\n'));
        text.append(m_at, runEnd);
        m_at = runEnd;
        if (!quote) continue;
        ++m_at;
        if (peek() != '"') return;
        get();
        text.push_back('"');
    }
}

}  // namespace tools

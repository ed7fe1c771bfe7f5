#include "csv_reader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tools {

namespace {

constexpr size_t kBufferSize = 1 << 16;

// The bytes that end a run of an unquoted field: comma, LF and CR.
constexpr auto kEndsPlainRun = [] {
    std::array<bool, 256> ends{};
    ends[','] = ends['\n'] = ends['\r'] = true;
    return ends;
}();

}  // namespace

CsvReader::CsvReader(std::istream& in) : m_in(in), m_buffer(kBufferSize) {}

CsvReader::CsvReader(std::istream& in, Inside) : CsvReader(in) { m_started = true; }

bool CsvReader::more() {
    if (m_inputEnded) return false;
    if (m_in.bad()) throw CsvError(m_line, "the file could not be read");
    if (m_recordStart > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_recordStart, m_end - m_recordStart);
        m_before += m_recordStart;
        m_at -= m_recordStart;
        m_end -= m_recordStart;
        m_recordStart = 0;
    }
    if (m_end == m_buffer.size()) m_buffer.resize(m_buffer.size() * 2);
    m_in.read(m_buffer.data() + m_end, static_cast<std::streamsize>(m_buffer.size() - m_end));
    if (m_in.bad()) throw CsvError(m_line, "the file could not be read");
    const auto count = static_cast<size_t>(m_in.gcount());
    m_end += count;
    if (!m_in) m_inputEnded = true;
    return count > 0;
}

bool CsvReader::next(std::vector<CsvField>& fields) {
    m_recordStart = m_at;
    if (!m_started) {
        m_started = true;
        // A byte order mark: EF BB BF.
        if (available() && m_buffer[m_at] == '\xEF') {
            for (const char expected : {'\xEF', '\xBB', '\xBF'}) {
                if (!available() || m_buffer[m_at] != expected) {
                    throw CsvError(1,
                                   "the file starts with bytes that are neither text nor a byte "
                                   "order mark");
                }
                ++m_at;
            }
        }
        m_recordStart = m_at;
    }
    if (!available()) return false;
    m_recordLine = m_line;
    size_t count = 0;
    for (;;) {
        if (m_spans.size() == count) m_spans.emplace_back();
        Span& span = m_spans[count++];
        span = Span{};
        if (available() && m_buffer[m_at] == '"') {
            ++m_at;
            if (m_unescaped.size() < count) m_unescaped.resize(count);
            readQuoted(span, m_unescaped[count - 1]);
            int c = available() ? static_cast<unsigned char>(m_buffer[m_at++]) : -1;
            if (c == '\r' && available() && m_buffer[m_at] == '\n') c = m_buffer[m_at++];
            if (c >= 0 && c != ',' && c != '\n') {
                throw CsvError(m_line,
                               "text follows the closing quote of a field; a quote inside a "
                               "quoted field is written twice");
            }
            if (c == ',') continue;
            if (c == '\n') ++m_line;
            break;
        }
        readPlain(span);
        if (!available()) break;
        const char c = m_buffer[m_at++];
        if (c == ',') continue;
        if (c == '\r') ++m_at;  // readPlain stops at a CR only before an LF
        ++m_line;
        break;
    }
    fields.resize(count);
    const char* record = m_buffer.data() + m_recordStart;
    for (size_t at = 0; at < count; ++at) {
        const Span& span = m_spans[at];
        fields[at].quoted = span.quoted;
        fields[at].text = span.unescaped
                              ? std::string_view(m_unescaped[at])
                              : std::string_view(record + span.begin, span.end - span.begin);
    }
    return true;
}

void CsvReader::readPlain(Span& span) {
    span.begin = m_at - m_recordStart;
    for (;;) {
        // A run of plain bytes: only a comma or a line end stops it (a quote inside an unquoted
        // field is a byte like any other).
        const char* data = m_buffer.data();
        size_t at = m_at;
        while (at != m_end && !kEndsPlainRun[static_cast<unsigned char>(data[at])]) ++at;
        m_at = at;
        if (at == m_end) {
            if (more()) continue;
            break;
        }
        if (data[at] != '\r') break;
        // A CR ends the field only before an LF; alone, it is a byte of the text.
        ++m_at;
        if (!available()) break;
        if (m_buffer[m_at] == '\n') {
            --m_at;
            break;
        }
    }
    span.end = m_at - m_recordStart;
}

void CsvReader::readQuoted(Span& span, std::string& unescaped) {
    const uint64_t opened = m_line;
    span.quoted = true;
    span.begin = m_at - m_recordStart;
    for (;;) {
        if (!available()) throw CsvError(opened, "a quoted field is never closed");
        const char* data = m_buffer.data();
        // Most quoted fields are short: their first bytes are looked at one by one, line ends
        // counted on the way, and only a longer run is left to memchr.
        const char* quote = nullptr;
        size_t runEnd = m_at;
        uint64_t lineEnds = 0;
        for (const size_t shortEnd = std::min(m_end, m_at + 16); runEnd != shortEnd; ++runEnd) {
            if (data[runEnd] == '"') {
                quote = data + runEnd;
                break;
            }
            lineEnds += data[runEnd] == '\n';
        }
        if (!quote && runEnd != m_end) {
            const size_t longStart = runEnd;
            quote = static_cast<const char*>(std::memchr(data + runEnd, '"', m_end - runEnd));
            runEnd = quote ? static_cast<size_t>(quote - data) : m_end;
            lineEnds += static_cast<uint64_t>(std::count(data + longStart, data + runEnd, '\n'));
        }
        m_line += lineEnds;
        if (span.unescaped) unescaped.append(data + m_at, data + runEnd);
        m_at = runEnd;
        if (!quote) continue;
        const size_t quoteInRecord = m_at - m_recordStart;
        ++m_at;
        if (!available() || m_buffer[m_at] != '"') {
            span.end = quoteInRecord;
            return;
        }
        // A doubled quote is one quote of the text: from here the text is a copy.
        if (!span.unescaped) {
            span.unescaped = true;
            const char* record = m_buffer.data() + m_recordStart;
            unescaped.assign(record + span.begin, record + quoteInRecord);
        }
        unescaped.push_back('"');
        ++m_at;
    }
}

}  // namespace tools

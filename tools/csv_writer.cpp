#include "csv_writer.h"

#include "value_text.h"

#include <cstring>

namespace tools {

namespace {
constexpr size_t kBlockSize = 1 << 17;
}  // namespace

CsvWriter::CsvWriter(std::ostream& out) : m_out(out), m_block(kBlockSize) {}

void CsvWriter::makeRoom(size_t bytes) {
    flush();
    if (m_block.size() < bytes) m_block.resize(bytes);
}

void CsvWriter::header(const std::vector<std::string>& names) {
    for (size_t index = 0; index < names.size(); ++index) {
        if (index > 0) put(',');
        quoted(names[index]);
    }
    put('\n');
}

void CsvWriter::row(const std::vector<engine::format::Value>& values) {
    for (size_t index = 0; index < values.size(); ++index) {
        if (index > 0) put(',');
        field(values[index]);
    }
    put('\n');
}

void CsvWriter::field(const engine::format::Value& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return quoted(*text);
    // Numbers, dates and Yes/No straight into the block.
    char* at = room(kMaxScalarText);
    if (char* end = putScalarText(value, at)) {
        m_used += static_cast<size_t>(end - at);
        return;
    }
    // The rest through their text (value_text.h).
    m_scratch.clear();
    appendCsvField(value, m_scratch);
    std::memcpy(room(m_scratch.size()), m_scratch.data(), m_scratch.size());
    m_used += m_scratch.size();
}

void CsvWriter::quoted(std::string_view text) {
    // At worst every character is a quote, doubled, between the two enclosing quotes.
    char* const begin = room(text.size() * 2 + 2);
    char* at = begin;
    *at++ = '"';
    while (!text.empty()) {
        const void* quote = std::memchr(text.data(), '"', text.size());
        size_t take = quote ? static_cast<size_t>(static_cast<const char*>(quote) - text.data()) + 1
                            : text.size();
        std::memcpy(at, text.data(), take);
        at += take;
        if (quote) *at++ = '"';
        text.remove_prefix(take);
    }
    *at++ = '"';
    m_used += static_cast<size_t>(at - begin);
}

void CsvWriter::flush() {
    m_out.write(m_block.data(), static_cast<std::streamsize>(m_used));
    m_used = 0;
}

}  // namespace tools

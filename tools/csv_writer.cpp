#include "csv_writer.h"

#include "value_text.h"

#include <cstring>

namespace tools {

namespace {
constexpr size_t kBlockSize = 1 << 17;
}  // namespace

CsvWriter::CsvWriter(std::ostream& out) : m_out(out), m_block(kBlockSize) {}

CsvWriter::~CsvWriter() {
    if (m_out) m_out.write(m_block.data(), static_cast<std::streamsize>(m_used));
}

char* CsvWriter::makeRoom(char* at, size_t bytes) {
    m_used = static_cast<size_t>(at - m_block.data());
    flush();
    if (m_block.size() < bytes) m_block.resize(bytes);
    return m_block.data();
}

void CsvWriter::header(const std::vector<std::string>& names) {
    char* at = cursor();
    for (size_t index = 0; index < names.size(); ++index) {
        // At worst every character is a quote, doubled, between the separator and two quotes.
        at = room(at, names[index].size() * 2 + 3);
        if (index > 0) *at++ = ',';
        at = quoted(names[index], at);
    }
    at = room(at, 1);
    *at++ = '\n';
    m_used = static_cast<size_t>(at - m_block.data());
}

void CsvWriter::row(const std::vector<engine::format::Value>& values) {
    // Room for the row as if every field were a number, date or Yes/No, with its separator,
    // and the line's end. A text or a rarer value makes room for itself and what follows it.
    constexpr size_t kScalarField = kMaxScalarText + 1;
    const engine::format::Value* const first = values.data();
    const engine::format::Value* const last = first + values.size();
    char* at = room(cursor(), values.size() * kScalarField + 1);
    for (const engine::format::Value* value = first; value != last; ++value) {
        if (value != first) *at++ = ',';
        if (char* end = putScalarText(*value, at)) {
            at = end;
        } else {
            at = field(*value, at, static_cast<size_t>(last - value - 1) * kScalarField + 1);
        }
    }
    *at++ = '\n';
    m_used = static_cast<size_t>(at - m_block.data());
}

char* CsvWriter::field(const engine::format::Value& value, char* at, size_t after) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        // At worst every character is a quote, doubled, between two quotes.
        return quoted(*text, room(at, text->size() * 2 + 2 + after));
    }
    // Bytes, GUIDs, decimals and extended dates through their text (value_text.h).
    m_scratch.clear();
    appendCsvField(value, m_scratch);
    at = room(at, m_scratch.size() + after);
    std::memcpy(at, m_scratch.data(), m_scratch.size());
    return at + m_scratch.size();
}

char* CsvWriter::quoted(std::string_view text, char* at) {
    // The caller made room for every character being a quote, doubled, and the two enclosing
    // quotes.
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
    return at;
}

void CsvWriter::flush() {
    m_out.write(m_block.data(), static_cast<std::streamsize>(m_used));
    m_used = 0;
    if (!m_out) throw OutputError();
}

}  // namespace tools

#include "csv_writer.h"

#include "value_text.h"

namespace tools {

namespace {
constexpr size_t kBlockSize = 1 << 16;
}  // namespace

CsvWriter::CsvWriter(std::ostream& out) : m_out(out) { m_buffer.reserve(kBlockSize * 2); }

void CsvWriter::header(const std::vector<std::string>& names) {
    for (size_t index = 0; index < names.size(); ++index) {
        if (index > 0) m_buffer += ',';
        appendQuotedCsv(names[index], m_buffer);
    }
    endLine();
}

void CsvWriter::row(const std::vector<engine::format::Value>& values) {
    for (size_t index = 0; index < values.size(); ++index) {
        if (index > 0) m_buffer += ',';
        appendCsvField(values[index], m_buffer);
    }
    endLine();
}

void CsvWriter::endLine() {
    m_buffer += '\n';
    if (m_buffer.size() >= kBlockSize) flush();
}

void CsvWriter::flush() {
    m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    m_buffer.clear();
}

}  // namespace tools

#include "progress_line.h"

#include <unistd.h>

namespace tools {

ProgressLine::ProgressLine(int descriptor, std::string what, uint64_t total, Unit unit)
    : m_descriptor(descriptor),
      m_what(std::move(what)),
      m_total(total),
      m_unit(unit),
      m_shown(total >= (unit == Unit::Rows ? kLongWork : kLongBytes) && ::isatty(descriptor) == 1) {
}

ProgressLine::~ProgressLine() {
    if (m_width > 0) show(std::string());
}

void ProgressLine::update(uint64_t done) {
    if (!m_shown) return;
    // A count that fell behind the rows stops at 99% until the work ends.
    const auto percent = static_cast<int>(done > m_total ? 99 : done * 100 / m_total);
    if (percent == m_percent) return;
    m_percent = percent;
    if (m_unit == Unit::Rows) {
        show(m_what + ": " + std::to_string(percent) + "% (" + std::to_string(done) + " of " +
             std::to_string(m_total) + " rows)");
    } else {
        constexpr uint64_t kMegabyte = 1000000;
        show(m_what + ": " + std::to_string(percent) + "% (" + std::to_string(done / kMegabyte) +
             " of " + std::to_string((m_total + kMegabyte - 1) / kMegabyte) + " MB)");
    }
}

void ProgressLine::show(const std::string& text) {
    // Back to the start of the line, the text, blanks over what is left of the longer text
    // before, and back again: the cursor waits at the start for the command's own output.
    std::string line = "\r" + text;
    if (text.size() < m_width) line.append(m_width - text.size(), ' ');
    line += '\r';
    m_width = text.size();
    for (size_t written = 0; written < line.size();) {
        const ssize_t count = ::write(m_descriptor, line.data() + written, line.size() - written);
        if (count <= 0) return;  // a line on a terminal that went away is nothing to report
        written += static_cast<size_t>(count);
    }
}

}  // namespace tools

// How far a long command is, on one line of a terminal: "copying 'Orders': 45% (450000 of
// 1000000 rows)" or "importing into 'Orders': 45% (36 of 80 MB)", rewritten in place as the
// percentage grows and wiped at the end, so nothing of it stays on the screen or in what the
// command leaves behind. Shown only where a person watches (the descriptor is a terminal) and the
// work is long (the table holds kLongWork rows or more by its count, or the file kLongBytes);
// elsewhere the object does nothing.
#pragma once

#include <cstdint>
#include <string>

namespace tools {

class ProgressLine {
public:
    static constexpr uint64_t kLongWork = 100000;
    static constexpr uint64_t kLongBytes = uint64_t{8} << 20;

    // What the work is counted in.
    enum class Unit { Rows, Bytes };

    // what names the work ("exporting 'Orders'"); total is the rows the table counts, which
    // the work may pass (a count is not always up to date), or the bytes of a file.
    ProgressLine(int descriptor, std::string what, uint64_t total, Unit unit = Unit::Rows);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void update(uint64_t done);
    bool shown() const { return m_shown; }

private:
    void show(const std::string& text);

    int m_descriptor;
    std::string m_what;
    uint64_t m_total;
    Unit m_unit;
    bool m_shown;
    int m_percent = -1;
    size_t m_width = 0;  // of the text on the line now
};

}  // namespace tools

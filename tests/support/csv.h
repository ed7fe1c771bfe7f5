// A small CSV reader for comparing exports: fields separated by commas, optionally quoted with
// inner quotes doubled, records separated by newlines (which may also occur inside quotes).
#pragma once

#include <string>
#include <vector>

namespace support {

struct CsvField {
    std::string text;
    bool quoted = false;
    bool operator==(const CsvField&) const = default;
};

using CsvRecord = std::vector<CsvField>;

std::vector<CsvRecord> parseCsv(const std::string& text);

}  // namespace support

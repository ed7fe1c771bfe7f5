#include "support/csv.h"

namespace support {

std::vector<CsvRecord> parseCsv(const std::string& text) {
    std::vector<CsvRecord> records;
    CsvRecord record;
    CsvField field;
    bool inQuotes = false;
    bool fieldStarted = false;
    for (size_t index = 0; index < text.size(); ++index) {
        char c = text[index];
        if (inQuotes) {
            if (c == '"') {
                if (index + 1 < text.size() && text[index + 1] == '"') {
                    field.text += '"';
                    ++index;
                } else {
                    inQuotes = false;
                }
            } else {
                field.text += c;
            }
            continue;
        }
        if (c == '"' && !fieldStarted) {
            inQuotes = true;
            field.quoted = true;
            fieldStarted = true;
        } else if (c == ',') {
            record.push_back(field);
            field = {};
            fieldStarted = false;
        } else if (c == '\n') {
            record.push_back(field);
            records.push_back(record);
            record.clear();
            field = {};
            fieldStarted = false;
        } else if (c != '\r' || fieldStarted) {
            field.text += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !record.empty()) {
        record.push_back(field);
        records.push_back(record);
    }
    return records;
}

}  // namespace support

// corpus_probe: what a real-world file teaches about index keys, for the corpus script
// (run_corpus.py). Not a test: it runs over files that CI does not have.
//
//   corpus_probe keys FILE [PASSWORD]
//
// Prints one line per index entry of every index that holds a text column, in every table the
// catalogue lists (system tables included), tab-separated:
//
//   K  table  index-number  entry-number  stored-key-hex  part ...
//
// and one part per indexed column: TYPE|LCID|VERSION|A or D|VALUE|GENERAL-HEX|ORDER-HEX, where
// VALUE is the row's value (text with \\, \t, \n, \r and | escaped; "\N" for NULL),
// GENERAL-HEX the bytes this engine computes for that column (flag byte included) under the
// General rules of the family the column's format and version give, whatever its sort order,
// and ORDER-HEX those it computes in the column's own sort order ("-" where it cannot). Lines
// "E table index message" report an index or row that could not be read.
#include "engine/database.h"
#include "engine/format/indexes/index_key.h"
#include "engine/format/indexes/index_tree.h"
#include "engine/format/indexes/text_index_key.h"
#include "engine/format/rows/row_fetch.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {

using namespace engine;

std::string hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t byte : bytes) {
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 15]);
    }
    return out;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '|': out += "\\p"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

std::string valueText(const format::Value& value) {
    if (format::isNull(value)) return "\\N";
    if (const auto* text = std::get_if<std::string>(&value)) return escaped(*text);
    if (const auto* number = std::get_if<int32_t>(&value)) return std::to_string(*number);
    if (const auto* number = std::get_if<int16_t>(&value)) return std::to_string(*number);
    return "?";
}

// The key part of one column: in the General family of rules its format and version give (the
// sort order named General there), or in the column's own sort order when general is false;
// "-" when this engine cannot compute it.
std::string partOf(const format::TableDefinition& table, const format::RealIndex& real,
                   size_t part, const format::ColumnDefinition& column,
                   const std::vector<format::Value>& row, size_t position, bool jet3,
                   storage::FileFormat fileFormat, bool general) {
    std::vector<uint8_t> key;
    const bool ascending = real.columns[part].ascending;
    try {
        if (format::isTextType(column.type) && !format::isNull(row[position])) {
            key.push_back(ascending ? 0x7F : 0x80);
            auto order = format::textSortOrder(jet3, column.sortLcid, column.sortVersion);
            if (!order) return "-";
            if (general) order = format::generalOf(*order);
            format::appendTextKey(std::get<std::string>(row[position]), *order, ascending, key);
        } else {
            format::RealIndex single = real;
            single.columns = {real.columns[part]};
            format::encodeIndexKey(table, single, row, fileFormat, key);
        }
    } catch (const EngineError&) {
        return "-";
    }
    return hex(key);
}

void dumpKeys(Database& database) {
    const bool jet3 = database.jetFormat().jet3;
    for (const auto& object : database.catalog().objects()) {
        if (!object.isLocalTable()) continue;
        format::TableDefinition table;
        try {
            table = database.tableDefinitionAt(object.tablePage());
        } catch (const EngineError& error) {
            std::cout << "E\t" << escaped(object.name) << "\t-\t" << escaped(error.what()) << '\n';
            continue;
        }
        for (const auto& real : table.realIndexes) {
            std::vector<size_t> positions;
            bool hasText = false;
            for (const auto& part : real.columns) {
                for (size_t at = 0; at < table.columns.size(); ++at) {
                    if (table.columns[at].number != part.columnNumber) continue;
                    positions.push_back(at);
                    hasText = hasText || format::isTextType(table.columns[at].type);
                }
            }
            if (!hasText || positions.size() != real.columns.size()) continue;
            try {
                auto entries =
                    format::readIndexEntries(database.pager(), database.jetFormat(), real,
                                             table.firstPage);
                format::RowFetcher fetcher(database.pager(), database.jetFormat(), table);
                std::vector<format::Value> row;
                size_t number = 0;
                for (const auto& entry : entries) {
                    ++number;
                    if (!fetcher.fetch(entry.row, row)) {
                        std::cout << "E\t" << escaped(object.name) << '\t' << real.number
                                  << "\tentry names no live row\n";
                        continue;
                    }
                    std::cout << "K\t" << escaped(object.name) << '\t' << real.number << '\t'
                              << number << '\t' << hex(entry.key);
                    for (size_t part = 0; part < positions.size(); ++part) {
                        const auto& column = table.columns[positions[part]];
                        std::cout << '\t' << static_cast<int>(column.type) << '|'
                                  << column.sortLcid << '|' << int(column.sortVersion) << '|'
                                  << (real.columns[part].ascending ? 'A' : 'D') << '|'
                                  << valueText(row[positions[part]]) << '|'
                                  << partOf(table, real, part, column, row, positions[part], jet3,
                                            database.format(), true)
                                  << '|'
                                  << partOf(table, real, part, column, row, positions[part], jet3,
                                            database.format(), false);
                    }
                    std::cout << '\n';
                }
            } catch (const EngineError& error) {
                std::cout << "E\t" << escaped(object.name) << '\t' << real.number << '\t'
                          << escaped(error.what()) << '\n';
            }
        }
    }
}

}  // namespace

// One line per character from first to last: its code point and its key alone in order.
void dumpCodes(format::TextSortOrder order, char32_t first, char32_t last) {
    for (char32_t c = first; c <= last; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::string text;
        if (c < 0x80) {
            text.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            text.push_back(static_cast<char>(0xC0 | (c >> 6)));
            text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            text.push_back(static_cast<char>(0xE0 | (c >> 12)));
            text.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        std::vector<uint8_t> key;
        format::appendTextKey(text, order, true, key);
        std::cout << std::hex << static_cast<uint32_t>(c) << std::dec << '\t' << hex(key) << '\n';
    }
}

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "codes") {
        const std::string order = argv[2];
        dumpCodes(order == "97"        ? format::kGeneral97Order
                  : order == "general" ? format::kGeneralOrder
                                       : format::kGeneralLegacyOrder,
                  static_cast<char32_t>(std::stoul(argv[3], nullptr, 16)),
                  static_cast<char32_t>(std::stoul(argv[4], nullptr, 16)));
        return 0;
    }
    if (argc < 3 || std::string(argv[1]) != "keys") {
        std::cerr << "usage: corpus_probe keys FILE [PASSWORD]\n";
        return 2;
    }
    try {
        auto database = Database::open(argv[2], {.password = argc > 3 ? argv[3] : ""});
        const auto order = database->header().sortOrder();
        std::cout << "H\t" << static_cast<int>(database->format()) << '\t' << order.lcid << '\t'
                  << int(order.version) << '\n';
        dumpKeys(*database);
    } catch (const EngineError& error) {
        std::cout << "E\t-\t-\t" << escaped(error.what()) << '\n';
        return 1;
    }
    return 0;
}

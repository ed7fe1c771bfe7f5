#include "support/engine_files.h"

#include "engine/catalog/integrity_check.h"
#include "engine/format/indexes/index_tree.h"
#include "engine/format/indexes/index_updater.h"
#include "engine/storage/unicode.h"
#include "support/csv.h"
#include "support/process.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace support {

using engine::catalog::NewColumn;
using engine::format::ColumnType;
using engine::format::Value;

engine::ErrorCode errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const engine::EngineError& error) {
        return error.code();
    }
    return engine::ErrorCode::Internal;
}

std::unique_ptr<engine::Database> openForWriting(const std::filesystem::path& path,
                                                 const std::string& password) {
    return engine::Database::open(path,
                                  {.password = password, .mode = engine::AccessMode::ReadWrite});
}

std::string integrityProblems(engine::Database& database) {
    auto report = engine::catalog::checkIntegrity(database.pager(), database.jetFormat(),
                                                  database.header().codePage());
    std::string joined;
    for (const auto& problem : report.problems) joined += problem + "\n";
    // Access leaves moved rows behind, but this engine's changes never do.
    for (const auto& notice : report.notices) {
        if (notice.find("a moved row") != std::string::npos) joined += notice + "\n";
    }
    return joined;
}

std::string integrityProblems(const std::filesystem::path& path, const std::string& password) {
    auto database = engine::Database::open(path, {.password = password});
    return integrityProblems(*database);
}

void changePages(
    const std::filesystem::path& path,
    const std::function<void(engine::Database&, engine::format::PageAllocator&)>& body) {
    auto database = openForWriting(path);
    engine::format::PageAllocator allocator(database->pager(), database->jetFormat());
    database->pager().begin([&](engine::PageNumber page) { return allocator.takenFromFree(page); });
    body(*database, allocator);
    database->pager().commit();
}

std::vector<uint8_t> longKey(int32_t value) {
    const auto bits = static_cast<uint32_t>(value) ^ 0x80000000u;
    return {0x7F, static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16),
            static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
}

std::string indexDifferences(engine::Database& database, const std::string& table) {
    auto definition = database.tableDefinition(table);
    auto expected =
        engine::format::indexEntriesFromRows(database.pager(), database.jetFormat(), definition);
    std::string differences;
    for (size_t index = 0; index < definition.realIndexes.size(); ++index) {
        auto actual = engine::format::readIndexEntries(database.pager(), database.jetFormat(),
                                                       definition.realIndexes[index],
                                                       definition.firstPage);
        std::string name = table + " index " + std::to_string(index);
        if (actual.size() != expected[index].size()) {
            differences += name + " holds " + std::to_string(actual.size()) + " entries for " +
                           std::to_string(expected[index].size()) + "\n";
            continue;
        }
        for (size_t entry = 0; entry < actual.size(); ++entry) {
            if (actual[entry].sortBytes() != expected[index][entry].sortBytes()) {
                differences += name + " differs at entry " + std::to_string(entry) + "\n";
                break;
            }
        }
    }
    return differences;
}

std::vector<std::string> userTables(engine::Database& database) {
    std::vector<std::string> tables;
    for (const auto& object : database.catalog().objects()) {
        if (object.isLocalTable() && object.name.rfind("MSys", 0) != 0 &&
            object.name.rfind("f_", 0) != 0) {
            tables.push_back(object.name);
        }
    }
    return tables;
}

std::vector<NewColumn> everyColumnType(engine::storage::FileFormat format) {
    std::vector<NewColumn> columns = {
        {.name = "Number", .type = ColumnType::Long, .autoNumber = true},
        {.name = "Flag", .type = ColumnType::Boolean},
        {.name = "Small", .type = ColumnType::Byte},
        {.name = "Count", .type = ColumnType::Integer},
        {.name = "Total", .type = ColumnType::Long},
        {.name = "Price", .type = ColumnType::Currency},
        {.name = "Ratio", .type = ColumnType::Single},
        {.name = "Measure", .type = ColumnType::Double},
        {.name = "When", .type = ColumnType::DateTime},
        {.name = "Raw", .type = ColumnType::Binary, .size = 100},
        {.name = "Label", .type = ColumnType::Text, .size = 255},
        {.name = "Short Text", .type = ColumnType::Text, .size = 10, .compressedUnicode = false},
        {.name = "Picture", .type = ColumnType::Ole},
        {.name = "Notes", .type = ColumnType::Memo},
        {.name = "Link", .type = ColumnType::Memo, .hyperlink = true},
        {.name = "Key", .type = ColumnType::Guid},
    };
    if (format != engine::storage::FileFormat::Jet3) {
        columns.push_back(
            {.name = "Amount", .type = ColumnType::Numeric, .precision = 20, .scale = 4});
    }
    if (format >= engine::storage::FileFormat::Ace16) {
        columns.push_back({.name = "Big", .type = ColumnType::BigInt});
    }
    if (format >= engine::storage::FileFormat::Ace17) {
        columns.push_back({.name = "Exact", .type = ColumnType::ExtDateTime});
    }
    return columns;
}

std::vector<Value> sampleRow(const std::vector<NewColumn>& columns, uint32_t seed,
                             engine::storage::FileFormat format) {
    std::mt19937 random(seed);
    auto pick = [&](int range) {
        return static_cast<int>(random() % static_cast<unsigned>(range));
    };
    const bool jet3 = format == engine::storage::FileFormat::Jet3;
    // Long values of every storage size: inline, one row, a chain.
    const size_t jet4LongSizes[] = {0, 10, 64, 65, 300, 4000, 4076, 4077, 9000, 70000};
    const size_t jet3LongSizes[] = {0, 10, 64, 65, 300, 2000, 2032, 2033, 9000, 70000};
    const size_t* longSizes = jet3 ? jet3LongSizes : jet4LongSizes;
    std::vector<Value> row;
    for (const auto& column : columns) {
        if (column.type != ColumnType::Boolean && pick(7) == 0) {
            row.emplace_back();
            continue;
        }
        switch (column.type) {
            case ColumnType::Boolean:
                row.emplace_back(pick(2) == 0);
                break;
            case ColumnType::Byte:
                row.emplace_back(static_cast<uint8_t>(pick(256)));
                break;
            case ColumnType::Integer:
                row.emplace_back(static_cast<int16_t>(pick(65536) - 32768));
                break;
            case ColumnType::Long:
                row.emplace_back(column.autoNumber ? Value()
                                                   : Value(static_cast<int32_t>(random())));
                break;
            case ColumnType::Currency:
                row.emplace_back(
                    engine::format::Currency{static_cast<int64_t>(random()) * 977 - 123456789});
                break;
            case ColumnType::Single:
                row.emplace_back(static_cast<float>(pick(100000)) / 64.0f - 99.5f);
                break;
            case ColumnType::Double:
                row.emplace_back(std::ldexp(static_cast<double>(random()), pick(40) - 20));
                break;
            case ColumnType::DateTime:
                row.emplace_back(
                    engine::format::DateTime{pick(80000) - 20000 + pick(86400) / 86400.0});
                break;
            case ColumnType::Binary: {
                engine::format::ByteString bytes(static_cast<size_t>(pick(101)));
                for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
                row.emplace_back(bytes);
                break;
            }
            case ColumnType::Text: {
                static const char* const kWords[] = {"alpha ",  "Ökonomie ",    "naïve ",
                                                     "日本語 ", "Ωμέγα ",       "\"quoted\" ",
                                                     "a,b ",    "line\nbreak ", "Ünïcödé "};
                // Words of code page 1252 only, for Jet 3.
                static const char* const kWesternWords[] = {"alpha ", "Ökonomie ",    "naïve ",
                                                            "€uro ",  "Œuvre ",       "“quoted” ",
                                                            "a,b ",   "line\nbreak ", "Ünïcödé "};
                const char* const* words = jet3 ? kWesternWords : kWords;
                size_t wanted = static_cast<size_t>(pick(column.size + 1));
                std::string text;
                while (true) {
                    std::string longer = text + words[pick(9)];
                    if (engine::storage::utf8ToUtf16(longer).size() > wanted) break;
                    text = longer;
                }
                row.emplace_back(text);
                break;
            }
            case ColumnType::Memo: {
                size_t size = longSizes[pick(10)];
                std::string text;
                while (text.size() < size) text += pick(3) == 0 ? "Wörter " : "words and more ";
                // Cut to size at a character boundary.
                text.resize(size);
                while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
                    text.pop_back();
                }
                if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0)
                    text.pop_back();
                row.emplace_back(text);
                break;
            }
            case ColumnType::Ole: {
                engine::format::ByteString bytes(longSizes[pick(10)]);
                for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
                row.emplace_back(bytes);
                break;
            }
            case ColumnType::Guid: {
                engine::format::Guid guid;
                for (auto& byte : guid.bytes) byte = static_cast<uint8_t>(random());
                row.emplace_back(guid);
                break;
            }
            case ColumnType::Numeric:
                row.emplace_back(engine::format::Decimal{
                    pick(2) == 0, 0, static_cast<uint64_t>(random()) * 1000003, column.scale});
                break;
            case ColumnType::BigInt:
                row.emplace_back(
                    static_cast<int64_t>((static_cast<uint64_t>(random()) << 32) | random()));
                break;
            case ColumnType::ExtDateTime:
                row.emplace_back(engine::format::ExtendedDateTime{
                    std::string("0000000000000737592:0000000000045123456:7") + '\0'});
                break;
            default:
                row.emplace_back();
                break;
        }
    }
    return row;
}

std::vector<std::vector<Value>> allRows(engine::Database& database, const std::string& table) {
    std::vector<std::vector<Value>> rows;
    auto reader = database.readTable(table);
    std::vector<Value> row;
    while (reader->next(row)) rows.push_back(row);
    return rows;
}

std::string mdbExport(const std::filesystem::path& path, const std::string& table) {
    auto result = runProcess({"mdb-export", "-D", "%Y-%m-%d %H:%M:%S", "-T", "%Y-%m-%d %H:%M:%S",
                              "-b", "hex", path.string(), table});
    if (result.exitCode != 0) return "mdb-export failed: " + result.err;
    auto records = parseCsv(result.out);
    if (records.empty()) return {};
    std::vector<std::string> lines;
    for (size_t index = 1; index < records.size(); ++index) {
        std::string line;
        for (const auto& field : records[index])
            line += (field.quoted ? "\"" : "") + field.text + "\x1f";
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string joined;
    for (const auto& field : records[0]) joined += field.text + ",";
    for (const auto& line : lines) joined += "\n" + line;
    return joined;
}

std::vector<std::string> sortedRows(const std::vector<std::vector<Value>>& rows) {
    std::vector<std::string> texts;
    for (const auto& row : rows) {
        std::string text;
        for (const auto& value : row) {
            text += static_cast<char>('A' + value.index());
            std::visit(
                [&](const auto& held) {
                    using Held = std::decay_t<decltype(held)>;
                    if constexpr (std::is_same_v<Held, std::string>) {
                        text += held;
                    } else if constexpr (std::is_same_v<Held, engine::format::ByteString>) {
                        text.append(held.begin(), held.end());
                    } else if constexpr (std::is_same_v<Held, engine::format::Decimal>) {
                        text += std::to_string(held.negative) + std::to_string(held.high) + "." +
                                std::to_string(held.low) + "/" + std::to_string(held.scale);
                    } else if constexpr (std::is_same_v<Held, engine::format::ExtendedDateTime>) {
                        text += held.stored;
                    } else if constexpr (!std::is_same_v<Held, std::monostate>) {
                        text.append(reinterpret_cast<const char*>(&held), sizeof held);
                    }
                },
                value);
            text += '\x1f';
        }
        texts.push_back(text);
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

}  // namespace support

// Helpers for tests that write databases: new databases in a scratch folder, tables of every
// column type, and the integrity check as an assertion.
#pragma once

#include "engine/catalog/new_column.h"
#include "engine/database.h"
#include "engine/format/space/page_allocator.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace support {

// The code of the EngineError that action throws; Internal when it throws none.
engine::ErrorCode errorOf(const std::function<void()>& action);

// Opens a file for writing.
std::unique_ptr<engine::Database> openForWriting(const std::filesystem::path& path,
                                                 const std::string& password = "");

// The integrity check's problems, joined, and moved rows left behind (a notice, since Access
// leaves them, but never left by this engine); empty when the file is sound.
std::string integrityProblems(engine::Database& database);
std::string integrityProblems(const std::filesystem::path& path, const std::string& password = "");

// Runs body as one change made by hand on the file's pages, through the page allocator: for
// shapes that files made by other programs have, which this engine never writes itself.
void changePages(
    const std::filesystem::path& path,
    const std::function<void(engine::Database&, engine::format::PageAllocator&)>& body);

// A Long value's ascending index key: flag 7F, then big-endian with the sign bit flipped.
std::vector<uint8_t> longKey(int32_t value);

// How each index of a table differs from the entries its rows call for (what an index written
// anew from the rows holds), key for key; empty when every index matches.
std::string indexDifferences(engine::Database& database, const std::string& table);

// One column of every type a new table can have (Decimal not in Jet 3; Large Number and
// Date/Time Extended only when the format has them).
std::vector<engine::catalog::NewColumn> everyColumnType(engine::storage::FileFormat format);

// A row for everyColumnType(format), varied by seed; some values NULL, memo and OLE values of
// every storage size of format (inline, one page, chained). Jet 3 texts keep to its code page.
std::vector<engine::format::Value> sampleRow(
    const std::vector<engine::catalog::NewColumn>& columns, uint32_t seed,
    engine::storage::FileFormat format = engine::storage::FileFormat::Jet4);

// The names of the tables a user made (not MSys..., nor the f_... tables that hold
// attachments and multi-valued fields), in the catalogue's order.
std::vector<std::string> userTables(engine::Database& database);

// Every row of a table, read through the engine.
std::vector<std::vector<engine::format::Value>> allRows(engine::Database& database,
                                                        const std::string& table);

// Feeds rows from a list, for Database::createTable and insertRows.
class RowFeed {
public:
    explicit RowFeed(const std::vector<std::vector<engine::format::Value>>& rows) : m_rows(&rows) {}
    bool operator()(std::vector<engine::format::Value>& row) {
        if (m_next == m_rows->size()) return false;
        row = (*m_rows)[m_next++];
        return true;
    }

private:
    const std::vector<std::vector<engine::format::Value>>* m_rows;
    size_t m_next = 0;
};

// mdb-export of a table with fixed date and binary formats, its rows sorted (tables have no row
// order; rows that moved come out elsewhere than they went in).
std::string mdbExport(const std::filesystem::path& path, const std::string& table);

// The rows, each made into a text that compares equal exactly when the values do, sorted.
std::vector<std::string> sortedRows(const std::vector<std::vector<engine::format::Value>>& rows);

}  // namespace support

// Damaged and foreign files give a clear EngineError, never a crash, a hang or a read outside
// the file's bytes (the sanitizer build checks the last).
#include "engine/database.h"
#include "engine/format/rows/table_scan.h"
#include "engine/format/space/usage_map.h"
#include "engine/storage/memory_page_file.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/read_all.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace engine {
namespace {

std::vector<uint8_t> fixtureBytes(const std::string& name) {
    std::ifstream in(support::fixture(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Opens bytes as a database and reads everything; returns the error code, or nullopt when the
// file read without error.
std::optional<ErrorCode> openAndReadAll(std::vector<uint8_t> bytes) {
    try {
        auto file = std::make_unique<storage::MemoryPageFile>(std::move(bytes), false, "bad.mdb");
        auto database = Database::open(std::move(file), {});
        support::readEverything(*database);
        return std::nullopt;
    } catch (const EngineError& error) {
        EXPECT_NE(std::string(error.what()), "");
        // Damage is reported where it was found: the page, which the text names, or names the
        // table it judged.
        if (error.code() == ErrorCode::Corrupt) {
            const std::string what = error.what();
            EXPECT_TRUE(error.page().has_value()) << what;
            EXPECT_TRUE((error.page() && what.find(std::to_string(*error.page())) != what.npos) ||
                        what.find("table '") != what.npos)
                << what;
        }
        return error.code();
    }
}

void put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes[offset++] = static_cast<uint8_t>(value >> shift);
}

TEST(DamagedFile, foreignFilesAreUnrecognized) {
    EXPECT_EQ(openAndReadAll({}), ErrorCode::UnrecognizedFormat);
    std::string text = "Name,Value\nWidget,3\n";
    text.resize(8192, ' ');
    EXPECT_EQ(openAndReadAll({text.begin(), text.end()}), ErrorCode::UnrecognizedFormat);
    EXPECT_EQ(openAndReadAll(std::vector<uint8_t>(4096, 0)), ErrorCode::UnrecognizedFormat);
}

TEST(DamagedFile, truncatedFilesAreDamaged) {
    auto bytes = fixtureBytes("jet4/testV2003.mdb");
    auto halved = bytes;
    halved.resize(bytes.size() / 2);
    EXPECT_EQ(openAndReadAll(halved), ErrorCode::Corrupt);
    auto ragged = bytes;
    ragged.resize(bytes.size() - 100);
    EXPECT_EQ(openAndReadAll(ragged), ErrorCode::Corrupt);
    auto headerOnly = bytes;
    headerOnly.resize(4096);
    EXPECT_EQ(openAndReadAll(headerOnly), ErrorCode::Corrupt);
}

TEST(DamagedFile, definitionChainThatLoopsIsDamaged) {
    auto bytes = fixtureBytes("jet4/testV2003.mdb");
    put32(bytes, 2 * 4096 + 4, 2);  // the catalogue's definition continues on itself
    EXPECT_EQ(openAndReadAll(bytes), ErrorCode::Corrupt);
}

TEST(DamagedFile, pointersPastTheEndAreDamaged) {
    auto bytes = fixtureBytes("jet4/testV2003.mdb");
    put32(bytes, 2 * 4096 + 4, 0x00FFFFFF);  // next definition page far past the end
    EXPECT_EQ(openAndReadAll(bytes), ErrorCode::Corrupt);
    auto map = fixtureBytes("jet4/testV2003.mdb");
    put32(map, 2 * 4096 + 55, 0x7FFFFF00);  // owned-pages map on a page past the end
    EXPECT_EQ(openAndReadAll(map), ErrorCode::Corrupt);
}

TEST(DamagedFile, impossibleCountsAndOffsetsAreDamaged) {
    auto columns = fixtureBytes("jet4/testV2003.mdb");
    columns[2 * 4096 + 45] = 0xFF;  // column count 0xFFxx
    columns[2 * 4096 + 46] = 0xFF;
    EXPECT_EQ(openAndReadAll(columns), ErrorCode::Corrupt);

    // Every row offset of the catalogue's data pages pointing into the page header.
    auto rows = fixtureBytes("jet4/testV2003.mdb");
    for (size_t page = 1; page < rows.size() / 4096; ++page) {
        size_t base = page * 4096;
        if (rows[base] != 0x01 || rows[base + 4] != 2 || rows[base + 5] != 0) continue;
        uint16_t count = static_cast<uint16_t>(rows[base + 12] | (rows[base + 13] << 8));
        for (uint16_t row = 0; row < count; ++row) {
            rows[base + 14 + 2 * row] = 3;
            rows[base + 15 + 2 * row] = 0;
        }
    }
    EXPECT_EQ(openAndReadAll(rows), ErrorCode::Corrupt);
}

// Rows of every table of database, by name; a table that fails to read has no entry.
std::map<std::string, std::vector<std::string>> readableTables(Database& database,
                                                               std::set<std::string>* failed) {
    std::map<std::string, std::vector<std::string>> tables;
    for (const auto& object : database.catalog().objects()) {
        if (!object.isLocalTable()) continue;
        try {
            tables[object.name] = support::sortedRows(support::allRows(database, object.name));
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::Corrupt) << error.what();
            if (failed) failed->insert(object.name);
        }
    }
    return tables;
}

std::unique_ptr<Database> openBytes(std::vector<uint8_t> bytes) {
    return Database::open(
        std::make_unique<storage::MemoryPageFile>(std::move(bytes), false, "bad.mdb"), {});
}

std::string checkOf(std::vector<uint8_t> bytes) {
    auto database = openBytes(std::move(bytes));
    return support::integrityProblems(*database);
}

// A file cut short at a page boundary keeps a readable catalogue; the tables whose pages were
// cut off must fail, not read as shorter tables, and the integrity check must see it.
TEST(DamagedFile, fileCutAtAPageBoundaryNeverReadsAsFewerRows) {
    auto original = fixtureBytes("jet4/testV2003.mdb");
    auto whole = openBytes(original);
    auto expected = readableTables(*whole, nullptr);
    auto cut = original;
    cut.resize(original.size() / 4 / 4096 * 4096);
    auto database = openBytes(cut);
    std::set<std::string> failed;
    auto rows = readableTables(*database, &failed);
    EXPECT_FALSE(failed.empty());
    for (const auto& [name, tableRows] : rows) EXPECT_EQ(tableRows, expected.at(name)) << name;
    EXPECT_NE(checkOf(cut), "");
}

TEST(DamagedFile, usageMapNamingPagesPastTheEndIsDamaged) {
    auto bytes = fixtureBytes("jet4/indexTestV2000.mdb");
    auto database = openBytes(bytes);
    auto table = database->tableDefinition("Table1");
    // An inline owned-pages map gets a bit for a page far past the end of the file.
    auto row = format::readUsageMapRow(database->pager(), database->jetFormat(), table.ownedPages);
    ASSERT_EQ(row[0], format::kInlineMap);
    const size_t page = size_t{table.ownedPages.page} * 4096;
    const size_t rowStart = page + (bytes[page + 14 + 2 * table.ownedPages.row] |
                                    (bytes[page + 15 + 2 * table.ownedPages.row] & 0x1F) << 8);
    bytes[rowStart + row.size() - 1] |= 0x80;
    auto damaged = openBytes(bytes);
    EXPECT_EQ(support::errorOf([&] { support::allRows(*damaged, "Table1"); }), ErrorCode::Corrupt);
    EXPECT_NE(checkOf(bytes), "");
}

TEST(DamagedFile, catalogueDataPageZeroedIsDamaged) {
    // Once listed no tables and passed the integrity check.
    auto bytes = fixtureBytes("jet4/indexTestV2000.mdb");
    auto database = openBytes(bytes);
    auto catalog = database->tableDefinitionAt(2);
    auto pages = format::readUsageMapPages(database->pager(), database->jetFormat(),
                                           catalog.ownedPages);
    ASSERT_FALSE(pages.empty());
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(size_t{pages.front()} * 4096), 4096, 0);
    auto damaged = openBytes(bytes);
    EXPECT_EQ(support::errorOf([&] { damaged->catalog(); }), ErrorCode::Corrupt);
    EXPECT_NE(checkOf(bytes), "");
}

TEST(DamagedFile, pageOfAnotherTableInAnOwnedMapIsDamaged) {
    // What a scan meets when the table was dropped and its pages taken while it read.
    auto bytes = fixtureBytes("jet4/indexTestV2000.mdb");
    auto database = openBytes(bytes);
    auto pages = format::readUsageMapPages(database->pager(), database->jetFormat(),
                                           database->tableDefinition("Table1").ownedPages);
    auto other = database->tableDefinition("Table2");
    ASSERT_FALSE(pages.empty());
    put32(bytes, size_t{pages.back()} * 4096 + 4, other.firstPage);
    auto damaged = openBytes(bytes);
    EXPECT_EQ(support::errorOf([&] { support::allRows(*damaged, "Table1"); }), ErrorCode::Corrupt);
}

// The row count a definition keeps is a counter the product does not always keep up to date:
// a table reads as its pages hold it, whatever the count says. Damage is judged by structure: an
// owned-pages map that names another table's map reads as that map says (as the product reads
// it), and the check finds the map named twice.
TEST(DamagedFile, rowCountsAreCountersAndDamageIsJudgedByStructure) {
    auto bytes = fixtureBytes("jet4/indexTestV2000.mdb");
    auto database = openBytes(bytes);
    const auto& format = database->jetFormat();
    auto table = database->tableDefinition("Table1");
    const auto rows = support::allRows(*database, "Table1");
    ASSERT_GT(rows.size(), 0u);
    const size_t definition = size_t{table.firstPage} * 4096;

    for (uint32_t count : {0u, table.rowCount + 1, table.rowCount + 1000}) {
        auto counted = bytes;
        put32(counted, definition + format.tdefRowCountOffset, count);
        auto stale = openBytes(counted);
        EXPECT_EQ(support::allRows(*stale, "Table1"), rows) << "count " << count;
        EXPECT_EQ(checkOf(counted), "") << "count " << count;
    }

    // The owned map made to name another table's map that lists no page at all.
    std::optional<format::UsageMapRef> empty;
    for (const auto& object : database->catalog().objects()) {
        if (!object.isLocalTable() || object.name == "Table1") continue;
        auto other = database->tableDefinitionAt(object.tablePage());
        if (format::readUsageMapPages(database->pager(), format, other.freeSpacePages).empty()) {
            empty = other.freeSpacePages;
            break;
        }
    }
    ASSERT_TRUE(empty);
    auto redirected = bytes;
    put32(redirected, definition + format.tdefOwnedMapOffset, empty->row | empty->page << 8);
    auto elsewhere = openBytes(redirected);
    EXPECT_TRUE(support::allRows(*elsewhere, "Table1").empty());
    EXPECT_NE(checkOf(redirected).find("named by"), std::string::npos) << checkOf(redirected);
}

// Rows written before columns were deleted keep those columns' offset slots, and Access may
// leave a stale offset there that lies before the slot before it (a real Access 2000 file): no
// damage, since no column reads it. The same disorder in a column that is read is damage.
TEST(DamagedFile, staleOffsetsOfDeletedColumnsAreNoDamage) {
    support::TempDir folder;
    const auto path = folder / "deleted.mdb";
    PageNumber page = 0;
    {
        auto database = Database::create(path, {});
        std::vector<catalog::NewColumn> columns;
        for (const char* name : {"A", "B", "C", "D"}) {
            columns.push_back({.name = name, .type = format::ColumnType::Text, .size = 20});
        }
        database->createTable("T", columns,
                              support::RowFeed({{std::string("a"), std::string("bb"),
                                                 std::string("ccc"), std::string("dddd")}}));
        auto table = database->tableDefinition("T");
        page = format::readUsageMapPages(database->pager(), database->jetFormat(), table.ownedPages)
                   .at(0);
    }
    const auto original = support::bytesOf(path);
    // The only row ends at the page's end; its offsets lie below the count, last slot first,
    // above the one-byte null mask.
    const size_t countAt = (page + 1) * 4096 - 1 - 2;
    auto slotAt = [&](size_t slot) { return countAt - 2 * (slot + 1); };
    auto offset = [&](size_t slot) {
        return static_cast<uint16_t>(original[slotAt(slot)] | original[slotAt(slot) + 1] << 8);
    };
    ASSERT_EQ(original[countAt], 4);
    auto withSlot = [&](size_t slot, uint16_t value) {
        auto bytes = original;
        bytes[slotAt(slot)] = static_cast<uint8_t>(value);
        bytes[slotAt(slot) + 1] = static_cast<uint8_t>(value >> 8);
        return bytes;
    };
    // B and C deleted: A reads slots 0 and 1, D slots 3 and 4; slot 2 lies before slot 1.
    auto readWithoutBAndC = [&](const std::vector<uint8_t>& bytes) {
        auto database = openBytes(bytes);
        auto table = database->tableDefinition("T");
        table.columns.erase(table.columns.begin() + 1, table.columns.begin() + 3);
        format::TableScan scan(database->pager(), database->jetFormat(), table);
        std::vector<format::Value> row;
        std::vector<std::vector<format::Value>> rows;
        while (scan.next(row)) rows.push_back(row);
        return rows;
    };
    const std::vector<std::vector<format::Value>> expected = {
        {std::string("a"), std::string("dddd")}};
    EXPECT_EQ(readWithoutBAndC(withSlot(2, offset(1) - 1)), expected);
    EXPECT_EQ(support::errorOf([&] { readWithoutBAndC(withSlot(1, offset(0) - 1)); }),
              ErrorCode::Corrupt);
    EXPECT_EQ(support::errorOf([&] { readWithoutBAndC(withSlot(3, offset(4) + 1)); }),
              ErrorCode::Corrupt);
}

// A copy from a damaged source makes nothing in the destination.
TEST(DamagedFile, copyFromADamagedSourceMakesNothing) {
    support::TempDir folder;
    auto sourcePath = folder / "source.mdb";
    auto bytes = fixtureBytes("jet4/testV2003.mdb");
    bytes.resize(bytes.size() / 4 / 4096 * 4096);
    {
        std::ofstream out(sourcePath, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    auto destinationPath = folder.copyFixture("jet4/indexTestV2000.mdb");
    auto before = fixtureBytes("jet4/indexTestV2000.mdb");
    auto source = Database::open(sourcePath);
    auto destination = support::openForWriting(destinationPath);
    std::set<std::string> failed;
    readableTables(*source, &failed);
    ASSERT_FALSE(failed.empty());
    for (const auto& name : failed) {
        EXPECT_EQ(support::errorOf([&] { copyTable(*source, name, *destination, "Copied"); }),
                  ErrorCode::Corrupt);
    }
    EXPECT_EQ(destination->catalog().findTable("Copied"), nullptr);
    destination.reset();
    std::ifstream in(destinationPath, std::ios::binary);
    EXPECT_TRUE(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}) == before);
}

// A reader that scans a table while another process drops it and gives its pages to a new
// table must fail, not end early as though the table were shorter.
TEST(DamagedFile, scanOfATableDroppedWhileItReadsFails) {
    support::TempDir folder;
    const auto path = folder / "shared.mdb";
    const std::vector<catalog::NewColumn> columns = {
        {.name = "Id", .type = format::ColumnType::Long},
        {.name = "Text", .type = format::ColumnType::Text, .size = 255}};
    constexpr int32_t kRows = 400;
    auto rowsOf = [&](int32_t first) {
        return [next = first, first](std::vector<format::Value>& row) mutable {
            if (next == first + kRows) return false;
            row = {next, std::string(200, static_cast<char>('a' + next % 26))};
            ++next;
            return true;
        };
    };
    {
        auto database = Database::create(path, {});
        database->createTable("Big", columns, rowsOf(0));
        database->createTable("Twin", columns, rowsOf(1000));
    }
    auto reader = Database::open(path);
    auto scan = reader->readTable("Big");
    std::vector<format::Value> row;
    int read = 0;
    while (read < 10 && scan->next(row)) ++read;

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int status = 0;
        try {
            auto writer = Database::open(path, {.mode = AccessMode::ReadWrite});
            writer->dropTable("Big");
            copyTable(*writer, "Twin", *writer, "Other");
        } catch (...) {
            status = 1;
        }
        ::_exit(status);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // The new table took the dropped one's pages, its definition page included, so its rows
    // may pass for the dropped table's; the catalogue tells at the end.
    EXPECT_EQ(support::errorOf([&] {
                  while (scan->next(row)) ++read;
              }),
              ErrorCode::Corrupt);
}

// Random damage anywhere: whatever happens, it is an EngineError or a clean read.
TEST(DamagedFile, randomByteDamageNeverEscapesAsAnythingElse) {
    for (const char* name : {"jet3/testV1997.mdb", "jet4/testV2003.mdb", "ace12/testV2007.accdb",
                             "ace17/extDateTestV2019.accdb"}) {
        auto original = fixtureBytes(name);
        std::mt19937 random(12345);
        for (int round = 0; round < 60; ++round) {
            auto bytes = original;
            std::uniform_int_distribution<size_t> position(0, bytes.size() - 1);
            for (int flip = 0; flip < 1 + round % 20; ++flip) {
                bytes[position(random)] = static_cast<uint8_t>(random());
            }
            EXPECT_NO_THROW(openAndReadAll(bytes)) << name << " round " << round;
        }
    }
}

}  // namespace
}  // namespace engine

namespace engine {
namespace {

// Changes to a damaged Access 97 file stop at the damage with Corrupt and leave every byte as
// it was.
TEST(DamagedFile, access97ChangesStopAtDamageAndLeaveTheFileAsItWas) {
    constexpr size_t kPage = 2048;
    const auto original = fixtureBytes("jet3/testV1997.mdb");
    auto catalogRows = original;
    // Every row offset of the catalogue's data pages pointing into the page header.
    for (size_t page = 1; page < catalogRows.size() / kPage; ++page) {
        size_t base = page * kPage;
        if (catalogRows[base] != 0x01 || catalogRows[base + 4] != 2 || catalogRows[base + 5] != 0) {
            continue;
        }
        uint16_t count =
            static_cast<uint16_t>(catalogRows[base + 8] | (catalogRows[base + 9] << 8));
        for (uint16_t row = 0; row < count; ++row) catalogRows[base + 10 + 2 * row] = 3;
    }
    auto pageMap = original;
    pageMap[kPage] = 0x04;  // the global page map is no data page
    auto definition = original;
    put32(definition, 2 * kPage + 4, 0x00FFFFFF);  // the catalogue continues far past the end

    support::TempDir folder;
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
             {"rows", catalogRows}, {"map", pageMap}, {"definition", definition}}) {
        SCOPED_TRACE(name);
        auto path = folder / (name + ".mdb");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        for (const std::function<void(Database&)>& change :
             {std::function<void(Database&)>([](Database& database) {
                  database.createTable("New", {{.name = "A", .type = format::ColumnType::Long}});
              }),
              std::function<void(Database&)>(
                  [](Database& database) { database.dropTable("Table1"); })}) {
            try {
                auto database = Database::open(path, {.mode = AccessMode::ReadWrite});
                change(*database);
                ADD_FAILURE() << "a change to a damaged file went through";
            } catch (const EngineError& error) {
                EXPECT_EQ(error.code(), ErrorCode::Corrupt) << error.what();
            }
            std::ifstream in(path, std::ios::binary);
            EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), bytes);
        }
    }
}

}  // namespace
}  // namespace engine

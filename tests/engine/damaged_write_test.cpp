// A change to a damaged file is refused with error 3049, naming the damaged page, before it can
// spread the damage: the file stays byte for byte as it was (its free pages included), and no
// other table loses a row. The damage is put into a real file with free pages, so that pages a
// change takes from the free ones are covered by the byte comparison too.
#include "engine/database.h"
#include "engine/format/space/usage_map.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace engine {
namespace {

using FileBytes = std::vector<uint8_t>;

constexpr uint32_t kPageSize = 4096;
constexpr const char* kFixture = "ace12/testV2007.accdb";

using support::bytesOf;

void store(const std::filesystem::path& path, const FileBytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

uint32_t get32(const FileBytes& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

void put32(FileBytes& bytes, size_t at, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes[at++] = static_cast<uint8_t>(value >> shift);
}

void put16(FileBytes& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

// What the tests damage, read through the engine from the undamaged file.
struct Facts {
    format::TableDefinition aces;         // MSysACEs: every change edits its index
    size_t acesRootField = 0;             // file offset of its index's root page number
    std::vector<PageNumber> catalogPages; // data pages of MSysObjects
    std::vector<PageNumber> table1Pages;  // data pages of the user table Table1
    format::TableDefinition dropped;       // an indexed user table the drops remove
    size_t droppedRootField = 0;
};

// The offset of an index's root page number in the file: it follows the index's usage-map
// reference in the real index definition, on the definition's first page.
size_t rootFieldOf(const FileBytes& bytes, const format::TableDefinition& table) {
    const auto& index = table.realIndexes.at(0);
    const uint32_t mapRef = index.pagesMap.row | (index.pagesMap.page << 8);
    const size_t base = size_t{table.firstPage} * kPageSize;
    for (size_t at = base; at + 8 <= base + kPageSize; ++at) {
        if (get32(bytes, at) == mapRef && get32(bytes, at + 4) == index.rootPage) return at + 4;
    }
    ADD_FAILURE() << "no root field in the definition on page " << table.firstPage;
    return 0;
}

Facts factsOf(const std::filesystem::path& path) {
    auto database = Database::open(path);
    auto pagesOf = [&](const format::TableDefinition& table) {
        return format::readUsageMapPages(database->pager(), database->jetFormat(),
                                         table.ownedPages);
    };
    FileBytes bytes = bytesOf(path);
    Facts facts;
    facts.aces = database->tableDefinition("MSysACEs");
    facts.acesRootField = rootFieldOf(bytes, facts.aces);
    facts.catalogPages = pagesOf(database->tableDefinitionAt(2));
    facts.table1Pages = pagesOf(database->tableDefinition("Table1"));
    facts.dropped = database->tableDefinition("Table3");
    facts.droppedRootField = rootFieldOf(bytes, facts.dropped);
    return facts;
}

// Marks page free in the global page map (an inline map in row 0 of page 1).
void markFree(FileBytes& bytes, PageNumber page) {
    const size_t map = kPageSize;
    const size_t row = map + (get32(bytes, map + 14) & 0x1FFF);
    ASSERT_EQ(bytes[row], 0) << "the global map is not inline";
    const uint32_t bit = page - get32(bytes, row + 1);
    bytes[row + 5 + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
}

// Marks page in use in the global page map.
void markInUse(FileBytes& bytes, PageNumber page) {
    const size_t map = kPageSize;
    const size_t row = map + (get32(bytes, map + 14) & 0x1FFF);
    const uint32_t bit = page - get32(bytes, row + 1);
    bytes[row + 5 + bit / 8] &= static_cast<uint8_t>(~(1u << (bit % 8)));
}

void makeTable(Database& database) { copyTable(database, "Table1", database, "Copied"); }
void dropTable(Database& database) { database.dropTable("Table3"); }

class DamagedWrite : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_folder.copyFixture(kFixture);
        m_original = bytesOf(m_path);
        m_facts = factsOf(m_path);
    }

    // Runs change on a copy of the file with damage applied; it must fail with 3049 naming one
    // of pages (any page when none are given) and leave every byte as it was.
    void expectRefused(const std::function<void(FileBytes&)>& damage,
                       const std::function<void(Database&)>& change,
                       const std::set<PageNumber>& pages) {
        FileBytes damaged = m_original;
        damage(damaged);
        store(m_path, damaged);
        auto database = support::openForWriting(m_path);
        try {
            change(*database);
            ADD_FAILURE() << "the change on the damaged file succeeded";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::Corrupt) << error.what();
            if (!pages.empty()) {
                ASSERT_TRUE(error.page()) << error.what();
                EXPECT_TRUE(pages.count(*error.page())) << error.what();
            }
        }
        database.reset();
        EXPECT_TRUE(bytesOf(m_path) == damaged) << "the refused change wrote to the file";
        EXPECT_FALSE(std::filesystem::exists(m_path.string() + "-journal"));
    }

    void expectBothRefused(const std::function<void(FileBytes&)>& damage,
                           const std::set<PageNumber>& pages) {
        {
            SCOPED_TRACE("make-table");
            expectRefused(damage, makeTable, pages);
        }
        {
            SCOPED_TRACE("drop");
            expectRefused(damage, dropTable, pages);
        }
    }

    support::TempDir m_folder;
    std::filesystem::path m_path;
    FileBytes m_original;
    Facts m_facts;
};

// The undamaged file takes both changes, so that the refusals below come from the damage.
TEST_F(DamagedWrite, undamagedFileTakesBothChanges) {
    auto database = support::openForWriting(m_path);
    makeTable(*database);
    dropTable(*database);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

TEST_F(DamagedWrite, freeSpaceWordTooLargeIsRefused) {
    // Appending trusted this word: a row's start wrapped below the page and the copy wrote far
    // past the page buffer. Removing a row checks the page the same way.
    expectBothRefused(
        [&](FileBytes& bytes) {
            for (PageNumber page : m_facts.catalogPages) {
                put16(bytes, size_t{page} * kPageSize + 2, 0xFFF0);
            }
        },
        {m_facts.catalogPages.begin(), m_facts.catalogPages.end()});
}

TEST_F(DamagedWrite, indexRootOnTheHeaderIsRefused) {
    // Once wrote an index leaf over page 0, and the file no longer opened.
    expectBothRefused([&](FileBytes& bytes) { put32(bytes, m_facts.acesRootField, 0); }, {0});
}

TEST_F(DamagedWrite, indexRootOnAnotherTablesDataPageIsRefused) {
    // Once wiped the other table's rows.
    const PageNumber victim = m_facts.table1Pages.at(0);
    expectBothRefused([&](FileBytes& bytes) { put32(bytes, m_facts.acesRootField, victim); },
                      {victim});
}

TEST_F(DamagedWrite, indexRootPastTheEndIsRefused) {
    // Once grew the file by hundreds of megabytes; past 2 GiB it gave the internal error 3000.
    const PageNumber pastEnd = static_cast<PageNumber>(m_original.size() / kPageSize + 100000);
    expectBothRefused([&](FileBytes& bytes) { put32(bytes, m_facts.acesRootField, pastEnd); },
                      {pastEnd});
    const PageNumber past2GiB = 0x00900000;
    expectBothRefused([&](FileBytes& bytes) { put32(bytes, m_facts.acesRootField, past2GiB); },
                      {past2GiB});
}

TEST_F(DamagedWrite, droppedTablesRootOnAnotherTablesPageIsRefused) {
    // Freeing the root would hand Table1's page out to the next change.
    const PageNumber victim = m_facts.table1Pages.at(0);
    expectRefused([&](FileBytes& bytes) { put32(bytes, m_facts.droppedRootField, victim); },
                  dropTable, {victim});
}

TEST_F(DamagedWrite, pageInUseMarkedFreeIsNotTaken) {
    // The global map calls the catalogue's definition page free; a new table must not take it.
    expectRefused([&](FileBytes& bytes) { markFree(bytes, 2); }, makeTable, {2});
}

TEST_F(DamagedWrite, dataPageInUseMarkedFreeIsNotTaken) {
    // The global map calls Table1's first data page free, and every free page before it is
    // taken by the copy's other pages first: its header names Table1, whose map lists it.
    const PageNumber victim = m_facts.table1Pages.at(0);
    expectRefused(
        [&](FileBytes& bytes) {
            for (PageNumber page = 2; page < victim; ++page) markInUse(bytes, page);
            markFree(bytes, victim);
        },
        makeTable, {victim});
}

TEST_F(DamagedWrite, usageMapOnAnotherTablesPageIsRefused) {
    // MSysACEs' index map made to name row 0 of Table1's first data page.
    const PageNumber victim = m_facts.table1Pages.at(0);
    auto damage = [&](FileBytes& bytes) { put32(bytes, m_facts.acesRootField - 4, victim << 8); };
    {
        SCOPED_TRACE("make-table");
        expectRefused(damage, makeTable, {});
    }
    // A drop goes through indexes and its own table's pages, and costs what it touches: it
    // needs no page of that map, and writes none of Table1's.
    FileBytes damaged = m_original;
    damage(damaged);
    store(m_path, damaged);
    const auto rows = support::allRows(*Database::open(m_path), "Table1");
    dropTable(*support::openForWriting(m_path));
    const FileBytes after = bytesOf(m_path);
    const size_t page = size_t{victim} * kPageSize;
    EXPECT_TRUE(
        std::equal(after.begin() + page, after.begin() + page + kPageSize, damaged.begin() + page));
    EXPECT_EQ(support::allRows(*Database::open(m_path), "Table1"), rows);
}

}  // namespace
}  // namespace engine

// Seeded damage to real files: bit flips in the structures that say where data lies, files cut
// short, pages zeroed, pages swapped. On every mutant:
//   - reading a table gives the undamaged file's rows or fails with an EngineError;
//   - a make-table into it and a drop from it either fail, leaving every byte as it was and no
//     journal, or succeed without harming anything else: every table the change did not touch
//     and that read whole before reads the same after, and the integrity check finds nothing it
//     did not find before the change.
// Mutants live in memory; mdb-export compares the untouched tables of a sample of the changed
// files on disk with the undamaged file, where it reads them in the mutant before the change.
// Under the sanitizers a sample of the mutants runs.
//
// Bit flips stay out of stored values (a flipped letter in a name is no damage any reader can
// see): they hit page headers, row offset tables, usage maps, index pages, the global page map
// and the fixed part of table definitions.
#include "engine/catalog/integrity_check.h"
#include "engine/database.h"
#include "engine/storage/memory_page_file.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <random>
#include <regex>
#include <set>

namespace engine {
namespace {

using FileBytes = std::vector<uint8_t>;
using TableRows = std::map<std::string, std::vector<std::string>>;

constexpr const char* kPath = "mutant.mdb";
constexpr uint32_t kSeed = 777;
constexpr int kMutantsPerFixture = 70;
constexpr int kMdbExportEvery = 10;  // of the successful changes

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSampleEvery = 6;
#else
constexpr int kSampleEvery = 1;
#endif

FileBytes fixtureBytes(const std::string& name) {
    std::ifstream in(support::fixture(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint16_t get16(const FileBytes& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Where bit flips may land in the undamaged file: the byte ranges that describe where data
// lies (see the file comment), and the bytes whose top bit is a row's deleted mark, which a flip
// must leave alone: it deletes or restores a row just as the product does, and nothing in the
// file tells the two apart.
struct FlipTargets {
    std::vector<std::pair<size_t, size_t>> ranges;
    std::set<size_t> deletedMarks;
};

FlipTargets flipTargets(const FileBytes& bytes) {
    constexpr size_t kPage = 4096;
    FlipTargets targets;
    for (size_t page = 1; page < bytes.size() / kPage; ++page) {
        const size_t base = page * kPage;
        switch (bytes[base]) {
            case 0x01: {  // data page: header and offsets; usage-map pages whole
                const size_t rows = std::min<size_t>(get16(bytes, base + 12), (kPage - 14) / 2);
                const bool maps = page == 1 || (bytes[base + 4] | bytes[base + 5] |
                                                bytes[base + 6] | bytes[base + 7]) == 0;
                targets.ranges.emplace_back(base, base + (maps ? kPage : 14 + 2 * rows));
                for (size_t row = 0; row < rows && !maps; ++row) {
                    targets.deletedMarks.insert(base + 15 + 2 * row);
                }
                break;
            }
            case 0x02:  // definition: page header and the fixed part, up to the map references
                targets.ranges.emplace_back(base, base + 63);
                break;
            case 0x03:
            case 0x04:
            case 0x05:
                targets.ranges.emplace_back(base, base + kPage);
                break;
            default:
                break;
        }
    }
    return targets;
}

struct Mutant {
    std::string what;
    FileBytes bytes;
};

// Whether a page of the undamaged file holds a table definition or usage maps.
bool describesTables(const FileBytes& bytes, size_t page) {
    const size_t base = page * 4096;
    return bytes[base] == 0x02 ||
           (bytes[base] == 0x01 && (bytes[base + 4] | bytes[base + 5] | bytes[base + 6] |
                                    bytes[base + 7]) == 0);
}

// Swaps of two pages that both describe tables (definitions, usage maps) are left out: each
// table then reads through the other's description, and when the one moved in names no data
// pages, nothing tells it from an empty table.
Mutant mutate(const FileBytes& original, const FlipTargets& targets, std::mt19937& random) {
    constexpr size_t kPage = 4096;
    const size_t pages = original.size() / kPage;
    auto pick = [&](size_t from, size_t to) {  // [from, to)
        return from + static_cast<size_t>(random() % (to - from));
    };
    Mutant mutant{"", original};
    switch (random() % 4) {
        case 0: {
            size_t flips = pick(1, 4);
            for (size_t flip = 0; flip < flips; ++flip) {
                auto [from, to] = targets.ranges[pick(0, targets.ranges.size())];
                size_t at = pick(from, to);
                int bit = static_cast<int>(pick(0, targets.deletedMarks.count(at) ? 7 : 8));
                mutant.bytes[at] ^= static_cast<uint8_t>(1u << bit);
                mutant.what +=
                    "flip byte " + std::to_string(at) + " bit " + std::to_string(bit) + "; ";
            }
            break;
        }
        case 1: {
            size_t keep = pick(2, pages) * kPage;
            if (random() % 4 == 0) keep += pick(1, kPage);
            mutant.bytes.resize(keep);
            mutant.what = "cut to " + std::to_string(keep) + " bytes";
            break;
        }
        case 2: {
            size_t page = pick(1, pages);
            std::fill_n(mutant.bytes.begin() + static_cast<std::ptrdiff_t>(page * kPage), kPage, 0);
            mutant.what = "zero page " + std::to_string(page);
            break;
        }
        default: {
            size_t first = pick(1, pages);
            size_t second = pick(1, pages);
            while (describesTables(original, first) && describesTables(original, second)) {
                second = pick(1, pages);
            }
            std::swap_ranges(
                mutant.bytes.begin() + static_cast<std::ptrdiff_t>(first * kPage),
                mutant.bytes.begin() + static_cast<std::ptrdiff_t>((first + 1) * kPage),
                mutant.bytes.begin() + static_cast<std::ptrdiff_t>(second * kPage));
            mutant.what = "swap pages " + std::to_string(first) + " and " + std::to_string(second);
            break;
        }
    }
    return mutant;
}

// Tables of names read through database: those that read whole, and those that failed.
TableRows readTables(Database& database, const std::vector<std::string>& names,
                     std::set<std::string>& failed) {
    TableRows rows;
    for (const auto& name : names) {
        try {
            rows[name] = support::sortedRows(support::allRows(database, name));
        } catch (const EngineError& error) {
            EXPECT_NE(error.code(), ErrorCode::Internal) << name << ": " << error.what();
            failed.insert(name);
        }
    }
    return rows;
}

// The integrity check's problems. A row count that was off before a change stays off by the
// rows the change added or removed, so counts are left out of the texts compared.
std::set<std::string> problemsOf(Database& database) {
    auto report = catalog::checkIntegrity(database.pager(), database.jetFormat(),
                                          database.header().codePage());
    // A change that adds or removes a row shifts the numbers in a count mismatch that was there
    // before; it is the same problem.
    static const std::regex counts("holds [0-9]+ rows but its definition counts [0-9]+");
    static const std::regex entries("holds [0-9]+ entries for [0-9]+ rows");
    std::set<std::string> problems;
    for (const auto& problem : report.problems) {
        problems.insert(std::regex_replace(
            std::regex_replace(problem, counts, "holds a row count its definition lacks"), entries,
            "holds a number of entries other than its rows"));
    }
    return problems;
}

struct Tally {
    int mutants = 0, writesRefused = 0, writesDone = 0, tablesFailed = 0, mdbExports = 0;
};

class MutationSweep : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        m_original = fixtureBytes(GetParam());
        auto database = Database::open(support::fixture(GetParam()));
        for (const auto& object : database->catalog().objects()) {
            if (object.kind == catalog::ObjectKind::Table) m_userTables.push_back(object.name);
        }
        ASSERT_FALSE(m_userTables.empty());
        std::set<std::string> failed;
        m_rows = readTables(*database, m_userTables, failed);
        ASSERT_TRUE(failed.empty());
    }

    // Every table of the mutant reads as in the undamaged file or fails.
    void checkReads(const FileBytes& bytes) {
        std::unique_ptr<Database> database;
        try {
            database = Database::open(std::make_unique<storage::MemoryPageFile>(bytes, false), {});
        } catch (const EngineError& error) {
            EXPECT_NE(error.code(), ErrorCode::Internal) << error.what();
            return;
        }
        std::set<std::string> failed;
        for (const auto& [name, rows] : readTables(*database, m_userTables, failed)) {
            EXPECT_EQ(rows, m_rows.at(name)) << "table '" << name << "' read as another";
        }
        m_tally.tablesFailed += static_cast<int>(failed.size());
    }

    // Runs one change on the mutant (touching the table named touched) and checks its outcome.
    void checkWrite(const FileBytes& bytes, const std::string& touched,
                    const std::function<void(Database&)>& change) {
        storage::MemoryFileSystem files;
        files.bytes(kPath) = bytes;
        std::unique_ptr<Database> database;
        TableRows before;
        std::set<std::string> problemsBefore;
        try {
            database = Database::open(kPath, {.mode = AccessMode::ReadWrite, .fileSystem = &files});
            std::set<std::string> failed;
            before = readTables(*database, m_userTables, failed);
            problemsBefore = problemsOf(*database);
        } catch (const EngineError&) {
            return;  // not a file a change can start on; reading it was checked above
        }
        try {
            change(*database);
        } catch (const EngineError& error) {
            EXPECT_NE(error.code(), ErrorCode::Internal) << error.what();
            EXPECT_TRUE(files.bytes(kPath) == bytes) << "a refused change wrote: " << error.what();
            EXPECT_FALSE(files.exists(std::string(kPath) + "-journal"));
            ++m_tally.writesRefused;
            return;
        }
        ++m_tally.writesDone;
        std::set<std::string> failed;
        for (const auto& [name, rows] : readTables(*database, m_userTables, failed)) {
            if (name != touched && before.count(name)) {
                EXPECT_EQ(rows, before.at(name)) << "the change harmed table '" << name << "'";
            }
        }
        for (const auto& name : failed) {
            EXPECT_TRUE(name == touched || !before.count(name))
                << "the change made table '" << name << "' unreadable";
        }
        for (const auto& problem : problemsOf(*database)) {
            EXPECT_TRUE(problemsBefore.count(problem)) << "the change caused: " << problem;
        }
        if (m_tally.writesDone % kMdbExportEvery == 0) {
            database.reset();
            compareWithMdbExport(bytes, files.bytes(kPath), touched, before);
        }
    }

    // mdb-export's reading of a table of the undamaged file, read once.
    const std::string& fixtureExport(const std::string& table) {
        auto found = m_fixtureExports.find(table);
        if (found == m_fixtureExports.end()) {
            found = m_fixtureExports
                        .emplace(table, support::mdbExport(support::fixture(GetParam()), table))
                        .first;
        }
        return found->second;
    }

    void compareWithMdbExport(const FileBytes& unchanged, const FileBytes& changed,
                              const std::string& touched, const TableRows& readBefore) {
        auto store = [&](const char* name, const FileBytes& bytes) {
            auto path = m_folder / name;
            std::ofstream(path, std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            return path;
        };
        const auto before = store("unchanged.mdb", unchanged);
        const auto after = store("changed.mdb", changed);
        for (const auto& name : m_userTables) {
            if (name == touched || !readBefore.count(name)) continue;
            const std::string& expected = fixtureExport(name);
            // A table mdbtools cannot read in the damaged file before the change tells nothing
            // about the change (it may loop over the damage forever).
            if (support::mdbExport(before, name) != expected) continue;
            EXPECT_EQ(support::mdbExport(after, name), expected) << "mdb-export of '" << name << "'";
            ++m_tally.mdbExports;
        }
    }

    void sweep() {
        const std::string copied = m_userTables.front();
        const std::string dropped = m_userTables.back();
        auto source = Database::open(support::fixture(GetParam()));
        const FlipTargets targets = flipTargets(m_original);
        std::mt19937 random(kSeed);
        for (int index = 0; index < kMutantsPerFixture; ++index) {
            Mutant mutant = mutate(m_original, targets, random);
            if (index % kSampleEvery != 0) continue;
            SCOPED_TRACE(std::string(GetParam()) + " mutant " + std::to_string(index) + ": " +
                         mutant.what);
            ++m_tally.mutants;
            checkReads(mutant.bytes);
            checkWrite(mutant.bytes, "SweepCopy", [&](Database& database) {
                copyTable(*source, copied, database, "SweepCopy");
            });
            checkWrite(mutant.bytes, dropped,
                       [&](Database& database) { database.dropTable(dropped); });
        }
        std::cout << GetParam() << ": " << m_tally.mutants << " mutants, " << m_tally.tablesFailed
                  << " table reads failed, " << m_tally.writesRefused << " changes refused, "
                  << m_tally.writesDone << " done, " << m_tally.mdbExports
                  << " tables compared with mdb-export\n";
        // The sweep must exercise both outcomes, or it proves little.
        EXPECT_GT(m_tally.writesRefused, 0);
        EXPECT_GT(m_tally.writesDone, 0);
    }

    support::TempDir m_folder;
    FileBytes m_original;
    std::vector<std::string> m_userTables;
    TableRows m_rows;
    std::map<std::string, std::string> m_fixtureExports;
    Tally m_tally;
};

TEST_P(MutationSweep, damageIsRefusedOrHarmless) { sweep(); }

INSTANTIATE_TEST_SUITE_P(Fixtures, MutationSweep,
                         ::testing::Values("ace12/testV2007.accdb", "jet4/testV2000.mdb",
                                           "jet4/overflowTestV2003.mdb",
                                           "ace14/indexTestV2010.accdb",
                                           "ace12/complexDataTestV2007.accdb",
                                           "ace17/extDateTestV2019.accdb"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (auto& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace engine

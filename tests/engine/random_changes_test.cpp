// Long seeded sequences of creates, appends and drops keep the file sound, keep every table as a
// model of it says, and reuse freed pages instead of growing the file.
#include "engine/database.h"
#include "support/engine_files.h"
#include "support/fixtures.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace engine {
namespace {

using catalog::NewColumn;
using format::Value;
using storage::FileFormat;

using Rows = std::vector<std::vector<Value>>;

class Model {
public:
    Model(Database& database, FileFormat format, uint32_t seed)
        : m_database(database), m_all(support::everyColumnType(format)), m_random(seed) {}

    void step() {
        int choice = static_cast<int>(m_random() % 10);
        if (m_tables.empty() || choice < 4) {
            create();
        } else if (choice < 7) {
            append();
        } else {
            drop();
        }
    }

    void verify() {
        ASSERT_EQ(support::integrityProblems(m_database), "");
        for (const auto& [name, table] : m_tables) {
            // Tables keep no row order (a row goes wherever a page has room), so rows compare as
            // sorted lists; AutoNumber columns (always the first here) number rows from 1 in the
            // order they went in.
            Rows expected = table.rows;
            if (table.columns.front().autoNumber) {
                for (size_t index = 0; index < expected.size(); ++index) {
                    expected[index][0] = static_cast<int32_t>(index + 1);
                }
            }
            ASSERT_EQ(support::sortedRows(support::allRows(m_database, name)),
                      support::sortedRows(expected))
                << name;
        }
    }

    void dropAll() {
        while (!m_tables.empty()) drop();
    }

private:
    struct Table {
        std::vector<NewColumn> columns;
        Rows rows;
    };

    Rows makeRows(const std::vector<NewColumn>& columns, size_t count) {
        Rows rows;
        for (size_t index = 0; index < count; ++index) {
            rows.push_back(support::sampleRow(columns, static_cast<uint32_t>(m_random())));
        }
        return rows;
    }

    void create() {
        std::vector<NewColumn> columns;
        for (const auto& column : m_all) {
            if (m_random() % 2 == 0 || columns.empty()) columns.push_back(column);
        }
        std::string name = "T" + std::to_string(m_nextName++);
        Rows rows = makeRows(columns, m_random() % 120);
        m_database.createTable(name, columns, support::RowFeed(rows));
        m_tables[name] = {columns, rows};
    }

    void append() {
        auto table = std::next(m_tables.begin(), static_cast<long>(m_random() % m_tables.size()));
        Rows rows = makeRows(table->second.columns, 1 + m_random() % 50);
        // Rows appended later continue the AutoNumber sequence; the model numbers rows by
        // position, which matches as long as no row is deleted.
        m_database.insertRows(table->first, support::RowFeed(rows));
        table->second.rows.insert(table->second.rows.end(), rows.begin(), rows.end());
    }

    void drop() {
        auto table = std::next(m_tables.begin(), static_cast<long>(m_random() % m_tables.size()));
        m_database.dropTable(table->first);
        m_tables.erase(table);
    }

    Database& m_database;
    std::vector<NewColumn> m_all;
    std::mt19937 m_random;
    std::map<std::string, Table> m_tables;
    int m_nextName = 0;
};

TEST(RandomChanges, seededSequencesStaySoundAndCompact) {
    support::TempDir folder;
    for (auto [format, seed] : {std::pair{FileFormat::Jet4, 1u}, std::pair{FileFormat::Ace14, 2u},
                                std::pair{FileFormat::Ace17, 3u}}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        auto path = folder / ("random-" + std::to_string(seed) + ".db");
        auto database = Database::create(path, {.format = format});
        Model model(*database, format, seed);
        for (int step = 0; step < 25; ++step) {
            model.step();
            ASSERT_NO_FATAL_FAILURE(model.verify()) << "after step " << step;
        }
        auto grown = std::filesystem::file_size(path);
        model.dropAll();
        ASSERT_NO_FATAL_FAILURE(model.verify());
        // A second round of the same kind fits into the pages the first gave back (a page or
        // two of slack: the maps and definitions need not land where they did the first time).
        Model again(*database, format, seed);
        for (int step = 0; step < 25; ++step) again.step();
        ASSERT_NO_FATAL_FAILURE(again.verify());
        EXPECT_LE(std::filesystem::file_size(path), grown + 4 * 4096);
    }
}

}  // namespace
}  // namespace engine

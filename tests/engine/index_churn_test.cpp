// A long seeded run of creates, drops, inserts and deletes over tables with indexes of every
// kind, while the number of tables swells and shrinks so the catalogue's own indexes split and
// merge too: after every hundred steps the file passes the integrity check, every table holds
// the rows it was given, and every index (the catalogue's included) equals, key for key, the
// index its rows call for.
#include "engine/database.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/unsynced_file_system.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <numbers>
#include <random>

namespace engine {
namespace {

using catalog::NewColumn;
using catalog::NewIndex;
using format::ColumnType;
using format::Value;
using storage::FileFormat;

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSteps = 1000;  // the sanitizers slow every step tenfold
#else
constexpr int kSteps = 10000;
#endif
constexpr int kStepsBetweenChecks = 100;

class Churn {
public:
    Churn(Database& database, uint32_t seed) : m_database(database), m_random(seed) {}

    void step(int number) {
        // The number of tables wanders between about 10 and 170.
        const double target = 90 + 80 * std::sin(number * 2 * std::numbers::pi / 2500);
        const auto choice = m_random() % 100;
        if (choice < 30 || m_tables.empty()) {
            if (static_cast<double>(m_tables.size()) < target) {
                create();
            } else {
                drop();
            }
        } else if (choice < 70) {
            insert(pick(), 1 + m_random() % 15);
        } else {
            remove(pick());
        }
    }

    void verify() {
        ASSERT_EQ(support::integrityProblems(m_database), "");
        for (const char* system : {"MSysObjects", "MSysACEs"}) {
            ASSERT_EQ(support::indexDifferences(m_database, system), "");
        }
        for (const auto& [name, table] : m_tables) {
            ASSERT_EQ(support::indexDifferences(m_database, name), "");
            ASSERT_EQ(support::allRows(m_database, name).size(), table.rows) << name;
        }
    }

private:
    struct Table {
        size_t rows = 0;
        bool hasTag = false;
    };

    std::string pick() {
        return std::next(m_tables.begin(), static_cast<long>(m_random() % m_tables.size()))->first;
    }

    std::string text(size_t length) {
        static const std::vector<std::string> pieces = {"a", "R", "é", "Ü", "q",  " ",
                                                        "7", "ж", "ß", "-", "中", "o"};
        std::string result;
        for (size_t index = 0; index < length; ++index) {
            result += pieces[m_random() % pieces.size()];
        }
        return result;
    }

    void create() {
        // Long names make the catalogue's name index outgrow a page at about a hundred tables.
        std::string name =
            "Table with a rather long name " + std::to_string(m_nextName++) + " " + text(8);
        std::vector<NewColumn> columns = {
            {.name = "Id", .type = ColumnType::Long, .autoNumber = true},
            {.name = "Name", .type = ColumnType::Text, .size = 100},
            {.name = "Amount", .type = ColumnType::Double},
            {.name = "When", .type = ColumnType::DateTime},
        };
        Table table;
        table.hasTag = m_random() % 2 == 0;
        if (table.hasTag) columns.push_back({.name = "Tag", .type = ColumnType::Text, .size = 12});
        std::vector<NewIndex> possible = {
            {.name = "PrimaryKey", .columns = {"Id"}, .primaryKey = true},
            {.name = "ByName", .columns = {"Name"}},
            {.name = "ByAmountName", .columns = {"Amount", "Name"}},
            {.name = "ByWhen", .columns = {"When"}, .ignoreNulls = true},
        };
        if (table.hasTag) {
            possible.push_back(
                {.name = "ByTag", .columns = {"Tag"}, .unique = true, .ignoreNulls = true});
        }
        std::vector<NewIndex> indexes;
        for (const auto& index : possible) {
            if (m_random() % 2 == 0) indexes.push_back(index);
        }
        m_database.createTable(name, columns, {}, indexes);
        m_tables[name] = table;
        insert(name, m_random() % 20);
    }

    void drop() {
        std::string name = pick();
        m_database.dropTable(name);
        m_tables.erase(name);
    }

    void insert(const std::string& name, size_t count) {
        Table& table = m_tables[name];
        size_t left = count;
        m_database.insertRows(name, [&](std::vector<Value>& row) {
            if (left == 0) return false;
            --left;
            row = {
                Value(), Value(text(5 + m_random() % 90)),
                Value(static_cast<double>(m_random() % 50)),
                m_random() % 4 == 0 ? Value() : Value(format::DateTime{40000.0 + m_random() % 30})};
            if (table.hasTag) {
                row.push_back(m_random() % 3 == 0 ? Value()
                                                  : Value("t" + std::to_string(m_nextTag++)));
            }
            return true;
        });
        table.rows += count;
    }

    void remove(const std::string& name) {
        const uint32_t divisor = 2 + m_random() % 4;
        const uint32_t remainder = m_random() % divisor;
        m_tables[name].rows -= m_database.deleteRows(name, [&](const std::vector<Value>& row) {
            return static_cast<uint32_t>(std::get<int32_t>(row[0])) % divisor == remainder;
        });
    }

    Database& m_database;
    std::mt19937 m_random;
    std::map<std::string, Table> m_tables;
    int m_nextName = 0;
    int m_nextTag = 0;
};

TEST(IndexChurn, tenThousandChangesKeepEveryIndexEqualToItsRebuild) {
    support::TempDir folder;
    auto& files = support::unsyncedFileSystem();
    auto path = folder / "churn.mdb";
    Database::create(path, {.format = FileFormat::Jet4, .fileSystem = &files});
    auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &files});
    Churn churn(*database, 21);
    for (int step = 1; step <= kSteps; ++step) {
        churn.step(step);
        if (step % kStepsBetweenChecks == 0) {
            ASSERT_NO_FATAL_FAILURE(churn.verify()) << "after step " << step;
        }
    }
}

}  // namespace
}  // namespace engine

// What the integrity check reports on files as they come from the product and on the shapes
// that other readers would read wrong: every untouched fixture passes; moved rows left behind,
// text lengths no copy can take are problems; stale row counts are notices.
#include "engine/catalog/integrity_check.h"
#include "engine/database.h"
#include "engine/format/data_page.h"
#include "engine/format/row_removal.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/process.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

namespace engine {
namespace {

constexpr size_t kPageSize = 4096;

std::string passwordOf(const std::string& fixture) {
    return fixture.find("with-password") != std::string::npos ||
                   fixture.find("encrypted") != std::string::npos
               ? "password"
               : "";
}

catalog::CheckReport checkOf(const std::filesystem::path& path) {
    auto database = Database::open(path);
    return catalog::checkIntegrity(database->pager(), database->jetFormat(),
                                   database->header().codePage());
}

void patch16(const std::filesystem::path& path, size_t offset, uint16_t value) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(offset));
    file.put(static_cast<char>(value & 0xFF));
    file.put(static_cast<char>(value >> 8));
}

uint16_t read16(const std::filesystem::path& path, size_t offset) {
    std::ifstream file(path, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(offset));
    uint8_t bytes[2] = {};
    file.read(reinterpret_cast<char*>(bytes), 2);
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// Where a row's slot entry lies in the file (Jet 4 and later, no page encoding).
size_t slotOffset(format::RowLocation location) {
    return location.page * kPageSize + 14 + 2u * location.row;
}

TEST(IntegrityFindings, everyUntouchedFixturePasses) {
    for (const auto& fixture : support::allFixtures()) {
        SCOPED_TRACE(fixture);
        auto database =
            Database::open(support::fixture(fixture), {.password = passwordOf(fixture)});
        auto report = catalog::checkIntegrity(database->pager(), database->jetFormat(),
                                              database->header().codePage());
        EXPECT_TRUE(report.ok()) << report.problems.front();
        EXPECT_GT(report.tablesChecked, 0u);
    }
}

// queryTestV2007's Table1 has a catalogue row that moved: its home slot points to the slot
// where it lives now.
TEST(IntegrityFindings, aMovedRowLeftBehindByItsPointerIsAProblem) {
    support::TempDir folder;
    auto path = folder.copyFixture("ace12/queryTestV2007.accdb");
    std::vector<format::RowLocation> slots;
    {
        auto database = support::openForWriting(path);
        slots = format::rowSlots(database->pager(), database->jetFormat(),
                                 database->catalog().findTable("Table1")->location);
        ASSERT_EQ(slots.size(), 2u);
        database->dropTable("Table1");
    }
    // Both slots are deleted: the pointer and the row it led to.
    for (const auto& slot : slots) {
        EXPECT_EQ(read16(path, slotOffset(slot)) & 0xC000, 0xC000) << "row " << int(slot.row);
    }
    EXPECT_TRUE(checkOf(path).ok());
    auto listed = support::runProcess({"mdb-tables", "-1", path.string()});
    EXPECT_EQ(listed.out.find("Table1"), std::string::npos) << listed.out;

    // As the engine once dropped it: the pointer deleted, the moved row left as it was.
    patch16(path, slotOffset(slots[1]), read16(path, slotOffset(slots[1])) & ~0x4000);
    listed = support::runProcess({"mdb-tables", "-1", path.string()});
    EXPECT_NE(listed.out.find("Table1"), std::string::npos) << "mdbtools lists the moved row";
    auto report = checkOf(path);
    ASSERT_FALSE(report.ok());
    EXPECT_NE(report.problems.front().find("MSysObjects"), std::string::npos)
        << report.problems.front();
    EXPECT_NE(report.problems.front().find("moved row"), std::string::npos);
}

// The row count in a table's definition (Jet 4: offset 16).
void setRowCount(const std::filesystem::path& path, PageNumber table, uint16_t count) {
    patch16(path, table * kPageSize + 16, count);
}

// A definition's row count is a counter the product does not always keep: a stale one is a
// notice, for the product's own tables and for user tables alike.
TEST(IntegrityFindings, staleRowCountsAreNotices) {
    support::TempDir folder;
    auto path = folder.copyFixture("ace12/queryTestV2007.accdb");
    PageNumber navigation = 0;
    PageNumber user = 0;
    {
        auto database = Database::open(path);
        // An Access system table stored as a user table ('N'), flagged as the product's own.
        const auto* groups = database->catalog().findTable("MSysNavPaneGroups");
        ASSERT_NE(groups, nullptr);
        ASSERT_EQ(database->tableDefinition("MSysNavPaneGroups").tableType, 'N');
        navigation = groups->tablePage();
        user = database->catalog().findTable("Table2")->tablePage();
    }
    auto noticed = [](const catalog::CheckReport& report, const std::string& name) {
        return std::any_of(report.notices.begin(), report.notices.end(), [&](const auto& text) {
            return text.find("'" + name + "'") != std::string::npos &&
                   text.find("definition counts 999") != std::string::npos;
        });
    };
    setRowCount(path, navigation, 999);
    setRowCount(path, user, 999);
    auto report = checkOf(path);
    EXPECT_TRUE(report.ok()) << report.problems.front();
    EXPECT_TRUE(noticed(report, "MSysNavPaneGroups"));
    EXPECT_TRUE(noticed(report, "Table2"));
}

// A text column declared 0xFFFF bytes long reads, but no table can be made like it.
TEST(IntegrityFindings, aTextLengthNoTextColumnCanHaveIsAProblem) {
    support::TempDir folder;
    auto path = folder / "long-text.mdb";
    PageNumber table = 0;
    {
        auto database = Database::create(path, {});
        database->createTable("Notes", {{.name = "Line", .size = 20}});
        table = database->catalog().findTable("Notes")->tablePage();
    }
    // The first column's length: descriptors start at 63, length at 23 in each.
    patch16(path, table * kPageSize + 63 + 23, 0xFFFF);
    auto report = checkOf(path);
    ASSERT_FALSE(report.ok());
    EXPECT_NE(report.problems.front().find("'Line'"), std::string::npos);
    EXPECT_NE(report.problems.front().find("65535"), std::string::npos);
    auto database = support::openForWriting(path);
    EXPECT_EQ(support::errorOf([&] { copyTable(*database, "Notes", *database, "Copy"); }),
              ErrorCode::InvalidArgument);
}

}  // namespace
}  // namespace engine

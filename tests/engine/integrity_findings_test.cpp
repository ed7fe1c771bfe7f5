// What the integrity check reports on files as they come from the product and on the shapes
// that other readers would read wrong: every untouched fixture passes; text lengths no copy
// can take and index entries that do not bound their children are problems; stale row counts,
// moved rows left behind and nodes whose only child is their tail are notices; index nodes
// with larger bounds and reference maps with a slot that points to no page pass.
#include "engine/catalog/integrity_check.h"
#include "engine/database.h"
#include "engine/format/indexes/index_page.h"
#include "engine/format/rows/row_layout.h"
#include "engine/format/rows/row_removal.h"
#include "engine/format/space/data_page.h"
#include "engine/format/space/data_page_editor.h"
#include "engine/format/space/page_allocator.h"
#include "engine/format/space/usage_map.h"
#include "engine/format/space/usage_map_editor.h"
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
TEST(IntegrityFindings, aMovedRowLeftBehindByItsPointerIsANotice) {
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
    // Access leaves such rows too and reads past them: a notice.
    auto report = checkOf(path);
    EXPECT_TRUE(report.ok()) << report.problems.front();
    ASSERT_EQ(report.notices.size(), 1u);
    EXPECT_NE(report.notices.front().find("MSysObjects"), std::string::npos)
        << report.notices.front();
    EXPECT_NE(report.notices.front().find("moved row"), std::string::npos);
    EXPECT_NE(support::integrityProblems(path), "");
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

int32_t longOfKey(const std::vector<uint8_t>& key) {
    return static_cast<int32_t>((static_cast<uint32_t>(key[1] ^ 0x80) << 24) |
                                (static_cast<uint32_t>(key[2]) << 16) |
                                (static_cast<uint32_t>(key[3]) << 8) | key[4]);
}

// Index trees as Access leaves them read whole and pass the check: a node entry above its
// child's last entry (it need only bound the child), and a node whose only child is its tail
// (a notice). An entry below its child's last entry misleads searches: a problem. The sound
// shapes then take inserts that split their pages, and stay sound.
TEST(IntegrityFindings, indexTreesAreJudgedByWhatTheirEntriesBound) {
    enum class Shape { LargerBound, SmallerBound, TailOnly };
    support::TempDir folder;
    for (Shape shape : {Shape::LargerBound, Shape::SmallerBound, Shape::TailOnly}) {
        SCOPED_TRACE(static_cast<int>(shape));
        auto path = folder / ("shape" + std::to_string(static_cast<int>(shape)) + ".mdb");
        // Even numbers in order: 3000 make leaves under a root node, 20 a root leaf.
        const int32_t rows = shape == Shape::TailOnly ? 20 : 3000;
        {
            auto database = Database::create(path, {});
            std::vector<std::vector<format::Value>> even;
            for (int32_t id = 0; id < rows; ++id) even.push_back({2 * id});
            database->createTable("T", {{.name = "Id", .type = format::ColumnType::Long}},
                                  support::RowFeed(even), {{.name = "ById", .columns = {"Id"}}});
        }
        support::changePages(path, [&](Database& database, format::PageAllocator& allocator) {
            auto& pager = database.pager();
            const auto& jet = database.jetFormat();
            const auto table = database.tableDefinition("T");
            const auto& real = table.realIndexes.at(0);
            auto root = format::parseIndexPage(*pager.read(real.rootPage), jet, real.rootPage, "");
            if (shape == Shape::TailOnly) {
                // The root leaf moves to a page of its own, which the root names as its tail.
                ASSERT_TRUE(root.leaf);
                const PageNumber moved = allocator.allocate();
                pager.write(moved, *format::buildIndexPage(root, jet));
                format::IndexPage node;
                node.leaf = false;
                node.owner = table.firstPage;
                node.tail = moved;
                pager.write(real.rootPage, *format::buildIndexPage(node, jet));
                format::UsageMapEditor map(pager, jet, allocator, real.pagesMap);
                map.add(moved);
                map.save();
                allocator.save();
                return;
            }
            ASSERT_FALSE(root.leaf);
            ASSERT_FALSE(root.entries.empty());
            const PageNumber left = root.entries[0].child;
            auto child = format::parseIndexPage(*pager.read(left), jet, left, "");
            // The child's last key is 2n and the next child's first 2n + 2: 2n + 1 bounds the
            // child, 2n - 2 leaves its last entry outside.
            const int32_t last = longOfKey(child.entries.back().key);
            root.entries[0].key =
                support::longKey(shape == Shape::LargerBound ? last + 1 : last - 2);
            pager.write(real.rootPage, *format::buildIndexPage(root, jet));
        });
        auto report = checkOf(path);
        if (shape == Shape::SmallerBound) {
            ASSERT_FALSE(report.ok());
            EXPECT_NE(report.problems.front().find("does not bound"), std::string::npos)
                << report.problems.front();
            continue;
        }
        EXPECT_TRUE(report.ok()) << report.problems.front();
        EXPECT_EQ(std::count_if(report.notices.begin(), report.notices.end(),
                                [](const auto& notice) {
                                    return notice.find("only child is its tail") !=
                                           std::string::npos;
                                }),
                  shape == Shape::TailOnly ? 1 : 0);
        auto database = support::openForWriting(path);
        EXPECT_EQ(support::allRows(*database, "T").size(), static_cast<size_t>(rows));
        // Odd numbers among the even ones, enough to split the leaves.
        int32_t odd = 1;
        database->insertRows("T", [&](std::vector<format::Value>& row) {
            if (odd > 2 * rows + 800) return false;
            row = {odd};
            odd += 2;
            return true;
        });
        EXPECT_EQ(support::integrityProblems(*database), "");
        EXPECT_EQ(support::indexDifferences(*database, "T"), "");
        database.reset();
        auto exported = support::runProcess({"mdb-export", path.string(), "T"});
        EXPECT_EQ(std::count(exported.out.begin(), exported.out.end(), '\n'),
                  1 + rows + (2 * rows + 801) / 2);
    }
}

// The global page map in its reference form, as an Access 2000 file keeps it: its bits on a
// bitmap page, and 0xFFFFFF80 in its last slot, which other readers take for no page. The file
// passes the check and takes changes, and the slot is written back as it was.
TEST(IntegrityFindings, aReferenceMapSlotWithItsTopBitSetPointsToNoPage) {
    support::TempDir folder;
    auto path = folder / "reference-map.mdb";
    Database::create(path, {})->createTable("Old",
                                            {{.name = "A", .type = format::ColumnType::Long}});
    constexpr size_t kLastSlot = 1 + 16 * 4;
    support::changePages(path, [&](Database& database, format::PageAllocator& allocator) {
        auto& pager = database.pager();
        const auto& jet = database.jetFormat();
        const PageNumber bitmap = allocator.allocate();
        storage::PageBuffer bits(jet.pageSize, 0);
        bits[0] = format::kBitmapPageType;
        bits[1] = 0x01;
        for (PageNumber page = 0; page < (jet.pageSize - 4) * 8; ++page) {
            if (allocator.isFree(page)) bits[4 + page / 8] |= static_cast<uint8_t>(1 << (page % 8));
        }
        pager.write(bitmap, bits);
        std::vector<uint8_t> row(jet.usageMapRowSize, 0);
        row[0] = format::kReferenceMap;
        storage::writeU32LE(row, 1, bitmap);
        storage::writeU32LE(row, kLastSlot, 0xFFFFFF80);
        auto old = pager.read(format::kGlobalMapPage);
        format::DataPageView view(*old, jet, format::kGlobalMapPage, "");
        auto second = view.rowBytes(view.slot(1));
        auto page = format::DataPageEditor::fresh(jet, format::kGlobalMapPage);
        page.appendRow(row);
        page.appendRow(std::vector<uint8_t>(second.begin(), second.end()));
        pager.write(format::kGlobalMapPage, page.bytes());
    });
    auto report = checkOf(path);
    EXPECT_TRUE(report.ok()) << report.problems.front();
    EXPECT_TRUE(report.notices.empty()) << report.notices.front();
    {
        auto database = support::openForWriting(path);
        database->createTable("New", {{.name = "A", .type = format::ColumnType::Long}});
        database->dropTable("Old");
        EXPECT_EQ(support::integrityProblems(*database), "");
        auto row = format::readUsageMapRow(database->pager(), database->jetFormat(),
                                           {0, format::kGlobalMapPage});
        EXPECT_EQ(storage::readU32LE(row, kLastSlot), 0xFFFFFF80u);
    }
    EXPECT_EQ(support::runProcess({"mdb-tables", "-1", path.string()}).out, "New\n");
}

// Where a table's properties (the LvProp long value of its catalogue row) lie in the file: the
// offset of the value's 12-byte descriptor. Jet 4 rows; nullopt when the row has no
// properties stored on a page of their own.
std::optional<size_t> propertiesDescriptor(Database& database, const std::string& table) {
    const auto catalogue = database.tableDefinitionAt(2);
    const auto* column = catalogue.findColumn("LvProp");
    const auto location = database.catalog().findTable(table)->location;
    auto page = database.pager().read(location.page);
    format::DataPageView view(*page, database.jetFormat(), location.page, "");
    const auto slot = view.slot(location.row);
    if (slot.lookup) return std::nullopt;
    format::RowLayout layout;
    if (!format::parseRowLayout(view.rowBytes(slot), database.jetFormat(), true, layout) ||
        !layout.nullMaskBit(column->number)) {
        return std::nullopt;
    }
    const size_t start = layout.variableOffsets[column->varIndex];
    const size_t end = layout.variableOffsets[column->varIndex + 1];
    const size_t at = size_t{location.page} * kPageSize + slot.start + start;
    if (end - start != 12 || ((*page)[slot.start + start + 3] & 0xC0) != 0x40) return std::nullopt;
    return at;
}

// A table's properties that point into another table's data page: Access leaves the pointer of
// a value it emptied (length 0), which reads as empty; one with a length is damage, but only
// where the properties are read. Every table reads and copies, any table can be dropped (the
// table whose properties are damaged too, which removes the damage), and the check reports the
// damage, naming its page.
TEST(IntegrityFindings, aLongValueIntoAnotherTableIsDamageOnlyWhereItIsRead) {
    support::TempDir folder;
    for (uint32_t length : {0u, 5u}) {
        SCOPED_TRACE(length);
        auto path = folder.copyFixture("jet4/testV2003.mdb");
        std::string damaged, other;
        size_t descriptor = 0;
        PageNumber target = 0;
        {
            auto database = Database::open(path);
            for (const auto& object : database->catalog().objects()) {
                if (object.kind != catalog::ObjectKind::Table || !other.empty() ||
                    support::allRows(*database, object.name).empty()) {
                    continue;
                }
                other = object.name;
                target = format::readUsageMapPages(database->pager(), database->jetFormat(),
                                                   database->tableDefinition(other).ownedPages)
                             .at(0);
            }
            for (const auto& object : database->catalog().objects()) {
                if (object.kind != catalog::ObjectKind::Table || object.name == other) continue;
                if (auto found = propertiesDescriptor(*database, object.name)) {
                    damaged = object.name;
                    descriptor = *found;
                    break;
                }
            }
        }
        ASSERT_FALSE(damaged.empty());
        ASSERT_FALSE(other.empty());
        {
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            const uint32_t header = 0x40000000u | length;
            const uint8_t bytes[8] = {static_cast<uint8_t>(header),
                                      static_cast<uint8_t>(header >> 8),
                                      static_cast<uint8_t>(header >> 16),
                                      static_cast<uint8_t>(header >> 24),
                                      0,
                                      static_cast<uint8_t>(target),
                                      static_cast<uint8_t>(target >> 8),
                                      static_cast<uint8_t>(target >> 16)};
            file.seekp(static_cast<std::streamoff>(descriptor));
            file.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
        }
        auto report = checkOf(path);
        if (length == 0) {
            EXPECT_TRUE(report.ok()) << report.problems.front();
        } else {
            ASSERT_FALSE(report.ok());
            EXPECT_NE(report.problems.front().find("page " + std::to_string(target)),
                      std::string::npos)
                << report.problems.front();
        }
        auto database = support::openForWriting(path);
        for (const auto& name : {damaged, other}) {
            copyTable(*database, name, *database, name + "Copy");
            EXPECT_EQ(support::allRows(*database, name + "Copy"),
                      support::allRows(*database, name));
        }
        database->dropTable(other);
        database->dropTable(damaged);
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
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

// The catalogue a database keeps in memory across the tables it creates lists what a fresh read
// of the file lists, in the same order, also when new rows fill room that drops left behind.
#include "engine/database.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/unsynced_file_system.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

std::vector<std::string> listed(const catalog::Catalog& catalog) {
    std::vector<std::string> lines;
    for (const auto& object : catalog.objects()) {
        lines.push_back(object.name + " " + std::to_string(object.id) + " " +
                        std::to_string(object.parentId) + " " + std::to_string(object.type) + " " +
                        std::to_string(static_cast<int>(object.kind)) + " at " +
                        std::to_string(object.location.page) + "/" +
                        std::to_string(object.location.row));
    }
    return lines;
}

TEST(CatalogueInStep, keptCatalogueMatchesAFreshRead) {
    support::TempDir folder;
    support::UnsyncedFileSystem files;
    auto path = folder / "kept.mdb";
    Database::create(path, {.fileSystem = &files});
    auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &files});
    const std::vector<catalog::NewColumn> one = {{.name = "A", .type = format::ColumnType::Long}};
    auto expectFresh = [&](const std::string& when) {
        auto fresh = Database::open(path);
        EXPECT_EQ(listed(database->catalog()), listed(fresh->catalog())) << when;
    };
    for (int index = 0; index < 120; ++index) {
        database->createTable("Table with a long name number " + std::to_string(index), one);
    }
    expectFresh("after 120 creates");
    // Drops free room on the catalogue's early pages; later rows may land there.
    for (int index = 0; index < 120; index += 3) {
        database->dropTable("Table with a long name number " + std::to_string(index));
    }
    (void)database->catalog();
    for (int index = 0; index < 30; ++index) {
        database->createTable("Refill " + std::to_string(index), one);
        expectFresh("after refill " + std::to_string(index));
    }
}

// A database opened afresh finds its tables through the catalogue's index; a name that differs
// only in letter case is the same table there too, also for letters whose two cases get
// different index keys (Cyrillic yat under General Legacy).
TEST(CatalogueInStep, namesDifferingInCaseAreOneTableWithoutReadingTheCatalogue) {
    support::TempDir folder;
    support::UnsyncedFileSystem files;
    auto path = folder / "cased.mdb";
    Database::create(path, {.fileSystem = &files});
    const std::vector<catalog::NewColumn> one = {{.name = "A", .type = format::ColumnType::Long}};
    {
        auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &files});
        for (int index = 0; index < 40; ++index) {
            database->createTable("Filler " + std::to_string(index), one);
        }
        database->createTable("Orders", one);
        database->createTable("\u0462 Ledger", one);
    }
    for (const std::string& again : {std::string("oRDERS"), std::string("\u0463 lEDGER")}) {
        auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &files});
        try {
            database->createTable(again, one);
            ADD_FAILURE() << again << " was created beside its other case";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::TableExists) << again;
        }
        auto whole = Database::open(path);
        const catalog::CatalogObject* listed = whole->catalog().findTable(again);
        ASSERT_NE(listed, nullptr) << again;
        EXPECT_EQ(database->tableDefinition(again).firstPage, listed->tablePage()) << again;
    }
    EXPECT_THROW(Database::open(path)->tableDefinition("Order"), EngineError);
}

}  // namespace
}  // namespace engine

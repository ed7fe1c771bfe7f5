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
    auto& files = support::unsyncedFileSystem();
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

// A database opened afresh finds its tables through the catalogue's index, without reading the
// catalogue: the name that one finds is the one the whole catalogue finds, for names that are
// one name there (letter case, "ss" for "sharp s", trailing blanks) and names it keeps apart
// (Cyrillic yat, whose two cases sort apart under General Legacy).
TEST(CatalogueInStep, aLookUpThroughTheIndexFindsWhatTheWholeCatalogueFinds) {
    support::TempDir folder;
    auto& files = support::unsyncedFileSystem();
    auto path = folder / "names.mdb";
    Database::create(path, {.fileSystem = &files});
    const std::vector<catalog::NewColumn> one = {{.name = "A", .type = format::ColumnType::Long}};
    {
        auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &files});
        for (int index = 0; index < 40; ++index) {
            database->createTable("Filler " + std::to_string(index), one);
        }
        for (const char* name : {"Orders", "Stra\u00dfe", "\u0462 Ledger"}) {
            database->createTable(name, one);
        }
    }
    auto whole = Database::open(path);
    for (const char* probe :
         {"oRDERS", "Orders  ", "STRASSE", "\u0463 Ledger", "\u0462 LEDGER", "Order", "Filler 4"}) {
        auto looked = Database::open(path)->findInTables(probe);
        const catalog::CatalogObject* listed = whole->catalog().findInTables(probe);
        ASSERT_EQ(looked.has_value(), listed != nullptr) << probe;
        if (listed) {
            EXPECT_EQ(looked->id, listed->id) << probe;
        }
    }
    // A taken name is refused before anything is written, without the catalogue read.
    auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &files});
    try {
        database->createTable("sTRASSE", one);
        ADD_FAILURE() << "a second 'Strasse' was created";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.code(), ErrorCode::TableExists);
    }
    database->createTable("\u0463 Ledger", one);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

}  // namespace
}  // namespace engine

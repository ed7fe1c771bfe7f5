// Writing: new databases, new tables of every column type, rows of every size, drops; each
// file checked by the integrity check and read back by mdbtools.
#include "engine/database.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/process.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace engine {
namespace {

using catalog::NewColumn;
using format::ColumnType;
using format::Value;
using storage::FileFormat;

const FileFormat kWritableFormats[] = {FileFormat::Jet4, FileFormat::Ace12, FileFormat::Ace14,
                                       FileFormat::Ace16, FileFormat::Ace17};

std::string extensionOf(FileFormat format) { return storage::isAce(format) ? ".accdb" : ".mdb"; }

TEST(DatabaseWrite, newDatabasesAreSoundAndReadableByOthers) {
    support::TempDir folder;
    for (FileFormat format : kWritableFormats) {
        SCOPED_TRACE(storage::formatName(format));
        auto path =
            folder / (std::string("new-") + storage::formatName(format) + extensionOf(format));
        auto database = Database::create(path, {.format = format});
        EXPECT_EQ(database->format(), format);
        EXPECT_EQ(support::integrityProblems(*database), "");
        database.reset();

        auto version = support::runProcess({"mdb-ver", path.string()});
        EXPECT_EQ(version.out, std::string(storage::formatName(format)) + "\n");
        auto tables = support::runProcess({"mdb-tables", "-1", path.string()});
        EXPECT_EQ(tables.exitCode, 0);
        EXPECT_EQ(tables.out, "");
        auto system = support::runProcess({"mdb-tables", "-1", "-S", path.string()});
        EXPECT_NE(system.out.find("MSysObjects"), std::string::npos);
        EXPECT_NE(system.out.find("MSysACEs"), std::string::npos);
        EXPECT_EQ(system.out.find("MSysComplexColumns") != std::string::npos,
                  storage::isAce(format));
    }
    EXPECT_EQ(support::errorOf([&] { Database::create(folder / "new-JET4.mdb", {}); }),
              ErrorCode::IoError);
}

TEST(DatabaseWrite, tablesOfEveryColumnTypeReadBackExactly) {
    support::TempDir folder;
    for (FileFormat format : kWritableFormats) {
        SCOPED_TRACE(storage::formatName(format));
        auto path =
            folder / (std::string("types-") + storage::formatName(format) + extensionOf(format));
        auto database = Database::create(path, {.format = format});
        auto columns = support::everyColumnType(format);
        std::vector<std::vector<Value>> written;
        for (uint32_t seed = 1; seed <= 120; ++seed)
            written.push_back(support::sampleRow(columns, seed));
        size_t next = 0;
        database->createTable("All Types", columns, [&](std::vector<Value>& row) {
            if (next == written.size()) return false;
            row = written[next++];
            return true;
        });
        EXPECT_EQ(support::integrityProblems(*database), "");

        auto read = support::allRows(*database, "All Types");
        ASSERT_EQ(read.size(), written.size());
        for (size_t index = 0; index < read.size(); ++index) {
            // The AutoNumber column numbers the rows 1, 2, 3 ...
            written[index][0] = static_cast<int32_t>(index + 1);
            EXPECT_EQ(read[index], written[index]) << "row " << index;
        }
        database.reset();
        auto export1 = support::mdbExport(path, "All Types");
        EXPECT_EQ(std::count(export1.begin(), export1.end(), '\n') >= 121, true) << export1;
    }
}

TEST(DatabaseWrite, createRefusesWhatTheEngineRefuses) {
    support::TempDir folder;
    auto database = Database::create(folder / "refuse.mdb", {});
    std::vector<NewColumn> one = {{.name = "A", .type = ColumnType::Long}};
    database->createTable("Existing", one);
    EXPECT_EQ(support::errorOf([&] { database->createTable("existing", one); }),
              ErrorCode::TableExists);
    try {
        database->createTable("EXISTING", one);
    } catch (const EngineError& error) {
        EXPECT_STREQ(error.what(), "Table 'EXISTING' already exists.");
    }
    for (const char* bad :
         {"", " lead", "dot.name", "bang!", "back`quote", "[bracket]",
          "a name that is far longer than the sixty four characters it may have"}) {
        EXPECT_EQ(support::errorOf([&] { database->createTable(bad, one); }),
                  ErrorCode::InvalidName)
            << bad;
    }
    std::vector<NewColumn> twice = {{.name = "A", .type = ColumnType::Long},
                                    {.name = "a", .type = ColumnType::Text}};
    EXPECT_EQ(support::errorOf([&] { database->createTable("Twice", twice); }),
              ErrorCode::InvalidArgument);
    std::vector<NewColumn> many;
    for (int index = 0; index < 256; ++index) {
        many.push_back({.name = "C" + std::to_string(index), .type = ColumnType::Byte});
    }
    EXPECT_EQ(support::errorOf([&] { database->createTable("Wide", many); }),
              ErrorCode::TooManyColumns);
    many.pop_back();
    database->createTable("Widest", many, [&, done = false](std::vector<Value>& row) mutable {
        if (done) return false;
        row.assign(255, Value(uint8_t{7}));
        done = true;
        return true;
    });
    EXPECT_EQ(support::allRows(*database, "Widest").at(0).size(), 255u);
    std::vector<NewColumn> big = {{.name = "N", .type = ColumnType::BigInt}};
    EXPECT_EQ(support::errorOf([&] { database->createTable("Big", big); }),
              ErrorCode::InvalidArgument);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

TEST(DatabaseWrite, namesInAnyScriptUpToSixtyFourCharacters) {
    support::TempDir folder;
    for (FileFormat format : {FileFormat::Jet4, FileFormat::Ace14}) {
        auto path =
            folder / (std::string("names-") + storage::formatName(format) + extensionOf(format));
        auto database = Database::create(path, {.format = format});
        std::vector<std::string> names = {
            "Ωμέγα πίνακας",      "Таблица",      "表格", "Über Straße",
            std::string(64, 'x'), "mixed Ω and A"};
        for (const auto& name : names) {
            database->createTable(name, {{.name = name, .type = ColumnType::Text, .size = 50}},
                                  [&, done = false](std::vector<Value>& row) mutable {
                                      if (done) return false;
                                      row = {Value(name)};
                                      return done = true;
                                  });
        }
        EXPECT_EQ(support::integrityProblems(*database), "");
        for (const auto& name : names) {
            EXPECT_EQ(support::allRows(*database, name).at(0).at(0), Value(name));
        }
        database.reset();
        auto listed = support::runProcess({"mdb-tables", "-1", path.string()}).out;
        for (const auto& name : names) EXPECT_NE(listed.find(name), std::string::npos) << name;
    }
}

TEST(DatabaseWrite, droppedTablesVanishAndTheirPagesAreReused) {
    support::TempDir folder;
    auto path = folder / "drop.accdb";
    auto database = Database::create(path, {.format = FileFormat::Ace12});
    auto columns = support::everyColumnType(FileFormat::Ace12);
    auto fill = [&](uint32_t count) {
        return [&columns, count, next = 0u](std::vector<Value>& row) mutable {
            if (next == count) return false;
            row = support::sampleRow(columns, ++next);
            return true;
        };
    };
    database->createTable("Keep", columns, fill(20));
    database->createTable("Temporary", columns, fill(300));
    auto sizeWithBoth = std::filesystem::file_size(path);
    database->dropTable("temporary");
    EXPECT_EQ(support::integrityProblems(*database), "");
    EXPECT_EQ(support::errorOf([&] { database->readTable("Temporary"); }),
              ErrorCode::InputTableNotFound);
    try {
        database->dropTable("Temporary");
        FAIL() << "dropped a missing table";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.code(), ErrorCode::TableNotFound);
        EXPECT_STREQ(error.what(), "Table 'Temporary' does not exist.");
    }
    // The same table again fits in the pages the drop gave back.
    database->createTable("Again", columns, fill(300));
    EXPECT_EQ(std::filesystem::file_size(path), sizeWithBoth);
    EXPECT_EQ(support::integrityProblems(*database), "");
    EXPECT_EQ(support::allRows(*database, "Keep").size(), 20u);
    EXPECT_EQ(support::errorOf([&] { database->dropTable("MSysObjects"); }),
              ErrorCode::NotSupported);
    database.reset();
    EXPECT_EQ(support::runProcess({"mdb-tables", "-1", path.string()}).out, "Keep\nAgain\n");
}

TEST(DatabaseWrite, readOnlyOpensRefuseWrites) {
    support::TempDir folder;
    auto jet4 = folder.copyFixture("jet4/testV2003.mdb");
    auto reader = Database::open(jet4, {.mode = AccessMode::ReadOnly});
    try {
        reader->dropTable("Table1");
        FAIL() << "wrote through a reader";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.code(), ErrorCode::ReadOnly);
        EXPECT_STREQ(error.what(), "Cannot update. Database or object is read-only.");
    }
    std::filesystem::permissions(jet4, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    if (::geteuid() != 0) {  // root writes any file, whatever its permissions
        auto readOnlyFile = Database::open(jet4, {.mode = AccessMode::ReadWriteIfAble});
        EXPECT_FALSE(readOnlyFile->writable());
        EXPECT_EQ(support::errorOf([&] { readOnlyFile->dropTable("Table1"); }),
                  ErrorCode::ReadOnly);
    }
}

// Every user table of every Jet 4 and ACE fixture, copied into a new database of each format and
// into a copy of the fixture itself, reads back through mdb-export as the source does; dropping
// the copies leaves the fixture's table list as it was.
TEST(DatabaseWrite, everyFixtureTableCopiesIntact) {
    support::TempDir folder;
    for (const auto& fixture : support::allFixtures()) {
        if (fixture.rfind("jet3/", 0) == 0 || fixture.find("encrypted") != std::string::npos) {
            continue;
        }
        SCOPED_TRACE(fixture);
        std::string password = fixture.find("with-password") != std::string::npos ? "password" : "";
        auto sourcePath = support::fixture(fixture);
        auto source = Database::open(sourcePath, {.password = password});
        std::vector<std::string> tables;
        for (const auto& object : source->catalog().objects()) {
            if (object.kind == catalog::ObjectKind::Table) tables.push_back(object.name);
        }
        auto ownCopy = folder.copyFixture(fixture, "own-" + sourcePath.filename().string());
        auto own = support::openForWriting(ownCopy, password);
        for (FileFormat format : kWritableFormats) {
            auto targetPath =
                folder / (std::string("into-") + storage::formatName(format) + extensionOf(format));
            std::filesystem::remove(targetPath);
            auto target = Database::create(targetPath, {.format = format});
            for (const auto& table : tables) {
                auto definition = source->tableDefinition(table);
                bool copyable = true;
                for (const auto& column : definition.columns) {
                    bool known =
                        format::columnTypeFromCode(static_cast<uint8_t>(column.type)).has_value();
                    copyable =
                        copyable && known && column.type != ColumnType::Complex &&
                        !(column.type == ColumnType::BigInt && format < FileFormat::Ace16) &&
                        !(column.type == ColumnType::ExtDateTime && format < FileFormat::Ace17);
                }
                if (!copyable) {
                    EXPECT_NE(support::errorOf([&] { copyTable(*source, table, *target, table); }),
                              ErrorCode::Internal);
                    continue;
                }
                copyTable(*source, table, *target, table);
                auto sourceRows = support::allRows(*source, table);
                EXPECT_EQ(support::allRows(*target, table), sourceRows) << table;
                // mdbtools reads calculated columns as plain ones, so only tables without them
                // compare through it.
                bool calculated =
                    std::any_of(definition.columns.begin(), definition.columns.end(),
                                [](const auto& column) { return column.isCalculated(); });
                if (!calculated) {
                    EXPECT_EQ(support::mdbExport(targetPath, table),
                              support::mdbExport(sourcePath, table))
                        << table << " into " << storage::formatName(format);
                }
                if (format == FileFormat::Jet4) {
                    copyTable(*own, table, *own, table + " copy");
                    EXPECT_EQ(support::allRows(*own, table + " copy"), sourceRows);
                }
            }
            EXPECT_EQ(support::integrityProblems(*target), "") << storage::formatName(format);
        }
        EXPECT_EQ(support::integrityProblems(*own), "");
        auto listedBefore = support::runProcess({"mdb-tables", "-1", sourcePath.string()}).out;
        for (const auto& table : tables) {
            if (own->catalog().findTable(table + " copy")) own->dropTable(table + " copy");
        }
        EXPECT_EQ(support::integrityProblems(*own), "");
        own.reset();
        EXPECT_EQ(support::runProcess({"mdb-tables", "-1", ownCopy.string()}).out, listedBefore);
    }
}

}  // namespace
}  // namespace engine

namespace engine {
namespace {

// Enough tables that the catalogue's indexes outgrow one page and grow node pages above their
// leaves; dropping them again shrinks the indexes back.
TEST(DatabaseWrite, catalogueIndexesGrowAndShrinkAcrossPages) {
    support::TempDir folder;
    auto path = folder / "many.accdb";
    auto database = Database::create(path, {.format = storage::FileFormat::Ace14});
    std::vector<catalog::NewColumn> one = {{.name = "A", .type = format::ColumnType::Long}};
    std::string expected;
    for (int index = 0; index < 120; ++index) {
        std::string name = "Table number " + std::to_string(1000 + index) + " Ünïcödé";
        database->createTable(name, one);
        expected += name + "\n";
    }
    EXPECT_EQ(support::integrityProblems(*database), "");
    auto catalogTable = database->tableDefinitionAt(catalog::kCatalogTablePage);
    auto root = database->pager().read(catalogTable.realIndexes.at(0).rootPage);
    EXPECT_EQ((*root)[0], 0x03) << "the name index did not grow a node page";
    database.reset();
    auto listed = support::runProcess({"mdb-tables", "-1", path.string()}).out;
    EXPECT_EQ(listed, expected);
    database = support::openForWriting(path);
    for (int index = 0; index < 115; ++index) {
        database->dropTable("Table number " + std::to_string(1000 + index) + " Ünïcödé");
    }
    EXPECT_EQ(support::integrityProblems(*database), "");
}

// Rows added to tables that carry indexes of their own (unique ones among them) keep every index
// exact; a duplicate in a unique index is refused and changes nothing.
TEST(DatabaseWrite, insertsKeepUserIndexesExact) {
    support::TempDir folder;
    for (const char* fixture :
         {"jet4/indexTestV2000.mdb", "ace14/indexTestV2010.accdb", "jet4/compIndexTestV2003.mdb",
          "jet3/indexTestV1997.mdb", "jet3/compIndexTestV1997.mdb"}) {
        SCOPED_TRACE(fixture);
        auto path = folder.copyFixture(fixture);
        auto database = support::openForWriting(path);
        std::vector<std::string> tables;
        for (const auto& object : database->catalog().objects()) {
            if (object.kind == catalog::ObjectKind::Table) tables.push_back(object.name);
        }
        for (const auto& name : tables) {
            auto rows = support::allRows(*database, name);
            if (rows.empty()) continue;
            auto before = rows.size();
            std::vector<std::vector<format::Value>> duplicate = {rows.front()};
            auto definition = database->tableDefinition(name);
            bool unique = std::any_of(definition.realIndexes.begin(), definition.realIndexes.end(),
                                      [](const auto& real) { return real.isUnique(); });
            if (unique) {
                EXPECT_EQ(support::errorOf(
                              [&] { database->insertRows(name, support::RowFeed(duplicate)); }),
                          ErrorCode::DuplicateKey)
                    << name;
                EXPECT_EQ(support::allRows(*database, name).size(), before);
            } else {
                database->insertRows(name, support::RowFeed(duplicate));
                EXPECT_EQ(support::allRows(*database, name).size(), before + 1);
            }
        }
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
}

}  // namespace
}  // namespace engine

// A copy passes rows on as the source stores them when the new table lays its rows out alike:
// the values must come out exactly as the source's, long values must live on the new table's
// own pages, and a row the new table cannot take as it is must store nothing and go in as values.
#include "engine/catalog/table_creator.h"
#include "engine/database.h"
#include "engine/format/rows/long_value.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/unsynced_file_system.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

using format::ColumnType;
using format::Value;
using storage::FileFormat;

constexpr uint32_t kCopiedRows = 40;

std::vector<std::vector<Value>> copiedRows(const std::vector<catalog::NewColumn>& columns,
                                           FileFormat format, uint32_t seed) {
    std::vector<std::vector<Value>> rows;
    for (uint32_t row = 0; row < kCopiedRows; ++row) {
        rows.push_back(support::sampleRow(columns, seed + row, format));
    }
    return rows;
}

// Copies between and within files of each format, and between Jet 4 and ACE files; then the
// source goes and new rows take its pages, which the copy's long values must not have pointed
// to.
TEST(StoredRows, copiesKeepEveryValueAndOwnTheirLongValues) {
    for (FileFormat format : {FileFormat::Jet3, FileFormat::Jet4, FileFormat::Ace12,
                              FileFormat::Ace14, FileFormat::Ace16, FileFormat::Ace17}) {
        SCOPED_TRACE(storage::formatName(format));
        support::TempDir folder;
        auto& files = support::unsyncedFileSystem();
        const auto columns = support::everyColumnType(format);
        const auto rows = copiedRows(columns, format, 1);
        auto sourcePath = folder / "source.mdb";
        auto source = Database::create(sourcePath, {.format = format, .fileSystem = &files});
        source->createTable("Sample", columns, support::RowFeed(rows));
        auto targetPath = folder / "target.mdb";
        auto target = Database::create(targetPath, {.format = format, .fileSystem = &files});

        copyTable(*source, "Sample", *target, "Copy");
        copyTable(*source, "Sample", *source, "Own copy");
        // The copies lay out their rows as the source does, so that they took its rows whole.
        const auto definition = source->tableDefinition("Sample");
        EXPECT_TRUE(format::storesRowsAlike(definition, target->tableDefinition("Copy")));
        EXPECT_TRUE(format::storesRowsAlike(definition, source->tableDefinition("Own copy")));
        const auto expected = support::allRows(*source, "Sample");
        EXPECT_EQ(support::allRows(*target, "Copy"), expected);
        EXPECT_EQ(support::allRows(*source, "Own copy"), expected);
        EXPECT_EQ(support::integrityProblems(*target), "");
        target.reset();
        EXPECT_EQ(support::mdbExport(targetPath, "Copy"), support::mdbExport(sourcePath, "Sample"));
        if (format != FileFormat::Jet3 && format < FileFormat::Ace16) {
            // Jet 4 and ACE lay out rows alike: a copy between them takes the rows whole too.
            const FileFormat other =
                format == FileFormat::Jet4 ? FileFormat::Ace14 : FileFormat::Jet4;
            auto otherPath = folder / "other.mdb";
            auto sibling = Database::create(otherPath, {.format = other, .fileSystem = &files});
            copyTable(*source, "Sample", *sibling, "Copy");
            EXPECT_TRUE(format::storesRowsAlike(definition, sibling->tableDefinition("Copy")));
            EXPECT_EQ(support::allRows(*sibling, "Copy"), expected);
            EXPECT_EQ(support::integrityProblems(*sibling), "");
            sibling.reset();
            EXPECT_EQ(support::mdbExport(otherPath, "Copy"),
                      support::mdbExport(sourcePath, "Sample"));
        }

        source->dropTable("Sample");
        source->createTable("Other", columns, support::RowFeed(copiedRows(columns, format, 500)));
        EXPECT_EQ(support::allRows(*source, "Own copy"), expected);
        EXPECT_EQ(support::integrityProblems(*source), "");
    }
}

// Rows refused as stored leave no trace; those taken land whole; a long value that cannot be
// read ends the change, which then leaves the file as it was.
TEST(StoredRows, rowsTheTableCannotTakeAsTheyAreStoreNothing) {
    support::TempDir folder;
    auto& files = support::unsyncedFileSystem();
    auto path = folder / "rows.mdb";
    auto database = Database::create(path, {.fileSystem = &files});
    const std::vector<catalog::NewColumn> wide = {
        {.name = "Id", .type = ColumnType::Long},
        {.name = "Name", .type = ColumnType::Text, .size = 50},
        {.name = "Notes", .type = ColumnType::Memo},
    };
    // Longer than the texts kept compressed: stored as two bytes a character, on one row of a
    // long-value page.
    const std::string longNote(1500, 'n');
    const std::vector<std::vector<Value>> rows = {
        {int32_t{1}, std::string("short"), std::string("inline note")},
        {int32_t{2}, std::string("a name longer than ten"), longNote},
        {int32_t{3}, std::string("x"), longNote + "!"},
    };
    database->createTable("Source", wide, support::RowFeed(rows));
    std::vector<std::vector<uint8_t>> stored;
    {
        auto reader = database->readTable("Source");
        while (reader->nextRaw()) {
            stored.emplace_back(reader->rowBytes().begin(), reader->rowBytes().end());
        }
    }
    ASSERT_EQ(stored.size(), 3u);
    const auto source = database->tableDefinition("Source");

    // The same columns with a name of at most ten characters: the layout is alike but the
    // second row's name does not fit.
    auto narrow = wide;
    narrow[1].size = 10;
    int reads = 0;
    format::ByteString scratch;
    auto longValues = [&](size_t, storage::Bytes descriptor) {
        ++reads;
        return format::readLongValue(database->pager(), database->jetFormat(), descriptor,
                                     scratch);
    };
    std::vector<std::optional<format::RowLocation>> taken;
    database->createTable("Narrow", narrow, [&](catalog::NewTable& table) {
        EXPECT_FALSE(format::storesRowsAlike(source, table.definition()));
        for (const auto& row : stored) taken.push_back(table.appendStored(row, longValues));
        auto more = stored[0];
        more[0] = static_cast<uint8_t>(more[0] + 1);  // one column slot too many
        taken.push_back(table.appendStored(more, longValues));
        auto cut = stored[0];
        cut.resize(4);  // the Long value and the trailer gone
        taken.push_back(table.appendStored(cut, longValues));
    });
    ASSERT_EQ(taken.size(), 5u);
    EXPECT_TRUE(taken[0] && taken[2]);
    EXPECT_FALSE(taken[1] || taken[3] || taken[4]);
    // Only the rows taken had their long values read: the refused row's note was not.
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(support::allRows(*database, "Narrow"),
              (std::vector<std::vector<Value>>{rows[0], rows[2]}));
    EXPECT_EQ(support::integrityProblems(*database), "");

    // The long note's descriptor pointed at a page that is no long-value page.
    auto broken = stored[2];
    format::RowLayout layout;
    ASSERT_TRUE(format::parseRowLayout(broken, database->jetFormat(), true, layout));
    const size_t descriptorAt = layout.variableOffsets[source.findColumn("Notes")->varIndex];
    ASSERT_EQ(broken[descriptorAt + 3] & 0xC0, 0x40);  // a value on one long-value row
    broken[descriptorAt + 5] = 0;  // page 0: the header page
    broken[descriptorAt + 6] = 0;
    broken[descriptorAt + 7] = 0;
    database.reset();
    const auto before = support::bytesOf(path);
    database = support::openForWriting(path);
    EXPECT_EQ(support::errorOf([&] {
                  database->createTable("Broken", wide, [&](catalog::NewTable& table) {
                      ASSERT_TRUE(table.appendStored(stored[0], longValues));
                      table.appendStored(broken, longValues);
                  });
              }),
              ErrorCode::Corrupt);
    database.reset();
    EXPECT_TRUE(support::bytesOf(path) == before);
}

}  // namespace
}  // namespace engine

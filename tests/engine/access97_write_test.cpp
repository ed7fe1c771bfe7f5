// Access 97 (Jet 3) files as destinations: new files, every column type, rows long enough for
// jump tables, the catalogue and its indexes, and what an Access 97 file cannot hold. Each file
// is checked by the integrity check and read back by mdbtools and mdb-reader.
#include "engine/database.h"
#include "engine/format/indexes/index_key.h"
#include "engine/format/indexes/index_page.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/mdb_reader.h"
#include "support/process.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>

namespace engine {
namespace {

using catalog::NewColumn;
using format::ColumnType;
using format::Value;
using storage::FileFormat;

using support::bytesOf;

// Sets one 16-bit field of an Access 97 file's header (which is stored masked) in place; returns
// the file's bytes afterwards.
std::vector<uint8_t> setHeaderField(const std::filesystem::path& path, size_t offset,
                                    uint16_t value) {
    auto bytes = bytesOf(path);
    std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 2048);
    storage::toggleHeaderMask(header, FileFormat::Jet3);
    header[offset] = static_cast<uint8_t>(value);
    header[offset + 1] = static_cast<uint8_t>(value >> 8);
    storage::toggleHeaderMask(header, FileFormat::Jet3);
    std::copy(header.begin(), header.end(), bytes.begin());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

std::vector<std::string> userTables(Database& database) {
    std::vector<std::string> names;
    for (const auto& object : database.catalog().objects()) {
        if (object.kind == catalog::ObjectKind::Table) names.push_back(object.name);
    }
    return names;
}

std::string listedByMdbtools(const std::filesystem::path& path) {
    return support::runProcess({"mdb-tables", "-1", path.string()}).out;
}

// The entries of an index with exactly this key, found by walking down from the root through
// the node pages, as a look-up by key does (not by reading the leaves in order).
std::vector<format::RowLocation> seek(Database& database, const format::RealIndex& index,
                                      const std::vector<uint8_t>& key) {
    storage::Pager& pager = database.pager();
    PageNumber number = index.rootPage;
    for (int depth = 0; depth < 8; ++depth) {
        auto contents = pager.read(number);
        auto page = format::parseIndexPage(*contents, database.jetFormat(), number, pager.path());
        if (page.leaf) {
            std::vector<format::RowLocation> found;
            for (const auto& entry : page.entries) {
                if (entry.key == key) found.push_back(entry.row);
            }
            return found;
        }
        // A node entry holds its child's last key; the tail child follows the last entry.
        auto child = std::find_if(page.entries.begin(), page.entries.end(),
                                  [&](const auto& entry) { return !(entry.key < key); });
        number = child != page.entries.end() ? child->child
                 : page.tail != 0            ? page.tail
                                             : page.entries.back().child;
    }
    ADD_FAILURE() << "the index at page " << index.rootPage << " is deeper than expected";
    return {};
}

// Every table of the catalogue is found through both MSysObjects indexes: by container and
// name, and by id.
void expectEveryTableFoundThroughTheIndexes(Database& database) {
    auto objects = database.tableDefinitionAt(catalog::kCatalogTablePage);
    const format::RealIndex* byName = nullptr;
    const format::RealIndex* byId = nullptr;
    for (const auto& logical : objects.logicalIndexes) {
        const auto& real = objects.realIndexes.at(logical.realIndexNumber);
        if (logical.name == "ParentIdName") byName = &real;
        if (logical.name == "Id") byId = &real;
    }
    ASSERT_TRUE(byName && byId);
    size_t parentId = static_cast<size_t>(objects.findColumn("ParentId") - objects.columns.data());
    size_t name = static_cast<size_t>(objects.findColumn("Name") - objects.columns.data());
    size_t id = static_cast<size_t>(objects.findColumn("Id") - objects.columns.data());
    size_t tables = 0;
    for (const auto& object : database.catalog().objects()) {
        if (!object.isLocalTable()) continue;
        ++tables;
        std::vector<Value> row(objects.columns.size());
        row[parentId] = object.parentId;
        row[name] = object.name;
        row[id] = object.id;
        std::vector<uint8_t> nameKey;
        std::vector<uint8_t> idKey;
        format::encodeIndexKey(objects, *byName, row, database.format(), nameKey);
        format::encodeIndexKey(objects, *byId, row, database.format(), idKey);
        EXPECT_EQ(seek(database, *byName, nameKey),
                  std::vector<format::RowLocation>{object.location})
            << object.name;
        EXPECT_EQ(seek(database, *byId, idKey), std::vector<format::RowLocation>{object.location})
            << object.name;
    }
    EXPECT_GT(tables, 3u);
}

std::vector<std::vector<Value>> sampleRows(const std::vector<NewColumn>& columns, uint32_t count) {
    std::vector<std::vector<Value>> rows;
    for (uint32_t seed = 1; seed <= count; ++seed) {
        rows.push_back(support::sampleRow(columns, seed, FileFormat::Jet3));
    }
    return rows;
}

// A new file holds the system tables of the Access 97 fixtures: the same columns, laid out
// alike, with the same indexes.
TEST(Access97Write, newFilesHoldTheSystemTablesOfAccess97) {
    support::TempDir folder;
    auto path = folder / "new97.mdb";
    auto database = Database::create(path, {.format = FileFormat::Jet3});
    EXPECT_EQ(database->format(), FileFormat::Jet3);
    EXPECT_EQ(support::integrityProblems(*database), "");
    auto fixture = Database::open(support::fixture("jet3/testV1997.mdb"));
    for (const char* table : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
        SCOPED_TRACE(table);
        auto ours = database->tableDefinition(table);
        auto theirs = fixture->tableDefinition(table);
        EXPECT_EQ(ours.tableType, theirs.tableType);
        ASSERT_EQ(ours.columns.size(), theirs.columns.size());
        for (size_t index = 0; index < ours.columns.size(); ++index) {
            const auto& a = ours.columns[index];
            const auto& b = theirs.columns[index];
            EXPECT_EQ(std::tie(a.name, a.type, a.number, a.flags, a.length, a.sortLcid),
                      std::tie(b.name, b.type, b.number, b.flags, b.length, b.sortLcid));
            if (a.isFixed()) {
                EXPECT_EQ(a.fixedOffset, b.fixedOffset) << a.name;
            } else {
                EXPECT_EQ(a.varIndex, b.varIndex) << a.name;
            }
        }
        ASSERT_EQ(ours.realIndexes.size(), theirs.realIndexes.size());
        for (size_t index = 0; index < ours.realIndexes.size(); ++index) {
            EXPECT_EQ(ours.realIndexes[index].flags, theirs.realIndexes[index].flags);
            EXPECT_EQ(ours.realIndexes[index].columns.size(),
                      theirs.realIndexes[index].columns.size());
        }
        ASSERT_EQ(ours.logicalIndexes.size(), theirs.logicalIndexes.size());
        for (size_t index = 0; index < ours.logicalIndexes.size(); ++index) {
            EXPECT_EQ(ours.logicalIndexes[index].name, theirs.logicalIndexes[index].name);
            EXPECT_EQ(ours.logicalIndexes[index].indexType, theirs.logicalIndexes[index].indexType);
        }
    }
    database.reset();
    EXPECT_EQ(support::runProcess({"mdb-ver", path.string()}).out, "JET3\n");
    EXPECT_EQ(listedByMdbtools(path), "");
    auto system = support::runProcess({"mdb-tables", "-1", "-S", path.string()}).out;
    EXPECT_EQ(system, "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n");
    auto listed = support::mdbReaderTables(path);
    ASSERT_TRUE(listed.ok) << listed.failure;
    EXPECT_TRUE(listed.lines.empty());
}

// Every column type Access 97 has, in rows of every length up to the largest (rows past 256
// bytes carry a jump table), and a table of 255 columns whose fixed part alone spans three jump
// boundaries, read back exactly through the engine and mdb-reader, and but for that last table
// through mdbtools (which takes at most one jump entry per offset); the same rows in a Jet 4
// file read alike.
TEST(Access97Write, everyColumnTypeAndRowLengthReadsBackExactly) {
    support::TempDir folder;
    auto path = folder / "types97.mdb";
    auto jet4Path = folder / "types4.mdb";
    auto columns = support::everyColumnType(FileFormat::Jet3);
    auto rows = sampleRows(columns, 150);
    // Many variable columns and rows of every length to about 2000 bytes.
    std::vector<NewColumn> wide;
    for (int index = 0; index < 40; ++index) {
        wide.push_back({.name = "T" + std::to_string(index), .type = ColumnType::Text, .size = 50});
    }
    wide.push_back({.name = "Fixed", .type = ColumnType::Double});
    std::vector<std::vector<Value>> wideRows;
    for (size_t length = 0; length <= 1940; length += 7) {
        std::vector<Value> row;
        size_t left = length;
        for (int index = 0; index < 40; ++index) {
            size_t take = std::min<size_t>(left, 50);
            left -= take;
            row.emplace_back(take == 0 && index % 3 == 0
                                 ? Value()
                                 : Value(std::string(take, static_cast<char>('a' + index % 26))));
        }
        row.emplace_back(static_cast<double>(length));
        wideRows.push_back(row);
    }
    std::vector<NewColumn> widest;
    for (int index = 0; index < 255; ++index) {
        widest.push_back({.name = "C" + std::to_string(index),
                          .type = index < 100 ? ColumnType::Double : ColumnType::Text,
                          .size = 6});
    }
    std::vector<std::vector<Value>> widestRows;
    for (int seed = 0; seed < 20; ++seed) {
        std::vector<Value> row;
        for (int index = 0; index < 255; ++index) {
            row.emplace_back(index < 100 ? Value(index * 1.5 + seed)
                                         : Value(std::string((index + seed) % 7, 'w')));
        }
        widestRows.push_back(row);
    }
    for (const auto& target : {path, jet4Path}) {
        auto format = target == path ? FileFormat::Jet3 : FileFormat::Jet4;
        auto database = Database::create(target, {.format = format});
        database->createTable("All Types", columns, support::RowFeed(rows));
        database->createTable("Wide", wide, support::RowFeed(wideRows));
        database->createTable("Widest", widest, support::RowFeed(widestRows));
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
    // Past the 1024 pages the global page map of a new file describes at first.
    EXPECT_GT(std::filesystem::file_size(path), 1024u * 2048u);
    auto database = Database::open(path);
    auto read = support::allRows(*database, "All Types");
    ASSERT_EQ(read.size(), rows.size());
    for (size_t index = 0; index < read.size(); ++index) {
        rows[index][0] = static_cast<int32_t>(index + 1);  // the AutoNumber column
        EXPECT_EQ(read[index], rows[index]) << "row " << index;
    }
    EXPECT_EQ(support::allRows(*database, "Wide"), wideRows);
    EXPECT_EQ(support::allRows(*database, "Widest"), widestRows);
    database.reset();

    std::vector<support::MdbReaderRequest> requests;
    for (const char* table : {"All Types", "Wide", "Widest"}) {
        if (std::string(table) != "Widest") {
            EXPECT_EQ(support::mdbExport(path, table), support::mdbExport(jet4Path, table))
                << table;
        }
        requests.push_back({.path = path, .table = table});
        requests.push_back({.path = jet4Path, .table = table});
    }
    auto answers = support::mdbReader(requests);
    for (size_t index = 0; index < answers.size(); index += 2) {
        ASSERT_TRUE(answers[index].ok) << answers[index].failure;
        EXPECT_EQ(answers[index].lines, answers[index + 1].lines) << requests[index].table;
    }
}

// Text takes the file's code page. A character it lacks is refused, naming the field and the
// row, and nothing is created; names are held to the code page alike.
TEST(Access97Write, charactersOutsideTheCodePageAreRefusedByFieldAndRow) {
    support::TempDir folder;
    auto path = folder / "text97.mdb";
    auto database = Database::create(path, {.format = FileFormat::Jet3});
    std::vector<NewColumn> columns = {{.name = "Label", .type = ColumnType::Text, .size = 40},
                                      {.name = "Notes", .type = ColumnType::Memo}};
    auto before = bytesOf(path);
    for (size_t field = 0; field < 2; ++field) {
        std::vector<std::vector<Value>> rows(
            5, {Value(std::string("Œuvre € naïve")), Value(std::string(3000, 'x'))});
        rows[3][field] = Value(std::string("Ωμέγα"));
        try {
            database->createTable("Greek", columns, support::RowFeed(rows));
            ADD_FAILURE() << "stored a character code page 1252 lacks";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::InvalidArgument);
            const std::string text = error.what();
            EXPECT_NE(text.find("'" + columns[field].name + "'"), std::string::npos) << text;
            EXPECT_NE(text.find("row 4"), std::string::npos) << text;
            EXPECT_NE(text.find("U+03A9"), std::string::npos) << text;
        }
        EXPECT_EQ(database->catalog().findTable("Greek"), nullptr);
    }
    EXPECT_EQ(support::errorOf([&] { database->createTable("Ωμέγα", columns); }),
              ErrorCode::InvalidName);
    EXPECT_EQ(support::errorOf([&] {
                  database->createTable("Fine", {{.name = "Поле", .type = ColumnType::Long}});
              }),
              ErrorCode::InvalidName);
    database.reset();
    EXPECT_EQ(bytesOf(path), before);

    database = support::openForWriting(path);
    std::vector<std::vector<Value>> western = {
        {Value(std::string("Œuvre “quoted” € naïve ÿ")), Value(std::string("Wörter ‰ † ™"))}};
    database->createTable("Western €", columns, support::RowFeed(western));
    EXPECT_EQ(support::allRows(*database, "Western €"), western);
    database.reset();
    auto exported = support::runProcess({"mdb-export", path.string(), "Western €"}).out;
    EXPECT_NE(exported.find("Œuvre “quoted” € naïve ÿ"), std::string::npos) << exported;
    auto answer = support::mdbReaderRows(path, "Western €");
    ASSERT_TRUE(answer.ok) << answer.failure;
    ASSERT_EQ(answer.lines.size(), 2u);
    EXPECT_NE(answer.lines[1].find("Wörter ‰ † ™"), std::string::npos) << answer.lines[1];

    // A code page this system cannot convert to takes ASCII only: anything else is refused,
    // never stored as the UTF-8 it arrived in.
    setHeaderField(path, storage::kHeaderCodePageOffset, 1);
    database = support::openForWriting(path);
    ASSERT_EQ(database->header().codePage(), 1);
    std::vector<std::vector<Value>> accented = {{Value(std::string("plain")), Value()},
                                                {Value(std::string("naïve")), Value()}};
    try {
        database->createTable("Unknown", columns, support::RowFeed(accented));
        ADD_FAILURE() << "stored text in a code page nothing converts to";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.code(), ErrorCode::InvalidArgument);
        EXPECT_NE(std::string(error.what()).find("row 2"), std::string::npos) << error.what();
    }
    accented.pop_back();
    database->createTable("Unknown", columns, support::RowFeed(accented));
    EXPECT_EQ(support::allRows(*database, "Unknown"), accented);
}

// Types Access 97 lacks are refused as the Jet 4.0 provider refuses them there, naming the
// field; nothing is created.
TEST(Access97Write, typesAccess97LacksAreRefusedNamingTheField) {
    support::TempDir folder;
    auto path = folder / "types97.mdb";
    auto database = Database::create(path, {.format = FileFormat::Jet3});
    const std::vector<std::pair<std::vector<NewColumn>, std::string>> refused = {
        {{{.name = "Amount", .type = ColumnType::Numeric}}, "Amount"},
        {{{.name = "Big", .type = ColumnType::BigInt}}, "Big"},
        {{{.name = "Exact", .type = ColumnType::ExtDateTime}}, "Exact"},
        {{{.name = "Raw", .type = ColumnType::Binary, .size = 256}}, "Raw"},
    };
    auto before = bytesOf(path);
    for (const auto& [columns, field] : refused) {
        try {
            database->createTable("Refused", columns);
            ADD_FAILURE() << field << " was created";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::InvalidArgument);
            EXPECT_NE(std::string(error.what()).find("'" + field + "'"), std::string::npos)
                << error.what();
        }
    }
    auto decimals = Database::open(support::fixture("jet4/fixedNumericTestV2000.mdb"));
    EXPECT_EQ(support::errorOf([&] { copyTable(*decimals, "test", *database, "test"); }),
              ErrorCode::InvalidArgument);
    database.reset();
    EXPECT_EQ(bytesOf(path), before);
}

// Every user table of every readable fixture and of the sample database, copied into a new
// Access 97 file and into a copy of an Access 97 fixture (each fixture taking every seventh
// table: each copy is a change of its own, and committing one costs the disk's flushes), reads
// back as its source does through the engine, mdbtools and mdb-reader, and the files stay
// sound. The tables Access 97 cannot hold are refused; they are listed here.
TEST(Access97Write, everyFixtureTableCopiesIntoAccess97Files) {
    support::TempDir folder;
    std::vector<std::filesystem::path> targets = {folder / "all97.mdb"};
    Database::create(targets[0], {.format = FileFormat::Jet3});
    for (const auto& fixture : support::allFixtures()) {
        if (fixture.rfind("jet3/", 0) == 0) {
            targets.push_back(folder.copyFixture(
                fixture, "target-" + std::filesystem::path(fixture).filename().string()));
        }
    }
    std::vector<std::pair<std::filesystem::path, std::string>> sources;
    for (const auto& fixture : support::allFixtures()) {
        if (fixture.find("encrypted") == std::string::npos) {
            sources.emplace_back(
                support::fixture(fixture),
                fixture.find("with-password") != std::string::npos ? "password" : "");
        }
    }
    sources.emplace_back(support::buildDir() / "Samples" / "sample.mdb", "");

    std::vector<std::string> refused;
    std::vector<support::MdbReaderRequest> requests;  // pairs: source, copy
    size_t copied = 0;
    std::vector<std::unique_ptr<Database>> open;
    for (const auto& target : targets) open.push_back(support::openForWriting(target));
    for (const auto& [sourcePath, password] : sources) {
        auto source = Database::open(sourcePath, {.password = password});
        for (const auto& table : userTables(*source)) {
            const std::string newName = std::to_string(copied) + " " + table.substr(0, 50);
            const std::string label = sourcePath.filename().string() + " " + table;
            const size_t fixtureTarget = 1 + copied % (targets.size() - 1);
            ++copied;
            std::optional<ErrorCode> refusal;
            for (size_t index : {size_t{0}, fixtureTarget}) {
                try {
                    copyTable(*source, table, *open[index], newName);
                    EXPECT_FALSE(refusal) << label << " went into one file only";
                } catch (const EngineError& error) {
                    if (!refusal) refused.push_back(label + ": " + error.what());
                    EXPECT_EQ(refusal.value_or(error.code()), error.code()) << label;
                    refusal = error.code();
                    EXPECT_EQ(open[index]->catalog().findTable(newName), nullptr) << label;
                }
            }
            if (refusal) continue;
            const auto sourceRows = support::allRows(*source, table);
            const std::string expected = support::mdbExport(sourcePath, table);
            for (size_t index : {size_t{0}, fixtureTarget}) {
                EXPECT_EQ(support::allRows(*open[index], newName), sourceRows) << label;
                EXPECT_EQ(support::mdbExport(targets[index], newName), expected)
                    << label << " in " << targets[index].filename();
                requests.push_back({.path = sourcePath, .password = password, .table = table});
                requests.push_back({.path = targets[index], .table = newName});
            }
        }
    }
    for (auto& database : open) {
        EXPECT_EQ(support::integrityProblems(*database), "") << database->path();
    }
    open.clear();

    auto answers = support::mdbReader(requests);
    for (size_t index = 0; index + 1 < answers.size(); index += 2) {
        ASSERT_TRUE(answers[index + 1].ok)
            << requests[index + 1].table << ": " << answers[index + 1].failure;
        EXPECT_EQ(answers[index].lines, answers[index + 1].lines)
            << requests[index].path << " " << requests[index].table;
    }
    std::string refusals;
    for (const auto& line : refused) refusals += line + "\n";
    EXPECT_EQ(refused.size(), 12u) << refusals;
    std::cout << "refused for Access 97 (" << refused.size() << " of " << copied << "):\n"
              << refusals;
}

// Each table of each Access 97 fixture dropped in turn: the file stays sound after every drop,
// the catalogue finds what is left through its indexes (as the product made them, and as they
// are rebuilt), and mdbtools lists what remains. The check before the first drop holds every
// index key the product wrote (testIndexCodesV1997's text of many characters among them)
// against the keys this engine makes for the same rows.
// Tables in a relationship are refused, as the product refuses them.
TEST(Access97Write, access97FixturesStaySoundAsTheirTablesAreDropped) {
    support::TempDir folder;
    for (const auto& fixture : support::allFixtures()) {
        if (fixture.rfind("jet3/", 0) != 0) continue;
        SCOPED_TRACE(fixture);
        auto path = folder.copyFixture(fixture);
        auto database = support::openForWriting(path);
        EXPECT_EQ(support::integrityProblems(*database), "");
        expectEveryTableFoundThroughTheIndexes(*database);
        auto tables = userTables(*database);
        std::vector<std::string> left;
        for (const auto& table : tables) {
            try {
                database->dropTable(table);
            } catch (const EngineError& error) {
                EXPECT_EQ(error.code(), ErrorCode::InRelationship) << table << ": " << error.what();
                left.push_back(table);
            }
            EXPECT_EQ(support::integrityProblems(*database), "") << "after dropping " << table;
        }
        EXPECT_EQ(userTables(*database), left);
        expectEveryTableFoundThroughTheIndexes(*database);
        database.reset();
        std::string expected;
        for (const auto& table : left) expected += table + "\n";
        EXPECT_EQ(listedByMdbtools(path), expected);
    }
}

// A table made in an Access 97 file gets the owner and the rights Access 97 gave the file's own
// tables: the same MSysACEs rows (account, rights, not inherited) as Table1 there.
TEST(Access97Write, newTablesGetTheRightsAccess97Gives) {
    support::TempDir folder;
    auto path = folder.copyFixture("jet3/testV1997.mdb");
    auto database = support::openForWriting(path);
    auto source = Database::open(support::fixture("jet3/testV1997.mdb"));
    copyTable(*source, "Table1", *database, "Copied");
    const auto* made = database->catalog().findTable("Copied");
    const auto* theirs = database->catalog().findTable("Table1");
    ASSERT_TRUE(made && theirs);
    EXPECT_EQ(made->owner, theirs->owner);
    // Rows: ObjectId, SID, ACM, FInheritable.
    auto rightsOf = [&](int32_t id) {
        std::vector<std::tuple<format::ByteString, int32_t, bool>> rows;
        for (const auto& row : support::allRows(*database, "MSysACEs")) {
            if (row.at(0) != Value(id)) continue;
            rows.emplace_back(std::get<format::ByteString>(row.at(1)), std::get<int32_t>(row.at(2)),
                              std::get<bool>(row.at(3)));
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    auto expected = rightsOf(theirs->id);
    EXPECT_EQ(expected.size(), 3u);
    EXPECT_EQ(rightsOf(made->id), expected);
}

// New tables are found through the rebuilt catalogue indexes, also once the indexes outgrow a
// page (the fixtures' rebuilt indexes are searched after their drops).
TEST(Access97Write, catalogueLookUpsGoThroughTheRebuiltIndexes) {
    support::TempDir folder;
    auto database = Database::create(folder / "many97.mdb", {.format = FileFormat::Jet3});
    std::vector<NewColumn> one = {{.name = "A", .type = ColumnType::Long}};
    for (int index = 0; index < 60; ++index) {
        database->createTable("Tablé number " + std::to_string(1000 + index * 7 % 60) +
                                  " of a catalogue with long names",
                              one);
    }
    expectEveryTableFoundThroughTheIndexes(*database);
    auto objects = database->tableDefinitionAt(catalog::kCatalogTablePage);
    auto root = database->pager().read(objects.realIndexes.at(0).rootPage);
    EXPECT_EQ((*root)[0], format::kIndexNodePageType) << "the name index stayed on one page";
    EXPECT_EQ(support::integrityProblems(*database), "");
}

// A password and page encoding survive every change (the header page is never rewritten), and a
// dropped table's pages are used again; the engine opens the file with exactly that password,
// mdbtools and mdb-reader (which do not check Jet passwords) read the encoded pages.
TEST(Access97Write, passwordAndPageEncodingAreKeptAndReadByOthers) {
    support::TempDir folder;
    auto path = folder / "protected97.mdb";
    const std::string password = "Geheim ß€";
    Database::create(path, {.format = FileFormat::Jet3, .password = password, .encodePages = true});
    auto header = bytesOf(path);
    header.resize(2048);
    {
        auto database = support::openForWriting(path, password);
        auto source = Database::open(support::fixture("jet3/testV1997.mdb"));
        copyTable(*source, "Table1", *database, "Copied");
        copyTable(*source, "Table2", *database, "Dropped");
        const auto size = std::filesystem::file_size(path);
        database->dropTable("Dropped");
        // The dropped table's pages are given back and taken again.
        copyTable(*source, "Table2", *database, "Again");
        EXPECT_EQ(std::filesystem::file_size(path), size);
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
    auto after = bytesOf(path);
    after.resize(2048);
    EXPECT_EQ(after, header);
    EXPECT_EQ(support::errorOf([&] { Database::open(path, {.password = "Geheim ss€"}); }),
              ErrorCode::InvalidPassword);
    EXPECT_EQ(support::mdbExport(path, "Copied"),
              support::mdbExport(support::fixture("jet3/testV1997.mdb"), "Table1"));
    EXPECT_EQ(support::allRows(*Database::open(path, {.password = password}), "Copied").size(), 2u);
    auto answers =
        support::mdbReader({{.path = path, .password = password, .table = "Copied"},
                            {.path = support::fixture("jet3/testV1997.mdb"), .table = "Table1"}});
    ASSERT_TRUE(answers[0].ok) << answers[0].failure;
    EXPECT_EQ(answers[0].lines, answers[1].lines);
}

// A file whose text sorts in another order than General is refused whole: its catalogue keys
// could not be written as the product sorts them.
TEST(Access97Write, otherSortOrdersAreRefusedAndLeftAsTheyWere) {
    support::TempDir folder;
    auto path = folder.copyFixture("jet3/testV1997.mdb");
    const auto bytes =
        setHeaderField(path, storage::kHeaderSortOrderOffsetJet3, 0x0419);  // Cyrillic
    auto database = support::openForWriting(path);
    EXPECT_EQ(database->header().sortOrder().lcid, 0x0419);
    for (const std::function<void()>& change :
         {std::function<void()>([&] { database->dropTable("Table1"); }), std::function<void()>([&] {
              database->createTable("New", {{.name = "A", .type = ColumnType::Long}});
          })}) {
        try {
            change();
            ADD_FAILURE() << "changed a file of another sort order";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::NotSupported);
            EXPECT_NE(std::string(error.what()).find("Cyrillic (1049)"), std::string::npos)
                << error.what();
        }
    }
    EXPECT_EQ(support::allRows(*database, "Table1").size(), 2u);
    database.reset();
    EXPECT_EQ(bytesOf(path), bytes);
}

}  // namespace
}  // namespace engine

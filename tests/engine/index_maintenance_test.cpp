// Indexes edited in place as rows come and go: every index stays equal, key for key, to the
// index written anew from its table's rows, under each sort order the engine writes, while its
// pages split, merge and are freed; a change costs the same writes in a large table or catalogue
// as in an empty one.
#include "engine/database.h"
#include "engine/format/indexes/index_page.h"
#include "engine/format/indexes/index_tree.h"
#include "engine/format/rows/row_fetch.h"
#include "engine/format/space/usage_map.h"
#include "engine/format/space/usage_map_editor.h"
#include "support/engine_files.h"
#include "support/faulty_file_system.h"
#include "support/fixtures.h"
#include "support/unsynced_file_system.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

namespace engine {
namespace {

using catalog::NewColumn;
using catalog::NewIndex;
using format::ColumnType;
using format::Value;
using storage::FileFormat;

struct TreeShape {
    std::vector<size_t> pagesPerLevel;  // root first
    std::vector<size_t> leafBytes;      // the entry bytes of each leaf, left to right
    size_t mappedPages = 0;             // pages in the index's usage map
};

TreeShape shapeOf(Database& database, const format::RealIndex& real) {
    TreeShape shape;
    const auto& jet = database.jetFormat();
    std::vector<PageNumber> level = {real.rootPage};
    while (!level.empty()) {
        shape.pagesPerLevel.push_back(level.size());
        std::vector<PageNumber> below;
        for (PageNumber number : level) {
            auto page = format::parseIndexPage(*database.pager().read(number), jet, number, "");
            if (page.leaf) {
                size_t bytes = 0;
                for (const auto& entry : page.entries) bytes += format::indexEntrySize(entry, true);
                shape.leafBytes.push_back(bytes);
                continue;
            }
            for (const auto& entry : page.entries) below.push_back(entry.child);
            if (page.tail != 0) below.push_back(page.tail);
        }
        level = below;
    }
    shape.mappedPages = format::readUsageMapPages(database.pager(), jet, real.pagesMap).size();
    return shape;
}

using support::bytesOf;

// On every page of the index, a search from each entry's key (and from just past the last) keeps
// what a whole read says it should: the entry before the probe, the first at or after it and,
// in a leaf, those after it while their keys share the probe's first two bytes.
void expectSearchesAgreeWithWholeReads(Database& database, const format::RealIndex& real,
                                       PageNumber owner) {
    const auto& jet = database.jetFormat();
    std::vector<PageNumber> pages = {real.rootPage};
    for (size_t next = 0; next < pages.size(); ++next) {
        const PageNumber number = pages[next];
        auto whole = format::readIndexPage(database.pager(), jet, number, owner);
        for (const auto& entry : whole.entries) {
            if (!whole.leaf) pages.push_back(entry.child);
        }
        if (!whole.leaf && whole.tail != 0) pages.push_back(whole.tail);
        std::vector<format::IndexEntry> probes;
        for (const auto& entry : whole.entries) {
            probes.push_back(entry);
            probes.push_back({.key = entry.key});  // before every entry with this key
        }
        probes.push_back({.key = std::vector<uint8_t>(3, 0xFF)});
        for (const auto& probe : probes) {
            auto shares = [&](storage::Bytes key) {
                return key.size() >= 2 && probe.key.size() >= 2 && key[0] == probe.key[0] &&
                       key[1] == probe.key[1];
            };
            const auto found =
                format::readIndexPageFrom(database.pager(), jet, number, owner, probe, shares);
            const auto& all = whole.entries;
            const size_t low =
                static_cast<size_t>(std::lower_bound(all.begin(), all.end(), probe) - all.begin());
            std::vector<format::IndexEntry> expected;
            for (size_t slot = low > 0 ? low - 1 : 0; slot < all.size(); ++slot) {
                expected.push_back(all[slot]);
                if (slot >= low && !(whole.leaf && shares(all[slot].key))) break;
            }
            ASSERT_EQ(found.firstSlot, low > 0 ? low - 1 : 0) << "page " << number;
            ASSERT_EQ(found.page.entries.size(), expected.size()) << "page " << number;
            for (size_t slot = 0; slot < expected.size(); ++slot) {
                EXPECT_EQ(found.page.entries[slot].key, expected[slot].key);
                EXPECT_EQ(found.page.entries[slot].row, expected[slot].row);
                EXPECT_EQ(found.page.entries[slot].child, expected[slot].child);
            }
            EXPECT_EQ(found.page.leaf, whole.leaf);
            EXPECT_EQ(found.page.next, whole.next);
            EXPECT_EQ(found.page.tail, whole.tail);
        }
    }
}

// Long texts of every kind the sort orders treat apart: letter case, accents, digits,
// punctuation, other scripts.
std::string wordOf(std::mt19937& random, size_t length) {
    static const std::vector<std::string> pieces = {"a", "B", "é", "Ö", "ß", "z",  "0", "9",
                                                    " ", "-", "'", "ж", "Ω", "中", "ﬁ", "x"};
    std::string text;
    for (size_t index = 0; index < length; ++index) text += pieces[random() % pieces.size()];
    return text;
}

const std::vector<NewColumn> kColumns = {
    {.name = "Id", .type = ColumnType::Long, .autoNumber = true},
    {.name = "Name", .type = ColumnType::Text, .size = 255},
    {.name = "Group", .type = ColumnType::Long},
    {.name = "Code", .type = ColumnType::Text, .size = 20},
};

const std::vector<NewIndex> kIndexes = {
    {.name = "PrimaryKey", .columns = {"Id"}, .primaryKey = true},
    {.name = "ByName", .columns = {"Name"}},
    {.name = "ByGroupName", .columns = {"Group", "Name"}},
    {.name = "ByCode", .columns = {"Code"}, .unique = true, .ignoreNulls = true},
};

// Keys that arrive in order fill leaves whole; removing every row gives every page but the root
// back, and the root is an empty leaf again.
TEST(IndexMaintenance, orderedKeysFillPagesAndAllComeBack) {
    support::TempDir folder;
    auto database = Database::create(folder / "ordered.mdb", {});
    database->createTable("Ordered", kColumns, {}, kIndexes);
    std::mt19937 random(5);
    uint32_t next = 0;
    database->insertRows("Ordered", [&](std::vector<Value>& row) {
        if (next == 3000) return false;
        ++next;
        row = {Value(), Value(wordOf(random, 40 + random() % 60)),
               Value(static_cast<int32_t>(next % 7)), Value()};
        return true;
    });
    auto definition = database->tableDefinition("Ordered");
    auto byId = shapeOf(*database, definition.realIndexes[0]);
    ASSERT_GE(byId.pagesPerLevel.size(), 2u);
    // All leaves but the last are at least 95% full.
    for (size_t leaf = 0; leaf + 1 < byId.leafBytes.size(); ++leaf) {
        EXPECT_GE(byId.leafBytes[leaf], database->jetFormat().indexMaxEntryBytes * 95 / 100)
            << "leaf " << leaf;
    }
    auto byName = shapeOf(*database, definition.realIndexes[1]);
    EXPECT_GE(byName.pagesPerLevel.size(), 3u) << "long texts grow the tree three levels deep";
    ASSERT_EQ(support::integrityProblems(*database), "");
    ASSERT_EQ(support::indexDifferences(*database, "Ordered"), "");

    // A stretch of keys goes: the leaves of ByName that held none of them keep their bytes
    // (but the two beside the gap, whose links change), and every tree stays exact.
    const auto& jet = database->jetFormat();
    const auto& byNameIndex = definition.realIndexes[1];
    format::RowFetcher fetcher(database->pager(), jet, definition);
    std::vector<Value> row;
    std::set<std::string> going;  // the names of the middle 40% of the index's entries
    const auto entries =
        format::readIndexEntries(database->pager(), jet, byNameIndex, definition.firstPage);
    for (size_t at = entries.size() * 3 / 10; at < entries.size() * 7 / 10; ++at) {
        ASSERT_TRUE(fetcher.fetch(entries[at].row, row));
        going.insert(std::get<std::string>(row.at(1)));
    }
    const auto goes = [&](const std::vector<Value>& values) {
        return going.count(std::get<std::string>(values.at(1))) > 0;
    };
    std::map<PageNumber, storage::PageBuffer> untouched;
    for (PageNumber page :
         format::readUsageMapPages(database->pager(), jet, byNameIndex.pagesMap)) {
        auto bytes = *database->pager().read(page);
        const auto parsed = format::parseIndexPage(bytes, jet, page, "");
        const bool holdsGoing =
            std::any_of(parsed.entries.begin(), parsed.entries.end(), [&](const auto& entry) {
                EXPECT_TRUE(fetcher.fetch(entry.row, row));
                return goes(row);
            });
        if (parsed.leaf && !holdsGoing) untouched.emplace(page, std::move(bytes));
    }
    const size_t removed = database->deleteRows("Ordered", goes);
    EXPECT_GE(removed, 1100u);  // enough for the indexes to be edited leaf by leaf
    ASSERT_EQ(support::integrityProblems(*database), "");
    ASSERT_EQ(support::indexDifferences(*database, "Ordered"), "");
    size_t kept = 0;
    for (const auto& [page, bytes] : untouched) kept += *database->pager().read(page) == bytes;
    EXPECT_GE(kept + 2, untouched.size());
    EXPECT_GE(untouched.size(), 50u);

    // Three rows in four go: leaves left nearly empty merge; then the rest go.
    size_t notFourth = 0;
    for (const auto& left : support::allRows(*database, "Ordered")) {
        notFourth += std::get<int32_t>(left[0]) % 4 != 0;
    }
    EXPECT_EQ(database->deleteRows(
                  "Ordered",
                  [](const std::vector<Value>& row) { return std::get<int32_t>(row[0]) % 4 != 0; }),
              notFourth);
    ASSERT_EQ(support::integrityProblems(*database), "");
    ASSERT_EQ(support::indexDifferences(*database, "Ordered"), "");
    // Without merging every page would stay; with it, well under two thirds do (removals come
    // in key order, a batch at a time, so pages shrink one after another along each level).
    EXPECT_LT(shapeOf(*database, definition.realIndexes[0]).mappedPages * 10, byId.mappedPages * 6);
    EXPECT_LT(shapeOf(*database, definition.realIndexes[1]).mappedPages * 3,
              byName.mappedPages * 2);
    EXPECT_EQ(database->deleteRows("Ordered", [](const std::vector<Value>&) { return true; }),
              3000 - removed - notFourth);
    ASSERT_EQ(support::integrityProblems(*database), "");
    for (const auto& real : definition.realIndexes) {
        auto shape = shapeOf(*database, real);
        EXPECT_EQ(shape.pagesPerLevel, std::vector<size_t>{1});
        EXPECT_EQ(shape.leafBytes, std::vector<size_t>{0});
        EXPECT_EQ(shape.mappedPages, 1u) << "index pages were not given back";
    }
}

// Large removals take the entries out of each tree where they are: whichever rows go (a
// stretch of keys, rows scattered over every leaf, most of the rest), each tree stays sound and
// equal to its rebuild, and the count of distinct keys it keeps is the true one.
TEST(IndexMaintenance, largeRemovalsKeepEveryTreeExactAndItsKeyCount) {
    support::TempDir folder;
    auto database = Database::create(folder / "removals.mdb", {});
    database->createTable("T", kColumns, {}, kIndexes);
    std::mt19937 random(11);
    int32_t next = 0;
    database->insertRows("T", [&](std::vector<Value>& row) {
        if (next++ == 12000) return false;
        row = {Value(), Value(wordOf(random, 2 + random() % 12)),
               Value(static_cast<int32_t>(random() % 40)),
               random() % 3 == 0 ? Value() : Value("c" + std::to_string(next))};
        return true;
    });
    using Row = std::vector<Value>;
    const auto id = [](const Row& row) { return std::get<int32_t>(row[0]); };
    const std::vector<std::pair<std::string, std::function<bool(const Row&)>>> removals = {
        {"a stretch of keys", [&](const Row& row) { return id(row) > 3000 && id(row) <= 4600; }},
        {"a few groups", [](const Row& row) { return std::get<int32_t>(row[2]) < 6; }},
        {"scattered rows",
         [&](const Row& row) { return static_cast<uint32_t>(id(row)) * 2654435761u % 10 < 3; }},
        {"every other row", [&](const Row& row) { return id(row) % 2 == 0; }},
        {"all but a few", [&](const Row& row) { return id(row) % 50 != 1; }},
    };
    for (const auto& [what, goes] : removals) {
        SCOPED_TRACE(what);
        const size_t before = support::allRows(*database, "T").size();
        const size_t removed = database->deleteRows("T", goes);
        EXPECT_GE(removed, std::max<size_t>(1024, before / 8)) << "too few to rewrite indexes";
        ASSERT_EQ(support::integrityProblems(*database), "");
        ASSERT_EQ(support::indexDifferences(*database, "T"), "");
        const auto definition = database->tableDefinition("T");
        for (const auto& real : definition.realIndexes) {
            const auto entries = format::readIndexEntries(database->pager(), database->jetFormat(),
                                                          real, definition.firstPage);
            uint32_t distinct = 0;
            for (size_t at = 0; at < entries.size(); ++at) {
                distinct += at == 0 || entries[at].key != entries[at - 1].key;
            }
            EXPECT_EQ(real.uniqueEntryCount, distinct) << "index at page " << real.rootPage;
        }
    }
    const auto left = support::allRows(*database, "T");
    EXPECT_GE(left.size(), 100u);
    for (const auto& row : left) EXPECT_EQ(id(row) % 50, 1) << id(row);
}

// Rows added and removed at random, in batches, under the legacy and the new General sort order:
// after every change each index equals what the rows call for and the file is sound.
TEST(IndexMaintenance, randomEditsMatchTheRebuildUnderEverySortOrder) {
    support::TempDir folder;
    for (auto [format, seed] : {std::pair{FileFormat::Jet4, 11u}, std::pair{FileFormat::Ace14, 12u},
                                std::pair{FileFormat::Ace17, 13u}}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        auto& files = support::unsyncedFileSystem();
        auto path = folder / ("random-" + std::to_string(seed) + ".db");
        Database::create(path, {.format = format, .fileSystem = &files});
        auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &files});
        database->createTable("Words", kColumns, {}, kIndexes);
        std::mt19937 random(seed);
        int32_t code = 0;
        for (int step = 0; step < 40; ++step) {
            if (random() % 3 != 0) {
                size_t count = 1 + random() % 120;
                database->insertRows("Words", [&](std::vector<Value>& row) {
                    if (count == 0) return false;
                    --count;
                    Value codeValue;
                    if (random() % 2) codeValue = "C" + std::to_string(++code);
                    row = {Value(), Value(wordOf(random, 1 + random() % 120)),
                           Value(static_cast<int32_t>(random() % 5)), codeValue};
                    return true;
                });
            } else {
                uint32_t divisor = 2 + random() % 4;
                uint32_t remainder = random() % divisor;
                database->deleteRows("Words", [&](const std::vector<Value>& row) {
                    return static_cast<uint32_t>(std::get<int32_t>(row[0])) % divisor == remainder;
                });
            }
            ASSERT_EQ(support::integrityProblems(*database), "") << "after step " << step;
            ASSERT_EQ(support::indexDifferences(*database, "Words"), "") << "after step " << step;
        }
        // Searches within a page, which look-ups and edits take, agree with reading it whole.
        const auto definition = database->tableDefinition("Words");
        for (const auto& real : definition.realIndexes) {
            expectSearchesAgreeWithWholeReads(*database, real, definition.firstPage);
        }
    }
}

// A key already in a unique index is refused, and the file keeps every byte.
TEST(IndexMaintenance, aDuplicateKeyLeavesTheFileAsItWas) {
    support::TempDir folder;
    auto path = folder / "unique.mdb";
    {
        auto database = Database::create(path, {});
        std::vector<std::vector<Value>> rows;
        for (int index = 0; index < 400; ++index) {
            rows.push_back({Value(),
                            Value(std::string(100, 'a' + index % 26) + std::to_string(index)),
                            Value(int32_t{1}), Value("K" + std::to_string(index))});
        }
        database->createTable("Keys", kColumns, support::RowFeed(rows), kIndexes);
    }
    auto before = bytesOf(path);
    auto database = support::openForWriting(path);
    // Many new rows first (their pages split), then one whose code is taken.
    std::vector<std::vector<Value>> rows;
    for (int index = 0; index < 300; ++index) {
        rows.push_back({Value(), Value(std::string(150, 'q')), Value(int32_t{2}),
                        Value("N" + std::to_string(index))});
    }
    rows.push_back({Value(), Value("late"), Value(int32_t{3}), Value("K17")});
    EXPECT_EQ(support::errorOf([&] { database->insertRows("Keys", support::RowFeed(rows)); }),
              ErrorCode::DuplicateKey);
    database.reset();
    EXPECT_EQ(bytesOf(path), before);
}

// The pages a change writes: a make-table, and an insert into an indexed table, write as many
// pages into a database of hundreds of tables, or beside thousands of rows, as into an empty one
// (give or take a page split).
TEST(IndexMaintenance, aChangeWritesAsMuchInALargeDatabaseAsInAnEmptyOne) {
    support::TempDir folder;
    auto& files = support::unsyncedFileSystem();
    auto small = folder / "small.mdb";
    auto large = folder / "large.mdb";
    const std::vector<NewColumn> one = {{.name = "A", .type = ColumnType::Long}};
    for (const auto& path : {small, large}) {
        Database::create(path, {.fileSystem = &files});
        auto database = Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &files});
        database->createTable("Indexed", kColumns, {}, kIndexes);
    }
    {
        auto database =
            Database::open(large, {.mode = AccessMode::ReadWrite, .fileSystem = &files});
        for (int index = 0; index < 400; ++index) {
            database->createTable("Table " + std::to_string(index), one);
        }
        uint32_t next = 0;
        database->insertRows("Indexed", [&](std::vector<Value>& row) {
            if (next == 20000) return false;
            ++next;
            row = {Value(), Value("name " + std::to_string(next * 7919 % 20000)),
                   Value(static_cast<int32_t>(next % 13)), Value("c" + std::to_string(next))};
            return true;
        });
    }
    auto writesOf = [](const std::filesystem::path& path,
                       const std::function<void(Database&)>& change) {
        support::FaultyFileSystem counting(0, support::FaultyFileSystem::Fault::ExitProcess);
        auto database =
            Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &counting});
        change(*database);
        return counting.steps();
    };
    auto makeTable = [&](Database& database) { database.createTable("New", one); };
    auto insertOne = [](Database& database) {
        std::vector<std::vector<Value>> rows = {
            {Value(), Value("name 12345x"), Value(int32_t{4}), Value("fresh")}};
        database.insertRows("Indexed", support::RowFeed(rows));
    };
    EXPECT_LE(writesOf(large, makeTable), writesOf(small, makeTable) + 3);
    EXPECT_LE(writesOf(large, insertOne), writesOf(small, insertOne) + 3);
    auto database = Database::open(large);
    EXPECT_EQ(support::integrityProblems(*database), "");
}

// Merging two leaves rewrites their neighbours' links from theirs: leaves that do not name each
// other (a damaged link) are refused before anything is written, as collapsing the root is;
// else the merged leaf would keep a link to the page that went.
TEST(IndexMaintenance, aMergeOfLeavesThatDoNotLinkEachOtherIsRefused) {
    support::TempDir folder;
    for (bool linked : {true, false}) {
        SCOPED_TRACE(linked ? "linked" : "not linked");
        auto path = folder / (linked ? "linked.mdb" : "unlinked.mdb");
        {
            auto database = Database::create(path, {});
            std::vector<std::vector<Value>> rows;
            for (int32_t id = 0; id < 30; ++id) rows.push_back({id});
            database->createTable("T", {{.name = "Id", .type = ColumnType::Long}},
                                  support::RowFeed(rows), {{.name = "ById", .columns = {"Id"}}});
        }
        // The root leaf's entries go into three leaves under the root, the first one's link to
        // the second left out unless linked.
        support::changePages(path, [&](Database& database, format::PageAllocator& allocator) {
            auto& pager = database.pager();
            const auto& jet = database.jetFormat();
            const auto table = database.tableDefinition("T");
            const auto& real = table.realIndexes.at(0);
            auto root = format::parseIndexPage(*pager.read(real.rootPage), jet, real.rootPage, "");
            ASSERT_TRUE(root.leaf);
            ASSERT_EQ(root.entries.size(), 30u);
            std::vector<PageNumber> pages;
            for (int leaf = 0; leaf < 3; ++leaf) pages.push_back(allocator.allocate());
            format::IndexPage node;
            node.leaf = false;
            node.owner = table.firstPage;
            format::UsageMapEditor map(pager, jet, allocator, real.pagesMap);
            for (size_t leaf = 0; leaf < 3; ++leaf) {
                format::IndexPage page = root;
                page.entries.assign(root.entries.begin() + 10 * leaf,
                                    root.entries.begin() + 10 * (leaf + 1));
                page.previous = leaf > 0 ? pages[leaf - 1] : 0;
                page.next = leaf < 2 && (linked || leaf > 0) ? pages[leaf + 1] : 0;
                pager.write(pages[leaf], *format::buildIndexPage(page, jet));
                map.add(pages[leaf]);
                if (leaf < 2) {
                    node.entries.push_back(page.entries.back());
                    node.entries.back().child = pages[leaf];
                }
            }
            node.tail = pages[2];
            pager.write(real.rootPage, *format::buildIndexPage(node, jet));
            map.save();
            allocator.save();
        });
        const auto before = support::bytesOf(path);
        auto database = support::openForWriting(path);
        // A row less in the first leaf, which holds few entries, merges it into the second.
        auto firstRows = [](const std::vector<Value>& row) {
            return std::get<int32_t>(row[0]) == 0;
        };
        if (linked) {
            EXPECT_EQ(database->deleteRows("T", firstRows), 1u);
            EXPECT_EQ(support::integrityProblems(*database), "");
            EXPECT_EQ(support::indexDifferences(*database, "T"), "");
            continue;
        }
        EXPECT_EQ(support::errorOf([&] { database->deleteRows("T", firstRows); }),
                  ErrorCode::Corrupt);
        database.reset();
        EXPECT_EQ(support::bytesOf(path), before);
    }
}

}  // namespace
}  // namespace engine

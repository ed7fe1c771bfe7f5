// Text keys in the sort orders real files use. The keys here are keys Access wrote, taken from
// real-world files: the engine must compute each one byte for byte, or know that it cannot and
// refuse to write it. Files in other orders are made here as such files are: the header and
// the catalogue's name column name the order.
#include "engine/catalog/integrity_check.h"
#include "engine/catalog/object_name.h"
#include "engine/database.h"
#include "engine/format/indexes/index_tree.h"
#include "engine/format/indexes/text_index_key.h"
#include "engine/table_copy.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/process.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

namespace engine {
namespace {

using format::TextSortFamily;
using format::TextSortOrder;

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        out += digits;
    }
    return out;
}

std::string keyOf(std::string_view text, TextSortOrder order) {
    std::vector<uint8_t> key;
    format::appendTextKey(text, order, true, key);
    return hex(key);
}

struct WrittenKey {
    TextSortOrder order;
    std::string_view text;
    const char* key;  // after the flag byte 7F
};

constexpr TextSortOrder legacy(uint16_t lcid) { return {TextSortFamily::GeneralLegacy, lcid}; }

// Keys as Access stored them in real-world files.
const WrittenKey kWrittenKeys[] = {
    // General: "ß" is the two sort elements "ss"; a later hyphen or accent counts both.
    {legacy(1033), "NuNuCa Nu\xc3\x9f-Nougat-Creme",
     "626f626f4d4a07626f6b6b62646f554a6d4d695160510101010180330682804b068200"},
    {legacy(1033), "Plutzer Lebensmittelgro\xc3\x9fm\xc3\xa4rkte AG",
     "665e6f6d785169075e514c51626b60596d6d515e5569646b6b604a695c6d51074a550102020202020202020202"
     "020202020202020202020202020202021300"},
    // A Cyrillic letter is one element of two bytes.
    {legacy(1033), "\xd0\x9c\xd0\x9d-1", "794379443801010101800f068200"},
    // Access 97: "ß" counts as two letters; NUL sorts as the other control characters.
    {format::kGeneral97Order, "Plutzer Lebensmittelgro\xc3\x9fm\xc3\xa4rkte AG",
     "736d78777e6675116d66616670766f6a7777666d68757276766f60756c776611606802222222222260"},
    {format::kGeneral97Order, std::string_view("Lock\0", 5), "6d72626c1000"},
    // Turkish: "I" is the dotless letter, "İ" the dotted one; Ü and Ğ letters of their own.
    {legacy(1055), "SummaryInfo", "6b6f60604a697658066253640100"},
    {legacy(1055), "Office Teması.thmx", "645353594d51076d51604a6b58061c6d5760750100"},
    {legacy(1055), "\xc3\x9c\xc4\x9e\xc4\xb0", "70035602590100"},
    {legacy(1055), "Kullanicilar", "5c6f5e5e4a62594d595e4a690100"},
    // Croatian: "nj" is one letter.
    {legacy(1050), "knjige", "5c63045955510100"},
    // Polish: "ó" is a letter of its own.
    {legacy(1045), "Wprowadzanie uczni\xc3\xb3w", "73666964734a4f784a625951076f4d7862596502730100"},
    // Swedish: "w" sorts with "v", told apart after the letters.
    {legacy(1053), "PROJECTwm", "6669645b514d6d716001020202020202020300"},
    // Chinese PRC (pinyin) and Chinese Taiwan (strokes).
    {legacy(2052), "\xe6\x9d\x8e\xe6\xb5\xb7", "a3a594f50100"},
    {legacy(2052),
     "\xe6\x9f\xa5\xe8\xaf\xa2"
     "1",
     "8609c628380100"},
    {legacy(1028),
     "\xe8\xb3\x87\xe6\x96\x99\xe8\xa1\xa8"
     "1",
     "9af98cf18754380100"},
    // Orders whose keys for these names equal General's.
    {legacy(1041), "MSysAccessStorage", "606b766b4a4d4d516b6b6b6d64694a55510100"},
    {legacy(3082), "MSysAccessStorage", "606b766b4a4d4d516b6b6b6d64694a55510100"},
};

TEST(SortOrders, keysAccessWroteAreComputedByteForByte) {
    for (const auto& written : kWrittenKeys) {
        SCOPED_TRACE(std::string(written.text) + " in " + format::sortOrderName(written.order));
        EXPECT_EQ(format::textKeyGap(written.text, written.order), std::nullopt);
        EXPECT_EQ(keyOf(written.text, written.order), written.key);
    }
}

struct Gap {
    TextSortOrder order;
    const char* text;
    const char* gap;
};

// Texts whose keys real files have not shown: the first unit the engine lacks.
const Gap kGaps[] = {
    {legacy(2052),
     "Gr\xc3\xb6\xc3\x9f"
     "e",
     "\xc3\xb6"},                                                            // ö not seen in 2052
    {legacy(2052), "\xe6\x95\xb0\xe6\x8d\xae\xe8\xa1\xa8", "\xe8\xa1\xa8"},  // 数据 known, 表 not
    {legacy(1050), "primatelji", "lj"},                   // a letter pair Croatian sorts as one
    {legacy(1050), "NJEGA", "NJ"},                        // "nj" is known only in small letters
    {legacy(1055), "M\xc3\xbc\xc5\x9fteri", "\xc3\xbc"},  // Ü known, ü not
    {legacy(1053), "World", "W"},                         // its small letter sorts as Swedish does
    {legacy(1049), "Orders", "O"},                        // an order no real file showed
    {{TextSortFamily::General, 1041}, "Orders", "O"},     // the 2010 family in another order
};

TEST(SortOrders, keysRealFilesHaveNotShownAreRefusedNamingTheOrder) {
    for (const auto& gap : kGaps) {
        SCOPED_TRACE(std::string(gap.text) + " in " + format::sortOrderName(gap.order));
        EXPECT_EQ(format::textKeyGap(gap.text, gap.order), std::optional<std::string>(gap.gap));
        try {
            keyOf(gap.text, gap.order);
            ADD_FAILURE() << "computed a key it cannot know";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::NotSupported);
            EXPECT_NE(std::string(error.what()).find(format::sortOrderName(gap.order)),
                      std::string::npos)
                << error.what();
        }
    }
    // Every text has its key in General, in every family.
    for (auto order :
         {format::kGeneral97Order, format::kGeneralLegacyOrder, format::kGeneralOrder}) {
        EXPECT_EQ(format::textKeyGap("primatelji \xe6\x95\xb0\xe6\x8d\xae\xe8\xa1\xa8", order),
                  std::nullopt);
    }
    EXPECT_EQ(format::sortOrderName(legacy(2052)), "Chinese PRC (2052)");
}

// Rewrites the sort order named in the header and by the catalogue's text columns, as a file
// that was made in that order names it (Jet 4: header offset 0x6E, a column's LCID at byte 11 of
// its 25-byte descriptor, descriptors after the 63-byte fixed part and 12 bytes per real index).
void setSortOrder(const std::filesystem::path& path, uint16_t lcid) {
    auto bytes = support::bytesOf(path);
    std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 4096);
    storage::toggleHeaderMask(header, storage::FileFormat::Jet4);
    header[storage::kHeaderSortOrderOffsetJet4] = static_cast<uint8_t>(lcid);
    header[storage::kHeaderSortOrderOffsetJet4 + 1] = static_cast<uint8_t>(lcid >> 8);
    storage::toggleHeaderMask(header, storage::FileFormat::Jet4);
    std::copy(header.begin(), header.end(), bytes.begin());
    const size_t catalogue = 2 * 4096;
    const size_t columns = bytes[catalogue + 45] | bytes[catalogue + 46] << 8;
    const size_t realIndexes = bytes[catalogue + 51] | bytes[catalogue + 52] << 8;
    for (size_t column = 0; column < columns; ++column) {
        const size_t descriptor = catalogue + 63 + 12 * realIndexes + 25 * column;
        if (bytes[descriptor] != static_cast<uint8_t>(format::ColumnType::Text)) continue;
        bytes[descriptor + 11] = static_cast<uint8_t>(lcid);
        bytes[descriptor + 12] = static_cast<uint8_t>(lcid >> 8);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Changes the key the catalogue's index holds for name (made under General rules) to one the
// General rules do not give, as Access's key in another order would be: its last inline byte
// one higher.
void disguiseNameKey(const std::filesystem::path& path, const std::string& name) {
    std::vector<uint8_t> key;
    format::appendTextKey(name, format::kGeneralLegacyOrder, true, key);
    auto bytes = support::bytesOf(path);
    auto found = std::search(bytes.begin(), bytes.end(), key.begin(), key.end());
    ASSERT_NE(found, bytes.end()) << name;
    auto end = std::find(found, found + static_cast<std::ptrdiff_t>(key.size()), 0x01);
    ++*(end - 1);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// The key the catalogue's index holds for a table's name (after its ParentId part).
std::string storedNameKey(Database& database, const std::string& table) {
    auto catalogue = database.tableDefinitionAt(2);
    const auto* object = database.catalog().findTable(table);
    if (!object) return "no table";
    for (const auto& real : catalogue.realIndexes) {
        if (real.columns.size() != 2) continue;
        for (const auto& entry : format::readIndexEntries(database.pager(), database.jetFormat(),
                                                          real, catalogue.firstPage)) {
            if (entry.row == object->location) {
                return hex(std::vector<uint8_t>(entry.key.begin() + 6, entry.key.end()));
            }
        }
    }
    return "no entry";
}

struct OrderCase {
    uint16_t lcid;
    std::vector<std::string> keyed;    // names the engine can key there
    std::vector<std::string> unkeyed;  // names it cannot
};

// Files in the orders real files use: names with known keys are made, found in any letter case,
// renamed and dropped, with keys byte for byte as computed; names without them are refused with
// the file left byte for byte; tables whose names the engine cannot key (made in the file
// before its order was named) are still found and dropped; and the check finds nothing wrong.
TEST(SortOrders, tablesAreMadeFoundAndDroppedInEveryOrderRealFilesUse) {
    const OrderCase cases[] = {
        {2052, {"\xe6\x9d\x8e\xe6\xb5\xb7", "Orders2"}, {"\xe6\x95\xb0\xe6\x8d\xae\xe8\xa1\xa8"}},
        {1055,
         {"Kullan\xc4\xb1"
          "c\xc4\xb1_Bilgileri",
          "SINAV"},
         {"M\xc3\xbc\xc5\x9fteri"}},
        {1050, {"knjige"}, {"primatelji"}},
        {1041, {"Customers"}, {"\xe9\xa1\xa7\xe5\xae\xa2"}},
        {1049, {}, {"Orders"}},
    };
    support::TempDir folder;
    for (const auto& order : cases) {
        SCOPED_TRACE(order.lcid);
        auto path = folder / ("order-" + std::to_string(order.lcid) + ".mdb");
        {
            auto database = Database::create(path, {.format = storage::FileFormat::Jet4});
            // Tables whose keys this engine cannot compute in the order are made first, under
            // General rules, and their keys then changed: the engine meets them as it meets
            // keys Access computed by rules it lacks.
            for (const auto& name : order.unkeyed) {
                database->createTable(name, {{.name = "A", .type = format::ColumnType::Long}});
            }
        }
        setSortOrder(path, order.lcid);
        for (const auto& name : order.unkeyed) disguiseNameKey(path, name);
        auto database = support::openForWriting(path);
        const TextSortOrder sorted = legacy(order.lcid);
        for (const auto& name : order.keyed) {
            SCOPED_TRACE(name);
            database->createTable(name, {{.name = "A", .type = format::ColumnType::Long}});
            EXPECT_EQ(storedNameKey(*database, name), keyOf(name, sorted));
            database->createTable("copy", {{.name = "A", .type = format::ColumnType::Long}});
            database->dropTable("copy");
        }
        for (const auto& name : order.unkeyed) {
            SCOPED_TRACE(name);
            const auto bytes = support::bytesOf(path);
            EXPECT_EQ(support::errorOf([&] { copyTable(*database, name, *database, name + "2"); }),
                      ErrorCode::NotSupported);
            EXPECT_EQ(support::bytesOf(path), bytes);
            // Found by its name and dropped all the same.
            ASSERT_NE(database->findInTables(name), std::nullopt);
            EXPECT_TRUE(support::allRows(*database, name).empty());
        }
        auto report = catalog::checkIntegrity(database->pager(), database->jetFormat(),
                                              database->header().codePage());
        EXPECT_TRUE(report.ok()) << report.problems.front();
        for (const auto& name : order.unkeyed) database->dropTable(name);
        for (const auto& name : order.keyed) database->dropTable(name);
        EXPECT_EQ(support::integrityProblems(*database), "");
        database.reset();
        auto listed = support::runProcess({"mdb-tables", "-1", path.string()});
        EXPECT_EQ(listed.out, "");
    }
}

}  // namespace
}  // namespace engine

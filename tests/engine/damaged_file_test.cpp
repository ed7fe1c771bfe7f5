// Damaged and foreign files give a clear EngineError, never a crash, a hang or a read outside
// the file's bytes (the sanitizer build checks the last).
#include "engine/database.h"
#include "engine/storage/memory_page_file.h"
#include "support/fixtures.h"
#include "support/read_all.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace engine {
namespace {

std::vector<uint8_t> fixtureBytes(const std::string& name) {
    std::ifstream in(support::fixture(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Opens bytes as a database and reads everything; returns the error code, or nullopt when the
// file read without error.
std::optional<ErrorCode> openAndReadAll(std::vector<uint8_t> bytes) {
    try {
        auto file = std::make_unique<storage::MemoryPageFile>(std::move(bytes), false, "bad.mdb");
        auto database = Database::open(std::move(file), {});
        support::readEverything(*database);
        return std::nullopt;
    } catch (const EngineError& error) {
        EXPECT_NE(std::string(error.what()), "");
        return error.code();
    }
}

void put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes[offset++] = static_cast<uint8_t>(value >> shift);
}

TEST(DamagedFile, foreignFilesAreUnrecognized) {
    EXPECT_EQ(openAndReadAll({}), ErrorCode::UnrecognizedFormat);
    std::string text = "Name,Value\nWidget,3\n";
    text.resize(8192, ' ');
    EXPECT_EQ(openAndReadAll({text.begin(), text.end()}), ErrorCode::UnrecognizedFormat);
    EXPECT_EQ(openAndReadAll(std::vector<uint8_t>(4096, 0)), ErrorCode::UnrecognizedFormat);
}

TEST(DamagedFile, truncatedFilesAreDamaged) {
    auto bytes = fixtureBytes("jet4/testV2003.mdb");
    auto halved = bytes;
    halved.resize(bytes.size() / 2);
    EXPECT_EQ(openAndReadAll(halved), ErrorCode::Corrupt);
    auto ragged = bytes;
    ragged.resize(bytes.size() - 100);
    EXPECT_EQ(openAndReadAll(ragged), ErrorCode::Corrupt);
    auto headerOnly = bytes;
    headerOnly.resize(4096);
    EXPECT_EQ(openAndReadAll(headerOnly), ErrorCode::Corrupt);
}

TEST(DamagedFile, definitionChainThatLoopsIsDamaged) {
    auto bytes = fixtureBytes("jet4/testV2003.mdb");
    put32(bytes, 2 * 4096 + 4, 2);  // the catalogue's definition continues on itself
    EXPECT_EQ(openAndReadAll(bytes), ErrorCode::Corrupt);
}

TEST(DamagedFile, pointersPastTheEndAreDamaged) {
    auto bytes = fixtureBytes("jet4/testV2003.mdb");
    put32(bytes, 2 * 4096 + 4, 0x00FFFFFF);  // next definition page far past the end
    EXPECT_EQ(openAndReadAll(bytes), ErrorCode::Corrupt);
    auto map = fixtureBytes("jet4/testV2003.mdb");
    put32(map, 2 * 4096 + 55, 0x7FFFFF00);  // owned-pages map on a page past the end
    EXPECT_EQ(openAndReadAll(map), ErrorCode::Corrupt);
}

TEST(DamagedFile, impossibleCountsAndOffsetsAreDamaged) {
    auto columns = fixtureBytes("jet4/testV2003.mdb");
    columns[2 * 4096 + 45] = 0xFF;  // column count 0xFFxx
    columns[2 * 4096 + 46] = 0xFF;
    EXPECT_EQ(openAndReadAll(columns), ErrorCode::Corrupt);

    // Every row offset of the catalogue's data pages pointing into the page header.
    auto rows = fixtureBytes("jet4/testV2003.mdb");
    for (size_t page = 1; page < rows.size() / 4096; ++page) {
        size_t base = page * 4096;
        if (rows[base] != 0x01 || rows[base + 4] != 2 || rows[base + 5] != 0) continue;
        uint16_t count = static_cast<uint16_t>(rows[base + 12] | (rows[base + 13] << 8));
        for (uint16_t row = 0; row < count; ++row) {
            rows[base + 14 + 2 * row] = 3;
            rows[base + 15 + 2 * row] = 0;
        }
    }
    EXPECT_EQ(openAndReadAll(rows), ErrorCode::Corrupt);
}

// Random damage anywhere: whatever happens, it is an EngineError or a clean read.
TEST(DamagedFile, randomByteDamageNeverEscapesAsAnythingElse) {
    for (const char* name : {"jet3/testV1997.mdb", "jet4/testV2003.mdb", "ace12/testV2007.accdb",
                             "ace17/extDateTestV2019.accdb"}) {
        auto original = fixtureBytes(name);
        std::mt19937 random(12345);
        for (int round = 0; round < 60; ++round) {
            auto bytes = original;
            std::uniform_int_distribution<size_t> position(0, bytes.size() - 1);
            for (int flip = 0; flip < 1 + round % 20; ++flip) {
                bytes[position(random)] = static_cast<uint8_t>(random());
            }
            EXPECT_NO_THROW(openAndReadAll(bytes)) << name << " round " << round;
        }
    }
}

}  // namespace
}  // namespace engine

namespace engine {
namespace {

// Changes to a damaged Access 97 file stop at the damage with Corrupt and leave every byte as
// it was.
TEST(DamagedFile, access97ChangesStopAtDamageAndLeaveTheFileAsItWas) {
    constexpr size_t kPage = 2048;
    const auto original = fixtureBytes("jet3/testV1997.mdb");
    auto catalogRows = original;
    // Every row offset of the catalogue's data pages pointing into the page header.
    for (size_t page = 1; page < catalogRows.size() / kPage; ++page) {
        size_t base = page * kPage;
        if (catalogRows[base] != 0x01 || catalogRows[base + 4] != 2 || catalogRows[base + 5] != 0) {
            continue;
        }
        uint16_t count =
            static_cast<uint16_t>(catalogRows[base + 8] | (catalogRows[base + 9] << 8));
        for (uint16_t row = 0; row < count; ++row) catalogRows[base + 10 + 2 * row] = 3;
    }
    auto pageMap = original;
    pageMap[kPage] = 0x04;  // the global page map is no data page
    auto definition = original;
    put32(definition, 2 * kPage + 4, 0x00FFFFFF);  // the catalogue continues far past the end

    support::TempDir folder;
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
             {"rows", catalogRows}, {"map", pageMap}, {"definition", definition}}) {
        SCOPED_TRACE(name);
        auto path = folder / (name + ".mdb");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        for (const std::function<void(Database&)>& change :
             {std::function<void(Database&)>([](Database& database) {
                  database.createTable("New", {{.name = "A", .type = format::ColumnType::Long}});
              }),
              std::function<void(Database&)>(
                  [](Database& database) { database.dropTable("Table1"); })}) {
            try {
                auto database = Database::open(path, {.mode = AccessMode::ReadWrite});
                change(*database);
                ADD_FAILURE() << "a change to a damaged file went through";
            } catch (const EngineError& error) {
                EXPECT_EQ(error.code(), ErrorCode::Corrupt) << error.what();
            }
            std::ifstream in(path, std::ios::binary);
            EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), bytes);
        }
    }
}

}  // namespace
}  // namespace engine

// corvanta-db on damaged files: export, tables and copy fail with error 3049 and exit 1, and
// check reports the damage, instead of giving part of a table as though it were all of it.
#include "support/fixtures.h"

#include "command_outcome.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using support::bytesOf;

void store(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool isDamageError(const CommandOutcome& outcome) {
    return outcome.status == 1 && outcome.err.rfind("error 3049: ", 0) == 0;
}

TEST(DamagedFileCommand, fileCutShortIsReportedNotExportedInPart) {
    support::TempDir folder;
    const std::string path = (folder / "cut.mdb").string();
    auto bytes = bytesOf(support::fixture("jet4/testV2003.mdb"));
    bytes.resize(bytes.size() / 4 / 4096 * 4096);
    store(path, bytes);

    // The catalogue survives the cut; the tables whose pages were cut off do not.
    EXPECT_EQ(runCommand({"tables", path}).status, 0);
    int damaged = 0;
    for (const char* table : {"Table1", "Table2", "Table3", "Table4"}) {
        const CommandOutcome exported = runCommand({"export", path, table});
        if (exported.status == 0) continue;
        EXPECT_TRUE(isDamageError(exported)) << exported.err;
        ++damaged;
        const std::string destination =
            folder.copyFixture("jet4/emptyJet4.mdb", "copy.mdb").string();
        const auto before = bytesOf(destination);
        EXPECT_TRUE(isDamageError(runCommand({"copy", path, table, destination})));
        EXPECT_TRUE(bytesOf(destination) == before);
        std::filesystem::remove(destination);
    }
    EXPECT_GT(damaged, 0);
    const CommandOutcome check = runCommand({"check", path});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out, "ok\n");
}

TEST(DamagedFileCommand, zeroedCatalogueIsReported) {
    support::TempDir folder;
    const std::string path = folder.copyFixture("jet4/emptyJet4.mdb").string();
    auto bytes = bytesOf(path);
    // emptyJet4.mdb keeps the catalogue's rows on page 17.
    ASSERT_EQ(bytes[17 * 4096], 0x01);
    ASSERT_EQ(bytes[17 * 4096 + 4], 0x02);
    std::fill_n(bytes.begin() + 17 * 4096, 4096, 0);
    store(path, bytes);
    EXPECT_TRUE(isDamageError(runCommand({"tables", path})));
    const CommandOutcome check = runCommand({"check", path});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("MSysObjects"), std::string::npos) << check.out;
}

}  // namespace

// A new database appears under its name whole or not at all: whatever fails (a full disk, a
// kill, something already at the name), nothing else is left in the folder, nothing there is
// removed or replaced, and errors name only the path asked for. It works where the file system
// refuses the calls that make this easy.
#include "engine/database.h"
#include "support/durability.h"
#include "support/engine_files.h"
#include "support/faulty_file_system.h"
#include "support/process.h"

#include <fstream>
#include <gtest/gtest.h>

namespace engine {
namespace {

using support::FaultyFileSystem;

constexpr int kStoppedByFault = 77;

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// After a failed create: nothing in the folder, or the whole database. The last steps belong to
// opening the finished file, where a failure or a kill may leave a stale lock file.
void expectWholeOrNothing(const support::TempDir& folder, const std::filesystem::path& path) {
    auto names = namesIn(folder.path());
    if (names == std::vector<std::string>{"new.ldb", "new.mdb"}) {
        std::filesystem::remove(folder / "new.ldb");
        names = namesIn(folder.path());
    }
    if (names.empty()) return;
    EXPECT_EQ(names, std::vector<std::string>{"new.mdb"});
    EXPECT_EQ(support::integrityProblems(path), "");
    std::filesystem::remove(path);
}

TEST(Create, worksWhereTheFileSystemRefusesTheEasyWays) {
    support::TempDir folder;
    struct Case {
        const char* what;
        storage::RefusedCalls refused;
    };
    for (const auto& [what, refused] :
         {Case{"every call allowed", {}}, Case{"no unnamed files", {.unnamedFiles = true}},
          Case{"no hard links", {.unnamedFiles = true, .hardLinks = true}},
          Case{"no renaming without replacing",
               {.unnamedFiles = true, .hardLinks = true, .renameNoReplace = true}}}) {
        SCOPED_TRACE(what);
        auto fileSystem = storage::posixFileSystem(refused);
        auto path = folder / "new.accdb";
        {
            auto database = Database::create(
                path, {.format = storage::FileFormat::Ace12, .fileSystem = fileSystem.get()});
            database->createTable("Table", {{.name = "Id", .type = format::ColumnType::Long}});
        }
        EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"new.accdb"});
        EXPECT_EQ(support::integrityProblems(path), "");
        // Something there already: refused, and it stays.
        auto before = support::mdbExport(path, "Table");
        try {
            Database::create(path, {.fileSystem = fileSystem.get()});
            ADD_FAILURE() << "created over an existing file";
        } catch (const EngineError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Cannot create '" + path.string() + "': the file already exists.");
        }
        EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"new.accdb"});
        EXPECT_EQ(support::mdbExport(path, "Table"), before);
        std::filesystem::remove(path);
    }
}

TEST(Create, aFailureAtAnyStepLeavesNothingBehind) {
    support::TempDir folder;
    auto path = folder / "new.mdb";
    FaultyFileSystem counting(0, FaultyFileSystem::Fault::DiskFull);
    Database::create(path, {.fileSystem = &counting});
    const uint64_t steps = counting.steps();
    std::filesystem::remove(path);
    ASSERT_GT(steps, 5u);
    const uint64_t stride = support::underSanitizers() ? 3 : 1;
    for (uint64_t step = 1; step <= steps; step += stride) {
        SCOPED_TRACE("step " + std::to_string(step));
        // A full disk: reported.
        {
            FaultyFileSystem full(step, FaultyFileSystem::Fault::DiskFull);
            try {
                Database::create(path, {.fileSystem = &full});
            } catch (const EngineError& error) {
                EXPECT_EQ(error.code(), ErrorCode::DiskFull);
            }
        }
        expectWholeOrNothing(folder, path);
        // A kill.
        int status = support::inChild([&] {
            FaultyFileSystem dying(step, FaultyFileSystem::Fault::ExitProcess);
            Database::create(path, {.fileSystem = &dying});
            return 0;
        });
        EXPECT_TRUE(status == kStoppedByFault || status == 0) << status;
        expectWholeOrNothing(folder, path);
    }
}

TEST(Create, neverReplacesOrRemovesWhatIsThere) {
    support::TempDir folder;
    // A link to nothing: refused, and the link stays.
    auto dangling = folder / "dangling.mdb";
    std::filesystem::create_symlink(folder / "nowhere.mdb", dangling);
    EXPECT_EQ(support::errorOf([&] { Database::create(dangling, {}); }), ErrorCode::IoError);
    EXPECT_TRUE(std::filesystem::is_symlink(dangling));
    EXPECT_FALSE(std::filesystem::exists(folder / "nowhere.mdb"));
    // A file of the name an older version built under is none of its business.
    auto path = folder / "new.mdb";
    std::ofstream(folder / "new.mdb.creating") << "someone's notes";
    Database::create(path, {});
    EXPECT_TRUE(std::filesystem::exists(folder / "new.mdb.creating"));
    EXPECT_EQ(namesIn(folder.path()),
              (std::vector<std::string>{"dangling.mdb", "new.mdb", "new.mdb.creating"}));
    // Errors name the path asked for, nothing made up on the way.
    auto missing = folder / "no such folder" / "new.mdb";
    try {
        Database::create(missing, {});
        ADD_FAILURE() << "created in a missing folder";
    } catch (const EngineError& error) {
        EXPECT_EQ(std::string(error.what()), "Disk or network error while creating '" +
                                                 missing.string() +
                                                 "': No such file or directory.");
    }
}

}  // namespace
}  // namespace engine

// A change whose commit fails on an I/O error (at the first, middle and last of each kind of
// step a commit takes) is reported and undone, and the same database object goes on working. When
// undoing it fails too, the object refuses every later change with a clear error, still reads the
// state before the change, and leaves the journal for the next open, which plays it back. Either
// way the file ends with the change whole or absent and every other table as it was.
#include "engine/database.h"
#include "support/durability.h"
#include "support/engine_files.h"
#include "support/faulty_file_system.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

using support::Change;
using support::FaultyFileSystem;

constexpr int kLaterChanges = 5;

std::vector<catalog::NewColumn> smallColumns() {
    return {{.name = "Id", .type = format::ColumnType::Long}};
}

void addSmallTable(Database& database, int number) {
    std::vector<std::vector<format::Value>> rows = {{format::Value(int32_t{number})}};
    database.createTable("More" + std::to_string(number), smallColumns(), support::RowFeed(rows));
}

void expectIoError(const std::function<void()>& action) {
    try {
        action();
        ADD_FAILURE() << "the I/O error went unreported";
    } catch (const EngineError& error) {
        EXPECT_EQ(error.code(), ErrorCode::IoError) << error.what();
    }
}

class FailedChange : public ::testing::TestWithParam<Change> {
protected:
    void SetUp() override {
        m_base = support::makeTwoTables(m_folder);
        m_before = support::tablesOf(m_base);
        m_steps = support::stepsOf(m_base, m_folder / "count.mdb", GetParam());
    }

    // The steps to fail: sampled, and under the sanitizers a third of those.
    std::vector<uint64_t> faultSteps() const {
        auto steps = support::sampledCommitSteps(m_steps);
        if (!support::underSanitizers()) return steps;
        std::vector<uint64_t> fewer;
        for (size_t index = 0; index < steps.size(); index += 3) fewer.push_back(steps[index]);
        return fewer;
    }

    std::filesystem::path freshCopy() {
        // A writer whose disk went away could not remove its lock file: stale now, but it
        // would change the count of steps.
        std::filesystem::remove(m_folder / "failed.ldb");
        auto path = m_folder / "failed.mdb";
        std::filesystem::copy_file(m_base, path, std::filesystem::copy_options::overwrite_existing);
        return path;
    }

    support::TempDir m_folder;
    std::filesystem::path m_base;
    support::Tables m_before;
    support::ChangeSteps m_steps;
};

TEST_P(FailedChange, anIoErrorInTheCommitIsUndoneAndTheObjectGoesOn) {
    const auto steps = faultSteps();
    ASSERT_GT(steps.size(), 2u);
    for (uint64_t step : steps) {
        SCOPED_TRACE(support::nameOf(GetParam()) + ": I/O error at step " + std::to_string(step));
        auto path = freshCopy();
        {
            FaultyFileSystem failing(step, FaultyFileSystem::Fault::IoError);
            auto database =
                Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &failing});
            expectIoError([&] { support::runChange(*database, GetParam()); });
            EXPECT_EQ(database->pager().state(), storage::Pager::State::None);
            for (int later = 1; later <= kLaterChanges; ++later) addSmallTable(*database, later);
            EXPECT_EQ(support::integrityProblems(*database), "");
            EXPECT_NE(database->catalog().findTable("More5"), nullptr);
        }
        EXPECT_EQ(support::problemsAfter(path, GetParam(), m_before), "");
    }
}

TEST_P(FailedChange, aFailedRollbackRefusesLaterChangesUntilTheNextOpenUndoesIt) {
    const auto steps = faultSteps();
    // The rollback fails at its first step, or at its second.
    for (uint64_t rollbackStep : {1, 2}) {
        for (size_t index = rollbackStep - 1; index < steps.size(); index += 2) {
            const uint64_t step = steps[index];
            SCOPED_TRACE(support::nameOf(GetParam()) + ": I/O error at step " +
                         std::to_string(step) + ", then at rollback step " +
                         std::to_string(rollbackStep));
            auto path = freshCopy();
            {
                FaultyFileSystem failing(step, FaultyFileSystem::Fault::IoError);
                failing.failFrom(step + rollbackStep);
                auto database =
                    Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &failing});
                expectIoError([&] { support::runChange(*database, GetParam()); });
                ASSERT_EQ(database->pager().state(), storage::Pager::State::Error);
                for (int later = 1; later <= kLaterChanges; ++later) {
                    try {
                        addSmallTable(*database, later);
                        ADD_FAILURE() << "a change was made after a failed rollback";
                    } catch (const EngineError& error) {
                        EXPECT_EQ(error.code(), ErrorCode::IoError);
                        EXPECT_NE(std::string(error.what()).find("could not be restored"),
                                  std::string::npos)
                            << error.what();
                    }
                }
                // The object still reads the state before the failed change.
                EXPECT_EQ(support::allRows(*database, "Base"), m_before.base);
                EXPECT_EQ(support::integrityProblems(*database), "");
                EXPECT_EQ(database->catalog().findTable("Copied"), nullptr);
                EXPECT_EQ(database->catalog().findTable("More1"), nullptr);
            }
            // The journal stays for the next open; a reader lays it over the file.
            ASSERT_EQ(support::journalsIn(m_folder.path()).size(), 1u);
            {
                auto reader = Database::open(path);
                EXPECT_EQ(support::integrityProblems(*reader), "");
                EXPECT_EQ(support::allRows(*reader, "Base"), m_before.base);
            }
            EXPECT_EQ(support::journalsIn(m_folder.path()).size(), 1u);
            EXPECT_EQ(support::problemsAfter(path, GetParam(), m_before), "");
        }
    }
}

// The step of the log that does action to a file whose name ends with suffix, the last such
// step (or the first, when first) after the open; 0 when there is none.
uint64_t stepOf(const support::ChangeSteps& steps, FaultyFileSystem::Action action,
                const std::string& suffix, bool first) {
    uint64_t found = 0;
    for (uint64_t index = steps.opened; index < steps.log.size(); ++index) {
        if (steps.log[index].action != action || !steps.log[index].path.ends_with(suffix)) {
            continue;
        }
        found = index + 1;
        if (first) break;
    }
    return found;
}

// Once the journal's name is gone the change is made: a flush of the folder that fails after
// that is reported as a change that may not last, and nothing is undone.
TEST_P(FailedChange, anIoErrorAfterTheCommitPointKeepsTheChangeAndSaysSo) {
    const uint64_t removal = stepOf(m_steps, FaultyFileSystem::Action::Remove, "-journal", false);
    ASSERT_GT(removal, 0u);
    ASSERT_EQ(m_steps.log.at(removal).action, FaultyFileSystem::Action::FlushFolder);
    auto path = freshCopy();
    {
        FaultyFileSystem failing(removal + 1, FaultyFileSystem::Fault::IoError);
        auto database =
            Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &failing});
        try {
            support::runChange(*database, GetParam());
            ADD_FAILURE() << "the failed flush went unreported";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::IoError);
            EXPECT_NE(std::string(error.what()).find("was made"), std::string::npos)
                << error.what();
        }
        EXPECT_EQ(database->pager().state(), storage::Pager::State::None);
        const auto& catalog = database->catalog();
        const bool copied = catalog.findTable("Copied") != nullptr;
        const bool based = catalog.findTable("Base") != nullptr;
        const bool renamed = catalog.findTable("Renamed") != nullptr;
        EXPECT_TRUE(GetParam() == Change::MakeTable ? copied
                    : GetParam() == Change::Drop    ? !based
                                                    : renamed && !based);
        addSmallTable(*database, 1);
        EXPECT_EQ(support::integrityProblems(*database), "");
    }
    EXPECT_EQ(support::journalsIn(m_folder.path()), std::vector<std::string>{});
    EXPECT_EQ(support::problemsAfter(path, GetParam(), m_before), "");
}

// A change that fails before it has begun (the journal's folder cannot be flushed) leaves no
// journal behind and every byte as it was, and the message names the database, not the journal.
TEST_P(FailedChange, aChangeThatCannotStartLeavesNoJournal) {
    const uint64_t flush = stepOf(m_steps, FaultyFileSystem::Action::FlushFolder, "-journal", true);
    ASSERT_GT(flush, 0u);
    auto path = freshCopy();
    const auto before = support::bytesOf(path);
    {
        FaultyFileSystem failing(flush, FaultyFileSystem::Fault::IoError);
        auto database =
            Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &failing});
        try {
            support::runChange(*database, GetParam());
            ADD_FAILURE() << "the failed start went unreported";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.code(), ErrorCode::IoError);
            EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos)
                << error.what();
            EXPECT_EQ(std::string(error.what()).find("-journal"), std::string::npos)
                << error.what();
        }
        EXPECT_EQ(support::journalsIn(m_folder.path()), std::vector<std::string>{});
        EXPECT_EQ(support::bytesOf(path), before);
        addSmallTable(*database, 1);
    }
    EXPECT_EQ(support::problemsAfter(path, GetParam(), m_before), "");
}

INSTANTIATE_TEST_SUITE_P(EveryChange, FailedChange, ::testing::ValuesIn(support::kEveryChange),
                         [](const auto& info) {
                             std::string name = support::nameOf(info.param);
                             std::erase(name, '-');
                             return name;
                         });

}  // namespace
}  // namespace engine

// A power failure at any step of a change: what survives is only what a sync made durable
// (with the last write not yet durable torn in half, or not), and the next writer's open must
// find the file as it was before the change or as the change left it, sound, every other table
// as it was, and a change reported made must have lasted; also when the file was moved to
// another folder first, and when the power goes again while that open plays the journal back
// or makes its next change. Swept over every step of a make-table, a drop, and a rename's copy
// and drop, with and without a torn last write, with and without the names made since the last
// flush of their folder.
#include "engine/catalog/integrity_check.h"
#include "engine/database.h"
#include "engine/table_copy.h"
#include "support/durability.h"
#include "support/engine_files.h"
#include "support/power_loss_file_system.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace engine {
namespace {

using support::Change;
using support::DiskImage;
using support::PowerLossFileSystem;

const std::string kDatabasePath = "/data/base.mdb";
const std::string kMovedPath = "/moved/base.mdb";

struct State {
    std::vector<std::vector<format::Value>> base;
    std::vector<std::vector<format::Value>> other;
    uint64_t length = 0;
};

std::unique_ptr<Database> openWriting(PowerLossFileSystem& files,
                                      const std::string& path = kDatabasePath) {
    return Database::open(path, {.mode = AccessMode::ReadWrite, .fileSystem = &files});
}

// The same files with the database moved to another folder (the journal and the registry stay).
DiskImage moved(DiskImage image) {
    auto node = image.extract(kDatabasePath);
    node.key() = kMovedPath;
    image.insert(std::move(node));
    return image;
}

// What is wrong with the file at path that a writer's open made of image: it must be sound and
// show the state before the change or after it (for a rename, also the state between its two
// changes), with Other as it was and no journal left.
std::string problemsOf(const DiskImage& image, const std::string& path, Change change,
                       const State& before, const State& after, int reported = 0) {
    PowerLossFileSystem files(image);
    std::string problems;
    try {
        auto database = openWriting(files, path);
        problems += support::integrityProblems(*database);
        const auto& catalog = database->catalog();
        const bool base = catalog.findTable("Base") != nullptr;
        const char* made = change == Change::MakeTable ? "Copied" : "Renamed";
        const bool copy = catalog.findTable(made) != nullptr;
        if (base && support::allRows(*database, "Base") != before.base)
            problems += "Base changed\n";
        if (copy && support::allRows(*database, made) != before.base)
            problems += "copy not whole\n";
        const bool unchanged = base && !copy;
        const bool changed = change == Change::MakeTable ? base && copy
                             : change == Change::Drop    ? !base && !copy
                                                         : !base && copy;
        const bool between = change == Change::Rename && base && copy;
        if (!unchanged && !changed && !between) problems += "neither before nor after\n";
        // A change reported made is made for good.
        const int lasting = changed ? (change == Change::Rename ? 2 : 1) : between ? 1 : 0;
        if (lasting < reported) problems += "a change reported made was lost\n";
        if (support::allRows(*database, "Other") != before.other) problems += "Other changed\n";
        const uint64_t length =
            database->pager().pageCount() * uint64_t{database->pager().pageSize()};
        // A change made after the recovery grows the file on its own.
        const bool later = catalog.findTable("After") != nullptr;
        if (unchanged && !later && length != before.length) {
            problems += "the length before is " + std::to_string(before.length) + ", not " +
                        std::to_string(length) + "\n";
        }
        if (changed && !later && length != after.length) {
            problems += "the length after is " + std::to_string(after.length) + ", not " +
                        std::to_string(length) + "\n";
        }
    } catch (const EngineError& error) {
        problems += std::string("opening failed: ") + error.what() + "\n";
    }
    for (const auto& [name, file] : files.current()) {
        if (name.ends_with("-journal")) problems += "journal left: " + name + "\n";
    }
    return problems;
}

// Makes the change, counting in reported the changes that returned (a rename makes two).
void runChange(Database& database, Change change, int& reported) {
    if (change == Change::Drop) {
        database.dropTable("Base");
        ++reported;
        return;
    }
    copyTable(database, "Base", database, change == Change::MakeTable ? "Copied" : "Renamed");
    ++reported;
    if (change == Change::MakeTable) return;
    database.dropTable("Base");
    ++reported;
}

// The ways a cut can fall: what it keeps beyond what was durable.
constexpr PowerLossFileSystem::Cut kCuts[] = {
    {.tornWrite = false, .laterNames = false},
    {.tornWrite = true, .laterNames = false},
    {.tornWrite = false, .laterNames = true},
    {.tornWrite = true, .laterNames = true},
};

// The files left when the power goes at the step-th step (0: never) of a writer's open of
// image (which plays back a journal left in it) and a change it then makes (a new table
// "After"), and how many steps those took.
std::pair<DiskImage, uint64_t> recoveredUntil(const DiskImage& image, uint64_t step) {
    PowerLossFileSystem files(image);
    if (step != 0) files.cutAt(step, {.tornWrite = true});
    try {
        auto database = openWriting(files);
        database->createTable("After", {{.name = "Id", .type = format::ColumnType::Long}});
    } catch (const EngineError&) {
    }
    return {step != 0 ? files.survivors() : files.current(), files.steps()};
}

class PowerLoss : public ::testing::TestWithParam<Change> {
protected:
    void SetUp() override {
        // A small Base, so that a sweep over every step stays quick.
        const auto path = support::makeTwoTables(m_folder, "base.mdb", {.rows = 6});
        m_image = {{kDatabasePath, {support::bytesOf(path), 0}}};
        auto database = Database::open(path);
        m_before = {support::allRows(*database, "Base"), support::allRows(*database, "Other"),
                    support::bytesOf(path).size()};
    }

    support::TempDir m_folder;
    DiskImage m_image;
    State m_before;
};

TEST_P(PowerLoss, everyCutLeavesTheStateBeforeOrAfter) {
    // The whole change once, to count its steps and see the state after.
    uint64_t steps = 0;
    State after = m_before;
    {
        PowerLossFileSystem files(m_image);
        {
            auto database = openWriting(files);
            support::runChange(*database, GetParam());
        }
        steps = files.steps();
        after.length = files.current().at(kDatabasePath).bytes.size();
    }
    ASSERT_GT(steps, 10u);
    // Under the sanitizers every third step.
    const uint64_t stride = support::underSanitizers() ? 3 : 1;
    for (uint64_t step = 1; step <= steps; step += stride) {
        for (const auto& cut : kCuts) {
            SCOPED_TRACE(support::nameOf(GetParam()) + ": the power went at step " +
                         std::to_string(step) + (cut.tornWrite ? ", tearing the last write" : "") +
                         (cut.laterNames ? ", keeping names not yet flushed" : ""));
            PowerLossFileSystem files(m_image);
            files.cutAt(step, cut);
            int reported = 0;
            try {
                auto database = openWriting(files);
                runChange(*database, GetParam(), reported);
            } catch (const EngineError&) {
                // The power went: the program stops here, whatever it was saying.
            }
            ASSERT_TRUE(files.cut());
            const DiskImage survivors = files.survivors();
            EXPECT_EQ(problemsOf(survivors, kDatabasePath, GetParam(), m_before, after, reported),
                      "");
            if (cut.laterNames) continue;
            // The file moved to another folder before the next open: the journal is found
            // through the registry.
            EXPECT_EQ(
                problemsOf(moved(survivors), kMovedPath, GetParam(), m_before, after, reported), "")
                << "after a move";
            // The power goes again while the next open plays the journal back, or while it
            // makes a change after.
            const bool journal =
                std::any_of(survivors.begin(), survivors.end(), [](const auto& file) {
                    return file.first.ends_with("-journal") && !file.second.bytes.empty();
                });
            if (cut.tornWrite || !journal) continue;
            const uint64_t recoverySteps = recoveredUntil(survivors, 0).second;
            for (uint64_t again = 1; again <= recoverySteps; again += stride) {
                EXPECT_EQ(problemsOf(recoveredUntil(survivors, again).first, kDatabasePath,
                                     GetParam(), m_before, after, reported),
                          "")
                    << "the power went again at step " << again
                    << " of the recovery and the change after it";
            }
        }
    }
}

// A change that fails on an I/O error is undone at once, and the same connection goes on to
// its next change; the power going at any step of that undoing, or of the change after it,
// still leaves the state before or after.
TEST_P(PowerLoss, everyCutAfterAFailedChangeLeavesTheStateBeforeOrAfter) {
    State after = m_before;
    uint64_t steps = 0;
    {
        PowerLossFileSystem files(m_image);
        support::runChange(*openWriting(files), GetParam());
        steps = files.steps();
        after.length = files.current().at(kDatabasePath).bytes.size();
    }
    // The change fails at a step, and the connection makes a change after it.
    auto failThenGoOn = [&](PowerLossFileSystem& files, int& reported) {
        try {
            auto database = openWriting(files);
            try {
                runChange(*database, GetParam(), reported);
            } catch (const EngineError&) {
            }
            database->createTable("After", {{.name = "Id", .type = format::ColumnType::Long}});
        } catch (const EngineError&) {
        }
    };
    const uint64_t stride = support::underSanitizers() ? 3 : 1;
    for (uint64_t failed = 1; failed <= steps; failed += stride) {
        uint64_t all = 0;
        {
            PowerLossFileSystem files(m_image);
            files.failAt(failed);
            int reported = 0;
            failThenGoOn(files, reported);
            all = files.steps();
        }
        for (uint64_t cut = failed + 1; cut <= all; cut += stride) {
            SCOPED_TRACE(support::nameOf(GetParam()) + ": step " + std::to_string(failed) +
                         " failed, the power went at step " + std::to_string(cut));
            PowerLossFileSystem files(m_image);
            files.failAt(failed);
            files.cutAt(cut, {.tornWrite = true});
            int reported = 0;
            failThenGoOn(files, reported);
            EXPECT_EQ(
                problemsOf(files.survivors(), kDatabasePath, GetParam(), m_before, after, reported),
                "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryChange, PowerLoss, ::testing::ValuesIn(support::kEveryChange),
                         [](const auto& info) {
                             std::string name = support::nameOf(info.param);
                             std::erase(name, '-');
                             return name;
                         });

}  // namespace
}  // namespace engine

// While a database is open for writing, no other writer gets it; readers still read; the lock
// goes with the writer's connection or process.
#include "engine/database.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace engine {
namespace {

// Runs action in a child process; returns its exit status.
int inChild(const std::function<int()>& action) {
    pid_t child = ::fork();
    if (child == 0) {
        int status = 1;
        try {
            status = action();
        } catch (...) {
            status = 2;
        }
        ::_exit(status);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr int kRefusedInUse = 10;

int tryToWrite(const std::string& path) {
    try {
        Database::open(path, {.mode = AccessMode::ReadWrite});
        return 0;
    } catch (const EngineError& error) {
        if (error.code() == ErrorCode::FileInUse &&
            std::string(error.what()) == "Could not use '" + path + "'; file already in use.") {
            return kRefusedInUse;
        }
        return 3;
    }
}

TEST(Locking, aSecondWriterIsRefusedWhileReadersRead) {
    support::TempDir folder;
    std::string path = folder.copyFixture("jet4/testV2003.mdb");
    {
        auto writer = Database::open(path, {.mode = AccessMode::ReadWrite});
        EXPECT_EQ(inChild([&] { return tryToWrite(path); }), kRefusedInUse);
        EXPECT_EQ(inChild([&] {
                      auto reader = Database::open(path, {.mode = AccessMode::ReadOnly});
                      return reader->catalog().findTable("Table1") ? 0 : 4;
                  }),
                  0);
        EXPECT_EQ(tryToWrite(path), kRefusedInUse);  // also within one process
    }
    // Closed: the next writer gets it.
    EXPECT_EQ(inChild([&] { return tryToWrite(path); }), 0);
}

TEST(Locking, theLockDiesWithItsProcess) {
    support::TempDir folder;
    std::string path = folder.copyFixture("jet4/testV2003.mdb");
    EXPECT_EQ(inChild([&] {
                  auto writer = Database::open(path, {.mode = AccessMode::ReadWrite});
                  ::_exit(0);
                  return 0;
              }),
              0);
    EXPECT_EQ(tryToWrite(path), 0);
}

}  // namespace
}  // namespace engine

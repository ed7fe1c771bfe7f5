#include "support/crash_sweep.h"

#include "support/faulty_file_system.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace support {

namespace {
constexpr int kStoppedByFault = 77;  // the exit status FaultyFileSystem gives a child it stops
}  // namespace

uint64_t writesOf(const std::filesystem::path& base, const DatabaseOperation& operation) {
    auto scratch = base.parent_path() / ("counting-" + base.filename().string());
    std::filesystem::copy_file(base, scratch, std::filesystem::copy_options::overwrite_existing);
    uint64_t steps = 0;
    {
        FaultyFileSystem counting(0, FaultyFileSystem::Fault::ExitProcess);
        auto database = engine::Database::open(
            scratch, {.mode = engine::AccessMode::ReadWrite, .fileSystem = &counting});
        operation(*database);
        steps = counting.steps();
    }
    std::filesystem::remove(scratch);
    return steps;
}

void sweepCrashes(const std::filesystem::path& base, const DatabaseOperation& operation,
                  const std::function<void(const std::filesystem::path&, uint64_t)>& check,
                  uint64_t stride, uint64_t lastEvery) {
    const uint64_t steps = writesOf(base, operation);
    ASSERT_GT(steps, 0u);
    for (uint64_t faultAt = 1; faultAt <= steps;
         faultAt += faultAt + lastEvery >= steps ? 1 : stride) {
        auto path = base.parent_path() / ("crash-" + std::to_string(faultAt) + ".mdb");
        std::filesystem::copy_file(base, path, std::filesystem::copy_options::overwrite_existing);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FaultyFileSystem dying(faultAt, FaultyFileSystem::Fault::ExitProcess);
            try {
                auto database = engine::Database::open(
                    path, {.mode = engine::AccessMode::ReadWrite, .fileSystem = &dying});
                operation(*database);
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), kStoppedByFault)
            << "the writer did not reach write " << faultAt;
        check(path, faultAt);
        std::filesystem::remove(path);
    }
}

}  // namespace support

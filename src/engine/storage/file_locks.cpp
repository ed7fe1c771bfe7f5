#include "engine/storage/file_locks.h"

#include "engine/storage/lock_bytes.h"

#include <algorithm>
#include <functional>
#include <thread>

namespace engine::storage {

namespace {

using Deadline = std::chrono::steady_clock::time_point;

// Tries attempt until it succeeds or the deadline passes; false then.
bool keepTrying(Deadline deadline, const std::function<bool()>& attempt) {
    auto pause = std::chrono::microseconds(100);
    while (!attempt()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

EngineError fileInUse(const std::string& path) {
    return EngineError(ErrorCode::FileInUse, "Could not use '" + path + "'; file already in use.");
}

bool takeWriterLock(PageFile& file) {
    return file.lock(lock_bytes::kWriter, 1, LockMode::Exclusive);
}

void takeSharedLock(PageFile& file, std::chrono::milliseconds timeout) {
    bool taken = keepTrying(std::chrono::steady_clock::now() + timeout, [&file] {
        if (!file.lock(lock_bytes::kPending, 1, LockMode::Shared)) return false;
        bool shared = file.lock(lock_bytes::kShared, 1, LockMode::Shared);
        file.lock(lock_bytes::kPending, 1, LockMode::Unlocked);
        return shared;
    });
    if (!taken) throw fileInUse(file.path());
}

void takeExclusiveLock(PageFile& file, std::chrono::milliseconds timeout) {
    const Deadline deadline = std::chrono::steady_clock::now() + timeout;
    bool taken =
        keepTrying(deadline,
                   [&file] { return file.lock(lock_bytes::kPending, 1, LockMode::Exclusive); }) &&
        keepTrying(deadline,
                   [&file] { return file.lock(lock_bytes::kShared, 1, LockMode::Exclusive); });
    if (!taken) {
        file.lock(lock_bytes::kPending, 1, LockMode::Unlocked);
        throw fileInUse(file.path());
    }
}

void releaseExclusiveLock(PageFile& file) {
    file.lock(lock_bytes::kShared, 1, LockMode::Unlocked);
    file.lock(lock_bytes::kPending, 1, LockMode::Unlocked);
}

}  // namespace engine::storage

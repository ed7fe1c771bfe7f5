// Kills a writer at chosen writes: runs an operation on a copy of a database in a child process
// that dies at its n-th write or flush (a crash, as far as the file can tell), for n across
// every write the operation makes, and hands each file left behind to a check.
#pragma once

#include "engine/database.h"

#include <filesystem>
#include <functional>

namespace support {

using DatabaseOperation = std::function<void(engine::Database&)>;

// The writes and flushes the operation makes on a copy of base.
uint64_t writesOf(const std::filesystem::path& base, const DatabaseOperation& operation);

// Kills the operation at write 1, 1 + stride, 1 + 2 x stride ... up to its last, and at every
// one of the last `lastEvery` writes, where the change commits; check gets the file left
// behind and the write the child died at. Fails the test when a child did not reach its write.
void sweepCrashes(const std::filesystem::path& base, const DatabaseOperation& operation,
                  const std::function<void(const std::filesystem::path&, uint64_t)>& check,
                  uint64_t stride = 1, uint64_t lastEvery = 0);

}  // namespace support

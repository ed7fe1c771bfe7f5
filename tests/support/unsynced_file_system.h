// The operating system's files without their flushes: for tests that make many small changes
// and look at what the files hold, not at what survives a crash (crash_safety_test does that).
// A flush costs tens of milliseconds on a busy disk.
#pragma once

#include "engine/storage/file_system.h"

namespace support {

engine::storage::FileSystem& unsyncedFileSystem();

}  // namespace support

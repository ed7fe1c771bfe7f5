// Taking and letting go of the transaction protocol's locks on a database file (lock_bytes.h
// says which bytes; pager.h says who holds what when). A wait is a poll with growing pauses, up
// to a time limit, after which the file counts as in use.
#pragma once

#include "engine/storage/page_file.h"

#include <chrono>

namespace engine::storage {

// "Could not use '<path>'; file already in use."
EngineError fileInUse(const std::string& path);

// The writer lock, without waiting: false when another writer holds the file.
bool takeWriterLock(PageFile& file);
// A reader's shared lock: waits while a writer commits. Throws FileInUse after timeout.
void takeSharedLock(PageFile& file, std::chrono::milliseconds timeout);
// A writer's exclusive lock, before it overwrites pages in use: announces itself (pending),
// then waits for the readers to let go. Throws FileInUse after timeout, holding no more than
// before.
void takeExclusiveLock(PageFile& file, std::chrono::milliseconds timeout);
void releaseExclusiveLock(PageFile& file);

}  // namespace engine::storage

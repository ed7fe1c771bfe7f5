// A database file as a flat range of bytes: read, write, flush, resize, lock. The pager above
// reads and writes whole pages through it. Implementations: PosixPageFile (a real file),
// MemoryPageFile (tests), and wrappers that inject faults (tests).
#pragma once

#include "engine/storage/byte_order.h"

#include <cstdint>
#include <span>
#include <string>

namespace engine::storage {

// What the operating system records about a file, as far as the engine uses it: which file it
// is, whatever path names it, and whose it is.
struct FileInfo {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t birth = 0;     // nanoseconds since 1970; 0 where the file system keeps no birth time
    uint32_t mode = 0644;  // permission bits
    uint32_t owner = 0;
    uint32_t group = 0;

    // Device and inode equal, and birth times too where both are known (an inode number is
    // reused once its file is deleted; the birth time tells the new file from the old).
    bool sameFileAs(const FileInfo& other) const {
        return device == other.device && inode == other.inode &&
               (birth == 0 || other.birth == 0 || birth == other.birth);
    }
};

enum class LockMode { Unlocked, Shared, Exclusive };

class PageFile {
public:
    virtual ~PageFile() = default;

    // The path shown in error messages.
    virtual const std::string& path() const = 0;
    virtual bool writable() const = 0;
    virtual uint64_t size() const = 0;
    // All zero for a file that lives only in memory.
    virtual FileInfo info() const { return {}; }

    // Reads exactly out.size() bytes at offset. Throws Corrupt when the range passes the end.
    virtual void read(uint64_t offset, MutableBytes out) = 0;
    // Reads the pieces one after another from offset, as one read of them joined would.
    virtual void readRun(uint64_t offset, std::span<const MutableBytes> pieces);
    // REQUIRES: writable().
    virtual void write(uint64_t offset, Bytes data) = 0;
    // Writes the pieces one after another from offset, as one write of them joined would.
    // REQUIRES: writable().
    virtual void writeRun(uint64_t offset, std::span<const Bytes> pieces);
    // Makes every write so far durable before returning.
    virtual void sync() = 0;
    // REQUIRES: writable().
    virtual void truncate(uint64_t size) = 0;
    // Reads the size again: another process may have grown or cut the file.
    virtual void refresh() {}

    // Sets this open file's advisory lock on the bytes [offset, offset + length), which may lie
    // past the end (lock_bytes.h says which bytes mean what). Returns false, changing nothing,
    // when another open file holds a lock in the way. Exclusive REQUIRES: writable().
    // A file in memory has no other opener, so it always gets its lock.
    virtual bool lock(uint64_t offset, uint64_t length, LockMode mode) {
        (void)offset, (void)length, (void)mode;
        return true;
    }
    // Whether another open file holds any lock on a byte of [offset, offset + length); length 0
    // means every byte from offset on.
    virtual bool lockedElsewhere(uint64_t offset, uint64_t length) {
        (void)offset, (void)length;
        return false;
    }
};

}  // namespace engine::storage

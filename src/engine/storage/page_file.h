// A database file as a flat range of bytes: read, write, flush, resize. The pager above reads
// and writes whole pages through it. Implementations: PosixPageFile (a real file, locked for
// writing), MemoryPageFile (tests), and wrappers that inject faults (tests).
#pragma once

#include "engine/storage/byte_order.h"

#include <cstdint>
#include <string>

namespace engine::storage {

class PageFile {
public:
    virtual ~PageFile() = default;

    // The path shown in error messages.
    virtual const std::string& path() const = 0;
    virtual bool writable() const = 0;
    virtual uint64_t size() const = 0;

    // Reads exactly out.size() bytes at offset. Throws Corrupt when the range passes the end.
    virtual void read(uint64_t offset, MutableBytes out) = 0;
    // REQUIRES: writable().
    virtual void write(uint64_t offset, Bytes data) = 0;
    // Makes every write so far durable before returning.
    virtual void sync() = 0;
    // REQUIRES: writable().
    virtual void truncate(uint64_t size) = 0;
};

}  // namespace engine::storage

// A real file opened with POSIX calls. A file opened for writing holds an exclusive advisory
// lock (flock) for as long as it is open, so a second writer in any process is refused with
// "Could not use '<path>'; file already in use."; readers take no lock and may still read.
// The kernel drops the lock when the file is closed or its process dies.
#pragma once

#include "engine/storage/page_file.h"

#include <memory>

namespace engine::storage {

enum class OpenMode { ReadOnly, ReadWrite };

class PosixPageFile final : public PageFile {
public:
    // Throws FileNotFound, FileInUse or IoError.
    static std::unique_ptr<PosixPageFile> open(const std::string& path, OpenMode mode);
    // Creates a new file; fails with IoError (naming the path) if it exists already.
    static std::unique_ptr<PosixPageFile> create(const std::string& path);
    ~PosixPageFile() override;

    PosixPageFile(const PosixPageFile&) = delete;
    PosixPageFile& operator=(const PosixPageFile&) = delete;

    const std::string& path() const override { return m_path; }
    bool writable() const override { return m_writable; }
    uint64_t size() const override { return m_size; }
    void read(uint64_t offset, MutableBytes out) override;
    void write(uint64_t offset, Bytes data) override;
    void sync() override;
    void truncate(uint64_t size) override;

    // Device and inode: the identity of the file, whatever path names it.
    uint64_t device() const { return m_device; }
    uint64_t inode() const { return m_inode; }

private:
    PosixPageFile(std::string path, int fd, bool writable);

    std::string m_path;
    int m_fd;
    bool m_writable;
    uint64_t m_size = 0;
    uint64_t m_device = 0;
    uint64_t m_inode = 0;
};

}  // namespace engine::storage

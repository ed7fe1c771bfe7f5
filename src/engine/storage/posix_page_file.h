// A real file opened with POSIX calls. Only regular files open: a folder, a FIFO or a device is
// refused before anything could block on it. Locks are open-file-description locks
// (F_OFD_SETLK): they belong to this open file, so two opens of one file conflict even within
// one process, and the kernel drops them when the file is closed or its process dies.
#pragma once

#include "engine/storage/page_file.h"

#include <memory>
#include <optional>

namespace engine::storage {

enum class OpenMode { ReadOnly, ReadWrite };

class PosixPageFile : public PageFile {
public:
    // Throws FileNotFound, ReadOnly, UnrecognizedFormat (not a regular file) or IoError.
    static std::unique_ptr<PosixPageFile> open(const std::string& path, OpenMode mode);
    // Creates a new file; fails with IoError (naming the path) if anything is there already.
    // With like, the file gets like's permission bits and owner (as far as this process may
    // give them) before a byte is written to it.
    static std::unique_ptr<PosixPageFile> create(const std::string& path,
                                                 const FileInfo* like = nullptr);
    // Takes over fd, an open regular file, named path in messages.
    PosixPageFile(std::string path, int fd, bool writable);
    ~PosixPageFile() override;

    PosixPageFile(const PosixPageFile&) = delete;
    PosixPageFile& operator=(const PosixPageFile&) = delete;

    const std::string& path() const override { return m_path; }
    bool writable() const override { return m_writable; }
    uint64_t size() const override { return m_size; }
    FileInfo info() const override { return m_info; }
    void read(uint64_t offset, MutableBytes out) override;
    void write(uint64_t offset, Bytes data) override;
    void readRun(uint64_t offset, std::span<const MutableBytes> pieces) override;
    void writeRun(uint64_t offset, std::span<const Bytes> pieces) override;
    void sync() override;
    void truncate(uint64_t size) override;
    void refresh() override;
    bool lock(uint64_t offset, uint64_t length, LockMode mode) override;
    bool lockedElsewhere(uint64_t offset, uint64_t length) override;

    int descriptor() const { return m_fd; }

private:
    // Writes the pieces from offset with as few calls as the system allows (write and writeRun);
    // returns the bytes written.
    size_t putRun(uint64_t offset, std::span<const Bytes> pieces);
    void startWritingOut(uint64_t written);
    std::string m_path;
    int m_fd;
    bool m_writable;
    uint64_t m_size = 0;
    // Bytes written in runs since the kernel was last asked to start writing them out.
    uint64_t m_notStarted = 0;
    FileInfo m_info;
};

// Throws the engine's error for a failed system call on path: DiskFull for a full disk or quota,
// else IoError ("Disk or network error while <what> '<path>': <reason>.").
[[noreturn]] void throwFileError(const std::string& what, const std::string& path, int error);

// What the system records about the file at path (a symbolic link itself, not what it names);
// nullopt when nothing is there.
std::optional<FileInfo> fileInfoAt(const std::string& path);

}  // namespace engine::storage

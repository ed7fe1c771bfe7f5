#include "engine/storage/posix_page_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine::storage {

namespace {

[[noreturn]] void throwIo(const std::string& what, const std::string& path, int error) {
    if (error == ENOSPC || error == EDQUOT) {
        throw EngineError(ErrorCode::DiskFull, "Not enough space on disk to write '" + path + "'.");
    }
    throw EngineError(ErrorCode::IoError, "Disk or network error while " + what + " '" + path +
                                              "': " + std::strerror(error) + ".");
}

}  // namespace

PosixPageFile::PosixPageFile(std::string path, int fd, bool writable)
    : m_path(std::move(path)), m_fd(fd), m_writable(writable) {
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        int error = errno;
        ::close(m_fd);
        throwIo("examining", m_path, error);
    }
    m_size = static_cast<uint64_t>(info.st_size);
    m_device = static_cast<uint64_t>(info.st_dev);
    m_inode = static_cast<uint64_t>(info.st_ino);
}

std::unique_ptr<PosixPageFile> PosixPageFile::open(const std::string& path, OpenMode mode) {
    bool writable = mode == OpenMode::ReadWrite;
    int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        if (error == ENOENT || error == ENOTDIR || path.empty()) {
            throw EngineError(ErrorCode::FileNotFound, "Could not find file '" + path + "'.");
        }
        if (writable && (error == EACCES || error == EROFS || error == EPERM)) {
            throw EngineError(ErrorCode::ReadOnly,
                              "Cannot update. Database or object is read-only.");
        }
        throwIo("opening", path, error);
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw EngineError(ErrorCode::UnrecognizedFormat,
                          "Unrecognized database format '" + path + "'.");
    }
    if (writable && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            throw EngineError(ErrorCode::FileInUse,
                              "Could not use '" + path + "'; file already in use.");
        }
        throwIo("locking", path, error);
    }
    return std::unique_ptr<PosixPageFile>(new PosixPageFile(path, fd, writable));
}

std::unique_ptr<PosixPageFile> PosixPageFile::create(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        int error = errno;
        if (error == EEXIST) {
            throw EngineError(ErrorCode::IoError,
                              "Cannot create '" + path + "': the file already exists.");
        }
        throwIo("creating", path, error);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        ::close(fd);
        throwIo("locking", path, error);
    }
    return std::unique_ptr<PosixPageFile>(new PosixPageFile(path, fd, true));
}

PosixPageFile::~PosixPageFile() { ::close(m_fd); }

void PosixPageFile::read(uint64_t offset, MutableBytes out) {
    if (offset > m_size || out.size() > m_size - offset) {
        throw EngineError(ErrorCode::Corrupt, "'" + m_path + "' is shorter than its structures " +
                                                  "claim (read at byte " + std::to_string(offset) +
                                                  ").");
    }
    size_t done = 0;
    while (done < out.size()) {
        ssize_t got =
            ::pread(m_fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            throwIo("reading", m_path, errno);
        }
        if (got == 0) {
            throw EngineError(ErrorCode::Corrupt,
                              "'" + m_path + "' ended while it was being read.");
        }
        done += static_cast<size_t>(got);
    }
}

void PosixPageFile::write(uint64_t offset, Bytes data) {
    if (!m_writable) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    size_t done = 0;
    while (done < data.size()) {
        ssize_t put = ::pwrite(m_fd, data.data() + done, data.size() - done,
                               static_cast<off_t>(offset + done));
        if (put < 0) {
            if (errno == EINTR) continue;
            throwIo("writing", m_path, errno);
        }
        done += static_cast<size_t>(put);
    }
    if (offset + data.size() > m_size) {
        m_size = offset + data.size();
    }
}

void PosixPageFile::sync() {
    if (m_writable && ::fdatasync(m_fd) != 0) {
        throwIo("flushing", m_path, errno);
    }
}

void PosixPageFile::truncate(uint64_t size) {
    if (!m_writable) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0) {
        throwIo("resizing", m_path, errno);
    }
    m_size = size;
}

}  // namespace engine::storage

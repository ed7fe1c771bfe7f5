#include "engine/storage/posix_page_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace engine::storage {

namespace {

[[noreturn]] void notADatabase(const std::string& path) {
    throw EngineError(ErrorCode::UnrecognizedFormat,
                      "Unrecognized database format '" + path + "'.");
}

FileInfo infoFrom(const struct statx& facts) {
    FileInfo info;
    info.device = (static_cast<uint64_t>(facts.stx_dev_major) << 32) | facts.stx_dev_minor;
    info.inode = facts.stx_ino;
    if (facts.stx_mask & STATX_BTIME) {
        info.birth = facts.stx_btime.tv_sec * 1'000'000'000LL + facts.stx_btime.tv_nsec;
    }
    info.mode = facts.stx_mode & 07777;
    info.owner = facts.stx_uid;
    info.group = facts.stx_gid;
    return info;
}

FileInfo infoOf(int fd, const std::string& path) {
    struct statx facts {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &facts) != 0) {
        throwFileError("examining", path, errno);
    }
    return infoFrom(facts);
}

}  // namespace

std::optional<FileInfo> fileInfoAt(const std::string& path) {
    struct statx facts {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
                &facts) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        throwFileError("examining", path, errno);
    }
    return infoFrom(facts);
}

void throwFileError(const std::string& what, const std::string& path, int error) {
    if (error == ENOSPC || error == EDQUOT) {
        throw EngineError(ErrorCode::DiskFull, "Not enough space on disk to write '" + path + "'.");
    }
    throw EngineError(ErrorCode::IoError, "Disk or network error while " + what + " '" + path +
                                              "': " + std::strerror(error) + ".");
}

PosixPageFile::PosixPageFile(std::string path, int fd, bool writable)
    : m_path(std::move(path)), m_fd(fd), m_writable(writable) {
    try {
        m_info = infoOf(m_fd, m_path);
        refresh();
    } catch (...) {
        ::close(m_fd);
        throw;
    }
}

std::unique_ptr<PosixPageFile> PosixPageFile::open(const std::string& path, OpenMode mode) {
    // Look before opening: opening a FIFO blocks until a writer comes, and a device may do
    // anything. O_NONBLOCK covers a file swapped for a FIFO between the look and the open.
    struct stat before {};
    if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) notADatabase(path);
    bool writable = mode == OpenMode::ReadWrite;
    int fd =
        ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        if (error == ENOENT || error == ENOTDIR || path.empty()) {
            throw EngineError(ErrorCode::FileNotFound, "Could not find file '" + path + "'.");
        }
        if (writable && (error == EACCES || error == EROFS || error == EPERM)) {
            throw EngineError(ErrorCode::ReadOnly,
                              "Cannot update. Database or object is read-only.");
        }
        if (error == ENXIO || error == EISDIR) notADatabase(path);
        throwFileError("opening", path, error);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        notADatabase(path);
    }
    return std::make_unique<PosixPageFile>(path, fd, writable);
}

std::unique_ptr<PosixPageFile> PosixPageFile::create(const std::string& path,
                                                     const FileInfo* like) {
    // Made owner-only, then given like's owner and mode, so that no one else can read what is
    // written until it has the database's own protection.
    int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, like ? 0600 : 0644);
    if (fd < 0) {
        int error = errno;
        if (error == EEXIST) {
            throw EngineError(ErrorCode::IoError,
                              "Cannot create '" + path + "': the file already exists.");
        }
        if (error == EACCES || error == EROFS || error == EPERM) {
            throw EngineError(ErrorCode::ReadOnly,
                              "Cannot update. Database or object is read-only.");
        }
        throwFileError("creating", path, error);
    }
    if (like) {
        // Only a privileged process may give a file away; any process may give it a group it
        // belongs to. Where neither works the file stays the creator's, still owner-only
        // unless like's mode opens it further.
        if (::fchown(fd, like->owner, like->group) != 0) {
            (void)::fchown(fd, static_cast<uid_t>(-1), like->group);
        }
        if (::fchmod(fd, like->mode & 0777) != 0) {
            int error = errno;
            ::close(fd);
            ::unlink(path.c_str());
            throwFileError("creating", path, error);
        }
    }
    return std::make_unique<PosixPageFile>(path, fd, true);
}

PosixPageFile::~PosixPageFile() { ::close(m_fd); }

void PosixPageFile::refresh() {
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) throwFileError("examining", m_path, errno);
    m_size = static_cast<uint64_t>(info.st_size);
}

void PosixPageFile::read(uint64_t offset, MutableBytes out) {
    readRun(offset, std::span<const MutableBytes>(&out, 1));
}

void PosixPageFile::write(uint64_t offset, Bytes data) {
    putRun(offset, std::span<const Bytes>(&data, 1));
}

namespace {

// A run of pieces for preadv and pwritev, consumed from the front as calls move bytes.
class IoRun {
public:
    template <typename Piece>
    explicit IoRun(std::span<const Piece> pieces) {
        for (const auto& piece : pieces) {
            if (piece.empty()) continue;
            m_parts.push_back({const_cast<uint8_t*>(piece.data()), piece.size()});
            m_total += piece.size();
        }
    }
    size_t total() const { return m_total; }
    const iovec* parts() const { return m_parts.data() + m_first; }
    int count() const {
        return static_cast<int>(std::min<size_t>(m_parts.size() - m_first, IOV_MAX));
    }
    // Drops the first moved bytes; a piece moved in part keeps the rest.
    void consume(size_t moved) {
        while (moved > 0) {
            iovec& part = m_parts[m_first];
            if (moved < part.iov_len) {
                part.iov_base = static_cast<uint8_t*>(part.iov_base) + moved;
                part.iov_len -= moved;
                return;
            }
            moved -= part.iov_len;
            ++m_first;
        }
    }

private:
    std::vector<iovec> m_parts;
    size_t m_first = 0;
    size_t m_total = 0;
};

}  // namespace

void PosixPageFile::readRun(uint64_t offset, std::span<const MutableBytes> pieces) {
    IoRun run(pieces);
    if (offset > m_size || run.total() > m_size - offset) {
        throw EngineError(ErrorCode::Corrupt, "'" + m_path + "' is shorter than its structures " +
                                                  "claim (read at byte " + std::to_string(offset) +
                                                  ").");
    }
    for (size_t done = 0; done < run.total();) {
        ssize_t got =
            ::preadv(m_fd, run.parts(), run.count(), static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            throwFileError("reading", m_path, errno);
        }
        if (got == 0) {
            throw EngineError(ErrorCode::Corrupt,
                              "'" + m_path + "' ended while it was being read.");
        }
        done += static_cast<size_t>(got);
        run.consume(static_cast<size_t>(got));
    }
}

void PosixPageFile::writeRun(uint64_t offset, std::span<const Bytes> pieces) {
    startWritingOut(putRun(offset, pieces));
}

size_t PosixPageFile::putRun(uint64_t offset, std::span<const Bytes> pieces) {
    if (!m_writable) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    // One call for the whole run, straight from the pieces; a short write goes on from where it
    // stopped.
    IoRun run(pieces);
    for (size_t done = 0; done < run.total();) {
        ssize_t put =
            ::pwritev(m_fd, run.parts(), run.count(), static_cast<off_t>(offset + done));
        if (put < 0) {
            if (errno == EINTR) continue;
            if (offset + done > m_size) m_size = offset + done;
            throwFileError("writing", m_path, errno);
        }
        done += static_cast<size_t>(put);
        run.consume(static_cast<size_t>(put));
    }
    if (offset + run.total() > m_size) m_size = offset + run.total();
    return run.total();
}

void PosixPageFile::startWritingOut(uint64_t written) {
#ifdef __linux__
    // A large change writes its new pages in runs and syncs once at its end. Asking the kernel
    // every few megabytes to start writing out what is dirty lets the disk work while the
    // change goes on, so that the final sync has little left to wait for. Only a hint: it
    // makes nothing durable, and an error in writing out is reported by that sync.
    constexpr uint64_t kStartEvery = uint64_t{8} << 20;
    m_notStarted += written;
    if (m_notStarted < kStartEvery) return;
    m_notStarted = 0;
    (void)::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)written;
#endif
}

void PosixPageFile::sync() {
    if (m_writable && ::fdatasync(m_fd) != 0) {
        throwFileError("flushing", m_path, errno);
    }
}

void PosixPageFile::truncate(uint64_t size) {
    if (!m_writable) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0) {
        throwFileError("resizing", m_path, errno);
    }
    m_size = size;
}

bool PosixPageFile::lock(uint64_t offset, uint64_t length, LockMode mode) {
    struct flock request {};
    request.l_type = mode == LockMode::Unlocked ? F_UNLCK
                     : mode == LockMode::Shared ? F_RDLCK
                                                : F_WRLCK;
    request.l_whence = SEEK_SET;
    request.l_start = static_cast<off_t>(offset);
    request.l_len = static_cast<off_t>(length);
    while (::fcntl(m_fd, F_OFD_SETLK, &request) != 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EACCES) return false;
        throwFileError("locking", m_path, errno);
    }
    return true;
}

bool PosixPageFile::lockedElsewhere(uint64_t offset, uint64_t length) {
    struct flock request {};
    request.l_type = F_WRLCK;
    request.l_whence = SEEK_SET;
    request.l_start = static_cast<off_t>(offset);
    request.l_len = static_cast<off_t>(length);
    while (::fcntl(m_fd, F_OFD_GETLK, &request) != 0) {
        if (errno == EINTR) continue;
        throwFileError("locking", m_path, errno);
    }
    return request.l_type != F_UNLCK;
}

}  // namespace engine::storage

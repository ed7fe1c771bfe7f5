#include "engine/storage/file_system.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace engine::storage {

namespace {

std::string folderOf(const std::string& path) {
    auto folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

// Flushes the whole file system that holds path (syncfs), through any file of that file
// system that can be opened: path itself, else the folder's own entry. Where neither can be,
// every file system is flushed.
void syncFileSystemOf(const std::string& path) {
    for (const std::string& member : {path, folderOf(path)}) {
        int fd = ::open(member.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        int result = ::syncfs(fd);
        int error = errno;
        ::close(fd);
        if (result != 0) throwFileError("flushing the file system of", path, error);
        return;
    }
    ::sync();
}

// Flushes the folder that holds path, so that a file's creation, naming or removal in it
// survives a crash. A file system that cannot flush folders (EINVAL) orders them itself. A
// folder that may be searched but not read cannot be opened to flush it: its file system is
// flushed instead.
void syncFolderOf(const std::string& path) {
    int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES) return syncFileSystemOf(path);
        throwFileError("flushing the folder of", path, errno);
    }
    int result = ::fsync(fd);
    int error = errno;
    ::close(fd);
    if (result != 0 && error != EINVAL) throwFileError("flushing the folder of", path, error);
}

[[noreturn]] void alreadyExists(const std::string& path) {
    throw EngineError(ErrorCode::IoError, "Cannot create '" + path + "': the file already exists.");
}

bool refusedAsUnsupported(int error) {
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS ||
           error == EINVAL || error == EMLINK || error == EISDIR;
}

// A new database file. Made without a name (O_TMPFILE) where the file system allows it, so
// that nothing is left behind whatever happens before it is whole; else under a temporary
// name of its own in the same folder, removed again unless published.
//
// Publishing gives it its name without ever replacing a file there: linkat() of the unnamed
// file; for a named one link() and unlink(), else renameat2(RENAME_NOREPLACE), else an
// exclusive create of the name followed by a rename onto that placeholder.
class PosixNewFile final : public NewFile {
public:
    PosixNewFile(std::unique_ptr<PosixPageFile> file, std::string temporaryName,
                 RefusedCalls refused)
        : m_file(std::move(file)), m_temporaryName(std::move(temporaryName)), m_refused(refused) {}
    ~PosixNewFile() override {
        // Only a name this object made itself is removed.
        if (!m_published && !m_temporaryName.empty()) ::unlink(m_temporaryName.c_str());
    }

    const std::string& path() const override { return m_file->path(); }
    bool writable() const override { return true; }
    uint64_t size() const override { return m_file->size(); }
    FileInfo info() const override { return m_file->info(); }
    void read(uint64_t offset, MutableBytes out) override { m_file->read(offset, out); }
    void write(uint64_t offset, Bytes data) override { m_file->write(offset, data); }
    void sync() override { m_file->sync(); }
    void truncate(uint64_t size) override { m_file->truncate(size); }
    bool lock(uint64_t offset, uint64_t length, LockMode mode) override {
        return m_file->lock(offset, length, mode);
    }
    bool lockedElsewhere(uint64_t offset, uint64_t length) override {
        return m_file->lockedElsewhere(offset, length);
    }

    void publish() override {
        m_file->sync();
        if (m_temporaryName.empty()) {
            linkUnnamed();
        } else {
            moveIntoPlace();
        }
        m_published = true;
        syncFolderOf(path());
    }

private:
    void linkUnnamed() {
        int fd = m_file->descriptor();
        if (::linkat(fd, "", AT_FDCWD, path().c_str(), AT_EMPTY_PATH) == 0) return;
        if (errno == EEXIST) alreadyExists(path());
        // Without the capability that AT_EMPTY_PATH asks for, the same through /proc.
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path().c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return;
        }
        if (errno == EEXIST) alreadyExists(path());
        throwFileError("creating", path(), errno);
    }

    void moveIntoPlace() {
        const char* from = m_temporaryName.c_str();
        const char* to = path().c_str();
        if (!m_refused.hardLinks) {
            if (::link(from, to) == 0) {
                ::unlink(from);
                return;
            }
            if (errno == EEXIST) alreadyExists(path());
            if (!refusedAsUnsupported(errno)) throwFileError("creating", path(), errno);
        }
        if (!m_refused.renameNoReplace) {
            if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return;
            if (errno == EEXIST) alreadyExists(path());
            if (!refusedAsUnsupported(errno)) throwFileError("creating", path(), errno);
        }
        // Take the name first, empty, so that nothing else can be there; then move the whole
        // file onto this placeholder of ours.
        int placeholder = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (placeholder < 0) {
            if (errno == EEXIST) alreadyExists(path());
            throwFileError("creating", path(), errno);
        }
        ::close(placeholder);
        if (::rename(from, to) != 0) {
            int error = errno;
            ::unlink(to);
            throwFileError("creating", path(), error);
        }
    }

    std::unique_ptr<PosixPageFile> m_file;
    std::string m_temporaryName;  // empty: the file has no name
    RefusedCalls m_refused;
    bool m_published = false;
};

class PosixFileSystem final : public FileSystem {
public:
    explicit PosixFileSystem(RefusedCalls refused) : m_refused(refused) {}

    std::unique_ptr<PageFile> open(const std::string& path, OpenMode mode) override {
        return PosixPageFile::open(path, mode);
    }
    std::unique_ptr<PageFile> create(const std::string& path, const FileInfo* like,
                                     Naming naming) override {
        auto file = PosixPageFile::create(path, like);
        if (naming == Naming::Durable) {
            try {
                syncFolderOf(path);
            } catch (const EngineError&) {
                file.reset();
                ::unlink(path.c_str());
                throw;
            }
        }
        return file;
    }
    std::unique_ptr<NewFile> createNew(const std::string& path) override {
        if (exists(path)) alreadyExists(path);
        std::string folder = folderOf(path);
        // Naming an unnamed file later goes through /proc where the process lacks a capability.
        if (!m_refused.unnamedFiles && ::access("/proc/self/fd", X_OK) == 0) {
            int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
            if (fd >= 0) {
                return std::make_unique<PosixNewFile>(
                    std::make_unique<PosixPageFile>(path, fd, true), "", m_refused);
            }
            if (!refusedAsUnsupported(errno) && errno != ENOENT) {
                throwFileError("creating", path, errno);
            }
        }
        std::random_device random;
        std::string base = std::filesystem::path(path).filename().string();
        for (int attempt = 0; attempt < 100; ++attempt) {
            char tag[9];
            std::snprintf(tag, sizeof tag, "%08x", random());
            std::string temporary = folder + "/." + base + "." + tag + ".new";
            int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd >= 0) {
                return std::make_unique<PosixNewFile>(
                    std::make_unique<PosixPageFile>(path, fd, true), temporary, m_refused);
            }
            if (errno != EEXIST) throwFileError("creating", path, errno);
        }
        throwFileError("creating", path, EEXIST);
    }
    bool exists(const std::string& path) override {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0;
    }
    void remove(const std::string& path, Naming naming) override {
        if (::unlink(path.c_str()) != 0) {
            if (errno == ENOENT) return;
            throwFileError("removing", path, errno);
        }
        if (naming == Naming::Durable) syncFolderOf(path);
    }
    void flushFolder(const std::string& path) override { syncFolderOf(path); }
    std::optional<FileInfo> infoOf(const std::string& path) override { return fileInfoAt(path); }
    std::string resolve(const std::string& path) override {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) == nullptr) return path;
        return resolved;
    }
    std::vector<std::string> list(const std::string& folder) override {
        std::vector<std::string> names;
        std::error_code error;
        for (std::filesystem::directory_iterator entry(folder.empty() ? "." : folder, error), end;
             !error && entry != end; entry.increment(error)) {
            names.push_back(entry->path().filename().string());
        }
        return names;
    }

    std::string journalRegistry() override {
        // Worked out once: the environment does not change under a running program.
        static const std::string folder = [] {
            std::filesystem::path chosen;
            if (const char* set = std::getenv("CORVANTA_JOURNAL_REGISTRY"); set && *set) {
                chosen = set;
            } else if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) {
                chosen = std::filesystem::path(state) / "corvanta" / "journals";
            } else if (const char* home = std::getenv("HOME"); home && *home) {
                chosen = std::filesystem::path(home) / ".local" / "state" / "corvanta" / "journals";
            } else {
                return std::string();
            }
            std::error_code error;
            std::filesystem::create_directories(chosen, error);
            if (error || !std::filesystem::is_directory(chosen, error)) return std::string();
            // The user's own: the entries name where the user's databases keep their journals.
            std::filesystem::permissions(chosen, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace, error);
            return chosen.string();
        }();
        return folder;
    }

private:
    RefusedCalls m_refused;
};

}  // namespace

FileSystem& defaultFileSystem() {
    static PosixFileSystem fileSystem({});
    return fileSystem;
}

std::unique_ptr<FileSystem> posixFileSystem(RefusedCalls refused) {
    return std::make_unique<PosixFileSystem>(refused);
}

}  // namespace engine::storage

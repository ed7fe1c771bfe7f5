#include "engine/storage/file_system.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace engine::storage {

namespace {

// Flushes a folder so that a file's creation or removal in it survives a crash.
void syncFolderOf(const std::string& path) {
    auto folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

class PosixFileSystem final : public FileSystem {
public:
    std::unique_ptr<PageFile> open(const std::string& path, OpenMode mode) override {
        return PosixPageFile::open(path, mode);
    }
    std::unique_ptr<PageFile> create(const std::string& path) override {
        auto file = PosixPageFile::create(path);
        syncFolderOf(path);
        return file;
    }
    bool exists(const std::string& path) override {
        std::error_code error;
        return std::filesystem::exists(path, error);
    }
    void remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            throw EngineError(ErrorCode::IoError, "Disk or network error while removing '" + path +
                                                      "': " + std::strerror(errno) + ".");
        }
        syncFolderOf(path);
    }
    void rename(const std::string& from, const std::string& to) override {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
            throw EngineError(ErrorCode::IoError,
                              "Cannot create '" + to + "': " + std::strerror(errno) + ".");
        }
        syncFolderOf(to);
    }
};

}  // namespace

FileSystem& defaultFileSystem() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}

}  // namespace engine::storage

#include "engine/storage/access_lock_file.h"

#include "engine/storage/file_locks.h"
#include "engine/storage/lock_bytes.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace engine::storage {

namespace {

// Slot 0's entry: this computer's name and Jet's default account name.
std::vector<uint8_t> ownEntry() {
    std::vector<uint8_t> entry(lock_bytes::kAccessLockFileEntrySize, 0);
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    std::string computer(host);
    std::copy_n(computer.begin(), std::min<size_t>(computer.size(), 31), entry.begin());
    const std::string account = "Admin";
    std::copy(account.begin(), account.end(), entry.begin() + 32);
    return entry;
}

bool heldByOthers(PageFile& lockFile) { return lockFile.lockedElsewhere(0, 0); }

}  // namespace

std::string AccessLockFile::pathFor(const std::string& databasePath) {
    std::filesystem::path path(databasePath);
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char letter) { return std::tolower(letter); });
    return path.replace_extension(extension.starts_with(".acc") ? ".laccdb" : ".ldb").string();
}

std::unique_ptr<AccessLockFile> AccessLockFile::acquire(FileSystem& fileSystem,
                                                        const std::string& resolvedPath,
                                                        PageFile& database) {
    const std::string path = pathFor(resolvedPath);
    if (path == resolvedPath) return nullptr;
    if (database.lockedElsewhere(lock_bytes::kAccessDatabaseLocks,
                                 lock_bytes::kAccessDatabaseLocksLength)) {
        throw fileInUse(database.path());
    }
    std::unique_ptr<PageFile> file;
    bool made = false;
    try {
        file = fileSystem.open(path, OpenMode::ReadWrite);
    } catch (const EngineError& error) {
        if (error.code() == ErrorCode::ReadOnly) {
            // Someone else's lock file, which this process may only read: in use or stale.
            if (heldByOthers(*fileSystem.open(path, OpenMode::ReadOnly))) {
                throw fileInUse(database.path());
            }
            return nullptr;
        }
        if (error.code() != ErrorCode::FileNotFound) throw;
        FileInfo like = database.info();
        file = fileSystem.create(path, &like, Naming::Passing);
        made = true;
    }
    std::unique_ptr<AccessLockFile> kept(
        new AccessLockFile(fileSystem, path, std::move(file), made));
    PageFile& lockFile = *kept->m_file;
    if (heldByOthers(lockFile) ||
        !lockFile.lock(lock_bytes::kAccessUserLocks, lock_bytes::kAccessUserLockCount,
                       LockMode::Exclusive)) {
        throw fileInUse(database.path());
    }
    if (made) lockFile.write(0, ownEntry());
    return kept;
}

AccessLockFile::~AccessLockFile() {
    if (!m_made) return;
    try {
        if (heldByOthers(*m_file)) return;
        // Only the file this object made goes: another program may have put its own lock
        // file under the name meanwhile, and holds its locks there, not on this one.
        const auto named = m_fileSystem.infoOf(m_path);
        if (!named || !named->sameFileAs(m_file->info())) return;
        m_file.reset();
        m_fileSystem.remove(m_path, Naming::Passing);
    } catch (const EngineError&) {
        // A lock file left behind is stale, not harmful: the next opener finds no locks on it.
    }
}

}  // namespace engine::storage

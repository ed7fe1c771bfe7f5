// The lock file that Access keeps beside a database it has open: "<name>.ldb" beside an .mdb
// (any name not ending in .acc...), "<name>.laccdb" beside an .accdb. It lists who has the file
// open, one 64-byte entry per user slot, and carries the byte-range locks that show which
// slots are taken (lock_bytes.h). Opened exclusively, Access makes none. ANSI text.
//
//   offset      size  meaning (entry of slot n, at n * 64; at most 255 slots)
//   n * 64       32   computer name, NUL-padded
//   n * 64 + 32  32   security account name ("Admin" without a workgroup), NUL-padded
//
// Before Corvanta writes a database it looks for this file: when another program holds a lock
// on it, or on Access's lock range of the database itself, the database is in use. While
// Corvanta writes, it keeps the file as Access does, its entry in slot 0 and every user lock
// taken, so that Access finds no free slot (?), and removes it afterwards if it made it.
#pragma once

#include "engine/storage/file_system.h"

#include <memory>
#include <string>

namespace engine::storage {

class AccessLockFile {
public:
    // The lock file's name for a database at databasePath.
    static std::string pathFor(const std::string& databasePath);

    // Refuses with FileInUse ("Could not use '<database's path>'; file already in use.") when
    // another program holds the lock file beside the database (resolvedPath, every link
    // resolved) or Access's locks on database; else keeps the lock file, made with the
    // database's permissions and owner when there is none, until destroyed. Throws ReadOnly
    // when the folder cannot be written. Returns nullptr when there is nothing to keep: the
    // database is itself named like its lock file, or the lock file exists but cannot be
    // written (then no one holds it).
    static std::unique_ptr<AccessLockFile> acquire(FileSystem& fileSystem,
                                                   const std::string& resolvedPath,
                                                   PageFile& database);
    // Lets go of the locks, and removes the file if this object made it, no one else has
    // taken it meanwhile, and the name still names it.
    ~AccessLockFile();

    AccessLockFile(const AccessLockFile&) = delete;
    AccessLockFile& operator=(const AccessLockFile&) = delete;

    const std::string& path() const { return m_path; }

private:
    AccessLockFile(FileSystem& fileSystem, std::string path, std::unique_ptr<PageFile> file,
                   bool made)
        : m_fileSystem(fileSystem),
          m_path(std::move(path)),
          m_file(std::move(file)),
          m_made(made) {}

    FileSystem& m_fileSystem;
    std::string m_path;
    std::unique_ptr<PageFile> m_file;
    bool m_made;
};

}  // namespace engine::storage

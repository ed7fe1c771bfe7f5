// The rollback journal: a file beside the database, "<database>-journal", that holds the
// original bytes of every existing page a change is about to overwrite, and the database's
// length before the change. While it exists the change is unfinished; removing it commits the
// change. After a crash the next writer (or reader that can take the write lock) copies the
// pages back and cuts the file to its old length. Integers little-endian.
//
//   offset  size  meaning
//   0        16   "Corvanta journal" (ASCII, no terminator)
//   16        4   page size
//   20        8   database length in bytes before the change
//   28        4   checksum of bytes 0-27
//   32      ...   entries, each: page number (4), checksum of page number and bytes (4), the
//                 page's bytes as stored in the file (page size)
//
// An entry whose checksum fails ends the journal: it was being written when the process died,
// and its page had not been touched yet (pages change only after their entry is flushed).
#pragma once

#include "engine/storage/file_system.h"

#include <memory>
#include <string>

namespace engine::storage {

class Journal {
public:
    static std::string pathFor(const std::string& databasePath);

    // Creates the journal (flushed) for a database of originalLength bytes.
    static std::unique_ptr<Journal> create(FileSystem& fileSystem, const std::string& databasePath,
                                           uint32_t pageSize, uint64_t originalLength);

    void append(PageNumber page, Bytes storedBytes);
    void sync() { m_file->sync(); }
    // Removes the journal: the change it guarded is committed.
    void remove();
    // Undoes the change it guarded on database (the file it was created for) and removes it.
    void rollBack(PageFile& database);

    // Restores a database from its journal, if a journal is there, and removes the journal.
    // Returns whether anything was restored. REQUIRES: database is open for writing.
    static bool rollBack(FileSystem& fileSystem, const std::string& databasePath,
                         PageFile& database);

private:
    Journal(FileSystem& fileSystem, std::string path, std::unique_ptr<PageFile> file);

    FileSystem& m_fileSystem;
    std::string m_path;
    std::unique_ptr<PageFile> m_file;
    uint64_t m_length;
};

}  // namespace engine::storage

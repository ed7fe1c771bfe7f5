// The rollback journal: a file beside the database, "<database>-journal" (the database's path
// with every link resolved), that holds the original bytes of every page in use that a change
// is about to overwrite, the database's length before the change, and the identity of the
// database it was made for. While it exists with entries the change is unfinished; removing it
// commits the change. Integers little-endian.
//
//   offset  size  meaning
//   0        16   "Corvanta journal" (ASCII, no terminator)
//   16        4   layout version: 5 (3 and 4, the layouts before, are still played back)
//   20        4   page size: 2048 or 4096, the database's
//   24        8   the database's length in bytes before the change
//   32        8   the database's device
//   40        8   its inode
//   48        8   its birth time (nanoseconds since 1970; 0 where the file system keeps none)
//   56        4   checksum of the database's page 0 as stored, before the change
//   60        4   checksum of bytes 0-59
//   64      ...   entries, one per page the change overwrites
//
// An entry of layout 5 keeps only the stretches of the page the change alters, each from a
// byte that differs to the last before the page is the same again for 4 bytes (the rest is the
// same before and after):
//   0         4   page number
//   4         4   checksum of the rest of the entry
//   8         4   how many stretches it keeps (0 when the page is written unchanged)
//   12        4   the bytes they take (T)
//   16      4*S   per 512-byte sector of the page (S: 4 of a 2048-byte page, 8 of a 4096-byte
//                 one), the checksum of the bytes the change is about to write there
//   16+4S   4*S   per sector, the checksum of the bytes stored there before the change
//   16+8S     T   the stretches in page order, each: where it starts in the page (2), its
//                 length (2), its bytes as stored in the file before the change
// Layouts 3 and 4 keep whole pages: page number (4); checksum of the rest (4); the checksums of
// the new sectors (4*S); the page's bytes before the change (page size).
//
// Every checksum is seeded with the page number it concerns (0 for the header and page 0):
// FNV-1a over 8-byte little-endian words with the 64-bit prime, each product's high half
// folded onto its low half, the result's halves folded to 32 bits. Layout 3 used 32-bit FNV-1a
// over single bytes.
//
// An entry whose checksum fails ends the journal: it was being written when the process died,
// and its page had not been touched yet (pages change only after the journal is flushed).
// A journal is played back only while every sector of every page it names holds, on disk,
// either its old bytes or the new ones the change was writing (a power failure may have cut a
// write between sectors): anything else means another hand wrote the file since, and playing
// the journal back would undo that. Playing an entry back puts its page back whole, in one
// write: the stretches (layout 5) laid over the page as it stands, which outside them is the
// same before and after.
//
// A journal is believed only by the database it names: same device, inode and birth time, the
// same page size, a file at least as long as it was, and the same page 0 (or page 0 among the
// entries). It is found under the database's own journal name; for a database with another
// name (a hard link, a rename after a crash), among the journals in the same folder; and
// wherever the user's journal registry says the file's writer kept it (journal_registry.h).
#pragma once

#include "engine/storage/file_system.h"

#include <cassert>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace engine::storage {

// The journal of a change being made.
class Journal {
public:
    // The journal name of the database whose path, every link resolved, is resolvedPath.
    static std::string pathFor(const std::string& resolvedPath);

    // Creates the journal (flushed, its name too) of a change to database, whose path with
    // every link resolved is resolvedPath, with the database's own permissions and owner.
    static std::unique_ptr<Journal> create(FileSystem& fileSystem, const std::string& resolvedPath,
                                           PageFile& database, uint32_t pageSize);

    const std::string& path() const { return m_path; }
    // Adds the old bytes of a page in use, as stored, before the change writes newBytes there.
    // Entries are gathered and written some hundreds of kilobytes at a time; sync() writes
    // what is gathered before it flushes.
    void append(PageNumber page, Bytes storedBytes, Bytes newBytes);
    void sync();
    // Removes the journal of a change fully undone, the file flushed. Its removal needs no
    // flush of the folder: a journal that outlives a crash plays back to the bytes the file has.
    void remove();
    // Removes the journal's name, the commit point of the change it guarded; the folder is
    // flushed after, by the caller, to make the change durable.
    void unlink();

private:
    Journal(FileSystem& fileSystem, std::string path, std::unique_ptr<PageFile> file);

    FileSystem& m_fileSystem;
    std::string m_path;
    std::unique_ptr<PageFile> m_file;
    uint64_t m_length;                // written to the file so far
    std::vector<uint8_t> m_gathered;  // entries not yet written, to follow at m_length
};

// A journal found when a database is opened: left by a change that did not finish, or being
// made by a live writer that has not yet touched a page in use.
class FoundJournal {
public:
    // The journal of database (opened as shownPath; resolvedPath with every link resolved),
    // nullptr when there is none. Throws FileInUse, leaving it alone, when the journal under
    // the database's own journal name was made for another file or cannot be read as one, and
    // when two journals name the database.
    static std::unique_ptr<FoundJournal> find(FileSystem& fileSystem,
                                              const std::string& resolvedPath,
                                              const std::string& shownPath, PageFile& database,
                                              uint32_t pageSize);

    const std::string& path() const { return m_path; }
    // A journal that holds no header yet: its change had written nothing.
    bool empty() const { return !m_originalLength; }
    // The database's length before the change. REQUIRES: !empty().
    uint64_t originalLength() const {
        assert(m_originalLength.has_value());
        return *m_originalLength;
    }
    // Where the journal keeps old bytes of a page: bytes of them at offset in it, count
    // stretches (layout 5), or a whole page (count 0, layouts 3 and 4).
    struct Kept {
        uint64_t offset = 0;
        uint32_t bytes = 0;
        uint32_t count = 0;
    };
    // The pages the journal holds old bytes of.
    const std::map<PageNumber, Kept>& pages() const { return m_pages; }
    // The page's bytes, as stored in database before the change: the rest of the page is read
    // from database, where it is the same before and after.
    void readPage(PageNumber page, PageFile& database, MutableBytes out);

    // Undoes the change on database: puts back every page, cuts the file to its old length,
    // flushes it, and removes the journal (as Journal::remove() does). REQUIRES: database is
    // open for writing, and no one reads it (the exclusive lock is held).
    void rollBack(PageFile& database);

private:
    FoundJournal(FileSystem& fileSystem, std::string path, std::unique_ptr<PageFile> file)
        : m_fileSystem(fileSystem), m_path(std::move(path)), m_file(std::move(file)) {}

    enum class Verdict { Empty, Matches, Foreign, Changed };
    Verdict examine(PageFile& database, uint32_t pageSize);

    FileSystem& m_fileSystem;
    std::string m_path;
    std::unique_ptr<PageFile> m_file;
    std::optional<uint64_t> m_originalLength;
    uint32_t m_pageSize = 0;
    std::map<PageNumber, Kept> m_pages;
    uint32_t m_version = 0;
    PageNumber m_changedPage = 0;  // Changed: a page written since by another hand
    uint32_t (*m_checksum)(uint32_t seed, Bytes bytes) = nullptr;  // its layout's
};

}  // namespace engine::storage

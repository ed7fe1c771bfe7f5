// The file as numbered pages of a fixed size, and the transaction protocol that changes it.
// Reads decode pages through the database's codec and keep a small cache of recent pages, so
// scans stream through tables in bounded memory.
//
// The protocol. A change runs as a transaction guarded by a rollback journal (journal.h), and
// the pager of a named file is always in one of five states. Locks are those of lock_bytes.h.
//
//   state       who                    locks               on disk
//   none        a writer between       writer              the committed file, no journal
//               changes
//   reading     a reader, from open    shared              the committed file, perhaps grown by
//               to close                                   a writer's new pages, perhaps with a
//                                                          journal whose entries, laid over the
//                                                          file in memory, give the committed
//                                                          state (the reader cuts both at the
//                                                          journal's old length)
//   writing     a writer in a change   writer              a flushed journal holding its header;
//                                                          new pages past the old end or in pages
//                                                          that were free (the last few gathered
//                                                          in memory for larger writes); the
//                                                          pages in use as committed (changes to
//                                                          them are held in memory)
//   committing  a writer in commit()   writer, pending,    the journal, flushed with the old
//                                      shared (exclusive)  bytes of every page in use the change
//                                                          overwrites, before the first of them
//                                                          is written; then those pages
//   error       a writer whose         writer, and pending a journal that undoes the change (or
//               rollback failed        and shared if it    none left to undo); the file perhaps
//                                      got them            half changed; reads show the state
//                                                          before the change, every change is
//                                                          refused
//
//   transition                  by           what happens
//   (open) -> reading           open()       shared lock (waits for a commit to end); a journal
//                                            found beside the file is laid over it
//   (open) -> none              open()       writer lock; Access's lock file (access_lock_file.h);
//                                            a journal found is played back under the exclusive
//                                            lock (waits for readers)
//   none -> writing             begin()      the journal is created and flushed, with its name
//   writing -> committing       commit()     pending, then exclusive lock (waits for readers)
//   committing -> none          commit()     gathered new pages written; journal entries,
//                                            sync journal; pages in use
//                                            written, sync file; journal removed, sync folder:
//                                            that removal makes the change permanent
//   writing -> none             rollback()   held pages dropped; free pages written get their
//   committing -> none                       old bytes back (kept in memory), so a refused
//                                            change leaves every byte as it was; file cut back,
//                                            synced; journal removed. After a failed commit the
//                                            old bytes of pages in use (kept in memory) are
//                                            written back first.
//   writing/committing -> error rollback()   any step of the rollback failed
//   error -> (closed)           destructor   the locks go; the journal stays, and the next
//                                            writer plays it back
// A file no one else sees (in memory, or a database being made) has a pager without journal
// or locks: its changes go straight to the file and cannot be undone.
//
// Readers in the writer's own process. Locks of two open files conflict even within a process,
// so a reader kept open here would hold up its own process's writer until the wait gives up.
// Instead, a writer about to take the exclusive lock makes this process's readers of the same
// file step aside: they let go of their shared locks, and each takes its lock back at its next
// read, with its cache and any journal it laid over the file dropped, since the pages changed.
// The engine's objects are used from one thread at a time, so no reader of this process reads
// while the commit runs; one that keeps a half-read structure across another object's commit
// sees its rest from after the commit.
//
// Invariants:
//   (1) The file's length is a whole number of pages once the pager has validated it.
//   (2) A page handed out by read() is never changed afterwards; a write replaces the cache entry.
//   (3) An existing page in use is overwritten only after its old bytes are in the flushed
//       journal, and only under the exclusive lock.
//   (4) Outside a transaction nothing is written.
//   (5) A journal holding entries exists only while its writer holds the exclusive lock, or
//       after that writer died or failed: so a reader holding the shared lock that finds one
//       may lay it over the file, and a writer that finds one plays it back.
#pragma once

#include "engine/storage/access_lock_file.h"
#include "engine/storage/journal.h"
#include "engine/storage/journal_registry.h"
#include "engine/storage/page_codec.h"
#include "engine/storage/page_file.h"

#include <chrono>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace engine::storage {

using PageBuffer = std::vector<uint8_t>;
using PageRef = std::shared_ptr<const PageBuffer>;

class Pager {
public:
    enum class State { None, Reading, Writing, Committing, Error };

    // A pager over a file no one else sees. Throws Corrupt when the file's length is not a whole
    // number of pages.
    Pager(std::unique_ptr<PageFile> file, uint32_t pageSize);
    // Opens the database file at path under the protocol above, for reading or for writing; a
    // wait for a lock gives up after lockTimeout. Throws FileNotFound, FileInUse, ReadOnly,
    // UnrecognizedFormat, Corrupt or IoError.
    static std::unique_ptr<Pager> open(FileSystem& fileSystem, const std::string& path,
                                       OpenMode mode, std::chrono::milliseconds lockTimeout);
    // Rolls back a change still running.
    ~Pager();

    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;

    uint32_t pageSize() const { return m_pageSize; }
    PageNumber pageCount() const;
    const std::string& path() const { return m_file->path(); }
    bool writable() const { return m_file->writable(); }
    State state() const { return m_state; }
    PageFile& file() { return *m_file; }

    void setCodec(std::unique_ptr<PageCodec> codec);
    const PageCodec* codec() const { return m_codec.get(); }

    // The decoded contents of a page. Throws Corrupt, naming the page, when it lies past the end.
    // Page 0 is returned as stored (still masked).
    PageRef read(PageNumber page);
    // Reads up to count pages from first on into the cache with one call, as far as they are
    // consecutive pages inside the file that are neither cached nor changed by the running
    // change: a scan that names the pages it reads next then reads them in large runs. Reads
    // of those pages then come from the cache; nothing else changes.
    void readAhead(PageNumber first, PageNumber count);
    // Starts a change. wasFree tells which pages were free at this moment. Throws ReadOnly for a
    // reader, IoError in the error state.
    void begin(std::function<bool(PageNumber)> wasFree);
    bool inTransaction() const { return m_state == State::Writing || m_state == State::Committing; }
    void commit();
    // Undoes everything written since begin(), also after a failed commit. Never throws: when
    // undoing fails, the pager is in the error state.
    void rollback() noexcept;

    // Writes a whole page (encoding it); a page past the end grows the file.
    // REQUIRES: inTransaction(), data.size() == pageSize().
    void write(PageNumber page, Bytes data);
    void dropCache();

private:
    Pager(std::unique_ptr<PageFile> file, uint32_t pageSize, FileSystem* fileSystem);
    void checkLength() const;
    void recover();
    bool readCommitted(PageNumber page, MutableBytes stored);
    void remember(PageNumber page, PageRef contents);
    // Decodes a page read as stored and keeps it in the cache.
    PageRef keepRead(PageNumber page, std::shared_ptr<PageBuffer> stored);
    // A buffer for a page: one the cache let go when there is one, else a new one.
    std::shared_ptr<PageBuffer> takeBuffer();
    // Pages nothing refers to are gathered (up to kStagedPages of them) and written in runs of
    // consecutive pages, one call each: a table's new pages then reach the file in large writes
    // although they are filled a little out of order. A read of a gathered page and a commit
    // write them first; a rollback drops them.
    void stage(PageNumber page, std::shared_ptr<const PageBuffer> plain);
    void flushStaged();
    PageNumber stagedEnd() const;
    void endChange();
    void fail(const std::string& why) noexcept;
    void takeExclusive();
    void stepAside() noexcept;
    void rejoin();

    std::unique_ptr<PageFile> m_file;
    std::unique_ptr<AccessLockFile> m_lockFile;  // let go before the file closes
    std::unique_ptr<JournalRegistration> m_registration;  // a writer's
    std::unique_ptr<PageCodec> m_codec;
    uint32_t m_pageSize;
    size_t m_cacheLimit = 256;
    std::list<std::pair<PageNumber, PageRef>> m_recent;  // most recently used first
    std::unordered_map<PageNumber, std::list<std::pair<PageNumber, PageRef>>::iterator> m_cache;
    // Buffers the cache let go, for the next reads and writes (at most kSpareBuffers).
    std::vector<std::shared_ptr<PageBuffer>> m_spares;
    static constexpr size_t kSpareBuffers = 64;
    static constexpr size_t kStagedPages = 64;
    // Pages written, as stored, not yet in the file; a page not encoded shares its buffer with
    // the cache (page buffers are never changed once made).
    std::map<PageNumber, PageRef> m_staged;

    FileSystem* m_fileSystem;  // null: no one else sees the file
    std::string m_resolvedPath;
    std::chrono::milliseconds m_lockTimeout{0};
    FileInfo m_fileInfo;
    bool m_steppedAside = false;  // a reader that let go of its shared lock for a writer
    State m_state = State::None;
    std::string m_failure;  // why the pager is in the error state

    // The committed state, where it is not the file as it stands: the old bytes (as stored) of
    // the pages a journal holds, and the length before its change.
    std::unique_ptr<FoundJournal> m_foundJournal;  // a reader's
    std::map<PageNumber, PageBuffer> m_original;   // the change's, once commit() read them
    std::optional<uint64_t> m_committedLength;

    std::unique_ptr<Journal> m_journal;
    std::function<bool(PageNumber)> m_wasFree;
    uint64_t m_lengthAtBegin = 0;
    std::map<PageNumber, PageRef> m_held;  // existing pages waiting for commit
    bool m_exclusive = false;              // holding the exclusive (and pending) lock
    bool m_overwroteInUse = false;         // commit() has started writing held pages
    std::map<PageNumber, PageBuffer> m_freeOriginal;  // old bytes of free pages written
};

}  // namespace engine::storage

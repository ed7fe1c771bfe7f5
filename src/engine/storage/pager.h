// The file as numbered pages of a fixed size. Reads decode pages through the database's codec
// and keep a small cache of recent pages, so scans stream through tables in bounded memory.
//
// Every change runs as a transaction guarded by a rollback journal (journal.h):
//   begin()     creates the journal, flushed, holding the file's length.
//   write()     a page past the old end, or one that was free when the change began, goes
//               straight to the file: nothing refers to it, so a crash needs no copy (a free
//               page's old bytes are journaled unflushed, so that a rollback restores them
//               too). Any other page is held in memory until commit.
//   commit()    flushes the file; copies the old bytes of every held page into the journal and
//               flushes it; writes the held pages and flushes the file; removes the journal.
//               Removing the journal is the moment the change becomes permanent.
//   rollback()  drops the held pages, restores journaled pages, cuts the file back.
//
// Invariants:
//   (1) The file's length is a whole number of pages once the pager has validated it.
//   (2) A page handed out by read() is never changed afterwards; a write replaces the cache entry.
//   (3) An existing page in use is overwritten only after its old bytes are in the flushed
//       journal.
//   (4) Outside a transaction nothing is written.
#pragma once

#include "engine/storage/journal.h"
#include "engine/storage/page_codec.h"
#include "engine/storage/page_file.h"

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

namespace engine::storage {

using PageBuffer = std::vector<uint8_t>;
using PageRef = std::shared_ptr<const PageBuffer>;

class Pager {
public:
    // Throws Corrupt when the file's length is not a whole number of pages.
    Pager(std::unique_ptr<PageFile> file, uint32_t pageSize);

    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;

    uint32_t pageSize() const { return m_pageSize; }
    PageNumber pageCount() const;
    const std::string& path() const { return m_file->path(); }
    bool writable() const { return m_file->writable(); }
    PageFile& file() { return *m_file; }

    void setCodec(std::unique_ptr<PageCodec> codec);
    const PageCodec* codec() const { return m_codec.get(); }

    // The decoded contents of a page. Throws Corrupt, naming the page, when it lies past the end.
    // Page 0 is returned as stored (still masked).
    PageRef read(PageNumber page);
    // REQUIRES: no transaction is running. wasFree tells which pages were free at this moment.
    void begin(std::unique_ptr<Journal> journal, std::function<bool(PageNumber)> wasFree);
    bool inTransaction() const { return m_journal != nullptr; }
    void commit();
    // Undoes everything written since begin(). Safe to call after a failed commit.
    void rollback();

    // Writes a whole page (encoding it); a page past the end grows the file.
    // REQUIRES: inTransaction(), data.size() == pageSize().
    void write(PageNumber page, Bytes data);
    void dropCache();

private:
    void remember(PageNumber page, PageRef contents);
    void writeToFile(PageNumber page, const PageBuffer& plain);

    std::unique_ptr<PageFile> m_file;
    std::unique_ptr<PageCodec> m_codec;
    uint32_t m_pageSize;
    size_t m_cacheLimit = 256;
    std::list<std::pair<PageNumber, PageRef>> m_recent;  // most recently used first
    std::unordered_map<PageNumber, std::list<std::pair<PageNumber, PageRef>>::iterator> m_cache;

    std::unique_ptr<Journal> m_journal;
    std::function<bool(PageNumber)> m_wasFree;
    PageNumber m_pageCountAtBegin = 0;
    PageNumber m_pageCount = 0;            // including pages held back
    std::map<PageNumber, PageRef> m_held;  // existing pages waiting for commit
    std::set<PageNumber> m_journaledFree;  // free pages whose old bytes are in the journal
};

}  // namespace engine::storage

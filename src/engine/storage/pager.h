// The file as numbered pages of a fixed size. Reads decode pages through the database's codec
// and keep a small cache of recent pages, so scans stream through tables in bounded memory.
// Writes encode and pass straight to the file.
//
// Invariants:
//   (1) The file's length is a whole number of pages once the pager has validated it.
//   (2) A page handed out by read() is never changed afterwards; a write replaces the cache entry.
#pragma once

#include "engine/storage/page_codec.h"
#include "engine/storage/page_file.h"

#include <list>
#include <memory>
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
    // Writes a whole page (encoding it); a page just past the end grows the file by one page.
    // REQUIRES: data.size() == pageSize(), page <= pageCount().
    void write(PageNumber page, Bytes data);
    void sync() { m_file->sync(); }
    // Cuts the file back to pageCount pages (undoing growth after a failed operation).
    void truncate(PageNumber pageCount);
    void dropCache();

private:
    void remember(PageNumber page, PageRef contents);

    std::unique_ptr<PageFile> m_file;
    std::unique_ptr<PageCodec> m_codec;
    uint32_t m_pageSize;
    size_t m_cacheLimit = 256;
    std::list<std::pair<PageNumber, PageRef>> m_recent;  // most recently used first
    std::unordered_map<PageNumber, std::list<std::pair<PageNumber, PageRef>>::iterator> m_cache;
};

}  // namespace engine::storage

#include "engine/storage/pager.h"

namespace engine::storage {

Pager::Pager(std::unique_ptr<PageFile> file, uint32_t pageSize)
    : m_file(std::move(file)), m_pageSize(pageSize) {
    if (m_file->size() == 0 || m_file->size() % m_pageSize != 0) {
        throw EngineError(ErrorCode::Corrupt, "The database '" + m_file->path() +
                                                  "' is damaged: its length (" +
                                                  std::to_string(m_file->size()) +
                                                  " bytes) is not a whole number of pages.");
    }
}

PageNumber Pager::pageCount() const { return static_cast<PageNumber>(m_file->size() / m_pageSize); }

void Pager::setCodec(std::unique_ptr<PageCodec> codec) {
    m_codec = std::move(codec);
    dropCache();
}

PageRef Pager::read(PageNumber page) {
    auto found = m_cache.find(page);
    if (found != m_cache.end()) {
        m_recent.splice(m_recent.begin(), m_recent, found->second);
        return found->second->second;
    }
    if (page >= pageCount()) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + path() + "' is damaged: a structure points to page " +
                              std::to_string(page) + " past the end of the file.",
                          page);
    }
    auto buffer = std::make_shared<PageBuffer>(m_pageSize);
    m_file->read(static_cast<uint64_t>(page) * m_pageSize, *buffer);
    if (m_codec && page != 0) {
        m_codec->decode(page, *buffer);
    }
    PageRef contents = std::move(buffer);
    remember(page, contents);
    return contents;
}

void Pager::write(PageNumber page, Bytes data) {
    if (data.size() != m_pageSize || page > pageCount()) {
        throw EngineError(ErrorCode::Internal,
                          "page write out of range (page " + std::to_string(page) + ")", page);
    }
    auto plain = std::make_shared<PageBuffer>(data.begin(), data.end());
    if (m_codec && page != 0) {
        PageBuffer encoded = *plain;
        m_codec->encode(page, encoded);
        m_file->write(static_cast<uint64_t>(page) * m_pageSize, encoded);
    } else {
        m_file->write(static_cast<uint64_t>(page) * m_pageSize, *plain);
    }
    remember(page, std::move(plain));
}

void Pager::truncate(PageNumber count) {
    m_file->truncate(static_cast<uint64_t>(count) * m_pageSize);
    dropCache();
}

void Pager::dropCache() {
    m_cache.clear();
    m_recent.clear();
}

void Pager::remember(PageNumber page, PageRef contents) {
    auto found = m_cache.find(page);
    if (found != m_cache.end()) {
        m_recent.erase(found->second);
        m_cache.erase(found);
    }
    m_recent.emplace_front(page, std::move(contents));
    m_cache[page] = m_recent.begin();
    if (m_recent.size() > m_cacheLimit) {
        m_cache.erase(m_recent.back().first);
        m_recent.pop_back();
    }
}

}  // namespace engine::storage

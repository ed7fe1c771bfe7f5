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
    if (auto held = m_held.find(page); held != m_held.end()) return held->second;
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

void Pager::begin(std::unique_ptr<Journal> journal, std::function<bool(PageNumber)> wasFree) {
    if (m_journal) {
        throw EngineError(ErrorCode::Internal, "a change is already running on '" + path() + "'");
    }
    m_journal = std::move(journal);
    m_wasFree = std::move(wasFree);
    m_pageCountAtBegin = pageCount();
    m_pageCount = m_pageCountAtBegin;
}

void Pager::writeToFile(PageNumber page, const PageBuffer& plain) {
    if (m_codec && page != 0) {
        PageBuffer encoded = plain;
        m_codec->encode(page, encoded);
        m_file->write(static_cast<uint64_t>(page) * m_pageSize, encoded);
    } else {
        m_file->write(static_cast<uint64_t>(page) * m_pageSize, plain);
    }
}

void Pager::write(PageNumber page, Bytes data) {
    if (!m_journal) {
        throw EngineError(ErrorCode::Internal, "page write outside a change", page);
    }
    // Pages may be written out of order past the end (allocation hands them out before they
    // are filled); the file then grows with a gap that the later writes fill.
    if (data.size() != m_pageSize || static_cast<uint64_t>(page) * m_pageSize >= (1ull << 31)) {
        throw EngineError(ErrorCode::Internal,
                          "page write out of range (page " + std::to_string(page) + ")", page);
    }
    auto plain = std::make_shared<PageBuffer>(data.begin(), data.end());
    bool unreferenced = page >= m_pageCountAtBegin || (page != 0 && m_wasFree(page));
    if (unreferenced) {
        // A free page inside the file holds nothing anyone reads, but a change that fails must
        // leave the file byte for byte as it was: its old bytes go to the journal (unflushed;
        // only a rollback needs them) before the first write.
        if (page < m_pageCountAtBegin && m_journaledFree.insert(page).second) {
            PageBuffer stored(m_pageSize);
            m_file->read(static_cast<uint64_t>(page) * m_pageSize, stored);
            m_journal->append(page, stored);
        }
        writeToFile(page, *plain);
        m_pageCount = std::max(m_pageCount, page + 1);
        remember(page, std::move(plain));
    } else {
        m_held[page] = plain;
        remember(page, std::move(plain));
    }
}

void Pager::commit() {
    if (!m_journal) return;
    m_file->sync();
    if (!m_held.empty()) {
        PageBuffer stored(m_pageSize);
        for (const auto& [page, contents] : m_held) {
            m_file->read(static_cast<uint64_t>(page) * m_pageSize, stored);
            m_journal->append(page, stored);
        }
        m_journal->sync();
        for (const auto& [page, contents] : m_held) writeToFile(page, *contents);
        m_file->sync();
    }
    m_held.clear();
    m_journaledFree.clear();
    m_journal->remove();
    m_journal.reset();
    m_wasFree = nullptr;
}

void Pager::rollback() {
    m_held.clear();
    m_journaledFree.clear();
    dropCache();
    if (!m_journal) return;
    std::unique_ptr<Journal> journal = std::move(m_journal);
    m_wasFree = nullptr;
    journal->rollBack(*m_file);
    m_pageCount = pageCount();
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

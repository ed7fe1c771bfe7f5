#include "engine/storage/pager.h"

#include "engine/storage/file_locks.h"
#include "engine/storage/header_page.h"
#include "engine/storage/lock_bytes.h"

#include <algorithm>
#include <mutex>

// GCC names AddressSanitizer builds with a macro, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define CORVANTA_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANTA_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef CORVANTA_ADDRESS_SANITIZER
#define CORVANTA_ADDRESS_SANITIZER 0
#endif

namespace engine::storage {

namespace {

// The readers of named files open in this process (pager.h: readers in the writer's process).
struct OwnReaders {
    std::mutex mutex;
    std::vector<Pager*> pagers;
};

OwnReaders& ownReaders() {
    static OwnReaders readers;
    return readers;
}

}  // namespace

Pager::Pager(std::unique_ptr<PageFile> file, uint32_t pageSize, FileSystem* fileSystem)
    : m_file(std::move(file)), m_pageSize(pageSize), m_fileSystem(fileSystem) {}

Pager::Pager(std::unique_ptr<PageFile> file, uint32_t pageSize)
    : Pager(std::move(file), pageSize, nullptr) {
    checkLength();
}

std::unique_ptr<Pager> Pager::open(FileSystem& fileSystem, const std::string& path, OpenMode mode,
                                   std::chrono::milliseconds lockTimeout) {
    auto file = fileSystem.open(path, mode);
    std::string resolvedPath = fileSystem.resolve(path);
    std::unique_ptr<AccessLockFile> lockFile;
    if (mode == OpenMode::ReadWrite) {
        if (!takeWriterLock(*file)) throw fileInUse(path);
        lockFile = AccessLockFile::acquire(fileSystem, resolvedPath, *file);
    } else {
        takeSharedLock(*file, lockTimeout);
    }
    // Only now is the length one that no commit is changing.
    file->refresh();
    uint32_t pageSize = HeaderPage::read(*file).pageSize();
    std::unique_ptr<Pager> pager(new Pager(std::move(file), pageSize, &fileSystem));
    pager->m_lockFile = std::move(lockFile);
    pager->m_resolvedPath = std::move(resolvedPath);
    pager->m_lockTimeout = lockTimeout;
    pager->m_fileInfo = pager->m_file->info();
    pager->m_state = mode == OpenMode::ReadWrite ? State::None : State::Reading;
    pager->recover();
    pager->checkLength();
    if (mode == OpenMode::ReadWrite) {
        // Entered once any journal left from before is played back.
        pager->m_registration = JournalRegistration::enter(fileSystem, pager->m_fileInfo,
                                                           Journal::pathFor(pager->m_resolvedPath));
    }
    if (mode != OpenMode::ReadWrite) {
        std::lock_guard guard(ownReaders().mutex);
        ownReaders().pagers.push_back(pager.get());
    }
    return pager;
}

Pager::~Pager() {
    if (inTransaction()) rollback();
    // A change that could not be undone left its journal: the registry keeps saying where.
    if (m_state == State::Error && m_registration) m_registration->keep();
    if (m_state == State::Reading) {
        std::lock_guard guard(ownReaders().mutex);
        std::erase(ownReaders().pagers, this);
    }
}

void Pager::takeExclusive() {
    // A file kept in memory has no identity to compare, and no reader but through this pager.
    if (m_fileInfo.inode != 0) {
        std::lock_guard guard(ownReaders().mutex);
        for (Pager* reader : ownReaders().pagers) {
            if (reader->m_fileInfo.sameFileAs(m_fileInfo)) reader->stepAside();
        }
    }
    takeExclusiveLock(*m_file, m_lockTimeout);
}

void Pager::stepAside() noexcept {
    if (m_steppedAside) return;
    m_file->lock(lock_bytes::kShared, 1, LockMode::Unlocked);
    m_steppedAside = true;
}

void Pager::rejoin() {
    takeSharedLock(*m_file, m_lockTimeout);
    m_steppedAside = false;
    dropCache();
    m_foundJournal.reset();
    m_committedLength.reset();
    m_file->refresh();
    recover();
    checkLength();
}

void Pager::checkLength() const {
    uint64_t length = m_committedLength.value_or(m_file->size());
    if (length == 0 || length % m_pageSize != 0) {
        const auto cut = static_cast<PageNumber>(length / m_pageSize);
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + path() + "' is damaged: its length (" +
                              std::to_string(length) +
                              " bytes) is not a whole number of pages: page " +
                              std::to_string(cut) + " is cut short.",
                          cut);
    }
}

void Pager::recover() {
    if (m_state == State::Reading) {
        auto journal =
            FoundJournal::find(*m_fileSystem, m_resolvedPath, path(), *m_file, m_pageSize);
        if (journal && !journal->empty()) {
            m_committedLength = journal->originalLength();
            m_foundJournal = std::move(journal);
        }
        return;
    }
    // Each pass plays back (or, when it holds nothing, removes) one journal.
    while (auto journal =
               FoundJournal::find(*m_fileSystem, m_resolvedPath, path(), *m_file, m_pageSize)) {
        takeExclusive();
        journal->rollBack(*m_file);
        releaseExclusiveLock(*m_file);
    }
}

PageNumber Pager::pageCount() const {
    auto pages = static_cast<PageNumber>(m_committedLength.value_or(m_file->size()) / m_pageSize);
    return std::max(pages, stagedEnd());
}

void Pager::setCodec(std::unique_ptr<PageCodec> codec) {
    m_codec = std::move(codec);
    dropCache();
}

bool Pager::readCommitted(PageNumber page, MutableBytes stored) {
    if (auto original = m_original.find(page);
        m_state == State::Error && original != m_original.end()) {
        std::copy(original->second.begin(), original->second.end(), stored.begin());
        return true;
    }
    if (m_foundJournal && m_foundJournal->pages().count(page)) {
        m_foundJournal->readPage(page, *m_file, stored);
        return true;
    }
    return false;
}

PageRef Pager::read(PageNumber page) {
    if (m_steppedAside) rejoin();
    // The cache first: a page written in this change is cached with the very buffer held for
    // commit, so a cached page is never older than a held one.
    auto found = m_cache.find(page);
    if (found != m_cache.end()) {
        m_recent.splice(m_recent.begin(), m_recent, found->second);
        return found->second->second;
    }
    if (auto held = m_held.find(page); held != m_held.end()) return held->second;
    if (page >= pageCount()) {
        throw EngineError(ErrorCode::Corrupt,
                          "The database '" + path() + "' is damaged: a structure points to page " +
                              std::to_string(page) + " past the end of the file.",
                          page);
    }
    if (m_staged.count(page)) flushStaged();
    // A page read fills the whole buffer, so a spare one needs no clearing first.
    auto buffer = takeBuffer();
    if (!readCommitted(page, *buffer)) {
        m_file->read(static_cast<uint64_t>(page) * m_pageSize, *buffer);
    }
    return keepRead(page, std::move(buffer));
}

PageRef Pager::keepRead(PageNumber page, std::shared_ptr<PageBuffer> stored) {
    if (m_codec && page != 0) m_codec->decode(page, *stored);
    PageRef contents = std::move(stored);
    remember(page, contents);
    return contents;
}

void Pager::readAhead(PageNumber first, PageNumber count) {
    if (m_steppedAside) rejoin();
    count = std::min<PageNumber>(count, static_cast<PageNumber>(m_cacheLimit / 4));
    const PageNumber limit = pageCount();
    PageNumber end = first;
    while (end - first < count && end < limit && !m_cache.count(end) && !m_held.count(end) &&
           !m_staged.count(end)) {
        ++end;
    }
    if (end - first < 2) return;
    std::vector<std::shared_ptr<PageBuffer>> buffers;
    std::vector<MutableBytes> pieces;
    for (PageNumber page = first; page < end; ++page) {
        buffers.push_back(takeBuffer());
        pieces.emplace_back(*buffers.back());
    }
    m_file->readRun(static_cast<uint64_t>(first) * m_pageSize, pieces);
    for (PageNumber page = first; page < end; ++page) {
        auto& buffer = buffers[page - first];
        // What read() would give: the committed bytes where they differ from the file's.
        readCommitted(page, *buffer);
        keepRead(page, std::move(buffer));
    }
}

std::shared_ptr<PageBuffer> Pager::takeBuffer() {
    if (m_spares.empty()) return std::make_shared<PageBuffer>(m_pageSize);
    auto buffer = std::move(m_spares.back());
    m_spares.pop_back();
    return buffer;
}

void Pager::begin(std::function<bool(PageNumber)> wasFree) {
    if (m_state == State::Error) {
        throw EngineError(ErrorCode::IoError,
                          "The database '" + path() +
                              "' could not be restored after a failed change (" + m_failure +
                              "), so it takes no more changes. Close it; opening it again "
                              "undoes the change.");
    }
    if (!writable() || m_state == State::Reading) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    if (m_state != State::None) {
        throw EngineError(ErrorCode::Internal, "a change is already running on '" + path() + "'");
    }
    m_lengthAtBegin = m_file->size();
    if (m_fileSystem) {
        // A change of this pager that failed while making its journal may have left it, empty.
        if (m_fileSystem->exists(Journal::pathFor(m_resolvedPath))) recover();
        try {
            m_journal = Journal::create(*m_fileSystem, m_resolvedPath, *m_file, m_pageSize);
        } catch (const EngineError& error) {
            // The journal is gone again; the message names the file the user asked to change.
            std::string why = error.what();
            const std::string journal = "'" + Journal::pathFor(m_resolvedPath) + "'";
            if (auto at = why.find(journal); at != std::string::npos) {
                why.replace(at, journal.size(), "the journal beside it");
            }
            throw EngineError(error.code(), "Could not change '" + path() + "': " + why);
        }
    }
    m_wasFree = std::move(wasFree);
    m_state = State::Writing;
}

PageNumber Pager::stagedEnd() const {
    return m_staged.empty() ? 0 : m_staged.rbegin()->first + 1;
}

void Pager::stage(PageNumber page, std::shared_ptr<const PageBuffer> plain) {
    if (m_codec && page != 0) {
        auto encoded = std::make_shared<PageBuffer>(*plain);
        m_codec->encode(page, *encoded);
        plain = std::move(encoded);
    }
    auto [slot, added] = m_staged.insert_or_assign(page, std::move(plain));
    if (added && m_staged.size() >= kStagedPages) flushStaged();
}

void Pager::flushStaged() {
    // Taken out before writing: a failed write leaves nothing staged to write again.
    auto staged = std::move(m_staged);
    m_staged.clear();
    std::vector<Bytes> run;
    for (auto page = staged.begin(); page != staged.end();) {
        // The longest stretch of consecutive pages, in one write.
        PageNumber first = page->first;
        run.clear();
        PageNumber next = first;
        for (; page != staged.end() && page->first == next; ++page, ++next) {
            run.emplace_back(*page->second);
        }
        m_file->writeRun(static_cast<uint64_t>(first) * m_pageSize, run);
    }
}

void Pager::write(PageNumber page, Bytes data) {
    if (!inTransaction()) {
        throw EngineError(ErrorCode::Internal, "page write outside a change", page);
    }
    // Pages may be written out of order past the end (allocation hands them out before they
    // are filled); the file then grows with a gap that the later writes fill.
    if (data.size() != m_pageSize || static_cast<uint64_t>(page) * m_pageSize >= (1ull << 31)) {
        throw EngineError(ErrorCode::Internal,
                          "page write out of range (page " + std::to_string(page) + ")", page);
    }
    // A buffer the cache let go takes the copy when there is one (see read()).
    auto plain = takeBuffer();
    std::copy(data.begin(), data.end(), plain->begin());
    // A page nothing refers to yet goes straight to the file: undoing needs no copy of it.
    bool unreferenced = !m_fileSystem ||
                        static_cast<uint64_t>(page) * m_pageSize >= m_lengthAtBegin ||
                        (page != 0 && m_wasFree(page));
    if (unreferenced) {
        // A free page inside the file holds nothing anyone reads, but a change that fails must
        // leave the file byte for byte as it was: its old bytes are kept before the first write,
        // and a rollback puts them back.
        if (m_fileSystem && static_cast<uint64_t>(page) * m_pageSize < m_lengthAtBegin &&
            !m_freeOriginal.count(page)) {
            PageBuffer stored(m_pageSize);
            m_file->read(static_cast<uint64_t>(page) * m_pageSize, stored);
            m_freeOriginal.emplace(page, std::move(stored));
        }
        stage(page, plain);
    } else {
        m_held[page] = plain;
    }
    remember(page, std::move(plain));
}

void Pager::commit() {
    if (!inTransaction()) return;
    flushStaged();
    if (!m_fileSystem) {
        m_file->sync();
        endChange();
        return;
    }
    m_state = State::Committing;
    if (!m_held.empty()) {
        takeExclusive();
        m_exclusive = true;
        // As the file is to store them; only encoded pages need bytes of their own.
        std::map<PageNumber, PageBuffer> encoded;
        const auto written = [&](PageNumber page, const PageRef& contents) -> Bytes {
            if (!m_codec || page == 0) return *contents;
            auto made = encoded.try_emplace(page, *contents);
            if (made.second) m_codec->encode(page, made.first->second);
            return made.first->second;
        };
        // Held pages go in runs of consecutive numbers, each run read and written with one call.
        constexpr size_t kRunPages = 64;
        const auto forEachRun = [&](const auto& visit) {
            for (auto first = m_held.begin(); first != m_held.end();) {
                auto end = std::next(first);
                size_t count = 1;
                while (end != m_held.end() && count < kRunPages &&
                       end->first == first->first + count) {
                    ++end, ++count;
                }
                visit(first, end, count);
                first = end;
            }
        };
        std::vector<PageBuffer> stored(std::min(kRunPages, m_held.size()), PageBuffer(m_pageSize));
        std::vector<MutableBytes> into;
        forEachRun([&](auto first, auto end, size_t count) {
            into.assign(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(count));
            m_file->readRun(static_cast<uint64_t>(first->first) * m_pageSize, into);
            size_t at = 0;
            for (auto held = first; held != end; ++held, ++at) {
                m_original.emplace(held->first, stored[at]);
                m_journal->append(held->first, stored[at], written(held->first, held->second));
            }
        });
        m_journal->sync();
        m_overwroteInUse = true;
        std::vector<Bytes> pieces;
        forEachRun([&](auto first, auto end, size_t) {
            pieces.clear();
            for (auto held = first; held != end; ++held) {
                pieces.push_back(written(held->first, held->second));
            }
            m_file->writeRun(static_cast<uint64_t>(first->first) * m_pageSize, pieces);
        });
    }
    m_file->sync();
    // The commit point: once the journal's name is gone the change is made, and nothing undoes
    // it. A flush of the folder that fails after it leaves the change made but perhaps not
    // lasting through a power failure, and is reported as that.
    m_journal->unlink();
    m_journal.reset();
    endChange();
    try {
        m_fileSystem->flushFolder(m_resolvedPath);
    } catch (const EngineError& error) {
        throw EngineError(error.code(), "The change to '" + path() +
                                            "' was made, but may not last through a power "
                                            "failure: " +
                                            error.what());
    }
}

void Pager::rollback() noexcept {
    if (!inTransaction()) return;
    m_staged.clear();  // pages nothing refers to: the old length and bytes come back below
    m_held.clear();
    dropCache();
    if (!m_fileSystem) {
        fail("a file being made cannot be undone");
        return;
    }
    try {
        if (m_overwroteInUse) {
            for (const auto& [page, stored] : m_original) {
                m_file->write(static_cast<uint64_t>(page) * m_pageSize, stored);
            }
        }
        for (const auto& [page, stored] : m_freeOriginal) {
            m_file->write(static_cast<uint64_t>(page) * m_pageSize, stored);
        }
        if (m_file->size() != m_lengthAtBegin) m_file->truncate(m_lengthAtBegin);
        m_file->sync();
        if (m_journal) m_journal->remove();
        m_journal.reset();
        endChange();
    } catch (const std::exception& error) {
        fail(error.what());
    }
}

void Pager::endChange() {
    m_staged.clear();
    m_held.clear();
    m_original.clear();
    m_freeOriginal.clear();
    m_wasFree = nullptr;
    m_overwroteInUse = false;
    if (m_exclusive) {
        releaseExclusiveLock(*m_file);
        m_exclusive = false;
    }
    m_state = State::None;
}

void Pager::fail(const std::string& why) noexcept {
    // The journal stays on disk for the next opener; the exclusive lock, if held, stays until
    // the pager closes, so that no reader sees the half-changed file. This pager's own reads
    // show the state before the change: the old bytes kept in memory over the file, cut at the
    // old length.
    m_state = State::Error;
    m_failure = why;
    m_staged.clear();
    m_journal.reset();
    m_wasFree = nullptr;
    m_committedLength = m_lengthAtBegin;
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
        // A page nobody else holds gives its buffer to the next read or write: a long scan or
        // copy then allocates and clears no buffers. The buffer was made writable, so lending
        // it out as writable again is sound.
        // Under AddressSanitizer the buffer is freed instead, so that a view kept past its
        // page's eviction is reported rather than reading the next page's bytes.
#if !CORVANTA_ADDRESS_SANITIZER
        PageRef& oldest = m_recent.back().second;
        if (oldest.use_count() == 1 && oldest->size() == m_pageSize &&
            m_spares.size() < kSpareBuffers) {
            m_spares.push_back(std::const_pointer_cast<PageBuffer>(std::move(oldest)));
        }
#endif
        m_recent.pop_back();
    }
}

}  // namespace engine::storage

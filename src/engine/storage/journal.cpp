#include "engine/storage/journal.h"

#include "engine/storage/journal_registry.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <filesystem>
#include <vector>

namespace engine::storage {

namespace {

constexpr char kJournalMagic[16] = {'C', 'o', 'r', 'v', 'a', 'n', 't', 'a',
                             ' ', 'j', 'o', 'u', 'r', 'n', 'a', 'l'};
constexpr uint32_t kVersion = 5;
// Journals of layouts 3 and 4 hold whole pages; layout 3 also has checksums of its own
// (byteChecksum). Both are still played back.
constexpr uint32_t kWholePagesVersion = 4;
constexpr uint32_t kEarlierVersion = 3;
constexpr size_t kHeaderSize = 64;
// Pages are checked against the images an entry names in pieces of a disk sector's size, the
// most a write cut short by a power failure is known to leave whole.
constexpr size_t kSectorSize = 512;
constexpr size_t kEntryFixedSize = 8;

// Layout 5: how many stretches an entry keeps (4), and the bytes they take (4).
constexpr size_t kStretchFieldsSize = 8;
constexpr size_t kStretchHeaderSize = 4;  // a stretch's start (2) and length (2)
// Stretches closer than this are kept as one: a stretch's header costs as much.
constexpr size_t kStretchGap = kStretchHeaderSize;

size_t sectorsOf(uint32_t pageSize) { return pageSize / kSectorSize; }
// The fixed part of an entry: a whole page's (layouts 3 and 4), or one of stretches (layout 5),
// which also keeps the checksums of the sectors as found.
size_t entryHeaderSize(uint32_t pageSize, uint32_t version) {
    return version >= kVersion ? kEntryFixedSize + kStretchFieldsSize + 8 * sectorsOf(pageSize)
                               : kEntryFixedSize + 4 * sectorsOf(pageSize);
}
constexpr std::string_view kSuffix = "-journal";

// Layout 3: FNV-1a, one byte a step.
uint32_t byteChecksum(uint32_t seed, Bytes bytes) {
    uint32_t hash = 2166136261u ^ seed;
    for (uint8_t byte : bytes) {
        hash ^= byte;
        hash *= 16777619u;
    }
    return hash;
}

// Layout 4: FNV-1a's step over 8-byte words (little-endian) with its 64-bit prime, each product
// folded onto its low half, so that every bit of every word reaches every bit of the result.
// Eight bytes a step: a commit checksums every page it overwrites twice over.
uint32_t checksum(uint32_t seed, Bytes bytes) {
    constexpr uint64_t kPrime = 0x100000001b3ull;
    uint64_t hash = 0xcbf29ce484222325ull ^ seed;
    size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes.data() + at, sizeof word);
        if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
        hash = (hash ^ word) * kPrime;
        hash ^= hash >> 32;
    }
    for (; at < bytes.size(); ++at) {
        hash = (hash ^ bytes[at]) * kPrime;
        hash ^= hash >> 32;
    }
    return static_cast<uint32_t>(hash ^ (hash >> 32));
}

using Checksum = uint32_t (*)(uint32_t seed, Bytes bytes);

Checksum checksumOf(uint32_t version) {
    return version == kEarlierVersion ? byteChecksum : checksum;
}

bool isPageSize(uint32_t size) { return size == 2048 || size == 4096; }

// The checksum of page 0 as stored; nullopt when the file is shorter than a page.
std::optional<uint32_t> firstPageChecksum(PageFile& database, uint32_t pageSize,
                                          Checksum sum = checksum) {
    if (database.size() < pageSize) return std::nullopt;
    std::vector<uint8_t> page(pageSize);
    database.read(0, page);
    return sum(0, page);
}

EngineError changedSince(const std::string& shownPath, const std::string& journal,
                         PageNumber page) {
    return EngineError(ErrorCode::FileInUse,
                       "Could not use '" + shownPath + "'; it was written to since the change "
                       "that the journal '" + journal + "' beside it would undo (its page " +
                           std::to_string(page) + " is neither as that change found it nor as "
                           "it was writing it), so playing the journal back would lose that. "
                           "Both were left as they are: keep the journal until you know which "
                           "state of the file you want.",
                       page);
}

EngineError notItsJournal(const std::string& shownPath, const std::string& journal,
                          const std::string& why) {
    return EngineError(ErrorCode::FileInUse,
                       "Could not use '" + shownPath + "'; the journal '" + journal +
                           "' beside it " + why +
                           ". It was left as it is: move it away once no program needs it.");
}

// Calls visit with each stretch of a layout-5 entry's bytes (well formed): where it starts in
// the page, and its old bytes.
template <typename Visit>
void forEachStretch(Bytes bytes, uint32_t count, Visit&& visit) {
    size_t at = 0;
    for (uint32_t stretch = 0; stretch < count; ++stretch) {
        const size_t start = readU16LE(bytes, at);
        const size_t length = readU16LE(bytes, at + 2);
        visit(start, bytes.subspan(at + kStretchHeaderSize, length));
        at += kStretchHeaderSize + length;
    }
}

// Whether a layout-5 entry's bytes hold count stretches, each of some bytes, in increasing order
// inside the page, and nothing after them.
bool wellFormed(Bytes bytes, uint32_t count, uint32_t pageSize) {
    size_t at = 0;
    size_t pageEnd = 0;  // where the stretch before ended in the page
    for (uint32_t stretch = 0; stretch < count; ++stretch) {
        if (at + kStretchHeaderSize > bytes.size()) return false;
        const size_t start = readU16LE(bytes, at);
        const size_t length = readU16LE(bytes, at + 2);
        if (length == 0 || start < pageEnd || start + length > pageSize ||
            at + kStretchHeaderSize + length > bytes.size()) {
            return false;
        }
        pageEnd = start + length;
        at += kStretchHeaderSize + length;
    }
    return at == bytes.size();
}

}  // namespace

std::string Journal::pathFor(const std::string& resolvedPath) {
    return resolvedPath + std::string(kSuffix);
}

Journal::Journal(FileSystem& fileSystem, std::string path, std::unique_ptr<PageFile> file)
    : m_fileSystem(fileSystem),
      m_path(std::move(path)),
      m_file(std::move(file)),
      m_length(kHeaderSize) {}

std::unique_ptr<Journal> Journal::create(FileSystem& fileSystem, const std::string& resolvedPath,
                                         PageFile& database, uint32_t pageSize) {
    std::string path = pathFor(resolvedPath);
    const FileInfo info = database.info();
    std::vector<uint8_t> header(kHeaderSize, 0);
    std::memcpy(header.data(), kJournalMagic, sizeof kJournalMagic);
    writeU32LE(header, 16, kVersion);
    writeU32LE(header, 20, pageSize);
    writeU64LE(header, 24, database.size());
    writeU64LE(header, 32, info.device);
    writeU64LE(header, 40, info.inode);
    writeU64LE(header, 48, static_cast<uint64_t>(info.birth));
    writeU32LE(header, 56, firstPageChecksum(database, pageSize).value_or(0));
    writeU32LE(header, 60, checksum(0, Bytes(header).first(60)));

    auto file = fileSystem.create(path, &info, Naming::Passing);
    try {
        file->write(0, header);
        file->sync();
        fileSystem.flushFolder(path);
    } catch (const EngineError&) {
        // Nothing has changed yet, so the journal goes again. Should that fail too, a journal
        // without entries holds nothing, and the next writer removes it; the first failure is
        // the one to report.
        file.reset();
        try {
            fileSystem.remove(path, Naming::Passing);
        } catch (const EngineError&) {
        }
        throw;
    }
    return std::unique_ptr<Journal>(new Journal(fileSystem, path, std::move(file)));
}

void Journal::append(PageNumber page, Bytes storedBytes, Bytes newBytes) {
    // Entries reach the file in pieces of this size or more: one write per page would cost a
    // system call each.
    constexpr size_t kGatherBytes = size_t{256} << 10;
    const auto pageSize = static_cast<uint32_t>(storedBytes.size());
    const size_t sectors = sectorsOf(pageSize);
    const size_t header = entryHeaderSize(pageSize, kVersion);
    const size_t start = m_gathered.size();
    m_gathered.resize(start + header);
    // Only the stretches the change alters are kept, each from a differing byte to the last one
    // before 4 equal bytes: the rest of the page is the same before and after. Deleting rows
    // alters a page's row table; updating a field, that field in each row.
    uint32_t count = 0;
    const auto sameWord = [&](size_t at) {  // equal bytes are skipped 8 at a time
        uint64_t stored = 0;
        uint64_t written = 0;
        std::memcpy(&stored, storedBytes.data() + at, sizeof stored);
        std::memcpy(&written, newBytes.data() + at, sizeof written);
        return stored == written;
    };
    for (size_t at = 0; at < pageSize;) {
        if (at + 8 <= pageSize && sameWord(at)) {
            at += 8;
            continue;
        }
        if (storedBytes[at] == newBytes[at]) {
            ++at;
            continue;
        }
        // The stretch ends after its last differing byte that another follows closely.
        size_t end = at + 1;
        for (size_t probe = end; probe < pageSize && probe - end < kStretchGap; ++probe) {
            if (storedBytes[probe] != newBytes[probe]) end = probe + 1;
        }
        const size_t from = m_gathered.size();
        m_gathered.resize(from + kStretchHeaderSize + (end - at));
        writeU16LE(m_gathered, from, static_cast<uint16_t>(at));
        writeU16LE(m_gathered, from + 2, static_cast<uint16_t>(end - at));
        std::memcpy(m_gathered.data() + from + kStretchHeaderSize, storedBytes.data() + at,
                    end - at);
        ++count;
        at = end;
    }
    const MutableBytes entry = MutableBytes(m_gathered).subspan(start);
    writeU32LE(entry, 0, page);
    writeU32LE(entry, kEntryFixedSize, count);
    writeU32LE(entry, kEntryFixedSize + 4, static_cast<uint32_t>(entry.size() - header));
    const size_t sums = kEntryFixedSize + kStretchFieldsSize;
    for (size_t sector = 0; sector < sectors; ++sector) {
        const Bytes written = newBytes.subspan(sector * kSectorSize, kSectorSize);
        const Bytes found = storedBytes.subspan(sector * kSectorSize, kSectorSize);
        const uint32_t writtenSum = checksum(page, written);
        writeU32LE(entry, sums + 4 * sector, writtenSum);
        writeU32LE(entry, sums + 4 * (sectors + sector),
                   std::ranges::equal(written, found) ? writtenSum : checksum(page, found));
    }
    // The entry's own checksum covers all of it but itself.
    writeU32LE(entry, 4, checksum(page, Bytes(entry).subspan(kEntryFixedSize)));
    if (m_gathered.size() >= kGatherBytes) {
        m_file->write(m_length, m_gathered);
        m_length += m_gathered.size();
        m_gathered.clear();
    }
}

void Journal::sync() {
    if (!m_gathered.empty()) {
        m_file->write(m_length, m_gathered);
        m_length += m_gathered.size();
        m_gathered.clear();
    }
    m_file->sync();
}

void Journal::remove() {
    m_file.reset();
    // The change is undone and the file flushed: a journal that outlives a crash plays back to
    // the bytes the file has, and the next change's journal flushes the folder anyway.
    m_fileSystem.remove(m_path, Naming::Passing);
}

void Journal::unlink() {
    m_file.reset();
    m_fileSystem.remove(m_path, Naming::Passing);
}

FoundJournal::Verdict FoundJournal::examine(PageFile& database, uint32_t pageSize) {
    const uint64_t size = m_file->size();
    std::vector<uint8_t> header(kHeaderSize);
    bool whole = size >= kHeaderSize;
    if (whole) {
        m_file->read(0, header);
        const uint32_t version = readU32LE(header, 16);
        m_checksum = checksumOf(version);
        m_version = version;
        whole =
            std::memcmp(header.data(), kJournalMagic, sizeof kJournalMagic) == 0 &&
            (version == kVersion || version == kWholePagesVersion || version == kEarlierVersion) &&
            readU32LE(header, 60) == m_checksum(0, Bytes(header).first(60));
    }
    // A journal no longer than its header holds nothing to undo: its writer died, or is still
    // writing it, before touching a page. What it holds is then zeros (not yet written out) or
    // the start of a header; anything else is some other file, which stays where it is.
    if (!whole) {
        if (size > kHeaderSize) return Verdict::Foreign;
        header.resize(std::min<uint64_t>(size, sizeof kJournalMagic));
        m_file->read(0, header);
        const bool zeros =
            std::all_of(header.begin(), header.end(), [](uint8_t byte) { return byte == 0; });
        const bool ours = std::equal(header.begin(), header.end(), kJournalMagic);
        return zeros || ours ? Verdict::Empty : Verdict::Foreign;
    }

    FileInfo named;
    named.device = readU64LE(header, 32);
    named.inode = readU64LE(header, 40);
    named.birth = static_cast<int64_t>(readU64LE(header, 48));
    const uint32_t journalPageSize = readU32LE(header, 20);
    const uint64_t length = readU64LE(header, 24);
    if (!isPageSize(journalPageSize) || journalPageSize != pageSize ||
        !named.sameFileAs(database.info()) || database.size() < length || length % pageSize != 0) {
        return Verdict::Foreign;
    }
    m_pageSize = pageSize;
    m_originalLength = length;

    const bool stretches = m_version >= kVersion;
    const size_t sectors = sectorsOf(pageSize);
    const size_t entryHeader = entryHeaderSize(pageSize, m_version);
    std::vector<uint8_t> entry;
    std::vector<uint8_t> current(pageSize);
    for (uint64_t offset = kHeaderSize; offset + entryHeader <= size;) {
        // The fixed part, then the old bytes it says follow.
        entry.resize(entryHeader);
        m_file->read(offset, entry);
        Kept kept{offset + entryHeader, pageSize, 0};
        if (stretches) {
            kept.count = readU32LE(entry, kEntryFixedSize);
            kept.bytes = readU32LE(entry, kEntryFixedSize + 4);
            if (kept.bytes > pageSize + kStretchHeaderSize * pageSize) break;
        }
        if (offset + entryHeader + kept.bytes > size) break;
        entry.resize(entryHeader + kept.bytes);
        if (kept.bytes > 0) {
            m_file->read(offset + entryHeader, MutableBytes(entry).subspan(entryHeader));
        }
        const PageNumber page = readU32LE(entry, 0);
        if (readU32LE(entry, 4) != m_checksum(page, Bytes(entry).subspan(kEntryFixedSize))) {
            break;
        }
        offset += entry.size();
        // Stretches in order, inside the page, filling the bytes the entry gives them: a
        // checksum that holds over anything else was not made by this engine.
        if (stretches && !wellFormed(Bytes(entry).subspan(entryHeader), kept.count, pageSize)) {
            return Verdict::Foreign;
        }
        // A page past the old end was new: cutting the file back undoes it.
        if (static_cast<uint64_t>(page) * pageSize >= length) continue;
        m_pages.emplace(page, kept);
        // Each piece of the page on disk is as the change found it or as it was writing it:
        // anything else was written by another hand since (a backup put back, another
        // program), and playing the journal back would undo that too.
        database.read(static_cast<uint64_t>(page) * pageSize, current);
        const Bytes old = Bytes(entry).subspan(entryHeader);
        const size_t sums = stretches ? kEntryFixedSize + kStretchFieldsSize : kEntryFixedSize;
        for (size_t sector = 0; sector < sectors; ++sector) {
            const Bytes piece = Bytes(current).subspan(sector * kSectorSize, kSectorSize);
            const uint32_t sum = m_checksum(page, piece);
            const bool asFound = stretches ? sum == readU32LE(entry, sums + 4 * (sectors + sector))
                                           : std::equal(piece.begin(), piece.end(),
                                                        old.begin() + sector * kSectorSize);
            if (asFound || sum == readU32LE(entry, sums + 4 * sector)) continue;
            m_changedPage = page;
            return Verdict::Changed;
        }
    }
    // Page 0 as it was, unless the change itself overwrote it.
    if (!m_pages.count(0) &&
        firstPageChecksum(database, pageSize, m_checksum) != readU32LE(header, 56)) {
        return Verdict::Foreign;
    }
    return Verdict::Matches;
}

std::unique_ptr<FoundJournal> FoundJournal::find(FileSystem& fileSystem,
                                                 const std::string& resolvedPath,
                                                 const std::string& shownPath, PageFile& database,
                                                 uint32_t pageSize) {
    const std::string own = Journal::pathFor(resolvedPath);
    std::unique_ptr<FoundJournal> found;
    if (fileSystem.exists(own)) {
        try {
            found.reset(
                new FoundJournal(fileSystem, own, fileSystem.open(own, OpenMode::ReadOnly)));
        } catch (const EngineError& error) {
            // Gone since: a live writer ended a change that had not touched a page in use.
            if (error.code() != ErrorCode::FileNotFound) {
                throw notItsJournal(shownPath, own,
                                    std::string("cannot be read (") + error.what() + ")");
            }
        }
        const auto verdict = found ? found->examine(database, pageSize) : Verdict::Empty;
        if (verdict == Verdict::Foreign) {
            throw notItsJournal(shownPath, own, "was not made for this file");
        }
        if (verdict == Verdict::Changed) throw changedSince(shownPath, own, found->m_changedPage);
    }

    // Another name of the same file may have a journal of its own in the folder.
    const std::filesystem::path folder = std::filesystem::path(resolvedPath).parent_path();
    for (const std::string& name : fileSystem.list(folder.string())) {
        const std::string path = (folder / name).string();
        if (path == own || name.size() <= kSuffix.size() || !name.ends_with(kSuffix)) continue;
        std::unique_ptr<FoundJournal> other;
        Verdict verdict;
        try {
            other.reset(
                new FoundJournal(fileSystem, path, fileSystem.open(path, OpenMode::ReadOnly)));
            verdict = other->examine(database, pageSize);
        } catch (const EngineError&) {
            continue;  // not a journal this file can use
        }
        if (verdict == Verdict::Changed) throw changedSince(shownPath, path, other->m_changedPage);
        if (verdict != Verdict::Matches) continue;
        if (found && !found->empty()) {
            throw notItsJournal(shownPath, path,
                                "names this file as the journal '" + found->path() + "' does too");
        }
        found = std::move(other);
    }

    // The registry says where the file's last writer kept its journal, under whatever name it
    // reached the file (another folder's hard link, the file's old place before a move).
    const auto registered = registeredJournal(fileSystem, database.info());
    if (registered && std::filesystem::path(*registered).parent_path() != folder &&
        fileSystem.exists(*registered)) {
        std::unique_ptr<FoundJournal> other;
        Verdict verdict = Verdict::Foreign;
        try {
            other.reset(new FoundJournal(fileSystem, *registered,
                                         fileSystem.open(*registered, OpenMode::ReadOnly)));
            verdict = other->examine(database, pageSize);
        } catch (const EngineError&) {
            // Not a journal this file can use: the entry is stale.
        }
        if (verdict == Verdict::Changed) {
            throw changedSince(shownPath, *registered, other->m_changedPage);
        }
        if (verdict == Verdict::Matches && !other->empty()) {
            if (found && !found->empty()) {
                throw notItsJournal(
                    shownPath, *registered,
                    "names this file as the journal '" + found->path() + "' does too");
            }
            found = std::move(other);
        }
    }
    return found;
}

void FoundJournal::readPage(PageNumber page, PageFile& database, MutableBytes out) {
    const Kept& kept = m_pages.at(page);
    if (kept.count == 0 && kept.bytes == m_pageSize) {
        m_file->read(kept.offset, out);  // a whole page (layouts 3 and 4)
        return;
    }
    // Outside the stretches kept the page is the same before and after the change.
    database.read(static_cast<uint64_t>(page) * m_pageSize, out);
    std::vector<uint8_t> bytes(kept.bytes);
    m_file->read(kept.offset, bytes);
    forEachStretch(bytes, kept.count, [&](size_t start, Bytes old) {
        std::copy(old.begin(), old.end(), out.begin() + static_cast<std::ptrdiff_t>(start));
    });
}

void FoundJournal::rollBack(PageFile& database) {
    assert(database.writable());
    if (m_originalLength) {
        // Each page is put back whole, its stretches laid over it in memory: stretches written
        // one by one could leave a sector, should the power go again, neither as the change
        // found it nor as it was writing it, and the journal could not be played back then.
        std::vector<uint8_t> bytes(m_pageSize);
        for (const auto& [page, kept] : m_pages) {
            readPage(page, database, bytes);
            database.write(static_cast<uint64_t>(page) * m_pageSize, bytes);
        }
        database.truncate(*m_originalLength);
        database.sync();
    }
    // Undone and flushed: should the journal outlive a crash, it plays back to these bytes.
    m_file.reset();
    m_fileSystem.remove(m_path, Naming::Passing);
}

}  // namespace engine::storage

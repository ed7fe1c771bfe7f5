#include "engine/storage/journal.h"

#include <cstring>
#include <vector>

namespace engine::storage {

namespace {

constexpr char kMagic[16] = {'C', 'o', 'r', 'v', 'a', 'n', 't', 'a',
                             ' ', 'j', 'o', 'u', 'r', 'n', 'a', 'l'};
constexpr size_t kHeaderSize = 32;
constexpr size_t kEntryHeaderSize = 8;

uint32_t checksum(uint32_t seed, Bytes bytes) {
    // FNV-1a: cheap, and enough to tell a whole entry from a torn one.
    uint32_t hash = 2166136261u ^ seed;
    for (uint8_t byte : bytes) {
        hash ^= byte;
        hash *= 16777619u;
    }
    return hash;
}

}  // namespace

std::string Journal::pathFor(const std::string& databasePath) { return databasePath + "-journal"; }

Journal::Journal(FileSystem& fileSystem, std::string path, std::unique_ptr<PageFile> file)
    : m_fileSystem(fileSystem),
      m_path(std::move(path)),
      m_file(std::move(file)),
      m_length(kHeaderSize) {}

std::unique_ptr<Journal> Journal::create(FileSystem& fileSystem, const std::string& databasePath,
                                         uint32_t pageSize, uint64_t originalLength) {
    std::string path = pathFor(databasePath);
    // A journal left here is stale only if the database was rolled back already; the caller
    // rolls back before writing, so any journal found now is safe to replace.
    fileSystem.remove(path);
    auto file = fileSystem.create(path);
    std::vector<uint8_t> header(kHeaderSize, 0);
    std::memcpy(header.data(), kMagic, sizeof kMagic);
    writeU32LE(header, 16, pageSize);
    writeU64LE(header, 20, originalLength);
    writeU32LE(header, 28, checksum(0, Bytes(header).first(28)));
    try {
        file->write(0, header);
        file->sync();
    } catch (const EngineError&) {
        // Nothing has changed yet; a journal without its header would only be thrown away.
        file.reset();
        try {
            fileSystem.remove(path);
        } catch (const EngineError&) {
            // The next opener discards the headerless journal.
        }
        throw;
    }
    return std::unique_ptr<Journal>(new Journal(fileSystem, path, std::move(file)));
}

void Journal::append(PageNumber page, Bytes storedBytes) {
    std::vector<uint8_t> entry(kEntryHeaderSize + storedBytes.size());
    writeU32LE(entry, 0, page);
    writeU32LE(entry, 4, checksum(page, storedBytes));
    std::memcpy(entry.data() + kEntryHeaderSize, storedBytes.data(), storedBytes.size());
    m_file->write(m_length, entry);
    m_length += entry.size();
}

void Journal::remove() {
    m_file.reset();
    m_fileSystem.remove(m_path);
}

void Journal::rollBack(PageFile& database) {
    m_file.reset();
    std::string databasePath = m_path.substr(0, m_path.size() - std::string("-journal").size());
    rollBack(m_fileSystem, databasePath, database);
}

bool Journal::rollBack(FileSystem& fileSystem, const std::string& databasePath,
                       PageFile& database) {
    std::string path = pathFor(databasePath);
    if (!fileSystem.exists(path)) return false;
    std::unique_ptr<PageFile> file = fileSystem.open(path, OpenMode::ReadOnly);
    std::vector<uint8_t> header(kHeaderSize);
    bool valid = file->size() >= kHeaderSize;
    if (valid) {
        file->read(0, header);
        valid = std::memcmp(header.data(), kMagic, sizeof kMagic) == 0 &&
                readU32LE(header, 28) == checksum(0, Bytes(header).first(28));
    }
    if (!valid) {
        // The process died while creating the journal, before it changed anything.
        file.reset();
        fileSystem.remove(path);
        return false;
    }
    uint32_t pageSize = readU32LE(header, 16);
    uint64_t originalLength = readU64LE(header, 20);
    std::vector<uint8_t> entry(kEntryHeaderSize + pageSize);
    for (uint64_t offset = kHeaderSize; offset + entry.size() <= file->size();
         offset += entry.size()) {
        file->read(offset, entry);
        PageNumber page = readU32LE(entry, 0);
        Bytes bytes = Bytes(entry).subspan(kEntryHeaderSize);
        if (readU32LE(entry, 4) != checksum(page, bytes)) break;
        if (static_cast<uint64_t>(page) * pageSize < originalLength) {
            database.write(static_cast<uint64_t>(page) * pageSize, bytes);
        }
    }
    database.truncate(originalLength);
    database.sync();
    file.reset();
    fileSystem.remove(path);
    return true;
}

}  // namespace engine::storage

#include "engine/storage/journal_registry.h"

#include <cstdio>
#include <vector>

namespace engine::storage {

namespace {

// Longer than any path a journal can have.
constexpr uint64_t kLongestEntry = 8192;

std::string entryOf(const std::string& folder, const FileInfo& database) {
    char name[40];
    std::snprintf(name, sizeof name, "%llx-%llx", static_cast<unsigned long long>(database.device),
                  static_cast<unsigned long long>(database.inode));
    return folder + "/" + name;
}

std::optional<std::string> readEntry(FileSystem& fileSystem, const std::string& entry) {
    try {
        auto file = fileSystem.open(entry, OpenMode::ReadOnly);
        const uint64_t size = file->size();
        if (size < 2 || size > kLongestEntry) return std::nullopt;
        std::vector<uint8_t> bytes(size);
        file->read(0, bytes);
        if (bytes.back() != '\n') return std::nullopt;
        return std::string(bytes.begin(), bytes.end() - 1);
    } catch (const EngineError&) {
        return std::nullopt;
    }
}

}  // namespace

std::unique_ptr<JournalRegistration> JournalRegistration::enter(FileSystem& fileSystem,
                                                                const FileInfo& database,
                                                                const std::string& journalPath) {
    const std::string folder = fileSystem.journalRegistry();
    if (folder.empty() || database.inode == 0) return nullptr;
    const std::string entry = entryOf(folder, database);
    const std::string text = journalPath + "\n";
    try {
        // An entry a writer left when it died is replaced: its journal, if any, was played
        // back when this writer opened the file.
        fileSystem.remove(entry, Naming::Passing);
        auto file = fileSystem.create(entry, nullptr, Naming::Passing);
        file->write(0, Bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        file->sync();
        fileSystem.flushFolder(entry);
    } catch (const EngineError&) {
        try {
            fileSystem.remove(entry, Naming::Passing);
        } catch (const EngineError&) {
        }
        return nullptr;
    }
    return std::unique_ptr<JournalRegistration>(
        new JournalRegistration(fileSystem, entry, journalPath));
}

JournalRegistration::~JournalRegistration() {
    if (m_kept) return;
    try {
        // Removed only while it is this writer's: a stale entry lost nothing, a removed live
        // one would.
        if (readEntry(m_fileSystem, m_entry) == m_journalPath) {
            m_fileSystem.remove(m_entry, Naming::Passing);
        }
    } catch (const EngineError&) {
        // An entry left behind names a journal that is gone; the next writer replaces it.
    }
}

std::optional<std::string> registeredJournal(FileSystem& fileSystem, const FileInfo& database) {
    const std::string folder = fileSystem.journalRegistry();
    if (folder.empty() || database.inode == 0) return std::nullopt;
    return readEntry(fileSystem, entryOf(folder, database));
}

}  // namespace engine::storage

#include "engine/storage/memory_page_file.h"

#include <algorithm>
#include <filesystem>
#include <functional>

namespace engine::storage {

namespace {

[[noreturn]] void readOnly() {
    throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
}

// A new file held apart from the file system's names until it is published.
class MemoryNewFile final : public NewFile {
public:
    MemoryNewFile(std::string path, std::function<void(MemoryPageFile&)> publish)
        : m_file(std::make_shared<std::vector<uint8_t>>(), true, std::move(path)),
          m_publish(std::move(publish)) {}

    const std::string& path() const override { return m_file.path(); }
    bool writable() const override { return true; }
    uint64_t size() const override { return m_file.size(); }
    void read(uint64_t offset, MutableBytes out) override { m_file.read(offset, out); }
    void write(uint64_t offset, Bytes data) override { m_file.write(offset, data); }
    void sync() override {}
    void truncate(uint64_t size) override { m_file.truncate(size); }
    void publish() override { m_publish(m_file); }

private:
    MemoryPageFile m_file;
    std::function<void(MemoryPageFile&)> m_publish;
};

}  // namespace

void MemoryPageFile::read(uint64_t offset, MutableBytes out) {
    if (offset > m_bytes->size() || out.size() > m_bytes->size() - offset) {
        throw EngineError(ErrorCode::Corrupt, "'" + m_path + "' is shorter than its structures " +
                                                  "claim (read at byte " + std::to_string(offset) +
                                                  ").");
    }
    std::copy_n(m_bytes->begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
}

void MemoryPageFile::write(uint64_t offset, Bytes data) {
    if (!m_writable) readOnly();
    if (offset + data.size() > m_bytes->size()) m_bytes->resize(offset + data.size());
    std::copy(data.begin(), data.end(), m_bytes->begin() + static_cast<std::ptrdiff_t>(offset));
}

void MemoryPageFile::truncate(uint64_t size) {
    if (!m_writable) readOnly();
    m_bytes->resize(size);
}

MemoryFileSystem::Entry& MemoryFileSystem::add(const std::string& path, const FileInfo* like) {
    if (m_files.count(path) != 0) {
        throw EngineError(ErrorCode::IoError,
                          "Cannot create '" + path + "': the file already exists.");
    }
    FileInfo info = like ? *like : FileInfo{};
    info.device = 1;
    info.inode = ++m_lastInode;
    info.birth = 0;
    return m_files[path] = Entry{std::make_shared<std::vector<uint8_t>>(), info};
}

std::unique_ptr<PageFile> MemoryFileSystem::open(const std::string& path, OpenMode mode) {
    auto found = m_files.find(path);
    if (found == m_files.end()) {
        throw EngineError(ErrorCode::FileNotFound, "Could not find file '" + path + "'.");
    }
    return std::make_unique<MemoryPageFile>(found->second.bytes, mode == OpenMode::ReadWrite, path,
                                            found->second.info);
}

std::unique_ptr<PageFile> MemoryFileSystem::create(const std::string& path, const FileInfo* like,
                                                   Naming) {
    Entry& entry = add(path, like);
    return std::make_unique<MemoryPageFile>(entry.bytes, true, path, entry.info);
}

std::unique_ptr<NewFile> MemoryFileSystem::createNew(const std::string& path) {
    if (exists(path)) {
        throw EngineError(ErrorCode::IoError,
                          "Cannot create '" + path + "': the file already exists.");
    }
    return std::make_unique<MemoryNewFile>(
        path, [this, path](MemoryPageFile& file) { *add(path, nullptr).bytes = file.bytes(); });
}

std::vector<std::string> MemoryFileSystem::list(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : m_files) {
        std::filesystem::path path(entry.first);
        if (path.parent_path() == std::filesystem::path(folder)) {
            names.push_back(path.filename().string());
        }
    }
    return names;
}

std::vector<uint8_t>& MemoryFileSystem::bytes(const std::string& path) {
    auto& entry = m_files[path];
    if (!entry.bytes) {
        entry.bytes = std::make_shared<std::vector<uint8_t>>();
        entry.info.device = 1;
        entry.info.inode = ++m_lastInode;
    }
    return *entry.bytes;
}

}  // namespace engine::storage

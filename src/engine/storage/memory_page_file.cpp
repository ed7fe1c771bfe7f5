#include "engine/storage/memory_page_file.h"

#include <algorithm>

namespace engine::storage {

void MemoryPageFile::read(uint64_t offset, MutableBytes out) {
    if (offset > m_bytes->size() || out.size() > m_bytes->size() - offset) {
        throw EngineError(ErrorCode::Corrupt, "'" + m_path + "' is shorter than its structures " +
                                                  "claim (read at byte " + std::to_string(offset) +
                                                  ").");
    }
    std::copy_n(m_bytes->begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
}

void MemoryPageFile::write(uint64_t offset, Bytes data) {
    if (!m_writable) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    if (offset + data.size() > m_bytes->size()) m_bytes->resize(offset + data.size());
    std::copy(data.begin(), data.end(), m_bytes->begin() + static_cast<std::ptrdiff_t>(offset));
}

void MemoryPageFile::truncate(uint64_t size) {
    if (!m_writable) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    m_bytes->resize(size);
}

std::unique_ptr<PageFile> MemoryFileSystem::open(const std::string& path, OpenMode mode) {
    auto found = m_files.find(path);
    if (found == m_files.end()) {
        throw EngineError(ErrorCode::FileNotFound, "Could not find file '" + path + "'.");
    }
    return std::make_unique<MemoryPageFile>(found->second, mode == OpenMode::ReadWrite, path);
}

std::unique_ptr<PageFile> MemoryFileSystem::create(const std::string& path) {
    if (m_files.count(path) != 0) {
        throw EngineError(ErrorCode::IoError,
                          "Cannot create '" + path + "': the file already exists.");
    }
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    m_files[path] = bytes;
    return std::make_unique<MemoryPageFile>(bytes, true, path);
}

void MemoryFileSystem::rename(const std::string& from, const std::string& to) {
    auto found = m_files.find(from);
    if (found == m_files.end() || m_files.count(to) != 0) {
        throw EngineError(ErrorCode::IoError, "Cannot create '" + to + "'.");
    }
    m_files[to] = found->second;
    m_files.erase(found);
}

std::vector<uint8_t>& MemoryFileSystem::bytes(const std::string& path) {
    auto& file = m_files[path];
    if (!file) file = std::make_shared<std::vector<uint8_t>>();
    return *file;
}

}  // namespace engine::storage

#include "engine/storage/memory_page_file.h"

#include <algorithm>

namespace engine::storage {

void MemoryPageFile::read(uint64_t offset, MutableBytes out) {
    if (offset > m_bytes.size() || out.size() > m_bytes.size() - offset) {
        throw EngineError(ErrorCode::Corrupt, "'" + m_path + "' is shorter than its structures " +
                                                  "claim (read at byte " + std::to_string(offset) +
                                                  ").");
    }
    std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
}

void MemoryPageFile::write(uint64_t offset, Bytes data) {
    if (!m_writable) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    if (offset + data.size() > m_bytes.size()) {
        m_bytes.resize(offset + data.size());
    }
    std::copy(data.begin(), data.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void MemoryPageFile::truncate(uint64_t size) {
    if (!m_writable) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    m_bytes.resize(size);
}

}  // namespace engine::storage

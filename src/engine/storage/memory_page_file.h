// A database file held in memory: for tests, and for building a file before it is written out.
#pragma once

#include "engine/storage/page_file.h"

#include <vector>

namespace engine::storage {

class MemoryPageFile final : public PageFile {
public:
    explicit MemoryPageFile(std::vector<uint8_t> bytes = {}, bool writable = true,
                            std::string path = "(memory)")
        : m_path(std::move(path)), m_bytes(std::move(bytes)), m_writable(writable) {}

    const std::string& path() const override { return m_path; }
    bool writable() const override { return m_writable; }
    uint64_t size() const override { return m_bytes.size(); }
    void read(uint64_t offset, MutableBytes out) override;
    void write(uint64_t offset, Bytes data) override;
    void sync() override {}
    void truncate(uint64_t size) override;

    const std::vector<uint8_t>& bytes() const { return m_bytes; }

private:
    std::string m_path;
    std::vector<uint8_t> m_bytes;
    bool m_writable;
};

}  // namespace engine::storage

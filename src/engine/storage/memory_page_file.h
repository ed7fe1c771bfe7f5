// Database files held in memory: a page file over a shared byte buffer, and a file system of
// such files (tests, and building a file before it is written out).
#pragma once

#include "engine/storage/file_system.h"
#include "engine/storage/page_file.h"

#include <map>
#include <memory>
#include <vector>

namespace engine::storage {

class MemoryPageFile final : public PageFile {
public:
    explicit MemoryPageFile(std::vector<uint8_t> bytes = {}, bool writable = true,
                            std::string path = "(memory)")
        : MemoryPageFile(std::make_shared<std::vector<uint8_t>>(std::move(bytes)), writable,
                         std::move(path)) {}
    MemoryPageFile(std::shared_ptr<std::vector<uint8_t>> bytes, bool writable, std::string path,
                   FileInfo info = {})
        : m_path(std::move(path)), m_bytes(std::move(bytes)), m_writable(writable), m_info(info) {}

    const std::string& path() const override { return m_path; }
    bool writable() const override { return m_writable; }
    uint64_t size() const override { return m_bytes->size(); }
    FileInfo info() const override { return m_info; }
    void read(uint64_t offset, MutableBytes out) override;
    void write(uint64_t offset, Bytes data) override;
    void sync() override {}
    void truncate(uint64_t size) override;

    const std::vector<uint8_t>& bytes() const { return *m_bytes; }

private:
    std::string m_path;
    std::shared_ptr<std::vector<uint8_t>> m_bytes;
    bool m_writable;
    FileInfo m_info;
};

// Files by path, in memory, each with an inode number of its own. Opening a file twice shares
// its bytes; there are no links and no locks.
class MemoryFileSystem final : public FileSystem {
public:
    std::unique_ptr<PageFile> open(const std::string& path, OpenMode mode) override;
    std::unique_ptr<PageFile> create(const std::string& path, const FileInfo* like,
                                     Naming naming) override;
    std::unique_ptr<NewFile> createNew(const std::string& path) override;
    bool exists(const std::string& path) override { return m_files.count(path) != 0; }
    void remove(const std::string& path, Naming) override { m_files.erase(path); }
    void flushFolder(const std::string&) override {}
    std::optional<FileInfo> infoOf(const std::string& path) override {
        auto found = m_files.find(path);
        if (found == m_files.end()) return std::nullopt;
        return found->second.info;
    }
    std::string resolve(const std::string& path) override { return path; }
    std::vector<std::string> list(const std::string& folder) override;
    // Files in memory are reached by one name only.
    std::string journalRegistry() override { return {}; }

    // The bytes of a file (created empty when missing).
    std::vector<uint8_t>& bytes(const std::string& path);

private:
    struct Entry {
        std::shared_ptr<std::vector<uint8_t>> bytes;
        FileInfo info;
    };
    Entry& add(const std::string& path, const FileInfo* like);

    std::map<std::string, Entry> m_files;
    uint64_t m_lastInode = 0;
};

}  // namespace engine::storage

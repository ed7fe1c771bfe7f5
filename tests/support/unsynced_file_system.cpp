#include "support/unsynced_file_system.h"

#include "engine/storage/posix_page_file.h"

#include <filesystem>

namespace support {

namespace {

using engine::storage::Bytes;
using engine::storage::MutableBytes;
using engine::storage::PageFile;

class UnsyncedPageFile final : public PageFile {
public:
    explicit UnsyncedPageFile(std::unique_ptr<PageFile> inner) : m_inner(std::move(inner)) {}

    const std::string& path() const override { return m_inner->path(); }
    bool writable() const override { return m_inner->writable(); }
    uint64_t size() const override { return m_inner->size(); }
    void read(uint64_t offset, MutableBytes out) override { m_inner->read(offset, out); }
    void write(uint64_t offset, Bytes data) override { m_inner->write(offset, data); }
    void sync() override {}
    void truncate(uint64_t size) override { m_inner->truncate(size); }

private:
    std::unique_ptr<PageFile> m_inner;
};

class UnsyncedFileSystem final : public engine::storage::FileSystem {
public:
    std::unique_ptr<PageFile> open(const std::string& path,
                                   engine::storage::OpenMode mode) override {
        return std::make_unique<UnsyncedPageFile>(real().open(path, mode));
    }
    // Created, but not flushed into the folder (the real file system flushes the folder).
    std::unique_ptr<PageFile> create(const std::string& path) override {
        return std::make_unique<UnsyncedPageFile>(engine::storage::PosixPageFile::create(path));
    }
    bool exists(const std::string& path) override { return real().exists(path); }
    // Removed, but not flushed from the folder.
    void remove(const std::string& path) override {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    void rename(const std::string& from, const std::string& to) override {
        real().rename(from, to);
    }

private:
    static engine::storage::FileSystem& real() { return engine::storage::defaultFileSystem(); }
};

}  // namespace

engine::storage::FileSystem& unsyncedFileSystem() {
    static UnsyncedFileSystem fileSystem;
    return fileSystem;
}

}  // namespace support

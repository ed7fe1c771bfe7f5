#include "support/unsynced_file_system.h"

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
    // Identity and locks as the real file has them: the journal names its file by them, and
    // they keep readers and writers apart.
    engine::storage::FileInfo info() const override { return m_inner->info(); }
    void refresh() override { m_inner->refresh(); }
    bool lock(uint64_t offset, uint64_t length, engine::storage::LockMode mode) override {
        return m_inner->lock(offset, length, mode);
    }
    bool lockedElsewhere(uint64_t offset, uint64_t length) override {
        return m_inner->lockedElsewhere(offset, length);
    }

private:
    std::unique_ptr<PageFile> m_inner;
};

class UnsyncedFileSystem final : public engine::storage::FileSystem {
public:
    std::unique_ptr<PageFile> open(const std::string& path,
                                   engine::storage::OpenMode mode) override {
        return std::make_unique<UnsyncedPageFile>(real().open(path, mode));
    }
    // Made and removed without flushing the folder.
    std::unique_ptr<PageFile> create(const std::string& path, const engine::storage::FileInfo* like,
                                     engine::storage::Naming) override {
        return std::make_unique<UnsyncedPageFile>(
            real().create(path, like, engine::storage::Naming::Passing));
    }
    std::unique_ptr<engine::storage::NewFile> createNew(const std::string& path) override {
        return real().createNew(path);
    }
    bool exists(const std::string& path) override { return real().exists(path); }
    void remove(const std::string& path, engine::storage::Naming) override {
        real().remove(path, engine::storage::Naming::Passing);
    }
    void flushFolder(const std::string&) override {}
    std::optional<engine::storage::FileInfo> infoOf(const std::string& path) override {
        return real().infoOf(path);
    }
    std::string resolve(const std::string& path) override { return real().resolve(path); }
    std::string journalRegistry() override { return real().journalRegistry(); }
    std::vector<std::string> list(const std::string& folder) override {
        return real().list(folder);
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

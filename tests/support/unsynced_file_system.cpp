#include "support/unsynced_file_system.h"

#include <filesystem>

namespace support {

using engine::storage::PageFile;

namespace {

class UnsyncedPageFile final : public PageFile {
public:
    explicit UnsyncedPageFile(std::unique_ptr<PageFile> inner) : m_inner(std::move(inner)) {}

    const std::string& path() const override { return m_inner->path(); }
    bool writable() const override { return m_inner->writable(); }
    uint64_t size() const override { return m_inner->size(); }
    void read(uint64_t offset, engine::storage::MutableBytes out) override {
        m_inner->read(offset, out);
    }
    void write(uint64_t offset, engine::storage::Bytes data) override {
        m_inner->write(offset, data);
    }
    void sync() override {}
    void truncate(uint64_t size) override { m_inner->truncate(size); }

private:
    std::unique_ptr<PageFile> m_inner;
};

engine::storage::FileSystem& real() { return engine::storage::defaultFileSystem(); }

}  // namespace

std::unique_ptr<PageFile> UnsyncedFileSystem::open(const std::string& path,
                                                   engine::storage::OpenMode mode) {
    return std::make_unique<UnsyncedPageFile>(real().open(path, mode));
}

std::unique_ptr<PageFile> UnsyncedFileSystem::create(const std::string& path) {
    return std::make_unique<UnsyncedPageFile>(engine::storage::PosixPageFile::create(path));
}

bool UnsyncedFileSystem::exists(const std::string& path) { return real().exists(path); }

// The real file system flushes the folder after these and after create; here they only
// happen.
void UnsyncedFileSystem::remove(const std::string& path) { std::filesystem::remove(path); }

void UnsyncedFileSystem::rename(const std::string& from, const std::string& to) {
    if (std::filesystem::exists(to)) {
        throw engine::EngineError(engine::ErrorCode::IoError,
                                  "Cannot rename '" + from + "': '" + to + "' exists.");
    }
    std::filesystem::rename(from, to);
}

}  // namespace support

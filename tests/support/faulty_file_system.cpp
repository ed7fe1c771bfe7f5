#include "support/faulty_file_system.h"

#include <unistd.h>

namespace support {

using engine::storage::Bytes;
using engine::storage::MutableBytes;
using engine::storage::PageFile;

namespace {

// Exit status of a child stopped by the fault, so tests can tell it from a real failure.
constexpr int kStoppedByFault = 77;

class FaultyPageFile final : public PageFile {
public:
    FaultyPageFile(std::unique_ptr<PageFile> inner, FaultyFileSystem& owner)
        : m_inner(std::move(inner)), m_owner(owner) {}

    const std::string& path() const override { return m_inner->path(); }
    bool writable() const override { return m_inner->writable(); }
    uint64_t size() const override { return m_inner->size(); }
    void read(uint64_t offset, MutableBytes out) override { m_inner->read(offset, out); }
    void write(uint64_t offset, Bytes data) override {
        m_owner.step();
        m_inner->write(offset, data);
    }
    void sync() override {
        m_owner.step();
        m_inner->sync();
    }
    void truncate(uint64_t size) override {
        m_owner.step();
        m_inner->truncate(size);
    }

private:
    std::unique_ptr<PageFile> m_inner;
    FaultyFileSystem& m_owner;
};

engine::storage::FileSystem& real() { return engine::storage::defaultFileSystem(); }

}  // namespace

void FaultyFileSystem::step() {
    ++m_steps;
    if (m_steps != m_faultAt) return;
    if (m_fault == Fault::ExitProcess) ::_exit(kStoppedByFault);
    throw engine::EngineError(engine::ErrorCode::DiskFull, "Not enough space on disk.");
}

std::unique_ptr<PageFile> FaultyFileSystem::open(const std::string& path,
                                                 engine::storage::OpenMode mode) {
    return std::make_unique<FaultyPageFile>(real().open(path, mode), *this);
}

std::unique_ptr<PageFile> FaultyFileSystem::create(const std::string& path) {
    step();
    return std::make_unique<FaultyPageFile>(real().create(path), *this);
}

bool FaultyFileSystem::exists(const std::string& path) { return real().exists(path); }

void FaultyFileSystem::remove(const std::string& path) {
    step();
    real().remove(path);
}

void FaultyFileSystem::rename(const std::string& from, const std::string& to) {
    step();
    real().rename(from, to);
}

}  // namespace support

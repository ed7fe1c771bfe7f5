#include "support/faulty_file_system.h"

#include <unistd.h>

namespace support {

using engine::EngineError;
using engine::ErrorCode;
using engine::storage::Bytes;
using engine::storage::FileInfo;
using engine::storage::LockMode;
using engine::storage::MutableBytes;
using engine::storage::NewFile;
using engine::storage::PageFile;

namespace {

// Exit status of a child stopped by the fault, so tests can tell it from a real failure.
constexpr int kStoppedByFault = 77;

// Passes everything to the real file, counting writes, flushes and cuts as steps.
template <typename Base, typename Inner>
class Counted : public Base {
public:
    Counted(std::unique_ptr<Inner> inner, FaultyFileSystem& owner)
        : m_inner(std::move(inner)), m_owner(owner) {}

    const std::string& path() const override { return m_inner->path(); }
    bool writable() const override { return m_inner->writable(); }
    uint64_t size() const override { return m_inner->size(); }
    FileInfo info() const override { return m_inner->info(); }
    void read(uint64_t offset, MutableBytes out) override { m_inner->read(offset, out); }
    void write(uint64_t offset, Bytes data) override {
        m_owner.step(FaultyFileSystem::Action::Write, m_inner->path());
        m_inner->write(offset, data);
    }
    void sync() override {
        m_owner.step(FaultyFileSystem::Action::Flush, m_inner->path());
        m_inner->sync();
    }
    void truncate(uint64_t size) override {
        m_owner.step(FaultyFileSystem::Action::Cut, m_inner->path());
        m_inner->truncate(size);
    }
    void refresh() override { m_inner->refresh(); }
    bool lock(uint64_t offset, uint64_t length, LockMode mode) override {
        return m_inner->lock(offset, length, mode);
    }
    bool lockedElsewhere(uint64_t offset, uint64_t length) override {
        return m_inner->lockedElsewhere(offset, length);
    }

protected:
    std::unique_ptr<Inner> m_inner;
    FaultyFileSystem& m_owner;
};

using FaultyPageFile = Counted<PageFile, PageFile>;

class FaultyNewFile final : public Counted<NewFile, NewFile> {
public:
    using Counted::Counted;
    void publish() override {
        m_owner.step(FaultyFileSystem::Action::Publish, m_inner->path());
        m_inner->publish();
    }
};

engine::storage::FileSystem& real() { return engine::storage::defaultFileSystem(); }

[[noreturn]] void readOnly() {
    throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
}

}  // namespace

void FaultyFileSystem::step(Action action, const std::string& path) {
    m_log.push_back({action, path});
    const uint64_t number = m_log.size();
    if (number != m_faultAt && number < m_failFrom) return;
    if (m_fault == Fault::ExitProcess) ::_exit(kStoppedByFault);
    if (m_fault == Fault::IoError) {
        throw EngineError(ErrorCode::IoError, "Disk or network error: Input/output error.");
    }
    throw EngineError(ErrorCode::DiskFull, "Not enough space on disk.");
}

void FaultyFileSystem::refuseIfReadOnly() const {
    if (m_refuseWrites) readOnly();
}

std::unique_ptr<PageFile> FaultyFileSystem::open(const std::string& path,
                                                 engine::storage::OpenMode mode) {
    if (mode == engine::storage::OpenMode::ReadWrite) refuseIfReadOnly();
    return std::make_unique<FaultyPageFile>(real().open(path, mode), *this);
}

std::unique_ptr<PageFile> FaultyFileSystem::create(const std::string& path, const FileInfo* like,
                                                   engine::storage::Naming naming) {
    refuseIfReadOnly();
    step(Action::Create, path);
    auto file = real().create(path, like, engine::storage::Naming::Passing);
    if (naming == engine::storage::Naming::Durable) {
        // As the real file system does: a file whose folder could not be flushed goes again.
        try {
            flushFolder(path);
        } catch (const EngineError&) {
            file.reset();
            real().remove(path, engine::storage::Naming::Passing);
            throw;
        }
    }
    return std::make_unique<FaultyPageFile>(std::move(file), *this);
}

std::unique_ptr<NewFile> FaultyFileSystem::createNew(const std::string& path) {
    refuseIfReadOnly();
    step(Action::Create, path);
    return std::make_unique<FaultyNewFile>(real().createNew(path), *this);
}

bool FaultyFileSystem::exists(const std::string& path) { return real().exists(path); }

void FaultyFileSystem::remove(const std::string& path, engine::storage::Naming naming) {
    refuseIfReadOnly();
    step(Action::Remove, path);
    real().remove(path, engine::storage::Naming::Passing);
    if (naming == engine::storage::Naming::Durable) flushFolder(path);
}

void FaultyFileSystem::flushFolder(const std::string& path) {
    step(Action::FlushFolder, path);
    real().flushFolder(path);
}

std::optional<FileInfo> FaultyFileSystem::infoOf(const std::string& path) {
    return real().infoOf(path);
}

std::string FaultyFileSystem::resolve(const std::string& path) { return real().resolve(path); }

std::vector<std::string> FaultyFileSystem::list(const std::string& folder) {
    return real().list(folder);
}

std::string FaultyFileSystem::journalRegistry() { return real().journalRegistry(); }

}  // namespace support

#include "support/power_loss_file_system.h"

#include <algorithm>
#include <filesystem>

namespace support {

using engine::EngineError;
using engine::ErrorCode;
using engine::storage::Bytes;
using engine::storage::FileInfo;
using engine::storage::MutableBytes;
using engine::storage::Naming;
using engine::storage::NewFile;
using engine::storage::OpenMode;
using engine::storage::PageFile;

// A file: its bytes as the program sees them, and as the last sync left them on disk.
struct PowerLossFileSystem::Node {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> synced;
    FileInfo info;
};

namespace {

constexpr size_t kSector = 512;

std::string folderOf(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

[[noreturn]] void powerGone() {
    throw EngineError(ErrorCode::IoError, "Disk or network error: the power went.");
}

class PowerLossPageFile : public PageFile {
public:
    PowerLossPageFile(PowerLossFileSystem& owner, std::shared_ptr<PowerLossFileSystem::Node> node,
                      std::string path, bool writable)
        : m_owner(owner), m_node(std::move(node)), m_path(std::move(path)), m_writable(writable) {}

    const std::string& path() const override { return m_path; }
    bool writable() const override { return m_writable; }
    uint64_t size() const override { return m_node->bytes.size(); }
    FileInfo info() const override { return m_node->info; }
    void read(uint64_t offset, MutableBytes out) override {
        if (offset + out.size() > m_node->bytes.size()) {
            throw EngineError(ErrorCode::Corrupt, "'" + m_path + "' is shorter than its " +
                                                      "structures claim (read at byte " +
                                                      std::to_string(offset) + ").");
        }
        std::copy_n(m_node->bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(),
                    out.begin());
    }
    void write(uint64_t offset, Bytes data) override {
        m_owner.step();
        auto& bytes = m_node->bytes;
        if (offset + data.size() > bytes.size()) bytes.resize(offset + data.size());
        std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
        m_owner.wrote(m_node, offset, data.size());
    }
    void sync() override {
        m_owner.step();
        m_node->synced = m_node->bytes;
    }
    void truncate(uint64_t size) override {
        m_owner.step();
        m_node->bytes.resize(size);
    }

protected:
    PowerLossFileSystem& m_owner;
    std::shared_ptr<PowerLossFileSystem::Node> m_node;
    std::string m_path;
    bool m_writable;
};

class PowerLossNewFile final : public NewFile {
public:
    PowerLossNewFile(PowerLossFileSystem& owner, std::shared_ptr<PowerLossFileSystem::Node> node,
                     std::string path,
                     std::map<std::string, std::shared_ptr<PowerLossFileSystem::Node>>& names)
        : m_file(owner, node, path, true),
          m_owner(owner),
          m_node(std::move(node)),
          m_path(std::move(path)),
          m_names(names) {}

    const std::string& path() const override { return m_path; }
    bool writable() const override { return true; }
    uint64_t size() const override { return m_file.size(); }
    FileInfo info() const override { return m_file.info(); }
    void read(uint64_t offset, MutableBytes out) override { m_file.read(offset, out); }
    void write(uint64_t offset, Bytes data) override { m_file.write(offset, data); }
    void sync() override { m_file.sync(); }
    void truncate(uint64_t size) override { m_file.truncate(size); }
    // As the real file system publishes: the file's bytes flushed, then its name, then the
    // folder.
    void publish() override {
        m_file.sync();
        m_owner.step();
        if (m_names.count(m_path)) {
            throw EngineError(ErrorCode::IoError,
                              "Cannot create '" + m_path + "': the file already exists.");
        }
        m_names[m_path] = m_node;
        m_owner.flushFolder(m_path);
    }

private:
    PowerLossPageFile m_file;
    PowerLossFileSystem& m_owner;
    std::shared_ptr<PowerLossFileSystem::Node> m_node;
    std::string m_path;
    std::map<std::string, std::shared_ptr<PowerLossFileSystem::Node>>& m_names;
};

}  // namespace

PowerLossFileSystem::PowerLossFileSystem(const DiskImage& files) {
    for (const auto& [path, file] : files) m_lastInode = std::max(m_lastInode, file.inode);
    for (const auto& [path, file] : files) {
        auto node = std::make_shared<Node>();
        node->bytes = node->synced = file.bytes;
        node->info.device = 7;
        node->info.inode = file.inode != 0 ? file.inode : ++m_lastInode;
        m_names[path] = m_durable[path] = node;
    }
}

PowerLossFileSystem::~PowerLossFileSystem() = default;

void PowerLossFileSystem::step() {
    if (m_cut) powerGone();
    ++m_steps;
    if (m_steps == m_cutAt) {
        m_cut = survivors();
        powerGone();
    }
    if (m_steps == m_failAt) {
        throw EngineError(ErrorCode::IoError, "Disk or network error: Input/output error.");
    }
}

void PowerLossFileSystem::wrote(const std::shared_ptr<Node>& node, uint64_t offset, size_t length) {
    m_lastWriteNode = node;
    m_lastWriteOffset = offset;
    m_lastWriteLength = length;
}

DiskImage PowerLossFileSystem::survivors() {
    if (m_cut) return *m_cut;
    DiskImage image;
    const auto torn = m_lastWriteNode.lock();
    for (const auto& [path, node] : m_cutKeeps.laterNames ? m_names : m_durable) {
        std::vector<uint8_t> bytes = node->synced;
        // The last write reached the disk in part: its first half, to a whole sector (when it
        // was not made durable since).
        if (m_cutKeeps.tornWrite && node == torn && bytes != node->bytes && m_lastWriteLength > 0 &&
            m_lastWriteOffset < node->bytes.size()) {
            const size_t half = std::min(m_lastWriteLength,
                                         (m_lastWriteLength / 2 + kSector - 1) / kSector * kSector);
            const uint64_t end = m_lastWriteOffset + half;
            if (bytes.size() < end) bytes.resize(end);
            std::copy_n(node->bytes.begin() + static_cast<std::ptrdiff_t>(m_lastWriteOffset),
                        std::min<uint64_t>(half, node->bytes.size() - m_lastWriteOffset),
                        bytes.begin() + static_cast<std::ptrdiff_t>(m_lastWriteOffset));
        }
        image[path] = {std::move(bytes), node->info.inode};
    }
    return image;
}

DiskImage PowerLossFileSystem::current() const {
    DiskImage image;
    for (const auto& [path, node] : m_names) image[path] = {node->bytes, node->info.inode};
    return image;
}

std::unique_ptr<PageFile> PowerLossFileSystem::open(const std::string& path, OpenMode mode) {
    if (m_cut) powerGone();
    auto found = m_names.find(path);
    if (found == m_names.end()) {
        throw EngineError(ErrorCode::FileNotFound, "Could not find file '" + path + "'.");
    }
    return std::make_unique<PowerLossPageFile>(*this, found->second, path,
                                               mode == OpenMode::ReadWrite);
}

std::unique_ptr<PageFile> PowerLossFileSystem::create(const std::string& path, const FileInfo* like,
                                                      Naming naming) {
    step();
    if (m_names.count(path)) {
        throw EngineError(ErrorCode::IoError,
                          "Cannot create '" + path + "': the file already exists.");
    }
    auto node = std::make_shared<Node>();
    if (like) node->info = *like;
    node->info.device = 7;
    node->info.inode = ++m_lastInode;
    m_names[path] = node;
    if (naming == Naming::Durable) flushFolder(path);
    return std::make_unique<PowerLossPageFile>(*this, node, path, true);
}

std::unique_ptr<NewFile> PowerLossFileSystem::createNew(const std::string& path) {
    if (m_cut) powerGone();
    auto node = std::make_shared<Node>();
    node->info.device = 7;
    node->info.inode = ++m_lastInode;
    return std::make_unique<PowerLossNewFile>(*this, node, path, m_names);
}

bool PowerLossFileSystem::exists(const std::string& path) {
    if (m_cut) powerGone();
    return m_names.count(path) != 0;
}

void PowerLossFileSystem::remove(const std::string& path, Naming naming) {
    step();
    m_names.erase(path);
    if (naming == Naming::Durable) flushFolder(path);
}

void PowerLossFileSystem::flushFolder(const std::string& path) {
    step();
    const std::string folder = folderOf(path);
    std::erase_if(m_durable, [&](const auto& entry) { return folderOf(entry.first) == folder; });
    for (const auto& [name, node] : m_names) {
        if (folderOf(name) == folder) m_durable[name] = node;
    }
}

std::optional<FileInfo> PowerLossFileSystem::infoOf(const std::string& path) {
    if (m_cut) powerGone();
    auto found = m_names.find(path);
    if (found == m_names.end()) return std::nullopt;
    return found->second->info;
}

std::vector<std::string> PowerLossFileSystem::list(const std::string& folder) {
    if (m_cut) powerGone();
    std::vector<std::string> names;
    for (const auto& [name, node] : m_names) {
        if (folderOf(name) == folder) names.push_back(std::filesystem::path(name).filename());
    }
    return names;
}

}  // namespace support

// Files in memory that lose what a power failure loses. Every file keeps two states: what the
// program wrote (what it reads back), and what a sync made durable; every folder keeps its
// names both ways too, made durable by a flush of the folder. A cut, at a chosen step, stops the
// file system (every later step fails as a disk that went away) and keeps what was durable:
// each file's synced bytes, and the names of its folder's last flush. Two things a cut may also
// keep, as real file systems may: the last write that was not yet durable, in part (its first
// half, to a 512-byte sector: a torn write), and every name made or removed since the folder's
// last flush (a file system whose own journal carried them to disk before the data).
//
// The steps counted, as a power cut may fall between any two of them: a write, a sync, a cut of
// a file's length, a file made or removed, a folder flushed, a new file published. A step can
// also just fail, as a disk's I/O error, with the power still on.
#pragma once

#include "engine/storage/file_system.h"

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace support {

// A file that survives: its bytes, and its inode (which a journal names its database by).
struct SavedFile {
    std::vector<uint8_t> bytes;
    uint64_t inode = 0;  // 0: a new one
};
// The files that survive, by path.
using DiskImage = std::map<std::string, SavedFile>;

class PowerLossFileSystem final : public engine::storage::FileSystem {
public:
    // Starts with these files, all durable.
    explicit PowerLossFileSystem(const DiskImage& files = {});
    ~PowerLossFileSystem() override;

    // What a cut keeps beyond what was durable.
    struct Cut {
        bool tornWrite = false;   // the last write not yet durable, in part
        bool laterNames = false;  // names made or removed since the last flush of their folder
    };
    // The power goes at step (counting from 1): before that step happens.
    void cutAt(uint64_t step, Cut cut) {
        m_cutAt = step;
        m_cutKeeps = cut;
    }
    // Fails step (counting from 1) with an I/O error, as a disk does now and then: the power
    // stays on, and the program goes on (to undo its change, say).
    void failAt(uint64_t step) { m_failAt = step; }
    uint64_t steps() const { return m_steps; }
    bool cut() const { return m_cut.has_value(); }
    // What is on disk after the cut (or, without one, what a cut now would leave).
    DiskImage survivors();
    // The files as the program sees them now.
    DiskImage current() const;

    std::unique_ptr<engine::storage::PageFile> open(const std::string& path,
                                                    engine::storage::OpenMode mode) override;
    std::unique_ptr<engine::storage::PageFile> create(const std::string& path,
                                                      const engine::storage::FileInfo* like,
                                                      engine::storage::Naming naming) override;
    std::unique_ptr<engine::storage::NewFile> createNew(const std::string& path) override;
    bool exists(const std::string& path) override;
    void remove(const std::string& path, engine::storage::Naming naming) override;
    void flushFolder(const std::string& path) override;
    std::optional<engine::storage::FileInfo> infoOf(const std::string& path) override;
    std::string resolve(const std::string& path) override { return path; }
    std::vector<std::string> list(const std::string& folder) override;
    std::string journalRegistry() override { return "/registry"; }

    struct Node;
    // Counts a step, and cuts the power when its turn comes (then it and every later step
    // fail).
    void step();
    // A write not yet durable, to node at offset.
    void wrote(const std::shared_ptr<Node>& node, uint64_t offset, size_t length);

private:
    std::map<std::string, std::shared_ptr<Node>> m_names;    // as the program sees them
    std::map<std::string, std::shared_ptr<Node>> m_durable;  // as a folder flush left them
    uint64_t m_steps = 0;
    uint64_t m_cutAt = std::numeric_limits<uint64_t>::max();
    uint64_t m_failAt = 0;
    Cut m_cutKeeps;
    std::optional<DiskImage> m_cut;
    uint64_t m_lastInode = 100;
    // The last write not yet durable: its file, offset and length.
    std::weak_ptr<Node> m_lastWriteNode;
    uint64_t m_lastWriteOffset = 0;
    size_t m_lastWriteLength = 0;
};

}  // namespace support

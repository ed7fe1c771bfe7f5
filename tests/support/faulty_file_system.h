// A file system over the real one that counts every write and flush made through the files it
// opens (and every file it creates or removes), and at a chosen count either ends the process
// on the spot (as a crash or a kill would) or fails the write as a full disk or a failing disk
// does. It can also play a user who may read the files but not write them.
#pragma once

#include "engine/storage/file_system.h"

#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace support {

class FaultyFileSystem final : public engine::storage::FileSystem {
public:
    enum class Fault { ExitProcess, DiskFull, IoError };

    // faultAt: the number of the step (counting from 1) that fails; 0 = none.
    FaultyFileSystem(uint64_t faultAt, Fault fault) : m_faultAt(faultAt), m_fault(fault) {}

    // Also fails every step from step on, as a disk that went away.
    void failFrom(uint64_t step) { m_failFrom = step; }
    // Refuses, as for a user without write permission, to open a file for writing or to create
    // or remove one (ReadOnly).
    void refuseWrites() { m_refuseWrites = true; }

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
    std::string resolve(const std::string& path) override;
    std::vector<std::string> list(const std::string& folder) override;
    std::string journalRegistry() override;

    // What a step does, and to which file.
    // A durable creation or removal is two steps: the name, then the folder's flush.
    enum class Action { Write, Flush, Cut, Create, Remove, Publish, FlushFolder };
    struct Step {
        Action action;
        std::string path;
    };

    // Called before every step; applies the fault when its turn comes.
    void step(Action action, const std::string& path);
    uint64_t steps() const { return m_log.size(); }
    // Every step so far, in order (step n at n - 1).
    const std::vector<Step>& log() const { return m_log; }

private:
    void refuseIfReadOnly() const;

    uint64_t m_faultAt;
    Fault m_fault;
    uint64_t m_failFrom = std::numeric_limits<uint64_t>::max();
    bool m_refuseWrites = false;
    std::vector<Step> m_log;
};

}  // namespace support

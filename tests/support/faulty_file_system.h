// A file system over the real one that counts every write and flush made through the files it
// opens, and at a chosen count either ends the process on the spot (as a crash or a kill would)
// or fails the write as a full disk does.
#pragma once

#include "engine/storage/file_system.h"

#include <memory>

namespace support {

class FaultyFileSystem final : public engine::storage::FileSystem {
public:
    enum class Fault { ExitProcess, DiskFull };

    // faultAt: the number of the write or flush (counting from 1) that fails; 0 = none.
    FaultyFileSystem(uint64_t faultAt, Fault fault) : m_faultAt(faultAt), m_fault(fault) {}

    std::unique_ptr<engine::storage::PageFile> open(const std::string& path,
                                                    engine::storage::OpenMode mode) override;
    std::unique_ptr<engine::storage::PageFile> create(const std::string& path) override;
    bool exists(const std::string& path) override;
    void remove(const std::string& path) override;
    void rename(const std::string& from, const std::string& to) override;

    // Called before every write and flush; applies the fault when its turn comes.
    void step();
    uint64_t steps() const { return m_steps; }

private:
    uint64_t m_faultAt;
    Fault m_fault;
    uint64_t m_steps = 0;
};

}  // namespace support

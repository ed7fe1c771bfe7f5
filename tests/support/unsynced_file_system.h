// A file system over the real one whose files never flush. For tests that make thousands of
// small changes and look at what the changes leave, not at whether they survive a power cut:
// a flush costs milliseconds on a real disk.
#pragma once

#include "engine/storage/file_system.h"

namespace support {

class UnsyncedFileSystem final : public engine::storage::FileSystem {
public:
    std::unique_ptr<engine::storage::PageFile> open(const std::string& path,
                                                    engine::storage::OpenMode mode) override;
    std::unique_ptr<engine::storage::PageFile> create(const std::string& path) override;
    bool exists(const std::string& path) override;
    void remove(const std::string& path) override;
    void rename(const std::string& from, const std::string& to) override;
};

}  // namespace support

// Where database files and their journals come from. The engine opens every file through a
// FileSystem, so tests can substitute one that fails or stops the process at a chosen write.
#pragma once

#include "engine/storage/page_file.h"
#include "engine/storage/posix_page_file.h"

#include <memory>
#include <string>

namespace engine::storage {

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Throws FileNotFound, FileInUse, ReadOnly or IoError.
    virtual std::unique_ptr<PageFile> open(const std::string& path, OpenMode mode) = 0;
    // Creates a new, empty file; fails if one exists.
    virtual std::unique_ptr<PageFile> create(const std::string& path) = 0;
    virtual bool exists(const std::string& path) = 0;
    // Removes a file and makes the removal durable. A missing file is not an error.
    virtual void remove(const std::string& path) = 0;
    // Gives a file a new name, durably; fails (IoError) rather than replace a file there.
    virtual void rename(const std::string& from, const std::string& to) = 0;
};

// The operating system's files.
FileSystem& defaultFileSystem();

}  // namespace engine::storage

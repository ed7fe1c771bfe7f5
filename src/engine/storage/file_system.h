// Where database files, their journals and lock files come from. The engine opens every file
// through a FileSystem, so tests can substitute one that fails or stops the process at a chosen
// write.
#pragma once

#include "engine/storage/page_file.h"
#include "engine/storage/posix_page_file.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace engine::storage {

// A file being made. Until publish() it has no name of its own, so a failure or a crash before
// then leaves nothing under that name; closed unpublished, it is gone. Its errors name the path
// it is to get.
class NewFile : public PageFile {
public:
    // Gives the file its name, durably, never replacing anything there: IoError when something
    // is there already, and the file stays unnamed.
    virtual void publish() = 0;
};

// Whether a file's creation or removal must survive a crash (the folder is flushed after it),
// or may be lost in one (a lock file, which says something only while its maker lives).
enum class Naming { Durable, Passing };

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Opens a regular file; anything else is refused at once (UnrecognizedFormat).
    // Throws FileNotFound, ReadOnly, UnrecognizedFormat or IoError.
    virtual std::unique_ptr<PageFile> open(const std::string& path, OpenMode mode) = 0;
    // Creates a new, empty file; fails (IoError) if anything is there. With like, the new file
    // gets like's permission bits and owner before anything is written to it. Throws ReadOnly
    // when the folder cannot be written. Durable: the folder is flushed after it; when that
    // fails, the file is removed again.
    virtual std::unique_ptr<PageFile> create(const std::string& path, const FileInfo* like,
                                             Naming naming) = 0;
    // A file that is to be named path once it is whole (see NewFile).
    virtual std::unique_ptr<NewFile> createNew(const std::string& path) = 0;
    // Whether anything is at path; a symbolic link counts, even one to nothing.
    virtual bool exists(const std::string& path) = 0;
    // Removes a file. A missing file is not an error. Durable: the folder is flushed after the
    // file's name is gone (a failure then leaves the name gone, but perhaps not for good).
    virtual void remove(const std::string& path, Naming naming) = 0;
    // Flushes the folder that holds path, so that the creation, naming or removal of a file in
    // it survives a crash. Where the folder cannot be opened (it may be searched but not read),
    // the whole file system is flushed instead.
    virtual void flushFolder(const std::string& path) = 0;
    // What the system records about the file at path (a link itself, not what it names);
    // nullopt when nothing is there.
    virtual std::optional<FileInfo> infoOf(const std::string& path) = 0;
    // path with every symbolic link and "." or ".." resolved; path itself when that fails.
    virtual std::string resolve(const std::string& path) = 0;
    // The names in a folder; none when it cannot be read.
    virtual std::vector<std::string> list(const std::string& folder) = 0;
    // The folder of the user's journal registry (journal_registry.h), made when missing; empty
    // when there is none.
    virtual std::string journalRegistry() = 0;
};

// The operating system's files.
FileSystem& defaultFileSystem();

// The operating system's files, with some of the system's calls treated as refused, as some
// network and older file systems refuse them: for tests of the ways around them.
struct RefusedCalls {
    bool unnamedFiles = false;     // open(O_TMPFILE)
    bool hardLinks = false;        // link()
    bool renameNoReplace = false;  // renameat2(RENAME_NOREPLACE)
};
std::unique_ptr<FileSystem> posixFileSystem(RefusedCalls refused);

}  // namespace engine::storage

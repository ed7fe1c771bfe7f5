// Where each database's journal lies, kept per user: so that a change cut short is found and
// undone however the file is reached next (a hard link in another folder, a bind mount, the
// file moved to another folder after a crash), not only through the name it was changed by.
//
// The registry is a folder of the user's own (CORVANTA_JOURNAL_REGISTRY when set, else
// $XDG_STATE_HOME/corvanta/journals, else ~/.local/state/corvanta/journals) holding one small
// file per database a writer has open, named by the database's identity and saying where its
// writer keeps the journal:
//
//   file name                      contents
//   <device>-<inode>, in hex       the journal's path, every link resolved, then a line feed
//
// A writer enters its database when it opens it, durably, before any change, and removes the
// entry when it closes it, if the entry is still its own. An entry left by a writer that died
// names the journal it left, if any. The journal itself says which file it was made for
// (journal.h): an entry only says where to look.
#pragma once

#include "engine/storage/file_system.h"

#include <memory>
#include <optional>
#include <string>

namespace engine::storage {

class JournalRegistration {
public:
    // Enters that the writer of database keeps its journal at journalPath. nullptr, entering
    // nothing, when fileSystem keeps no registry or the entry cannot be made: the journal
    // beside the file still guards every change made through its name.
    static std::unique_ptr<JournalRegistration> enter(FileSystem& fileSystem,
                                                      const FileInfo& database,
                                                      const std::string& journalPath);
    // Removes the entry, when it still names this writer's journal, unless kept.
    ~JournalRegistration();
    // Leaves the entry for the next opener: a change the writer could not undo left its
    // journal.
    void keep() { m_kept = true; }

    JournalRegistration(const JournalRegistration&) = delete;
    JournalRegistration& operator=(const JournalRegistration&) = delete;

private:
    JournalRegistration(FileSystem& fileSystem, std::string entry, std::string journalPath)
        : m_fileSystem(fileSystem),
          m_entry(std::move(entry)),
          m_journalPath(std::move(journalPath)) {}

    FileSystem& m_fileSystem;
    std::string m_entry;
    std::string m_journalPath;
    bool m_kept = false;
};

// The journal path the registry names for database; nullopt when it names none.
std::optional<std::string> registeredJournal(FileSystem& fileSystem, const FileInfo& database);

}  // namespace engine::storage

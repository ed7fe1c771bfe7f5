// The databases this process's connections hold open: one engine database per file.
//
// The engine lets one writer at a time open a file, and it counts a second open of the same file
// in the same process as a second writer. The program's two connections may name one file (by
// two spellings of its path, even), and both must be able to write. So connections to one file,
// told apart by device and inode rather than by path, share one engine database: the first
// connection opens it, later ones check their password against the file and join, and the last
// one to let go closes it.
//
// A shared database is read-only when the file could not be written when it was opened (or was
// opened for reading only); a connection that wants to write then opens a writer if the file now
// allows it, and every connection to the file goes on with the writer. One database per file
// also means that no connection reads a catalogue another has changed behind its back.
#pragma once

#include "engine/database.h"

#include <memory>
#include <string>

namespace ado {

// One open file, shared by the connections to it.
class SharedDatabase {
public:
    explicit SharedDatabase(std::unique_ptr<engine::Database> database)
        : m_database(std::move(database)) {}

    engine::Database& database() { return *m_database; }
    // Replaces a read-only database by a writer of the same file.
    void replace(std::unique_ptr<engine::Database> writer) { m_database = std::move(writer); }

private:
    std::unique_ptr<engine::Database> m_database;
};

enum class Access { Read, WriteIfAble };

// The shared database of the file at path, opened with the password for access. Throws
// EngineError as engine::Database::open does: FileNotFound, InvalidPassword, FileInUse ...
std::shared_ptr<SharedDatabase> openShared(const std::string& path, const std::string& password,
                                           Access access);

// How many files the process's connections hold open now.
size_t sharedDatabaseCount();

}  // namespace ado

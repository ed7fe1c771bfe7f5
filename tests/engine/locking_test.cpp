// While a database is open for writing, no other writer gets it; readers still read; the lock
// goes with the writer's connection or process. Access's lock file is respected and kept as
// Access keeps it. Only regular files open.
#include "engine/database.h"
#include "support/engine_files.h"
#include "support/fixtures.h"
#include "support/process.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {
namespace {

using support::inChild;

constexpr int kRefusedInUse = 10;

int tryToWrite(const std::string& path) {
    try {
        Database::open(path, {.mode = AccessMode::ReadWrite});
        return 0;
    } catch (const EngineError& error) {
        if (error.code() == ErrorCode::FileInUse &&
            std::string(error.what()) == "Could not use '" + path + "'; file already in use.") {
            return kRefusedInUse;
        }
        return 3;
    }
}

TEST(Locking, aSecondWriterIsRefusedWhileReadersRead) {
    support::TempDir folder;
    std::string path = folder.copyFixture("jet4/testV2003.mdb");
    {
        auto writer = Database::open(path, {.mode = AccessMode::ReadWrite});
        EXPECT_EQ(inChild([&] { return tryToWrite(path); }), kRefusedInUse);
        EXPECT_EQ(inChild([&] {
                      auto reader = Database::open(path, {.mode = AccessMode::ReadOnly});
                      return reader->catalog().findTable("Table1") ? 0 : 4;
                  }),
                  0);
        EXPECT_EQ(tryToWrite(path), kRefusedInUse);  // also within one process
    }
    // Closed: the next writer gets it.
    EXPECT_EQ(inChild([&] { return tryToWrite(path); }), 0);
}

TEST(Locking, theLockDiesWithItsProcess) {
    support::TempDir folder;
    std::string path = folder.copyFixture("jet4/testV2003.mdb");
    EXPECT_EQ(inChild([&] {
                  auto writer = Database::open(path, {.mode = AccessMode::ReadWrite});
                  ::_exit(0);
                  return 0;
              }),
              0);
    EXPECT_EQ(tryToWrite(path), 0);
}

// What another process finds on the readers' lock byte: F_RDLCK while a reader holds it.
int sharedLockSeenFromOutside(const std::string& path) {
    return inChild([&] {
        int fd = ::open(path.c_str(), O_RDWR);
        struct flock probe = {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = 0x80000002;
        probe.l_len = 1;
        if (fd < 0 || ::fcntl(fd, F_OFD_GETLK, &probe) != 0) return 9;
        return probe.l_type == F_RDLCK ? 1 : 0;
    });
}

// A reader held open in the writer's own process steps aside for the commit instead of keeping
// it waiting until the lock wait gives up, and takes its lock back at its next read.
TEST(Locking, aReaderInTheWritersOwnProcessDoesNotHoldUpItsCommit) {
    support::TempDir folder;
    std::string path = (folder / "log.mdb").string();
    const std::vector<catalog::NewColumn> columns = {
        {.name = "Line", .type = format::ColumnType::Long}};
    auto rowsUpTo = [](int32_t last) {
        std::vector<std::vector<format::Value>> rows;
        for (int32_t line = 1; line <= last; ++line) rows.push_back({format::Value(line)});
        return rows;
    };
    Database::create(path, {})->createTable("Log", columns, support::RowFeed(rowsUpTo(1)));
    auto reader = Database::open(path, {.mode = AccessMode::ReadOnly});
    EXPECT_EQ(support::allRows(*reader, "Log"), rowsUpTo(1));
    EXPECT_EQ(sharedLockSeenFromOutside(path), 1);
    {
        // A writer that gives up at once where a lock is held: every commit finds no lock to
        // wait for.
        auto writer = Database::open(
            path, {.mode = AccessMode::ReadWrite, .lockTimeout = std::chrono::milliseconds(0)});
        for (int32_t line = 2; line <= 300; ++line) {
            ASSERT_NO_THROW(writer->insertRows("Log", support::RowFeed({{format::Value(line)}})))
                << "line " << line;
        }
    }
    EXPECT_EQ(sharedLockSeenFromOutside(path), 0);
    // Its next read takes the lock again and reads the pages as they are now.
    EXPECT_EQ(support::allRows(*reader, "Log"), rowsUpTo(300));
    EXPECT_EQ(sharedLockSeenFromOutside(path), 1);
}

// A child that holds a byte-range lock, as Access does, on a file until it is told to let go.
class LockHolder {
public:
    LockHolder(const std::filesystem::path& file, off_t offset) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(m_release) != 0) throw std::runtime_error("pipe");
        m_child = support::startChild([&] {
            ::close(m_release[1]);
            int fd = ::open(file.c_str(), O_RDWR | O_CREAT, 0644);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            lock.l_start = offset;
            lock.l_len = 1;
            if (fd < 0 || ::fcntl(fd, F_SETLK, &lock) != 0) return 1;
            char signal = 'x';
            if (::write(ready[1], &signal, 1) != 1) return 1;
            (void)::read(m_release[0], &signal, 1);
            return 0;
        });
        char signal = 0;
        ::close(ready[1]);
        if (::read(ready[0], &signal, 1) != 1) throw std::runtime_error("the holder did not lock");
        ::close(ready[0]);
    }
    ~LockHolder() {
        ::close(m_release[1]);
        support::waitForChild(m_child);
        ::close(m_release[0]);
    }

private:
    int m_release[2];
    pid_t m_child;
};

TEST(AccessLockFile, aLockFileHeldByAnotherProgramRefusesEveryWrite) {
    support::TempDir folder;
    auto path = folder.copyFixture("jet4/testV2003.mdb", "shared.mdb");
    auto lockFile = folder / "shared.ldb";
    std::ofstream(lockFile) << std::string("OTHERPC") + std::string(25, '\0') + "Admin" +
                                   std::string(27, '\0');
    const auto before = support::bytesOf(path);
    const auto lockFileBefore = support::bytesOf(lockFile);
    {
        // Access's user lock of slot 0.
        LockHolder access(lockFile, 0x10000001);
        EXPECT_EQ(tryToWrite(path.string()), kRefusedInUse);
        auto reader = Database::open(path);
        EXPECT_NE(reader->catalog().findTable("Table1"), nullptr);
    }
    EXPECT_EQ(support::bytesOf(path), before);
    EXPECT_EQ(support::bytesOf(lockFile), lockFileBefore);

    // Left by a program that has gone: stale, so writing goes on, and it stays where it was.
    {
        auto writer = Database::open(path, {.mode = AccessMode::ReadWrite});
        writer->dropTable("Table1");
    }
    EXPECT_EQ(support::bytesOf(lockFile), lockFileBefore);
}

TEST(AccessLockFile, locksOnTheDatabaseItselfRefuseWrites) {
    support::TempDir folder;
    auto path = folder.copyFixture("ace14/testV2010.accdb", "shared.accdb");
    const auto before = support::bytesOf(path);
    {
        LockHolder access(path, 0x10000001);
        EXPECT_EQ(tryToWrite(path.string()), kRefusedInUse);
    }
    EXPECT_EQ(support::bytesOf(path), before);
    EXPECT_FALSE(std::filesystem::exists(folder / "shared.laccdb"));
}

TEST(AccessLockFile, isKeptWhileWritingAndRemovedAfter) {
    support::TempDir folder;
    for (const std::string name : {"own.mdb", "own.accdb"}) {
        SCOPED_TRACE(name);
        auto path = folder.copyFixture(
            name.ends_with(".mdb") ? "jet4/testV2003.mdb" : "ace14/testV2010.accdb", name);
        auto lockFile = path;
        lockFile.replace_extension(name.ends_with(".mdb") ? ".ldb" : ".laccdb");
        {
            auto writer = Database::open(path, {.mode = AccessMode::ReadWrite});
            ASSERT_TRUE(std::filesystem::exists(lockFile));
            // Another program sees our user locks.
            EXPECT_EQ(inChild([&] {
                          int fd = ::open(lockFile.c_str(), O_RDWR);
                          struct flock lock {};
                          lock.l_type = F_WRLCK;
                          lock.l_whence = SEEK_SET;
                          lock.l_start = 0x10000001;
                          lock.l_len = 1;
                          return fd >= 0 && ::fcntl(fd, F_SETLK, &lock) != 0 ? 0 : 1;
                      }),
                      0);
            char host[256] = {};
            ::gethostname(host, sizeof host - 1);
            auto entry = support::bytesOf(lockFile);
            ASSERT_EQ(entry.size(), 64u);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.data())),
                      std::string(host).substr(0, 31));
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.data() + 32)), "Admin");
            std::vector<std::vector<format::Value>> rows = {{format::Value(int32_t{1})}};
            bool keptDuringTheChange = false;
            writer->createTable("Made", {{.name = "Id", .type = format::ColumnType::Long}},
                                [&, next = 0u](std::vector<format::Value>& row) mutable {
                                    keptDuringTheChange = std::filesystem::exists(lockFile);
                                    if (next == rows.size()) return false;
                                    row = rows[next++];
                                    return true;
                                });
            EXPECT_TRUE(keptDuringTheChange);
        }
        EXPECT_FALSE(std::filesystem::exists(lockFile));
        // A reader keeps none.
        auto reader = Database::open(path);
        EXPECT_FALSE(std::filesystem::exists(lockFile));
    }
}

// A lock file that another program put under the name while Corvanta wrote (its own, which
// it holds) stays when Corvanta lets go of the file: only the file Corvanta made goes.
TEST(AccessLockFile, anotherProgramsLockFileUnderTheNameIsLeftAlone) {
    support::TempDir folder;
    auto path = folder.copyFixture("jet4/testV2003.mdb", "shared.mdb");
    const auto lockFile = folder / "shared.ldb";
    {
        auto writer = Database::open(path, {.mode = AccessMode::ReadWrite});
        ASSERT_TRUE(std::filesystem::exists(lockFile));
        std::filesystem::remove(lockFile);
        std::ofstream(lockFile, std::ios::binary) << std::string(64, 'x');
    }
    ASSERT_TRUE(std::filesystem::exists(lockFile));
    EXPECT_EQ(support::bytesOf(lockFile), std::vector<uint8_t>(64, 'x'));
}

// Opening anything but a regular file fails at once: nothing blocks on a FIFO.
TEST(Opening, onlyRegularFilesOpen) {
    support::TempDir folder;
    auto fifo = folder / "pipe.mdb";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    for (const std::filesystem::path& path :
         {fifo, folder.path(), std::filesystem::path("/dev/zero")}) {
        SCOPED_TRACE(path.string());
        for (auto mode : {AccessMode::ReadOnly, AccessMode::ReadWrite}) {
            int status = inChild([&] {
                ::alarm(10);
                return support::errorOf([&] { Database::open(path, {.mode = mode}); }) ==
                               ErrorCode::UnrecognizedFormat
                           ? 0
                           : 1;
            });
            EXPECT_EQ(status, 0);
        }
    }
}

}  // namespace
}  // namespace engine

// corvanta-db sql: one statement on a file, a SELECT's rows as CSV like export, errors as
// "error NUMBER: TEXT"; and create making an Access 97 file.
#include "engine/database.h"
#include "support/fixtures.h"
#include "support/process.h"

#include "command_outcome.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(SqlCommand, runsOneStatementAndPrintsRowsAsExportDoes) {
    support::TempDir folder;
    const std::string path = folder.copyFixture("jet4/password-V2000_with-password.mdb").string();
    const std::string source = support::fixture("jet4/testV2003.mdb").string();

    CommandOutcome copy = runCommand({"sql", path, "-p", "password",
                        "SELECT  * INTO Copied FROM [MS Access;DATABASE=" + source + "].[Table1]"});
    EXPECT_EQ(copy.status, 0) << copy.err;
    EXPECT_EQ(copy.out, "");
    // The copy exports as its source does, through the tool and through mdbtools.
    const CommandOutcome exported = runCommand({"export", path, "-p", "password", "Copied"});
    EXPECT_EQ(exported.out, runCommand({"export", source, "Table1"}).out);
    EXPECT_EQ(support::runProcess({"mdb-export", path, "Copied"}).out,
              support::runProcess({"mdb-export", source, "Table1"}).out);
    // SELECT * prints what export prints.
    CommandOutcome selected = runCommand({"sql", path, "-p", "password", "SELECT * FROM Copied"});
    EXPECT_EQ(selected.status, 0);
    EXPECT_EQ(selected.out, exported.out);

    CommandOutcome some = runCommand({"sql", path, "-p", "password",
                        "SELECT C AS Count1, A FROM Copied WHERE A LIKE 'a*' AND C > 1"});
    EXPECT_EQ(some.out, "\"Count1\",\"A\"\n2,\"abcdefg\"\n") << some.err;

    CommandOutcome drop = runCommand({"sql", path, "-p", "password", "DROP TABLE `Copied`;"});
    EXPECT_EQ(drop.status, 0);
    CommandOutcome gone = runCommand({"sql", path, "-p", "password", "DROP TABLE `Copied`"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.err, "error 3376: Table 'Copied' does not exist.\n");
    EXPECT_EQ(runCommand({"check", path, "-p", "password"}).out, "ok\n");
}

TEST(SqlCommand, reportsErrorsAndUsage) {
    support::TempDir folder;
    const std::string path = folder.copyFixture("jet4/password-V2000_with-password.mdb").string();
    EXPECT_EQ(runCommand({"sql", path, "SELECT * FROM Table1"}).err,
              "error 3031: Not a valid password.\n");
    const CommandOutcome wrong =
        runCommand({"sql", path, "-p", "password", "SELECT * FROM Table1; DROP TABLE x"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.err.rfind("error 3142: Characters found after end of SQL statement.", 0), 0u)
        << wrong.err;
    EXPECT_EQ(runCommand({"sql", path}).status, 2);
    EXPECT_EQ(runCommand({"sql", path, "-p", "password", "SELECT * FROM Table1", "extra"}).status, 2);
    EXPECT_EQ(runCommand({"check", path, "-p", "password"}).out, "ok\n");
}

// A statement that only reads needs no more than reading, so it runs while another process
// writes the file; one that writes is refused then.
TEST(SqlCommand, aSelectRunsWhileAnotherProcessWrites) {
    support::TempDir folder;
    const std::string path = folder.copyFixture("jet4/testV2003.mdb").string();
    const std::string expected = runCommand({"export", path, "Table1"}).out;
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    pid_t writer = support::startChild([&] {
        ::close(release[1]);
        auto database = engine::Database::open(path, {.mode = engine::AccessMode::ReadWrite});
        char signal = 'x';
        if (::write(ready[1], &signal, 1) != 1) return 1;
        (void)::read(release[0], &signal, 1);
        return 0;
    });
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    const CommandOutcome selected = runCommand({"sql", path, "SELECT * FROM Table1"});
    EXPECT_EQ(selected.status, 0) << selected.err;
    EXPECT_EQ(selected.out, expected);
    EXPECT_EQ(runCommand({"sql", path, "DROP TABLE Table1"}).err,
              "error 3045: Could not use '" + path + "'; file already in use.\n");
    ::close(release[1]);
    EXPECT_EQ(support::waitForChild(writer), 0);
    for (int fd : {ready[0], ready[1], release[0]}) ::close(fd);
}

// A make-table whose source is the file the statement runs on, named by another spelling of its
// path, reads through the statement's own writer: no second reader of the file holds up the
// commit (which would wait for itself until the lock wait gives up, and fail), and the copy is
// whole.
TEST(SqlCommand, copiesATableIntoItsOwnFileWithoutWaitingForItself) {
    support::TempDir folder;
    const std::string path = folder.copyFixture("jet4/testV2003.mdb").string();
    const std::string otherSpelling = (folder.path() / "." / "testV2003.mdb").string();
    const CommandOutcome copy = runCommand(
        {"sql", path,
         "SELECT * INTO Again FROM [MS Access;DATABASE=" + otherSpelling + "].[Table1]"});
    ASSERT_EQ(copy.status, 0) << copy.err;
    EXPECT_EQ(runCommand({"export", path, "Again"}).out, runCommand({"export", path, "Table1"}).out);
    // The program's rename within the file: a copy under the new name, then a drop of the old.
    EXPECT_EQ(runCommand({"sql", path, "SELECT a1.* INTO `Renamed` FROM `Again` AS a1;"}).status, 0);
    EXPECT_EQ(runCommand({"sql", path, "DROP TABLE `Again`;"}).status, 0);
    EXPECT_EQ(runCommand({"export", path, "Renamed"}).out, runCommand({"export", path, "Table1"}).out);
    EXPECT_EQ(runCommand({"export", path, "Again"}).status, 1);
    EXPECT_EQ(runCommand({"check", path}).out, "ok\n");
}

// create --format jet3 makes an Access 97 file that takes a copy and passes check.
TEST(CreateCommand, makesAnAccess97FileThatTakesACopy) {
    support::TempDir folder;
    const std::string path = (folder / "old.mdb").string();
    const std::string source = support::fixture("jet4/testV2003.mdb").string();
    ASSERT_EQ(runCommand({"create", path, "--format", "jet3", "--encode"}).status, 0);
    EXPECT_EQ(support::runProcess({"mdb-ver", path}).out, "JET3\n");
    EXPECT_EQ(runCommand({"copy", source, "Table1", path}).status, 0);
    EXPECT_EQ(runCommand({"export", path, "Table1"}).out, runCommand({"export", source, "Table1"}).out);
    EXPECT_EQ(runCommand({"check", path}).out, "ok\n");
}

// create reports what it made: a whole file is a success, whatever stands where a lock file
// of the new file would go (here a folder), and the message of a failure names the user's file.
TEST(CreateCommand, succeedsWhenTheFileIsWhole) {
    support::TempDir folder;
    const std::string path = (folder / "new.mdb").string();
    std::filesystem::create_directory(folder / "new.ldb");
    const auto made = runCommand({"create", path});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(runCommand({"check", path}).out, "ok\n");
    const auto again = runCommand({"create", path});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find(path), std::string::npos) << again.err;
}

}  // namespace

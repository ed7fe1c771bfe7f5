// Long commands at a terminal tell how far they are on one line of standard error, rewritten in
// place and wiped at the end; a pipe, a small table and the rows themselves never see it.
#include "progress_line.h"

#include "engine/database.h"
#include "support/fixtures.h"
#include "support/process.h"
#include "support/pseudo_terminal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using tools::ProgressLine;

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(ProgressLine, showsOnATerminalForLongWorkOnlyAndWipesItselfAtTheEnd) {
    support::PseudoTerminal terminal;
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_NONBLOCK), 0);
    for (const auto& [descriptor, total] :
         {std::pair{terminal.terminal(), ProgressLine::kLongWork - 1},
          std::pair{pipeEnds[1], 10 * ProgressLine::kLongWork}}) {
        ProgressLine line(descriptor, "copying 'T'", total);
        EXPECT_FALSE(line.shown()) << descriptor;
        for (uint64_t done = 1; done <= total; done += 997) line.update(done);
    }
    char byte = 0;
    EXPECT_EQ(::read(pipeEnds[0], &byte, 1), -1) << "nothing reached the pipe";
    EXPECT_EQ(terminal.readShown(), "");
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);

    {
        ProgressLine line(terminal.terminal(), "copying 'T'", 200000);
        ASSERT_TRUE(line.shown());
        for (uint64_t done = 1; done <= 200000; ++done) line.update(done);
    }
    const std::string shown = terminal.readShown();
    EXPECT_EQ(occurrences(shown, "copying 'T': "), 101u) << "once for each percent, 0 to 100";
    EXPECT_NE(shown.find("\rcopying 'T': 50% (100000 of 200000 rows)\r"), std::string::npos);
    const std::string last = "copying 'T': 100% (200000 of 200000 rows)";
    EXPECT_TRUE(shown.ends_with("\r" + last + "\r\r" + std::string(last.size(), ' ') + "\r"))
        << "wiped at the end";

    // A count that fell behind the rows stops short of 100% until the work ends.
    {
        ProgressLine line(terminal.terminal(), "exporting 'T'", ProgressLine::kLongWork);
        line.update(ProgressLine::kLongWork + 5);
    }
    EXPECT_NE(terminal.readShown().find("exporting 'T': 99% (100005 of 100000 rows)"),
              std::string::npos);

    // A file's bytes: long from kLongBytes, shown in whole megabytes.
    {
        ProgressLine shortFile(terminal.terminal(), "importing into 'T'",
                               ProgressLine::kLongBytes - 1, ProgressLine::Unit::Bytes);
        EXPECT_FALSE(shortFile.shown());
        ProgressLine line(terminal.terminal(), "importing into 'T'", 80500000,
                          ProgressLine::Unit::Bytes);
        ASSERT_TRUE(line.shown());
        line.update(40250000);
    }
    EXPECT_NE(terminal.readShown().find("importing into 'T': 50% (40 of 81 MB)"),
              std::string::npos);
}

// The tool shows the line for export (to a file) and copy when standard error is a terminal,
// and keeps it out of the rows and off a pipe.
TEST(ProgressLine, exportAndCopyShowItOnATerminalAndNowhereElse) {
    support::TempDir folder;
    const auto source = folder / "big.mdb";
    const uint64_t rows = ProgressLine::kLongWork;
    {
        auto database = engine::Database::create(source, {});
        uint64_t next = 0;
        database->createTable("Big", {{.name = "Id", .type = engine::format::ColumnType::Long}},
                              [&](std::vector<engine::format::Value>& row) {
                                  if (next == rows) return false;
                                  row = {engine::format::Value(static_cast<int32_t>(++next))};
                                  return true;
                              });
        engine::Database::create(folder / "copy.mdb", {});
    }
    const std::string tool = (support::buildDir() / "corvanta-db").string();
    const std::vector<std::string> exportBig = {tool, "export", source.string(), "Big"};
    const std::vector<std::string> copyBig = {tool, "copy", source.string(), "Big",
                                              (folder / "copy.mdb").string()};

    support::PseudoTerminal terminal;
    support::RunningProcess onTerminal(exportBig, {.terminal = terminal.terminal()});
    const auto exported = onTerminal.finish();
    ASSERT_EQ(exported.exitCode, 0);
    EXPECT_EQ(occurrences(exported.out, "\n"), rows + 1) << "the header and every row";
    EXPECT_EQ(exported.out.find('%'), std::string::npos) << "no progress among the rows";
    EXPECT_NE(terminal.readUntil("100%").find("exporting 'Big': 100% (100000 of 100000 rows)"),
              std::string::npos);

    support::RunningProcess copying(copyBig, {.terminal = terminal.terminal()});
    ASSERT_EQ(copying.finish().exitCode, 0);
    EXPECT_NE(terminal.readUntil("100%").find("copying 'Big': 100% (100000 of 100000 rows)"),
              std::string::npos);

    const auto piped = support::runProcess(exportBig);
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_EQ(piped.err, "");
    EXPECT_EQ(piped.out, exported.out);
}

}  // namespace

// corvanta-db copy: a table from one file into another, or into the same file under a new name.
#include "support/fixtures.h"
#include "support/process.h"

#include "commands.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

int run(const std::vector<std::string>& words, std::string* err = nullptr) {
    std::ostringstream out;
    std::ostringstream errors;
    const int status = tools::runCommandLine(words, out, errors);
    if (err) *err = errors.str();
    return status;
}

TEST(CopyCommand, copiesWithinOneFileWhateverThePathsSpelling) {
    support::TempDir folder;
    const std::string path = folder.copyFixture("jet4/testV2003.mdb").string();
    const std::string otherSpelling = (folder.path() / "." / "testV2003.mdb").string();
    std::string err;
    ASSERT_EQ(run({"copy", path, "Table1", otherSpelling, "Again"}, &err), 0) << err;
    EXPECT_EQ(support::runProcess({"mdb-export", path, "Again"}).out,
              support::runProcess({"mdb-export", path, "Table1"}).out);
    std::ostringstream check;
    EXPECT_EQ(tools::runCommandLine({"check", path}, check, check), 0) << check.str();
}

}  // namespace

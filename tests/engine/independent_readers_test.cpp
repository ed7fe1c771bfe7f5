#include "engine/database.h"
#include "support/fixtures.h"
#include "support/mdb_reader.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace engine {
namespace {

std::string passwordOf(const std::string& fixture) {
    return fixture.find("with-password") != std::string::npos ||
                   fixture.find("encrypted") != std::string::npos
               ? "password"
               : "";
}

// The engine and mdb-reader, which share no code, list the same user tables in every fixture:
// the check that the second reader is set up and that the catalogue reads alike.
TEST(IndependentReaders, mdbReaderListsTheEnginesTablesInEveryFixture) {
    std::vector<support::MdbReaderRequest> requests;
    for (const auto& name : support::allFixtures()) {
        requests.push_back({.path = support::fixture(name), .password = passwordOf(name)});
    }
    auto answers = support::mdbReader(requests);
    for (size_t index = 0; index < requests.size(); ++index) {
        const auto& listed = answers[index];
        const auto& request = requests[index];
        ASSERT_TRUE(listed.ok) << request.path << ": " << listed.failure;
        std::set<std::string> theirs(listed.lines.begin(), listed.lines.end());
        std::set<std::string> ours;
        auto database = Database::open(request.path, {.password = request.password});
        for (const auto& object : database->catalog().objects()) {
            if (object.kind == catalog::ObjectKind::Table) ours.insert(object.name);
        }
        EXPECT_EQ(ours, theirs) << request.path;
    }
}

TEST(IndependentReaders, mdbReaderRowsComeSortedAfterTheirColumnNames) {
    auto rows = support::mdbReaderRows(support::fixture("jet4/testV2003.mdb"), "Table1");
    ASSERT_TRUE(rows.ok) << rows.failure;
    ASSERT_GE(rows.lines.size(), 3u);
    EXPECT_EQ(rows.lines[0], R"(["A","B","C","D","E","F","G","H","I"])");
    EXPECT_TRUE(std::is_sorted(rows.lines.begin() + 1, rows.lines.end()));
    auto answers = support::mdbReader(
        {{.path = support::fixture("jet4/testV2003.mdb"), .table = "NoSuchTable"},
         {.path = support::fixture("jet4/testV2003.mdb")}});
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_FALSE(answers[0].ok);
    EXPECT_NE(answers[0].failure.find("NoSuchTable"), std::string::npos) << answers[0].failure;
    EXPECT_TRUE(answers[1].ok) << "a failed request stops the ones after it";
}

}  // namespace
}  // namespace engine

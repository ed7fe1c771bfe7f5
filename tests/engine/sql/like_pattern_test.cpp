#include "engine/sql/like_pattern.h"

#include <chrono>
#include <gtest/gtest.h>

namespace engine::sql {
namespace {

struct Match {
    std::string pattern;
    std::string text;
    bool matches;
};

TEST(LikePattern, matchesTheEnginesWildcards) {
    const std::vector<Match> cases = {
        {"abc", "abc", true},
        {"abc", "ABC", true},
        {"ABC", "abd", false},
        {"a*", "a", true},
        {"a*", "abcdef", true},
        {"a*", "ba", false},
        {"*c", "abc", true},
        {"*c", "abcd", false},
        {"*b*", "abc", true},
        {"a**c", "ac", true},
        {"*", "", true},
        {"", "", true},
        {"", "a", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"?", "é", true},
        {"??", "日本", true},
        {"a#", "a7", true},
        {"a#", "ab", false},
        {"[abc]x", "bx", true},
        {"[abc]x", "dx", false},
        {"[!abc]x", "dx", true},
        {"[!abc]x", "ax", false},
        {"[a-f]", "D", true},
        {"[a-f]", "g", false},
        {"[*]", "*", true},
        {"[*]", "a", false},
        {"a[?]", "a?", true},
        {"[#]", "#", true},
        {"[[]", "[", true},
        {"[]]", "]", true},
        {"ÖL*", "öltank", true},
        {"Ω*", "ωμέγα", true},
        {"*.mdb", "a.b.mdb", true},
        {"*a*a*b", "aaaaab", true},
        {"*a*a*b", "aaaaaa", false},
        {"%", "%", true},
        {"_", "x", false},
    };
    for (const auto& test : cases) {
        const auto pattern = LikePattern::compile(test.pattern);
        ASSERT_TRUE(pattern.has_value()) << test.pattern;
        EXPECT_EQ(pattern->matches(test.text), test.matches)
            << "'" << test.text << "' LIKE '" << test.pattern << "'";
    }
}

TEST(LikePattern, refusesBrokenSetsAndStaysFastOnHostilePatterns) {
    for (const char* invalid : {"[abc", "a[", "[!", "[z-a]", "x[b-a]y"}) {
        EXPECT_FALSE(LikePattern::compile(invalid).has_value()) << invalid;
    }
    const auto pattern = LikePattern::compile(std::string(2000, '*') + "a*a*a*a*a*a*a*a*b");
    ASSERT_TRUE(pattern.has_value());
    const std::string text(20000, 'a');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(pattern->matches(text));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace engine::sql

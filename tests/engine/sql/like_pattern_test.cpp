#include "engine/sql/like_pattern.h"

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
        size_t steps = 0;
        EXPECT_EQ(pattern->matches(test.text, &steps), test.matches)
            << "'" << test.text << "' LIKE '" << test.pattern << "'";
        EXPECT_LE(steps, (test.text.size() + 1) * (test.pattern.size() + 1)) << test.pattern;
    }
}

TEST(LikePattern, refusesBrokenSetsAndStaysFastOnHostilePatterns) {
    for (const char* invalid : {"[abc", "a[", "[!", "[z-a]", "x[b-a]y"}) {
        EXPECT_FALSE(LikePattern::compile(invalid).has_value()) << invalid;
    }
    const auto pattern = LikePattern::compile(std::string(2000, '*') + "a*a*a*a*a*a*a*a*b");
    ASSERT_TRUE(pattern.has_value());
    // A matcher that tried every way to share the text among the stars would take steps
    // beyond counting; this one takes about one per character.
    for (size_t length : {2000u, 20000u}) {
        const std::string text(length, 'a');
        size_t steps = 0;
        EXPECT_FALSE(pattern->matches(text, &steps));
        EXPECT_LE(steps, 4 * length) << length;
    }
}

}  // namespace
}  // namespace engine::sql

#include "engine/storage/unicode.h"

#include <gtest/gtest.h>

namespace engine::storage {
namespace {

// The strict decoder takes only well-formed sequences; the lenient one reads the same bytes as
// one replacement character each and never stops.
TEST(Unicode, decodesOnlyWellFormedUtf8) {
    struct Case {
        std::string_view bytes;
        char32_t codePoint;
    };
    for (const Case& good :
         {Case{"A", U'A'}, Case{"\xc3\xa9", U'é'}, Case{"\xe2\x98\x95", U'\u2615'},
          Case{"\xf0\x9f\x98\x80", U'\U0001F600'}}) {
        char32_t codePoint = 0;
        EXPECT_EQ(decodeUtf8(good.bytes, 0, codePoint), good.bytes.size());
        EXPECT_EQ(codePoint, good.codePoint);
        size_t index = 0;
        EXPECT_EQ(nextCodePoint(good.bytes, index), good.codePoint);
        EXPECT_EQ(index, good.bytes.size());
    }
    for (std::string_view bad :
         {"\x80", "\xc3", "\xc3(", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80",
          "\xf8\x88\x80\x80\x80", "\xf0\x9f\x98"}) {
        char32_t codePoint = 0;
        EXPECT_EQ(decodeUtf8(bad, 0, codePoint), 0u) << testing::PrintToString(bad);
        const std::string text = std::string(bad) + "z";
        std::string decoded;
        for (size_t index = 0; index < text.size();)
            appendUtf8(decoded, nextCodePoint(text, index));
        EXPECT_EQ(decoded.back(), 'z') << testing::PrintToString(bad);
        EXPECT_EQ(decoded.rfind("\xef\xbf\xbd", 0), 0u) << testing::PrintToString(bad);
    }
}

// Every code point survives UTF-8 to UTF-16 and back, the surrogate pairs included; a lone
// surrogate becomes U+FFFD.
TEST(Unicode, convertsBetweenUtf8AndUtf16) {
    std::string every;
    for (char32_t codePoint = 1; codePoint <= 0x10FFFF; codePoint += 0x1F) {
        if (!isSurrogate(codePoint)) appendUtf8(every, codePoint);
    }
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(every)), every);
    EXPECT_EQ(utf8ToUtf16("\xf0\x9f\x98\x80"), std::u16string(u"\xD83D\xDE00"));
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD83D)) + u"a"),
              "\xef\xbf\xbd"
              "a");
}

}  // namespace
}  // namespace engine::storage

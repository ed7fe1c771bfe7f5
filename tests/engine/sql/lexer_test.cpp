#include "engine/sql/lexer.h"

#include <gtest/gtest.h>
#include <vector>

namespace engine::sql {
namespace {

std::vector<Token> tokensOf(std::string_view text) {
    Lexer lexer(text);
    std::vector<Token> tokens;
    do {
        tokens.push_back(lexer.next());
    } while (tokens.back().kind != TokenKind::End && tokens.size() < 1000);
    return tokens;
}

std::vector<TokenKind> kindsOf(std::string_view text) {
    std::vector<TokenKind> kinds;
    for (const Token& token : tokensOf(text)) kinds.push_back(token.kind);
    return kinds;
}

std::vector<std::string> valuesOf(std::string_view text) {
    std::vector<std::string> values;
    for (const Token& token : tokensOf(text)) {
        if (token.kind != TokenKind::End) values.push_back(token.value);
    }
    return values;
}

Token firstInvalid(std::string_view text) {
    for (const Token& token : tokensOf(text)) {
        if (token.kind == TokenKind::Invalid) return token;
    }
    return Token{};
}

TEST(Lexer, splitsPunctuationAndOperators) {
    using K = TokenKind;
    EXPECT_EQ(kindsOf("*,.();=<><<=>>=+-"),
              (std::vector<K>{K::Star, K::Comma, K::Dot, K::LeftParen, K::RightParen, K::Semicolon,
                              K::Equal, K::NotEqual, K::Less, K::LessOrEqual, K::Greater,
                              K::GreaterOrEqual, K::Plus, K::Minus, K::End}));
    EXPECT_EQ(kindsOf("a1.*"), (std::vector<K>{K::Word, K::Dot, K::Star, K::End}));
    EXPECT_EQ(kindsOf(" \t\r\n"), (std::vector<K>{K::End}));
}

TEST(Lexer, keepsOffsetsAndLengths) {
    const auto tokens = tokensOf("SELECT  [a b] FROM");
    ASSERT_EQ(tokens.size(), 4u);
    EXPECT_EQ(tokens[1].offset, 8u);
    EXPECT_EQ(tokens[1].length, 5u);
    EXPECT_EQ(tokens[2].offset, 14u);
    EXPECT_EQ(tokens[3].offset, 18u);
    EXPECT_EQ(tokens[3].kind, TokenKind::End);
}

TEST(Lexer, readsWordsOfAnyScriptButNotBlanksOrSymbols) {
    EXPECT_EQ(valuesOf("Müller _x1 顧客 Ж2ж"),
              (std::vector<std::string>{"Müller", "_x1", "顧客", "Ж2ж"}));
    // A no-break space, a multiplication sign and an ideographic space end a word.
    EXPECT_EQ(tokensOf("a\xc2\xa0"
                       "b")[1]
                  .problem,
              LexProblem::UnexpectedCharacter);
    EXPECT_EQ(tokensOf("a\xc3\x97"
                       "b")[1]
                  .problem,
              LexProblem::UnexpectedCharacter);
    EXPECT_EQ(tokensOf("a\xe3\x80\x80"
                       "b")[1]
                  .length,
              3u);
}

TEST(Lexer, readsQuotedNamesAndStrings) {
    EXPECT_EQ(valuesOf("[a b] `c d` 'it''s' \"say \"\"x\"\"\" ''"),
              (std::vector<std::string>{"a b", "c d", "it's", "say \"x\"", ""}));
    // Brackets and backquotes have no escape: "]]" ends the name and leaves a stray "]".
    const auto tokens = tokensOf("[a]]");
    EXPECT_EQ(tokens[0].value, "a");
    EXPECT_EQ(tokens[1].problem, LexProblem::UnexpectedCharacter);
    // Line breaks and tabs may stand in strings; the parser refuses them in names.
    EXPECT_EQ(valuesOf("'a\tb\r\n'"), (std::vector<std::string>{"a\tb\r\n"}));
    EXPECT_EQ(valuesOf("[a\tb]"), (std::vector<std::string>{"a\tb"}));
}

TEST(Lexer, readsNumbers) {
    EXPECT_EQ(valuesOf("1 2.5 .5 5. 1e3 1.5E-3 2E+2"),
              (std::vector<std::string>{"1", "2.5", ".5", "5.", "1e3", "1.5E-3", "2E+2"}));
    EXPECT_EQ(firstInvalid("2010Sales").problem, LexProblem::DigitStartsName);
    EXPECT_EQ(firstInvalid("1e").problem, LexProblem::DigitStartsName);
    EXPECT_EQ(kindsOf("1-2"), (std::vector<TokenKind>{TokenKind::Number, TokenKind::Minus,
                                                      TokenKind::Number, TokenKind::End}));
}

TEST(Lexer, readsDatesAndGuids) {
    EXPECT_EQ(
        valuesOf("#2000-01-02 10:00# {guid {0a1B2c3D-0000-1111-2222-333344445555}}"),
        (std::vector<std::string>{"2000-01-02 10:00", "0a1B2c3D-0000-1111-2222-333344445555"}));
    EXPECT_EQ(tokensOf("{ GUID{00000000-0000-0000-0000-000000000000} }")[0].kind, TokenKind::Guid);
    for (const char* malformed : {"{guid {0000}}", "{guid 00000000-0000-0000-0000-000000000000}",
                                  "{gui {00000000-0000-0000-0000-000000000000}}",
                                  "{guid {00000000-0000-0000-0000-00000000000g}}",
                                  "{guid {00000000-0000-0000-0000-000000000000}", "{"}) {
        EXPECT_EQ(firstInvalid(malformed).problem, LexProblem::MalformedGuid) << malformed;
    }
    EXPECT_EQ(firstInvalid("#2000-01-02").problem, LexProblem::UnclosedDate);
    EXPECT_EQ(firstInvalid("#2000\n01# ").problem, LexProblem::UnclosedDate);
}

TEST(Lexer, reportsWhatItCannotRead) {
    struct Case {
        std::string text;
        LexProblem problem;
        size_t offset;
    };
    const Case cases[] = {
        {"a [b", LexProblem::UnclosedBracket, 2},
        {"a `b", LexProblem::UnclosedBackquote, 2},
        {"a 'b''", LexProblem::UnclosedString, 2},
        {"a \"b", LexProblem::UnclosedString, 2},
        {"a \x01", LexProblem::ControlCharacter, 2},
        {std::string("a \0", 3), LexProblem::ControlCharacter, 2},
        {"a \x7f", LexProblem::ControlCharacter, 2},
        {"'a\x1b'", LexProblem::ControlCharacter, 2},
        {std::string("[a\0]", 4), LexProblem::ControlCharacter, 2},
        {"a \xff", LexProblem::NotUtf8, 2},
        {"'a\xc3'", LexProblem::NotUtf8, 2},
        {"a @", LexProblem::UnexpectedCharacter, 2},
        {"a !b", LexProblem::UnexpectedCharacter, 2},
    };
    for (const Case& test : cases) {
        const Token token = firstInvalid(test.text);
        EXPECT_EQ(token.kind, TokenKind::Invalid) << test.text;
        EXPECT_EQ(token.problem, test.problem) << test.text;
        EXPECT_EQ(token.offset, test.offset) << test.text;
    }
    // Nothing after the first unreadable token is read.
    EXPECT_EQ(kindsOf("a @ b c").size(), 3u);
}

TEST(Lexer, comparesWordsWithoutCase) {
    EXPECT_TRUE(sameWord("select", "SELECT"));
    EXPECT_TRUE(sameWord("SeLeCt", "SELECT"));
    EXPECT_FALSE(sameWord("selec", "SELECT"));
    EXPECT_FALSE(sameWord("selectx", "SELECT"));
    EXPECT_FALSE(sameWord("s\xc3\xa9lect", "SELECT"));
}

}  // namespace
}  // namespace engine::sql

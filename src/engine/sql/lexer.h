// Splits a statement into tokens, one at a time. The lexer never throws: text it cannot read
// becomes an Invalid token saying what is wrong, and the parser reports it in the words of
// the clause it was reading.
//
// The statement is UTF-8. Blanks are space, tab, carriage return and line feed; any other
// control character (U+0000 to U+001F, U+007F) is refused wherever it stands, also inside
// quotes, because no name may hold one and a literal that did would be invisible in a
// message.
//
//   bare word       a letter or "_", then letters, digits and "_"; letters are ASCII letters
//                   and the non-ASCII code points that are not blanks, punctuation or symbols
//                   of the common blocks
//   [name]          anything up to the first "]"; there is no escape for "]"
//   `name`          anything up to the next backquote
//   'text' "text"   a doubled quote stands for one quote
//   123 1.5 .5 2E-3 digits run straight into a letter ("2010Sales") are refused: bracket such
//                   a name
//   #...#           a date, read by the parser
//   {guid {...}}    a GUID of 8-4-4-4-12 hexadecimal digits
//   * , . ( ) ; = <> < <= > >= + -
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace engine::sql {

enum class TokenKind {
    Word,
    BracketName,
    BackquoteName,
    String,
    Number,
    Date,
    Guid,
    Star,
    Comma,
    Dot,
    LeftParen,
    RightParen,
    Semicolon,
    Equal,
    NotEqual,
    Less,
    LessOrEqual,
    Greater,
    GreaterOrEqual,
    Plus,
    Minus,
    End,
    Invalid,
};

// What is wrong with an Invalid token.
enum class LexProblem {
    None,
    UnclosedBracket,
    UnclosedBackquote,
    UnclosedString,
    UnclosedDate,
    MalformedGuid,
    ControlCharacter,
    NotUtf8,
    UnexpectedCharacter,
    DigitStartsName,
};

struct Token {
    TokenKind kind = TokenKind::End;
    size_t offset = 0;  // of the token's first byte in the statement
    size_t length = 0;  // bytes, quotes included; for Invalid the offending bytes
    // Word and Number: the text; names and strings: the text between the quotes, doubled
    // quotes undone; Date: the text between the # signs; Guid: the 36 characters inside.
    std::string value;
    LexProblem problem = LexProblem::None;
};

class Lexer {
public:
    explicit Lexer(std::string_view text) : m_text(text) {}
    // The next token; End at the end of the text, and again on every later call.
    Token next();

private:
    Token make(TokenKind kind, size_t start, std::string value = {});
    Token invalid(LexProblem problem, size_t offset, size_t length);
    Token readWord();
    Token readNumber();
    Token readQuoted(TokenKind kind, char close, LexProblem unclosed);
    Token readDate();
    Token readGuid();

    std::string_view m_text;
    size_t m_pos = 0;
};

// Whether text equals upperWord with ASCII letters compared without regard to case.
bool sameWord(std::string_view text, std::string_view upperWord);

}  // namespace engine::sql

#include "engine/sql/lexer.h"

#include "engine/storage/unicode.h"

namespace engine::sql {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool isAsciiLetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Non-ASCII code points that are blanks, punctuation or symbols rather than letters: the
// Latin-1 controls and signs, the multiplication and division signs, the general punctuation,
// arrows, mathematical and technical symbols, the CJK and fullwidth punctuation, the byte
// order mark and the specials. Everything else from U+00C0 on counts as a letter.
bool isNonLetterBlock(char32_t c) {
    return c < 0xC0 || c == 0xD7 || c == 0xF7 || c == 0x1680 || (c >= 0x2000 && c <= 0x2BFF) ||
           (c >= 0x3000 && c <= 0x303F) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF20) || c == 0xFEFF || c >= 0xFFF0;
}

bool isWordStart(char32_t c) { return isAsciiLetter(c) || c == '_' || !isNonLetterBlock(c); }

bool isWordCharacter(char32_t c) { return isWordStart(c) || (c >= '0' && c <= '9'); }

}  // namespace

bool sameWord(std::string_view text, std::string_view upperWord) {
    if (text.size() != upperWord.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != upperWord[i]) {
            return false;
        }
    }
    return true;
}

Token Lexer::make(TokenKind kind, size_t start, std::string value) {
    Token token;
    token.kind = kind;
    token.offset = start;
    token.length = m_pos - start;
    token.value = std::move(value);
    return token;
}

Token Lexer::invalid(LexProblem problem, size_t offset, size_t length) {
    Token token;
    token.kind = TokenKind::Invalid;
    token.offset = offset;
    token.length = length;
    token.problem = problem;
    // Nothing after a token the lexer cannot read is read: the statement is refused anyway.
    m_pos = m_text.size();
    return token;
}

Token Lexer::next() {
    while (m_pos < m_text.size() && isBlank(m_text[m_pos])) ++m_pos;
    if (m_pos >= m_text.size()) return make(TokenKind::End, m_pos);

    const size_t start = m_pos;
    const char c = m_text[m_pos];
    if (isControl(static_cast<unsigned char>(c))) {
        return invalid(LexProblem::ControlCharacter, start, 1);
    }
    char32_t codePoint = 0;
    const size_t width = storage::decodeUtf8(m_text, m_pos, codePoint);
    if (width == 0) return invalid(LexProblem::NotUtf8, start, 1);
    if (isWordStart(codePoint)) return readWord();
    if (isDigit(c) || (c == '.' && m_pos + 1 < m_text.size() && isDigit(m_text[m_pos + 1]))) {
        return readNumber();
    }

    const auto single = [&](TokenKind kind) {
        ++m_pos;
        return make(kind, start);
    };
    const auto pair = [&](TokenKind kind) {
        m_pos += 2;
        return make(kind, start);
    };
    const char following = m_pos + 1 < m_text.size() ? m_text[m_pos + 1] : '\0';
    switch (c) {
        case '[':
            return readQuoted(TokenKind::BracketName, ']', LexProblem::UnclosedBracket);
        case '`':
            return readQuoted(TokenKind::BackquoteName, '`', LexProblem::UnclosedBackquote);
        case '\'':
        case '"':
            return readQuoted(TokenKind::String, c, LexProblem::UnclosedString);
        case '#':
            return readDate();
        case '{':
            return readGuid();
        case '*':
            return single(TokenKind::Star);
        case ',':
            return single(TokenKind::Comma);
        case '.':
            return single(TokenKind::Dot);
        case '(':
            return single(TokenKind::LeftParen);
        case ')':
            return single(TokenKind::RightParen);
        case ';':
            return single(TokenKind::Semicolon);
        case '=':
            return single(TokenKind::Equal);
        case '+':
            return single(TokenKind::Plus);
        case '-':
            return single(TokenKind::Minus);
        case '<':
            if (following == '>') return pair(TokenKind::NotEqual);
            if (following == '=') return pair(TokenKind::LessOrEqual);
            return single(TokenKind::Less);
        case '>':
            if (following == '=') return pair(TokenKind::GreaterOrEqual);
            return single(TokenKind::Greater);
        default:
            return invalid(LexProblem::UnexpectedCharacter, start, width);
    }
}

Token Lexer::readWord() {
    const size_t start = m_pos;
    while (m_pos < m_text.size()) {
        char32_t codePoint = 0;
        const size_t width = storage::decodeUtf8(m_text, m_pos, codePoint);
        if (width == 0 || !isWordCharacter(codePoint)) break;
        m_pos += width;
    }
    return make(TokenKind::Word, start, std::string(m_text.substr(start, m_pos - start)));
}

Token Lexer::readNumber() {
    const size_t start = m_pos;
    const auto digits = [&] {
        while (m_pos < m_text.size() && isDigit(m_text[m_pos])) ++m_pos;
    };
    digits();
    if (m_pos < m_text.size() && m_text[m_pos] == '.') {
        ++m_pos;
        digits();
    }
    if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
        size_t exponent = m_pos + 1;
        if (exponent < m_text.size() && (m_text[exponent] == '+' || m_text[exponent] == '-')) {
            ++exponent;
        }
        if (exponent < m_text.size() && isDigit(m_text[exponent])) {
            m_pos = exponent;
            digits();
        }
    }
    if (m_pos < m_text.size()) {
        char32_t codePoint = 0;
        if (storage::decodeUtf8(m_text, m_pos, codePoint) != 0 && isWordCharacter(codePoint)) {
            return invalid(LexProblem::DigitStartsName, start, m_pos - start + 1);
        }
    }
    return make(TokenKind::Number, start, std::string(m_text.substr(start, m_pos - start)));
}

Token Lexer::readQuoted(TokenKind kind, char close, LexProblem unclosed) {
    const size_t start = m_pos++;
    const bool doubledQuoteEscapes = kind == TokenKind::String;
    std::string value;
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos];
        if (c == close) {
            if (doubledQuoteEscapes && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == close) {
                value += close;
                m_pos += 2;
                continue;
            }
            ++m_pos;
            return make(kind, start, std::move(value));
        }
        if (isControl(static_cast<unsigned char>(c)) && !isBlank(c)) {
            return invalid(LexProblem::ControlCharacter, m_pos, 1);
        }
        char32_t codePoint = 0;
        const size_t width = storage::decodeUtf8(m_text, m_pos, codePoint);
        if (width == 0) return invalid(LexProblem::NotUtf8, m_pos, 1);
        value.append(m_text.substr(m_pos, width));
        m_pos += width;
    }
    return invalid(unclosed, start, 1);
}

Token Lexer::readDate() {
    const size_t start = m_pos++;
    const size_t close = m_text.find('#', m_pos);
    if (close == std::string_view::npos) return invalid(LexProblem::UnclosedDate, start, 1);
    for (size_t i = m_pos; i < close; ++i) {
        const unsigned char c = static_cast<unsigned char>(m_text[i]);
        // A date holds digits, separators, blanks and AM/PM: anything else, a line break or
        // a non-ASCII byte included, is no date.
        if (isControl(c) || c >= 0x80) return invalid(LexProblem::UnclosedDate, start, 1);
    }
    std::string value(m_text.substr(m_pos, close - m_pos));
    m_pos = close + 1;
    return make(TokenKind::Date, start, std::move(value));
}

Token Lexer::readGuid() {
    // {guid {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}}, blanks allowed around the inner braces.
    const size_t start = m_pos;
    size_t pos = m_pos + 1;
    const auto skipBlanks = [&] {
        while (pos < m_text.size() && isBlank(m_text[pos])) ++pos;
    };
    const auto expect = [&](char wanted) {
        if (pos < m_text.size() && m_text[pos] == wanted) {
            ++pos;
            return true;
        }
        return false;
    };
    skipBlanks();
    static constexpr std::string_view kGuidWord = "guid";
    for (char wanted : kGuidWord) {
        if (pos >= m_text.size() || (m_text[pos] | 0x20) != wanted) {
            return invalid(LexProblem::MalformedGuid, start, 1);
        }
        ++pos;
    }
    skipBlanks();
    if (!expect('{')) return invalid(LexProblem::MalformedGuid, start, 1);
    static constexpr std::string_view kShape = "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx";
    const size_t digitsStart = pos;
    for (char shape : kShape) {
        const bool fits =
            pos < m_text.size() && (shape == '-' ? m_text[pos] == '-' : isHexDigit(m_text[pos]));
        if (!fits) return invalid(LexProblem::MalformedGuid, start, 1);
        ++pos;
    }
    skipBlanks();
    if (!expect('}')) return invalid(LexProblem::MalformedGuid, start, 1);
    skipBlanks();
    if (!expect('}')) return invalid(LexProblem::MalformedGuid, start, 1);
    m_pos = pos;
    return make(TokenKind::Guid, start, std::string(m_text.substr(digitsStart, kShape.size())));
}

}  // namespace engine::sql

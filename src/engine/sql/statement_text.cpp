#include "engine/sql/statement_text.h"

#include "engine/sql/lexer.h"
#include "engine/storage/unicode.h"

#include <algorithm>
#include <array>

namespace engine::sql {
namespace {

constexpr size_t kMaxShownCharacters = 60;

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether the keyword stands at text[pos], followed by blanks and "=".
bool keywordWithEqualsAt(std::string_view text, size_t pos, std::string_view keyword) {
    if (text.size() - pos < keyword.size()) return false;
    for (size_t i = 0; i < keyword.size(); ++i) {
        if (upper(text[pos + i]) != keyword[i]) return false;
    }
    size_t after = pos + keyword.size();
    while (after < text.size() && (text[after] == ' ' || text[after] == '\t')) ++after;
    return after < text.size() && text[after] == '=';
}

size_t findHiddenStart(std::string_view text) {
    static constexpr std::array<std::string_view, 2> kSecretKeywords = {"PWD", "PASSWORD"};
    for (size_t pos = 0; pos < text.size(); ++pos) {
        for (std::string_view keyword : kSecretKeywords) {
            if (keywordWithEqualsAt(text, pos, keyword)) return pos;
        }
    }
    return text.size();
}

}  // namespace

StatementText::StatementText(std::string_view text)
    : m_text(text), m_hiddenFrom(findHiddenStart(text)) {}

std::optional<std::string> StatementText::quoted(size_t offset, size_t length) const {
    if (offset >= m_hiddenFrom) return std::nullopt;
    const size_t end = std::min({offset + length, m_hiddenFrom, m_text.size()});
    std::string shown = "'";
    size_t pos = offset;
    size_t characters = 0;
    while (pos < end && characters < kMaxShownCharacters) {
        char32_t codePoint = 0;
        const size_t width = storage::decodeUtf8(m_text, pos, codePoint);
        if (width == 0 || pos + width > end) {
            shown += '?';  // a byte that is not UTF-8 text, or a character cut by the clip
            pos += 1;
        } else if (codePoint < 0x20 || codePoint == 0x7F) {
            shown += ' ';
            pos += 1;
        } else {
            shown.append(m_text.substr(pos, width));
            pos += width;
        }
        ++characters;
    }
    if (pos < offset + length) shown += "...";
    shown += "'";
    return shown;
}

std::string StatementText::describe(size_t offset, size_t length) const {
    if (auto shown = quoted(offset, length)) return *shown + " at " + position(offset);
    return "text at " + position(offset);
}

std::string StatementText::position(size_t offset) const {
    size_t characters = 0;
    size_t pos = 0;
    while (pos < offset && pos < m_text.size()) {
        char32_t codePoint = 0;
        const size_t width = storage::decodeUtf8(m_text, pos, codePoint);
        pos += width == 0 ? 1 : width;
        ++characters;
    }
    return "position " + std::to_string(characters + 1);
}

}  // namespace engine::sql

#include "engine/sql/like_pattern.h"

#include "engine/sql/lexer.h"
#include "engine/storage/unicode.h"

namespace engine::sql {

namespace {

// The text's characters with their letter case folded; bytes that are not UTF-8 stand for
// U+FFFD one by one.
std::u32string foldedCharacters(std::string_view text) {
    std::u32string characters;
    for (size_t pos = 0; pos < text.size();) {
        char32_t character = 0;
        const size_t length = storage::decodeUtf8(text, pos, character);
        characters.push_back(length == 0 ? U'\uFFFD' : storage::foldCase(character));
        pos += length == 0 ? 1 : length;
    }
    return characters;
}

}  // namespace

std::optional<LikePattern> LikePattern::compile(std::string_view pattern) {
    const std::u32string characters = foldedCharacters(pattern);
    LikePattern compiled;
    for (size_t pos = 0; pos < characters.size(); ++pos) {
        Element element;
        switch (characters[pos]) {
            case U'*':
                // Runs of * match as one.
                if (!compiled.m_elements.empty() &&
                    compiled.m_elements.back().kind == Element::Kind::AnyRun) {
                    continue;
                }
                element.kind = Element::Kind::AnyRun;
                break;
            case U'?':
                element.kind = Element::Kind::AnyOne;
                break;
            case U'#':
                element.kind = Element::Kind::Digit;
                break;
            case U'[': {
                element.kind = Element::Kind::Set;
                size_t end = pos + 1;
                if (end < characters.size() && characters[end] == U'!') {
                    element.negated = true;
                    ++end;
                }
                // A "]" right after the opening is a character of the set, not its end.
                const size_t first = end;
                while (end < characters.size() && (characters[end] != U']' || end == first)) {
                    ++end;
                }
                if (end >= characters.size()) return std::nullopt;
                for (size_t at = first; at < end; ++at) {
                    if (at + 2 < end && characters[at + 1] == U'-') {
                        if (characters[at] > characters[at + 2]) return std::nullopt;
                        element.ranges.push_back({characters[at], characters[at + 2]});
                        at += 2;
                    } else {
                        element.ranges.push_back({characters[at], characters[at]});
                    }
                }
                pos = end;
                break;
            }
            default:
                element.character = characters[pos];
        }
        compiled.m_elements.push_back(std::move(element));
    }
    return compiled;
}

bool LikePattern::matchesOne(const Element& element, char32_t character) const {
    switch (element.kind) {
        case Element::Kind::Character:
            return character == element.character;
        case Element::Kind::AnyOne:
            return true;
        case Element::Kind::Digit:
            return character >= U'0' && character <= U'9';
        case Element::Kind::Set:
            for (const auto& range : element.ranges) {
                if (character >= range.first && character <= range.last) return !element.negated;
            }
            return element.negated;
        case Element::Kind::AnyRun:
            break;
    }
    return false;
}

bool LikePattern::matches(std::string_view text, size_t* steps) const {
    const std::u32string characters = foldedCharacters(text);
    // Greedy matching that returns to the last * on a mismatch: each * only ever moves forward,
    // so the work stays within text length times pattern length.
    size_t at = 0;
    size_t element = 0;
    size_t starElement = m_elements.size();
    size_t starText = 0;
    size_t taken = 0;
    struct Count {
        size_t& taken;
        size_t* steps;
        ~Count() {
            if (steps) *steps = taken;
        }
    } count{taken, steps};
    while (at < characters.size()) {
        ++taken;
        if (element < m_elements.size() && m_elements[element].kind == Element::Kind::AnyRun) {
            starElement = element++;
            starText = at;
        } else if (element < m_elements.size() && matchesOne(m_elements[element], characters[at])) {
            ++element;
            ++at;
        } else if (starElement < m_elements.size()) {
            element = starElement + 1;
            at = ++starText;
        } else {
            return false;
        }
    }
    while (element < m_elements.size() && m_elements[element].kind == Element::Kind::AnyRun) {
        ++element;
        ++taken;
    }
    return element == m_elements.size();
}

}  // namespace engine::sql

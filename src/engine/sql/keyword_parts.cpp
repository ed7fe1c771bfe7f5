#include "engine/sql/keyword_parts.h"

#include <tuple>

namespace engine::sql {
namespace {

bool isPartBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::pair<size_t, size_t> trimmedRange(std::string_view text, size_t begin, size_t end) {
    while (begin < end && isPartBlank(text[begin])) ++begin;
    while (end > begin && isPartBlank(text[end - 1])) --end;
    return {begin, end};
}

std::vector<KeywordPart> splitKeywordParts(std::string_view text) {
    std::vector<KeywordPart> parts;
    size_t number = 0;
    size_t partBegin = 0;
    while (partBegin < text.size()) {
        const size_t found = text.find(';', partBegin);
        const size_t partEnd = found == std::string_view::npos ? text.size() : found;
        ++number;
        KeywordPart part;
        part.number = number;
        std::tie(part.begin, part.end) = trimmedRange(text, partBegin, partEnd);
        if (part.begin != part.end) {
            const size_t equals = text.find('=', part.begin);
            const bool hasEquals = equals < part.end;
            std::tie(part.keywordBegin, part.keywordEnd) =
                trimmedRange(text, part.begin, hasEquals ? equals : part.end);
            if (hasEquals) {
                part.valueBegin = equals + 1;
                part.valueEnd = partEnd;
            }
            parts.push_back(part);
        }
        partBegin = partEnd + 1;
    }
    return parts;
}

bool sameKeyword(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) return false;
    for (size_t index = 0; index < left.size(); ++index) {
        if (lower(left[index]) != lower(right[index])) return false;
    }
    return true;
}

}  // namespace engine::sql

#include "engine/sql/keyword_parts.h"

namespace engine::sql {
namespace {

bool isPartBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

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
        part.begin = partBegin;
        part.end = partEnd;
        while (part.begin < part.end && isPartBlank(text[part.begin])) ++part.begin;
        while (part.end > part.begin && isPartBlank(text[part.end - 1])) --part.end;
        if (part.begin != part.end) {
            const size_t equals = text.find('=', part.begin);
            const bool hasEquals = equals < part.end;
            part.keywordBegin = part.begin;
            part.keywordEnd = hasEquals ? equals : part.end;
            while (part.keywordEnd > part.keywordBegin && isPartBlank(text[part.keywordEnd - 1])) {
                --part.keywordEnd;
            }
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

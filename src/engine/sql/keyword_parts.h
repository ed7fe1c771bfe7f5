// Text of KEYWORD=value parts separated by ";", as connection strings and connect strings
// write them:
//
//   Provider=Microsoft.ACE.OLEDB.12.0;Data Source=D:\Data\Sales.accdb
//   DATABASE=D:\Data\Sales.mdb;PWD=secret
//
// A keyword has the blanks around it removed; a value runs verbatim from after the first "="
// to the next ";" or the end (blanks, quotes and "=" are part of it; nothing escapes a ";").
// Parts that are empty or blank (";;", a closing ";") are skipped. What a keyword means, which
// are allowed and whether one may repeat is for the caller to judge.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace engine::sql {

struct KeywordPart {
    size_t number = 0;  // counted from 1, the skipped empty parts included
    // Offsets into the text: the part without the blanks around it, the keyword without its
    // blanks, and the value after the "=" up to the ";" or the end.
    size_t begin = 0, end = 0;
    size_t keywordBegin = 0, keywordEnd = 0;
    size_t valueBegin = 0, valueEnd = 0;

    // A part without "=", or with nothing but blanks before it, is not KEYWORD=value.
    bool wellFormed() const { return valueBegin != 0 && keywordBegin != keywordEnd; }
    std::string_view keyword(std::string_view text) const {
        return text.substr(keywordBegin, keywordEnd - keywordBegin);
    }
    std::string_view value(std::string_view text) const {
        return text.substr(valueBegin, valueEnd - valueBegin);
    }
};

// [begin, end) of text with the blanks (space, tab, CR, LF) at either end left out.
std::pair<size_t, size_t> trimmedRange(std::string_view text, size_t begin, size_t end);

// The parts of text that are not blank, in order.
std::vector<KeywordPart> splitKeywordParts(std::string_view text);

// Whether two keywords are equal when ASCII letter case is ignored.
bool sameKeyword(std::string_view left, std::string_view right);

}  // namespace engine::sql

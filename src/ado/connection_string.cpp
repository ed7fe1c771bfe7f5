#include "ado/connection_string.h"

#include "ado/com_error.h"

namespace ado {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

[[noreturn]] void malformed(const std::string& why) {
    throw ComError(error_number::kBadConnectionString,
                   "The connection string is malformed: " + why);
}

}  // namespace

bool sameKeyword(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) return false;
    for (size_t index = 0; index < left.size(); ++index) {
        if (lower(left[index]) != lower(right[index])) return false;
    }
    return true;
}

ConnectionString ConnectionString::parse(std::string_view text) {
    ConnectionString result;
    size_t partNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find(';');
        const std::string_view part = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++partNumber;
        if (trimmed(part).empty()) continue;

        const size_t equals = part.find('=');
        const std::string_view keyword =
            trimmed(equals == std::string_view::npos ? part : part.substr(0, equals));
        if (equals == std::string_view::npos || keyword.empty()) {
            malformed("part " + std::to_string(partNumber) + " is not of the form KEYWORD=value.");
        }
        if (result.find(keyword)) {
            malformed("part " + std::to_string(partNumber) +
                      " gives a keyword that an earlier part gave already.");
        }
        result.m_properties.push_back({std::string(keyword), std::string(part.substr(equals + 1))});
    }
    return result;
}

const std::string* ConnectionString::find(std::string_view keyword) const {
    for (const auto& property : m_properties) {
        if (sameKeyword(property.keyword, keyword)) return &property.value;
    }
    return nullptr;
}

}  // namespace ado

#include "ado/connection_string.h"

#include "ado/com_error.h"
#include "engine/sql/keyword_parts.h"

namespace ado {

namespace {

[[noreturn]] void malformed(const std::string& why) {
    throw ComError(error_number::kBadConnectionString,
                   "The connection string is malformed: " + why);
}

}  // namespace

ConnectionString ConnectionString::parse(std::string_view text) {
    ConnectionString result;
    for (const engine::sql::KeywordPart& part : engine::sql::splitKeywordParts(text)) {
        if (!part.wellFormed()) {
            malformed("part " + std::to_string(part.number) + " is not of the form KEYWORD=value.");
        }
        if (result.find(part.keyword(text))) {
            malformed("part " + std::to_string(part.number) +
                      " gives a keyword that an earlier part gave already.");
        }
        result.m_properties.push_back(
            {std::string(part.keyword(text)), std::string(part.value(text))});
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

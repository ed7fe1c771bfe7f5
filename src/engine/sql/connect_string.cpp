#include "engine/sql/connect_string.h"

#include "engine/sql/keyword_parts.h"
#include "engine/sql/lexer.h"
#include "engine/sql/syntax_error.h"

#include <algorithm>
#include <optional>
#include <string>

namespace engine::sql {

ExternalDatabase readConnectString(std::string_view content, size_t contentOffset,
                                   const StatementText& statement) {
    const auto describe = [&](size_t begin, size_t end) {
        return statement.describe(contentOffset + begin, end - begin);
    };

    size_t partEnd = content.find(';');
    const auto [kindBegin, kindEnd] = trimmedRange(content, 0, std::min(partEnd, content.size()));
    const std::string_view kind = content.substr(kindBegin, kindEnd - kindBegin);
    if (!kind.empty() && !sameWord(kind, "MS ACCESS")) {
        throwSyntaxError(ErrorCode::IsamNotFound, "The connect string names the database kind " +
                                                      describe(kindBegin, kindEnd) +
                                                      "; only MS Access files can be read.");
    }

    std::optional<std::string> path;
    std::optional<std::string> password;
    if (partEnd != std::string_view::npos) {
        const size_t offset = partEnd + 1;
        const std::string_view parts = content.substr(offset);
        for (const KeywordPart& part : splitKeywordParts(parts)) {
            if (!part.wellFormed()) {
                throwSyntaxError(ErrorCode::SyntaxError,
                                 "The connect string part " +
                                     describe(offset + part.begin, offset + part.end) +
                                     " is not of the form KEYWORD=value.");
            }
            const std::string_view keyword = part.keyword(parts);
            std::optional<std::string>* slot = nullptr;
            if (sameKeyword(keyword, "DATABASE")) {
                slot = &path;
            } else if (sameKeyword(keyword, "PWD")) {
                slot = &password;
            } else {
                throwSyntaxError(
                    ErrorCode::SyntaxError,
                    "The connect string keyword " +
                        describe(offset + part.keywordBegin, offset + part.keywordEnd) +
                        " is unknown; only DATABASE and PWD are understood.");
            }
            if (slot->has_value()) {
                throwSyntaxError(ErrorCode::SyntaxError,
                                 "The connect string gives " +
                                     std::string(slot == &path ? "DATABASE" : "PWD") + " twice.");
            }
            *slot = std::string(part.value(parts));
        }
    }

    if (!path || path->empty()) {
        throwSyntaxError(ErrorCode::NoDatabaseNamed, "The connect string at " +
                                                         statement.position(contentOffset - 1) +
                                                         " has no DATABASE=path.");
    }
    return ExternalDatabase{std::move(*path), password.value_or(std::string())};
}

}  // namespace engine::sql

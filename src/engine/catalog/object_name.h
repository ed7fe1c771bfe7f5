// When two object names are one name.
//
// The catalogue keeps a unique index on (ParentId, Name), so the names that cannot stand side by
// side in one container are exactly those whose index keys are equal: two names are the same
// name when their text keys under the sort order of the catalogue's Name column are equal
// (text_index_key.h). That sort order folds letter case in every script it knows (Vietnamese,
// Greek with its final sigma, Cyrillic, full-width Latin ...), takes "ß" for "ss" and
// full-width letters for their plain forms, and passes over trailing blanks and the characters
// it ignores; it keeps apart what it sorts apart: accents, the Turkish dotted and dotless i,
// different emoji. Finding, creating and dropping objects all compare names so, so that the
// engine never lets the index refuse a name that it took for a new one.
#pragma once

#include "engine/format/text_index_key.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace engine::catalog {

// The key a name is compared by.
std::vector<uint8_t> objectNameKey(std::string_view name, format::TextSortOrder order);

bool sameObjectName(std::string_view left, std::string_view right, format::TextSortOrder order);

}  // namespace engine::catalog

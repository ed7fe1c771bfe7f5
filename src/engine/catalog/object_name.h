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
//
// In a sort order where this engine cannot compute a name's key (text_index_key.h), the two
// names compare under the General rules of the order's family instead, which fold letter case
// and width alike. A new name must have its key in the order (the change is refused
// otherwise), and the catalogue's unique index refuses a name its key shows to be taken.
#pragma once

#include "engine/format/indexes/text_index_key.h"

#include <cassert>
#include <cstdint>
#include <string_view>
#include <vector>

namespace engine::catalog {

// The name's key in the catalogue's index. Throws NotSupported where this engine cannot compute
// it exactly (a character whose code in the order it does not know, text_index_key.h).
std::vector<uint8_t> objectNameKey(std::string_view name, format::TextSortOrder order);

bool sameObjectName(std::string_view left, std::string_view right, format::TextSortOrder order);

// Compares one name with many, as sameObjectName does.
class NameMatcher {
public:
    NameMatcher(std::string_view name, format::TextSortOrder order);
    // Whether the name has its key in the order (else it compares under the General rules).
    bool hasOrderKey() const { return m_hasOrderKey; }
    // The name's key in the order. REQUIRES: hasOrderKey().
    const std::vector<uint8_t>& orderKey() const {
        assert(m_hasOrderKey);
        return m_orderKey;
    }
    bool matches(std::string_view other) const;

private:
    format::TextSortOrder m_order;
    bool m_hasOrderKey;
    std::vector<uint8_t> m_orderKey;
    std::vector<uint8_t> m_generalKey;
};

}  // namespace engine::catalog

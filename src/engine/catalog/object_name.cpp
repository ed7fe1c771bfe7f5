#include "engine/catalog/object_name.h"

namespace engine::catalog {

std::vector<uint8_t> objectNameKey(std::string_view name, format::TextSortOrder order) {
    std::vector<uint8_t> key;
    format::appendTextKey(name, order, true, key);
    return key;
}

bool sameObjectName(std::string_view left, std::string_view right, format::TextSortOrder order) {
    return NameMatcher(left, order).matches(right);
}

NameMatcher::NameMatcher(std::string_view name, format::TextSortOrder order)
    : m_order(order), m_hasOrderKey(!format::textKeyGap(name, order)) {
    if (m_hasOrderKey) m_orderKey = objectNameKey(name, order);
    // The General key serves when the other name has no key in the order; in the family's
    // General order itself the two are one.
    if (format::generalOf(order) != order) {
        m_generalKey = objectNameKey(name, format::generalOf(order));
    } else {
        m_generalKey = m_orderKey;
    }
}

bool NameMatcher::matches(std::string_view other) const {
    if (m_hasOrderKey && !format::textKeyGap(other, m_order)) {
        return objectNameKey(other, m_order) == m_orderKey;
    }
    return objectNameKey(other, format::generalOf(m_order)) == m_generalKey;
}

}  // namespace engine::catalog

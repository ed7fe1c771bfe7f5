#include "engine/catalog/object_name.h"

namespace engine::catalog {

std::vector<uint8_t> objectNameKey(std::string_view name, format::TextSortOrder order) {
    std::vector<uint8_t> key;
    format::appendTextKey(name, order, true, key);
    return key;
}

bool sameObjectName(std::string_view left, std::string_view right, format::TextSortOrder order) {
    return objectNameKey(left, order) == objectNameKey(right, order);
}

}  // namespace engine::catalog

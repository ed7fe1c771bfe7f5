// Where a row lives: its page and its slot on that page. Indexes and moved-row pointers hold
// locations as page (3 bytes) and row (1 byte).
#pragma once

#include "engine/error.h"

#include <cstdint>

namespace engine::format {

struct RowLocation {
    PageNumber page = 0;
    uint8_t row = 0;
    bool operator==(const RowLocation&) const = default;
    auto operator<=>(const RowLocation&) const = default;
};

}  // namespace engine::format

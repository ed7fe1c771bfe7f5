// A value an update sets in a field of every row it changes.
#pragma once

#include "engine/format/rows/value.h"

#include <cstddef>

namespace engine::catalog {

struct ColumnValue {
    size_t position = 0;  // in the table definition's column list
    format::Value value;
};

}  // namespace engine::catalog

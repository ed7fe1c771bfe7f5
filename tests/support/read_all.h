// Reads every object of a database: the catalogue, each local table's definition and all of
// its rows. Used to prove that a file reads completely (or fails only with EngineError).
#pragma once

#include "engine/database.h"

#include <cstddef>

namespace support {

// Returns the number of values read.
size_t readEverything(engine::Database& database);

}  // namespace support

// The system catalogue of a new database, written from scratch as the engine makes it: the
// catalogue itself (MSysObjects, on page 2), access rights (MSysACEs), queries and
// relationships; ACE files also get the tables behind attachment and multi-value columns. The
// catalogue's rows name the three containers (Tables, Databases, Relationships), the database
// object MSysDb, and every system table.
#pragma once

#include "engine/catalog/write_context.h"

namespace engine::catalog {

// Writes page 1: the global page map of a file that has only its first two pages.
void writeGlobalMapPage(storage::Pager& pager, const format::JetFormat& format);

// REQUIRES: a change is running on a file holding only pages 0 and 1.
void writeSystemCatalog(const WriteContext& context, storage::FileFormat format);

}  // namespace engine::catalog

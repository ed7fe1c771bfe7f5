// Dropping a table: first the catalogue rows that make it exist and every system row that
// refers to it, then its pages, given back as free space.
#pragma once

#include "engine/catalog/catalog.h"
#include "engine/catalog/write_context.h"

namespace engine::catalog {

// Throws TableNotFound ("Table 'x' does not exist."), NotSupported for system tables and
// InRelationship for a table that a relationship names. The table, the system tables the drop
// edits and their rows that name it are found through indexes, so the cost does not grow with
// the catalogue.
void dropTable(const WriteContext& context, std::string_view name);

// Frees every page of a table: definition, data, long values, indexes, map bitmaps, and the
// rows of its usage maps (a map page left without rows is freed too). Throws Corrupt, before
// freeing anything, when an index root is not the table's or another object names one of its
// pages. REQUIRES: the catalogue no longer lists the table.
void freeTableStorage(const WriteContext& context, const format::TableDefinition& table);

// Frees the pages of one index of table (its tree and its usage-map row) the same way.
// REQUIRES: the table's definition no longer names the index.
void freeIndexStorage(const WriteContext& context, const format::TableDefinition& table,
                      const format::RealIndex& index);

}  // namespace engine::catalog

// Adding an index to a table that exists, and dropping one.
//
// An index is added storage first: its root page and usage-map row, then its tree written
// whole from the table's rows in key order, and only then the table's definition, with the
// index spliced into its stored bytes (format/rows/table_definition_writer.h). A dropped index
// leaves the definition first; then its pages are freed.
#pragma once

#include "engine/catalog/catalog.h"
#include "engine/catalog/new_column.h"
#include "engine/catalog/write_context.h"

#include <string_view>

namespace engine::catalog {

// Adds the index to the table. Throws IndexNameTaken
// (3375), PrimaryKeyExists (3283), InvalidIndexField (3409) for a field the table lacks or
// that no index may hold (Memo, OLE Object, attachments, calculated fields), InvalidIndex (3285)
// for a field named twice or more than 10 fields, TooManyIndexes (3281), InvalidName;
// DuplicateKey (3022) when a unique index would hold one key twice, PrimaryKeyNull (3058) when
// a primary key or DISALLOW NULL index meets a NULL; NotSupported where this engine cannot
// compute a row's key exactly.
void createIndex(const WriteContext& context, const CatalogObject& table, const NewIndex& request);

// Drops the index of that name (letter case ignored). Throws NoSuchIndex (3371), InRelationship
// (3303) for an index a relationship uses, NotSupported when dropping it would renumber an
// index that a relationship names by its number.
void dropIndex(const WriteContext& context, const CatalogObject& table, std::string_view name);

}  // namespace engine::catalog

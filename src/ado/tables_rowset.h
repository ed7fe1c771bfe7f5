// The tables schema rowset (OpenSchema 20): one row per catalogue object the rowset lists (the
// engine's classification, catalog.h: tables, system tables, Access tables, links, pass-through
// links, views).
//
//   field           value
//   TABLE_CATALOG   NULL (the files have no catalogs)
//   TABLE_SCHEMA    NULL (nor schemas)
//   TABLE_NAME      the object's name
//   TABLE_TYPE      "TABLE", "SYSTEM TABLE", "ACCESS TABLE", "LINK", "PASS-THROUGH" or "VIEW"
//   TABLE_GUID      NULL
//   DESCRIPTION     NULL (the Description property is not read)
//   TABLE_PROPID    NULL
//   DATE_CREATED    the object's creation time, NULL when the catalogue has none
//   DATE_MODIFIED   the time of its last change to the design, likewise
//
// Rows come in the order OLE DB gives schema rowsets by default: by TABLE_TYPE, then (catalog
// and schema being NULL) by TABLE_NAME. Type names sort as plain ASCII; names sort with letter
// case ignored, then as stored, so the order never depends on the catalogue's row order.
#pragma once

#include "ado/recordset.h"
#include "engine/database.h"

namespace ado {

inline constexpr int kSchemaTables = 20;

Recordset tablesRowset(engine::Database& database);

}  // namespace ado

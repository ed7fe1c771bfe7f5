// Complex columns (ACE): attachments, multi-value columns and the version history of
// append-only memos. A complex column's rows hold keys into a hidden flat table; MSysComplexColumns
// ties each column (by its complex id) to its type, whose name tells the kind:
//   ColumnName (Text)            the column's name
//   ComplexID (Long)             the id stored in the column's descriptor
//   ComplexTypeObjectID (Long)   MSysObjects id of MSysComplexType_Attachment,
//                                MSysComplexType_<value type> or MSysComplexTypeVH_<guid>
//   ConceptualTableID (Long)     the user table
//   FlatTableID (Long)           the hidden table holding the values
#pragma once

#include "engine/catalog/catalog.h"

#include <map>

namespace engine::catalog {

enum class ComplexKind { Attachment, MultiValue, VersionHistory, Unknown };

// "Attachment", "Multi-value", "Version history", "Complex".
const char* complexKindName(ComplexKind kind);

// The kind of every complex column of the database, by complex id. Empty for formats without
// complex columns.
std::map<int32_t, ComplexKind> readComplexColumnKinds(storage::Pager& pager,
                                                      const format::JetFormat& format,
                                                      uint16_t codePage, const Catalog& catalog);

}  // namespace engine::catalog

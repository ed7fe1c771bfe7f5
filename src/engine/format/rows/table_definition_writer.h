// Writes table definitions (layout in table_definition.h). A new table's definition is built
// whole; an existing definition only has its counters patched in place, so that bytes this
// engine does not interpret survive untouched.
#pragma once

#include "engine/format/rows/table_definition.h"
#include "engine/format/space/page_allocator.h"

#include <vector>

namespace engine::format {

// The logical definition of a table. Columns take their numbers, variable indexes and fixed
// offsets from the definition as given; logical indexes are stored in name order, as the product
// stores them. Jet 3 names are stored in codePage: throws InvalidName for a name it cannot hold.
std::vector<uint8_t> buildTableDefinition(const TableDefinition& table, const JetFormat& format,
                                          uint16_t codePage, uint8_t sortVersion);

// Writes a logical definition onto pages: table.firstPage first, then further pages taken from
// allocator as needed (table.pages is updated).
void writeTableDefinition(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                          const std::vector<uint8_t>& logical, TableDefinition& table);

// Stores a table's row count, last AutoNumber and index unique-entry counts into its existing
// definition.
void patchTableDefinitionCounts(storage::Pager& pager, const JetFormat& format,
                                const TableDefinition& table);

// Gives every column a number, a variable index or fixed offset, in the way the product lays
// out a new table: columns numbered in order, fixed columns packed in order (Yes/No take no
// fixed bytes), variable columns (calculated ones among them, whatever their type) first and
// long-value columns last in the variable order.
void layOutColumns(std::vector<ColumnDefinition>& columns);

}  // namespace engine::format

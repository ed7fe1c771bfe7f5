// Writes table definitions (layout in table_definition.h). A new table's definition is built
// whole. An existing definition is never rebuilt from what this engine parses of it: its
// counters are patched in place, and an index is spliced into or out of its stored bytes, so
// that bytes this engine does not interpret survive untouched.
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

// The stored definition of table (bytes: readTableDefinitionBytes; table: as read, with its
// stored layout) with an index spliced in: real, when given, after the other real indexes (its
// count block after theirs, its unique-entry count in it), and logical with its name at its
// place in name order (logicalIndexPosition). Counts and length follow; every other byte stays.
std::vector<uint8_t> spliceIndexIn(const std::vector<uint8_t>& bytes, const TableDefinition& table,
                                   const JetFormat& format, uint16_t codePage,
                                   const RealIndex* real, const LogicalIndex& logical);
// The same with the logical index at position (in stored order) spliced out, and with it its
// real index when removeReal. The logical (and real) indexes numbered after the ones removed
// are numbered one lower.
std::vector<uint8_t> spliceIndexOut(const std::vector<uint8_t>& bytes, const TableDefinition& table,
                                    const JetFormat& format, size_t position, bool removeReal);
// The same with a column spliced in, numbered after every column slot the table has had: its
// descriptor after the others, its name after theirs, and for a long-value column its maps
// before the terminator. The column count and slots follow (a variable column takes the next
// variable slot).
std::vector<uint8_t> spliceColumnIn(const std::vector<uint8_t>& bytes, const TableDefinition& table,
                                    const JetFormat& format, uint16_t codePage, uint8_t sortVersion,
                                    const ColumnDefinition& column);
// The same with the column of this number spliced out: its descriptor, its name and its maps.
// The column slots stay, as rows written before keep the column's place.
std::vector<uint8_t> spliceColumnOut(const std::vector<uint8_t>& bytes,
                                     const TableDefinition& table, const JetFormat& format,
                                     uint16_t number);
// Where a logical index of this name goes among the table's: they are stored in name order.
size_t logicalIndexPosition(const TableDefinition& table, const std::string& name);

// Gives every column a number, a variable index or fixed offset, in the way the product lays
// out a new table: columns numbered in order, fixed columns packed in order (Yes/No take no
// fixed bytes), variable columns (calculated ones among them, whatever their type) first and
// long-value columns last in the variable order.
void layOutColumns(std::vector<ColumnDefinition>& columns);

}  // namespace engine::format

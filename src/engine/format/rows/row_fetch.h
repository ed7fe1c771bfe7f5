// Reading single rows where index entries say they live (a page and a row number), and
// following a row that moved. A moved row's home slot holds only a pointer (row 1 byte, page
// 3 bytes, little-endian) to where the row now lives; the row there is flagged deleted so that
// scans skip it.
#pragma once

#include "engine/format/rows/row_decoder.h"
#include "engine/format/rows/row_location.h"
#include "engine/format/rows/table_definition.h"

#include <vector>

namespace engine::format {

// The bytes of the row that pointer (a moved row's home slot, on page from) leads to; holder
// keeps the page they lie on. owner is the table's first page. Throws Corrupt when the pointers
// loop, lead nowhere, lead to a page of another owner, or to a slot that is not a moved row.
storage::Bytes followMovedRow(storage::Pager& pager, const JetFormat& format,
                              storage::Bytes pointer, PageNumber from, uint32_t owner,
                              storage::PageRef& holder);

class RowFetcher {
public:
    RowFetcher(storage::Pager& pager, const JetFormat& format, const TableDefinition& table);

    // Decodes the row at location into values; false when the slot holds no live row. Throws
    // Corrupt when the page is not one of the table's data pages or the row is damaged.
    bool fetch(RowLocation location, std::vector<Value>& values);
    // The same, decoding only the columns wanted marks (by position; empty: all of them).
    bool fetch(RowLocation location, const std::vector<bool>& wanted, std::vector<Value>& values);

private:
    storage::Pager& m_pager;
    const JetFormat& m_format;
    const TableDefinition& m_table;
    RowDecoder m_decoder;
    storage::PageRef m_page;
    storage::PageRef m_movedPage;
};

}  // namespace engine::format

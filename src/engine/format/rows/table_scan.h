// Walks the live rows of a table, page by page in page order, in bounded memory: the pages come
// from the table's owned-pages map, each page's rows in slot order; deleted rows are skipped and
// rows that moved are followed to where they now live. Every page the map names must be a data
// page of this table, and every page a moved row points to too; anything else throws Corrupt,
// so that a damaged table never reads as a shorter one.
#pragma once

#include "engine/format/rows/row_decoder.h"
#include "engine/format/rows/row_location.h"
#include "engine/format/rows/table_definition.h"
#include "engine/format/space/data_page.h"

#include <optional>
#include <vector>

namespace engine::format {

class TableScan {
public:
    // Reads the owned-pages map; throws Corrupt when it is damaged.
    TableScan(storage::Pager& pager, const JetFormat& format, const TableDefinition& table);

    // Moves to the next live row; false at the end. The row's bytes stay valid until the next
    // call.
    bool nextRaw();
    storage::Bytes rowBytes() const { return m_rowBytes; }
    // Where the current row's home slot is (a moved row keeps its home slot's address).
    RowLocation location() const { return m_location; }
    // Whether the current row lives elsewhere than its home slot, which points to it.
    bool moved() const { return m_moved; }

    // Moves to the next live row and decodes it (only the wanted columns, when given).
    bool next(std::vector<Value>& values);
    bool next(const std::vector<bool>& wanted, std::vector<Value>& values);
    // The layout of the row next() decoded last.
    const RowLayout& layout() const { return m_decoder.layout(); }
    // Decodes the row nextRaw moved to.
    void decode(std::vector<Value>& values) {
        m_decoder.decode(m_rowBytes, m_location.page, values);
    }

    // How many live rows the scan has given so far.
    uint64_t rowsRead() const { return m_rowsRead; }

private:
    bool loadPage();

    storage::Pager& m_pager;
    const JetFormat& m_format;
    const TableDefinition& m_table;
    RowDecoder m_decoder;
    std::vector<PageNumber> m_pages;
    size_t m_nextPageIndex = 0;
    size_t m_readAheadEnd = 0;  // pages before this index were asked for ahead
    storage::PageRef m_page;
    std::optional<DataPageView> m_view;  // of m_page, checked once
    PageNumber m_pageNumber = 0;
    uint16_t m_rowCount = 0;
    uint16_t m_nextRow = 0;
    storage::PageRef m_lookupPage;
    storage::Bytes m_rowBytes;
    RowLocation m_location;
    bool m_moved = false;
    uint64_t m_rowsRead = 0;
};

}  // namespace engine::format

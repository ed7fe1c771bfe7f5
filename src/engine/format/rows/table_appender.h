// Appends rows to a table: encodes each row, stores its long values, places it on the table's
// current data page (a new page when it is full), and keeps the owned-pages and free-space maps
// and the definition's row count in step. The caller writes the definition afterwards and adds
// index entries for the rows it is told about.
#pragma once

#include "engine/format/rows/long_value_writer.h"
#include "engine/format/rows/row_encoder.h"
#include "engine/format/rows/row_location.h"
#include "engine/format/space/data_page_editor.h"
#include "engine/format/space/usage_map_editor.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace engine::format {

class TableAppender {
public:
    // REQUIRES: a change is running on pager. table stays owned by the caller and is updated.
    TableAppender(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                  TableDefinition& table);
    ~TableAppender();

    // Appends one row; values hold one value per column in the definition's order (Memo as
    // text, OLE Object as bytes). AutoNumber and GUID AutoNumber columns given NULL get their
    // next value. Returns where the row was placed. Errors about a value name the row by its
    // place among the rows this appender was given, from 1.
    RowLocation append(const std::vector<Value>& values);
    // The row as last stored, AutoNumber values included (valid until the caller changes the
    // row it gave).
    const std::vector<Value>& lastRow() const { return *m_last; }
    // Gives the stored bytes of the long value a descriptor points to (on another table's
    // pages), for the column at position `column`.
    using LongValueSource = std::function<storage::Bytes(size_t column, storage::Bytes descriptor)>;
    // Appends a row given as another table stores it, when that table stores rows alike
    // (storesRowsAlike) and the row has every column slot of this table, fixed values inside
    // the row and texts within their columns' lengths. The row's bytes are kept as they are,
    // except that each long value kept on pages is read through longValues, stored on this
    // table's pages, and pointed to by a new descriptor of the same size. Returns nullopt,
    // storing nothing, for a row it cannot take as it is: the caller appends its values
    // instead. A table with AutoNumber columns takes no stored rows.
    std::optional<RowLocation> appendStored(storage::Bytes row, const LongValueSource& longValues);
    // Appends a row that a RowEncoder over this table's own definition encoded, holding no long
    // value on pages of its own, as it is: nothing in it is checked again. REQUIRES: the table
    // numbers no rows (no AutoNumber column).
    RowLocation appendEncoded(storage::Bytes row);
    // Writes the data page rows are being placed on and lets it go, so that a change made to
    // that page through the pager meanwhile (a row removed from it) is not overwritten by the
    // copy held here; the next row reads it afresh. The page stays among those with room.
    void releasePage();
    // Whether the appender holds a copy of that page.
    bool holdsPage(PageNumber page) const { return m_page && m_pageNumber == page; }
    // Writes the last data page, the long values' pages and every map.
    void finish();

private:
    void openPage();
    void closePage();
    RowLocation place();

    storage::Pager& m_pager;
    const JetFormat& m_format;
    PageAllocator& m_allocator;
    TableDefinition& m_table;
    RowEncoder m_encoder;
    UsageMapEditor m_owned;
    UsageMapEditor m_free;
    std::vector<std::unique_ptr<LongValueWriter>> m_longValues;  // by column position
    std::optional<DataPageEditor> m_page;
    PageNumber m_pageNumber = 0;
    bool m_numbersRows = false;   // the table has AutoNumber columns: rows are copied to fill them
    std::vector<Value> m_values;  // the last row with its numbers filled in
    const std::vector<Value>* m_last = &m_values;
    std::vector<ByteString> m_longValueBytes;  // by column: the last row's stored long values
    std::vector<uint8_t> m_data;               // a long value's bytes before storing
    uint64_t m_appended = 0;                   // rows given so far, for errors that name a row
    std::vector<uint8_t> m_row;
    RowLayout m_layout;  // of the last stored row given
};

}  // namespace engine::format

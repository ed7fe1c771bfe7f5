// Appends rows to a table: encodes each row, stores its long values, places it on the table's
// current data page (a new page when it is full), and keeps the owned-pages and free-space maps
// and the definition's row count in step. The caller writes the definition afterwards and adds
// index entries for the rows it is told about.
#pragma once

#include "engine/format/data_page_editor.h"
#include "engine/format/long_value_writer.h"
#include "engine/format/row_encoder.h"
#include "engine/format/row_location.h"
#include "engine/format/usage_map_editor.h"

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
    // Writes the last data page, the long values' pages and every map.
    void finish();

private:
    void openPage();
    void closePage();

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
};

}  // namespace engine::format

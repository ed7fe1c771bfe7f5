// Stores long values (Memo, OLE Object) for one column (layout in long_value.h): inline in the
// row when small, else on the column's long-value pages, as one row or a chain of rows. The
// first value that needs a page goes on one the column already has with room left (its
// free-space map names it), so that rows added a few at a time share pages as a copy's rows do;
// after that the writer fills its current page and takes new ones. The column's owned and
// free-space maps follow every page it takes.
#pragma once

#include "engine/format/rows/row_location.h"
#include "engine/format/rows/value.h"
#include "engine/format/space/data_page_editor.h"
#include "engine/format/space/usage_map_editor.h"

#include <memory>
#include <optional>

namespace engine::format {

// Values up to this size are kept inline in their row; larger ones take one row of a long-value
// page up to the format's maxLongValueRowSize, and are chained beyond it.
inline constexpr size_t kMaxInlineLongValue = 64;

class LongValueWriter {
public:
    LongValueWriter(storage::Pager& pager, const JetFormat& format, PageAllocator& allocator,
                    const ColumnDefinition& column);

    // Stores data; sets descriptor to the 12 bytes (plus the data when inline) to place in the
    // row.
    void store(storage::Bytes data, bool allowInline, ByteString& descriptor);
    // Writes the current page and both maps.
    void finish();

private:
    RowLocation placeRow(storage::Bytes row);
    void openPageWithRoom(size_t rowLength);
    void closeCurrentPage();

    storage::Pager& m_pager;
    const JetFormat& m_format;
    PageAllocator& m_allocator;
    UsageMapEditor m_owned;
    std::optional<UsageMapEditor> m_free;
    std::optional<DataPageEditor> m_page;
    PageNumber m_pageNumber = 0;
    bool m_triedPagesWithRoom = false;
};

}  // namespace engine::format

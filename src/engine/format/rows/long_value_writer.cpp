#include "engine/format/rows/long_value_writer.h"

#include "engine/format/rows/long_value.h"

namespace engine::format {

using storage::writeU24LE;
using storage::writeU32LE;

namespace {

constexpr size_t kChainLinkSize = 4;
// How many of the pages a column's free map names are looked at for room, the last first.
constexpr size_t kPagesTriedForRoom = 4;

void setDescriptor(uint32_t lengthAndType, RowLocation first, ByteString& bytes) {
    bytes.assign(kLongValueDescriptorSize, 0);
    writeU32LE(bytes, 0, lengthAndType);
    bytes[4] = first.row;
    writeU24LE(bytes, 5, first.page);
}

}  // namespace

LongValueWriter::LongValueWriter(storage::Pager& pager, const JetFormat& format,
                                 PageAllocator& allocator, const ColumnDefinition& column)
    : m_pager(pager),
      m_format(format),
      m_allocator(allocator),
      m_owned(pager, format, allocator, column.lvOwnedMap) {
    if (!column.lvFreeMap.empty()) m_free.emplace(pager, format, allocator, column.lvFreeMap);
}

void LongValueWriter::closeCurrentPage() {
    if (!m_page) return;
    m_pager.write(m_pageNumber, m_page->bytes());
    if (m_free) m_free->remove(m_pageNumber);
    m_page.reset();
}

void LongValueWriter::openPageWithRoom(size_t rowLength) {
    if (!m_free) return;
    const std::vector<PageNumber> withRoom = m_free->pages();
    size_t tried = 0;
    for (auto page = withRoom.rbegin(); page != withRoom.rend() && tried < kPagesTriedForRoom;
         ++page, ++tried) {
        if (!m_owned.contains(*page) || *page >= m_pager.pageCount()) continue;
        auto contents = m_pager.read(*page);
        if ((*contents)[0] != kDataPageType) continue;
        if (DataPageView(*contents, m_format, *page, m_pager.path()).owner() != kLongValueOwner) {
            continue;
        }
        auto editor =
            DataPageEditor::copyOf(*contents, m_format, *page, m_pager.path(), kLongValueOwner);
        if (!editor.fits(rowLength)) continue;
        m_page = std::move(editor);
        m_pageNumber = *page;
        return;
    }
}

RowLocation LongValueWriter::placeRow(storage::Bytes row) {
    if (m_page && !m_page->fits(row.size())) closeCurrentPage();
    if (!m_page && !m_triedPagesWithRoom) {
        m_triedPagesWithRoom = true;
        openPageWithRoom(row.size());
    }
    if (!m_page) {
        m_pageNumber = m_allocator.allocate();
        m_page = DataPageEditor::fresh(m_format, kLongValueOwner);
        m_owned.add(m_pageNumber);
        if (m_free) m_free->add(m_pageNumber);
    }
    return {m_pageNumber, m_page->appendRow(row)};
}

void LongValueWriter::store(storage::Bytes data, bool allowInline, ByteString& descriptor) {
    if (data.size() > kLongValueLengthMask) {
        throw EngineError(ErrorCode::RecordTooLarge, "Record is too large.");
    }
    auto length = static_cast<uint32_t>(data.size());
    if (allowInline && data.size() <= kMaxInlineLongValue) {
        setDescriptor(length | kLongValueInline, {}, descriptor);
        descriptor.insert(descriptor.end(), data.begin(), data.end());
        return;
    }
    if (data.size() <= m_format.maxLongValueRowSize) {
        setDescriptor(length | kLongValueSingleRow, placeRow(data), descriptor);
        return;
    }
    // A chain: written from its end, so every row can name the one after it.
    const size_t chunk = m_format.maxLongValueRowSize - kChainLinkSize;
    size_t pieces = (data.size() + chunk - 1) / chunk;
    RowLocation next{};
    ByteString row;
    for (size_t piece = pieces; piece-- > 0;) {
        size_t from = piece * chunk;
        size_t size = std::min(chunk, data.size() - from);
        row.assign(kChainLinkSize, 0);
        row[0] = next.row;
        writeU24LE(row, 1, next.page);
        row.insert(row.end(), data.begin() + static_cast<std::ptrdiff_t>(from),
                   data.begin() + static_cast<std::ptrdiff_t>(from + size));
        next = placeRow(row);
    }
    setDescriptor(length, next, descriptor);
}

void LongValueWriter::finish() {
    if (m_page) {
        m_pager.write(m_pageNumber, m_page->bytes());
        m_page.reset();
    }
    m_owned.save();
    if (m_free) m_free->save();
}

}  // namespace engine::format

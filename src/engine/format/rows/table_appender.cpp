#include "engine/format/rows/table_appender.h"

#include "engine/format/rows/long_value.h"
#include "engine/format/rows/text_codec.h"

#include <cassert>
#include <openssl/rand.h>

namespace engine::format {

namespace {

Guid randomGuid() {
    Guid guid;
    if (RAND_bytes(guid.bytes.data(), static_cast<int>(guid.bytes.size())) != 1) {
        throw EngineError(ErrorCode::Internal, "no random numbers for a new GUID");
    }
    guid.bytes[7] = static_cast<uint8_t>((guid.bytes[7] & 0x0F) | 0x40);  // version 4
    guid.bytes[8] = static_cast<uint8_t>((guid.bytes[8] & 0x3F) | 0x80);  // variant
    return guid;
}

bool isInline(const ByteString& descriptor) {
    return (storage::readU32LE(descriptor, 0) & kLongValueInline) != 0;
}

}  // namespace

TableAppender::TableAppender(storage::Pager& pager, const JetFormat& format,
                             PageAllocator& allocator, TableDefinition& table)
    : m_pager(pager),
      m_format(format),
      m_allocator(allocator),
      m_table(table),
      m_encoder(format, table),
      m_owned(pager, format, allocator, table.ownedPages),
      m_free(pager, format, allocator, table.freeSpacePages) {
    assert(pager.inTransaction());
    m_longValues.resize(table.columns.size());
    m_longValueBytes.resize(table.columns.size());
    for (size_t index = 0; index < table.columns.size(); ++index) {
        const auto& column = table.columns[index];
        if (column.isAutoNumber() || column.isGuidAutoNumber()) m_numbersRows = true;
        if (isLongValueType(column.type) && !column.lvOwnedMap.empty()) {
            m_longValues[index] =
                std::make_unique<LongValueWriter>(pager, format, allocator, column);
        }
    }
}

TableAppender::~TableAppender() = default;

void TableAppender::openPage() {
    // Continue on the table's last page that still has room, else start a new one.
    const std::vector<PageNumber> withRoom = m_free.pages();
    for (auto page = withRoom.rbegin(); page != withRoom.rend(); ++page) {
        if (!m_owned.contains(*page)) continue;
        auto contents = m_pager.read(*page);
        m_page =
            DataPageEditor::copyOf(*contents, m_format, *page, m_pager.path(), m_table.firstPage);
        m_pageNumber = *page;
        return;
    }
    m_pageNumber = m_allocator.allocate();
    m_page = DataPageEditor::fresh(m_format, m_table.firstPage);
    m_owned.add(m_pageNumber);
    m_free.add(m_pageNumber);
}

void TableAppender::closePage() {
    m_pager.write(m_pageNumber, m_page->bytes());
    m_free.remove(m_pageNumber);
    m_page.reset();
}

RowLocation TableAppender::append(const std::vector<Value>& values) {
    if (values.size() != m_table.columns.size()) {
        throw EngineError(ErrorCode::Internal, "a row was given the wrong number of values");
    }
    m_last = &values;
    ++m_appended;
    if (m_numbersRows) {
        m_values = values;
        m_last = &m_values;
        for (size_t index = 0; index < m_values.size(); ++index) {
            const auto& column = m_table.columns[index];
            if (!isNull(m_values[index])) {
                // A number given for an AutoNumber column moves the sequence past it.
                if (column.isAutoNumber() && std::holds_alternative<int32_t>(m_values[index])) {
                    auto given = std::get<int32_t>(m_values[index]);
                    if (given > 0 && static_cast<uint32_t>(given) > m_table.lastAutoNumber) {
                        m_table.lastAutoNumber = static_cast<uint32_t>(given);
                    }
                }
                continue;
            }
            if (column.isAutoNumber()) {
                m_values[index] = static_cast<int32_t>(++m_table.lastAutoNumber);
            } else if (column.isGuidAutoNumber()) {
                m_values[index] = randomGuid();
            }
        }
    }
    const std::vector<Value>& row = *m_last;
    // Long values first: the row holds where they went. When the values kept inline make the
    // row too large, they go to their pages instead (the others are stored already).
    auto storeLongValues = [&](bool allowInline) {
        for (size_t index = 0; index < row.size(); ++index) {
            ByteString& stored = m_longValueBytes[index];
            if (!allowInline && !stored.empty() && !isInline(stored)) continue;
            stored.clear();
            const auto& column = m_table.columns[index];
            if (!isLongValueType(column.type) || isNull(row[index])) continue;
            if (!m_longValues[index]) {
                throw EngineError(ErrorCode::Corrupt,
                                  "The database '" + m_pager.path() + "' is damaged: the field '" +
                                      column.name + "' has no pages for its values.",
                                  m_table.firstPage);
            }
            storage::Bytes data;
            if (std::holds_alternative<std::string>(row[index])) {
                m_data.clear();
                RowEncoder::appendVariable(column, row[index], m_format.jet3, m_appended, m_data);
                data = m_data;
            } else if (const auto* bytes = std::get_if<ByteString>(&row[index])) {
                data = *bytes;
            } else {
                throw EngineError(ErrorCode::InvalidArgument,
                                  "The value for field '" + column.name + "' in row " +
                                      std::to_string(m_appended) + " is not of type " +
                                      columnTypeName(column.type) + ".");
            }
            m_longValues[index]->store(data, allowInline, stored);
        }
    };
    storeLongValues(true);
    try {
        m_encoder.encode(row, m_longValueBytes, m_row, m_appended);
    } catch (const EngineError& error) {
        if (error.code() != ErrorCode::RecordTooLarge) throw;
        storeLongValues(false);
        m_encoder.encode(row, m_longValueBytes, m_row, m_appended);
    }

    return place();
}

RowLocation TableAppender::place() {
    if (!m_page) openPage();
    // Pages with some room left are tried in turn; a new page always takes a row that fits one.
    while (!m_page->fits(m_row.size())) {
        closePage();
        openPage();
    }
    uint8_t slot = m_page->appendRow(m_row);
    ++m_table.rowCount;
    return {m_pageNumber, slot};
}

RowLocation TableAppender::appendEncoded(storage::Bytes row) {
    assert(!m_numbersRows && "an AutoNumber column takes its values from append()");
    if (row.size() > m_format.maxRowSize) {
        throw EngineError(ErrorCode::RecordTooLarge, "Record is too large.");
    }
    m_row.assign(row.begin(), row.end());
    ++m_appended;
    return place();
}

std::optional<RowLocation> TableAppender::appendStored(storage::Bytes row,
                                                       const LongValueSource& longValues) {
    if (m_numbersRows || row.size() > m_format.maxRowSize ||
        !parseRowLayout(row, m_format, m_table.varColumns > 0, m_layout) ||
        m_layout.columnCount != m_table.maxColumns ||
        m_layout.variableCount() != m_table.varColumns) {
        return std::nullopt;
    }
    // First every check, so that a row refused stores nothing.
    for (const auto& column : m_table.columns) {
        // A Yes/No value is its null-mask bit.
        if (column.type == ColumnType::Boolean || !m_layout.nullMaskBit(column.number)) continue;
        if (column.isFixed()) {
            if (m_layout.fixedStart + size_t{column.fixedOffset} + column.fixedBytes() >
                row.size()) {
                return std::nullopt;
            }
            continue;
        }
        if (column.varIndex >= m_layout.variableCount()) return std::nullopt;
        const uint16_t start = m_layout.variableOffsets[column.varIndex];
        const uint16_t end = m_layout.variableOffsets[column.varIndex + 1u];
        if (end < start) return std::nullopt;
        const size_t size = end - start;
        if (isLongValueType(column.type) ? size < kLongValueDescriptorSize
                                         : column.length != 0 && size > column.length) {
            return std::nullopt;
        }
    }
    m_row.assign(row.begin(), row.end());
    ++m_appended;
    for (size_t index = 0; index < m_table.columns.size(); ++index) {
        const auto& column = m_table.columns[index];
        if (!isLongValueType(column.type) || !m_layout.nullMaskBit(column.number)) continue;
        const uint16_t start = m_layout.variableOffsets[column.varIndex];
        const uint16_t end = m_layout.variableOffsets[column.varIndex + 1u];
        storage::Bytes descriptor = row.subspan(start, end - start);
        // Every value is read where it is, so that a damaged one throws as it would when read;
        // inline values then travel with the row, the others are stored anew.
        storage::Bytes data = longValues(index, descriptor);
        if ((storage::readU32LE(descriptor, 0) & kLongValueInline) != 0) continue;
        if (!m_longValues[index]) {
            throw EngineError(ErrorCode::Corrupt,
                              "The database '" + m_pager.path() + "' is damaged: the field '" +
                                  column.name + "' has no pages for its values.",
                              m_table.firstPage);
        }
        ByteString& stored = m_longValueBytes[index];
        m_longValues[index]->store(data, false, stored);
        std::copy(stored.begin(), stored.end(), m_row.begin() + start);
    }
    return place();
}

void TableAppender::releasePage() {
    if (!m_page) return;
    m_pager.write(m_pageNumber, m_page->bytes());
    m_page.reset();
}

void TableAppender::finish() {
    if (m_page) {
        m_pager.write(m_pageNumber, m_page->bytes());
        m_page.reset();
    }
    for (auto& writer : m_longValues) {
        if (writer) writer->finish();
    }
    m_owned.save();
    m_free.save();
}

}  // namespace engine::format

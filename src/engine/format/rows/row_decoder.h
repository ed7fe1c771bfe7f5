// Turns the bytes of a table row into typed values, one per column of the definition.
#pragma once

#include "engine/format/rows/row_layout.h"
#include "engine/format/rows/table_definition.h"
#include "engine/format/rows/value.h"
#include "engine/storage/pager.h"

#include <vector>

namespace engine::format {

class RowDecoder {
public:
    RowDecoder(storage::Pager& pager, const JetFormat& format, const TableDefinition& table);

    // Fills values with one value per column, in the order of the definition's columns.
    // page names the row's page in damage reports. Throws Corrupt on a damaged row.
    void decode(storage::Bytes row, PageNumber page, std::vector<Value>& values);
    // Decodes only the columns whose positions wanted marks; the others stay NULL. Reading only
    // what is needed keeps long values that nobody asked for off the disk.
    void decode(storage::Bytes row, PageNumber page, const std::vector<bool>& wanted,
                std::vector<Value>& values);
    // The layout of the row decoded last.
    const RowLayout& layout() const { return m_layout; }

    // How a column's value is read: the common types straight from the row, the rest through
    // decodeBytes.
    enum class Kind : uint8_t { Boolean, Long, Integer, Double, DateTime, Currency, Text, Other };

private:
    // What the decoder works out once per column rather than once per value.
    struct ColumnPlan {
        Kind kind = Kind::Other;
        bool fixed = false;
        uint16_t number = 0;     // the column's number (its null-mask bit)
        uint16_t position = 0;   // fixed columns: offset in the fixed area; else the var index
        uint32_t fixedSize = 0;  // fixed columns: the bytes the value takes
        bool knownType = false;  // a type this engine decodes (else its bytes are kept)
    };

    // Each decodes into value, reusing the storage a text value already holds.
    void decodeColumn(size_t index, storage::Bytes row, PageNumber page, Value& value);
    void decodeBytes(size_t index, storage::Bytes bytes, PageNumber page, Value& value);
    Value decodeCalculatedColumn(const ColumnDefinition& column, storage::Bytes bytes,
                                 PageNumber page);
    [[noreturn]] void damaged(PageNumber page, const std::string& what) const;
    // Out of line, so that building its message costs the per-value path nothing.
    [[noreturn]] void rowTooShort(size_t index, PageNumber page) const;

    storage::Pager& m_pager;
    const JetFormat& m_format;
    const TableDefinition& m_table;
    std::vector<ColumnPlan> m_plans;  // by column position
    RowLayout m_layout;
    ByteString m_longValue;  // a memo's bytes read from its pages, storage kept between rows
};

}  // namespace engine::format

// A set of row locations that answers membership in constant time: one bit per slot a page can
// number (256), for every page up to the last one given.
#pragma once

#include "engine/format/rows/row_location.h"

#include <algorithm>
#include <vector>

namespace engine::format {

class RowSet {
public:
    explicit RowSet(const std::vector<RowLocation>& rows) {
        for (const auto row : rows) m_lastPage = std::max(m_lastPage, row.page);
        m_bits.assign((static_cast<size_t>(m_lastPage) + 1) * (kSlots / 64), 0);
        for (const auto row : rows) m_bits[bit(row) / 64] |= uint64_t{1} << (bit(row) % 64);
    }

    bool contains(RowLocation row) const {
        return row.page <= m_lastPage && (m_bits[bit(row) / 64] >> (bit(row) % 64) & 1) != 0;
    }

private:
    static constexpr size_t kSlots = 256;

    static size_t bit(RowLocation row) { return static_cast<size_t>(row.page) * kSlots + row.row; }

    PageNumber m_lastPage = 0;
    std::vector<uint64_t> m_bits;
};

}  // namespace engine::format

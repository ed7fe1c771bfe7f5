// The integrity check: walks every page of a database and reports what does not hold together.
//
//   - the catalogue's own table is checked like any other, even when the catalogue lacks its row;
//   - every page is in exactly one use (page_uses.h): the header, the global page map, a
//     table's definition, data, long-value or index page, a usage-map page or bitmap, or free;
//   - the global page map marks free exactly the pages nothing uses;
//   - every table's rows decode (long-value chains whole); a row count the definition keeps
//     that differs is a notice (a counter the product does not always keep up to date);
//   - a moved row that outlived the row that pointed to it is a notice (Access leaves them,
//     though readers that do not follow pointers list them: in MSysObjects, a dropped table);
//   - every text column declares a length a text column can have;
//   - a table's free-space map names only pages it owns;
//   - every index holds one entry per row, with the key the row gives, in order.
#pragma once

#include "engine/catalog/catalog.h"
#include "engine/format/jet_format.h"
#include "engine/storage/pager.h"

#include <string>
#include <vector>

namespace engine::catalog {

struct CheckReport {
    std::vector<std::string> problems;
    // Findings that files made by the product show, which it tolerates: pages neither used nor
    // marked free (space lost until the file is compacted), row counts that are off, moved rows
    // left behind, index nodes whose only child is their tail, and keys this engine cannot
    // compare with their rows (a sort order it knows only in part).
    std::vector<std::string> notices;
    size_t tablesChecked = 0;
    size_t rowsChecked = 0;
    bool ok() const { return problems.empty(); }
};

CheckReport checkIntegrity(storage::Pager& pager, const format::JetFormat& format,
                           uint16_t codePage);

}  // namespace engine::catalog

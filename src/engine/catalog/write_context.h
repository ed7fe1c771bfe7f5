// What every change to a database needs at hand: its pages, its format, the page allocator of
// the running change, and the text settings that new columns and index keys take.
#pragma once

#include "engine/format/jet_format.h"
#include "engine/format/space/page_allocator.h"
#include "engine/storage/header_page.h"
#include "engine/storage/pager.h"

namespace engine::catalog {

struct WriteContext {
    storage::Pager& pager;
    const format::JetFormat& format;
    format::PageAllocator& allocator;
    uint16_t codePage;
    storage::SortOrder sortOrder;
};

}  // namespace engine::catalog

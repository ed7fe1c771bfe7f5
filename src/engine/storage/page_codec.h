// Encryption of whole pages. Page 0 is never encoded (only its header mask applies); every
// other page passes through the database's codec on its way to and from the file. A database
// without encryption has no codec.
#pragma once

#include "engine/storage/byte_order.h"

namespace engine::storage {

class PageCodec {
public:
    virtual ~PageCodec() = default;
    // REQUIRES: page >= 1 and bytes.size() is the page size. Both work in place.
    virtual void decode(PageNumber page, MutableBytes bytes) const = 0;
    virtual void encode(PageNumber page, MutableBytes bytes) const = 0;
};

}  // namespace engine::storage

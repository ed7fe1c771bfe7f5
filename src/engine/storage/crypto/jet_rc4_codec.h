// Page encoding of Jet 3 and Jet 4 databases ("Encrypt database" in Access 97-2003). No
// password is involved: the key is kept in the header page.
//
//   what         value
//   encoding key 4 bytes at 0x3E of the unmasked header page; 0 = pages stored in the clear
//   page key     the encoding key XOR the page number as LE32 (4 bytes)
//   cipher       RC4 over the whole page, the key stream starting at the page's first byte
//
// Page 0 is never encoded. The database password (0x42) is checked on its own.
#pragma once

#include "engine/storage/page_codec.h"

#include <array>
#include <cassert>

namespace engine::storage {

// The 4 key bytes for one page: the encoding key XOR the page number, little-endian. Office
// encryption derives its per-page keys from the same value.
std::array<uint8_t, 4> pageBlockKey(uint32_t encodingKey, PageNumber page);

class JetRc4Codec final : public PageCodec {
public:
    // REQUIRES: encodingKey != 0.
    explicit JetRc4Codec(uint32_t encodingKey) : m_encodingKey(encodingKey) {
        assert(encodingKey != 0 && "a key of 0 means the pages are not encoded");
    }

    void decode(PageNumber page, MutableBytes bytes) const override;
    void encode(PageNumber page, MutableBytes bytes) const override;

private:
    uint32_t m_encodingKey;
};

}  // namespace engine::storage

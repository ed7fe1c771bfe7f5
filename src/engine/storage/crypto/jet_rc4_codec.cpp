#include "engine/storage/crypto/jet_rc4_codec.h"

#include "engine/storage/crypto/rc4.h"

#include <cassert>

namespace engine::storage {

std::array<uint8_t, 4> pageBlockKey(uint32_t encodingKey, PageNumber page) {
    std::array<uint8_t, 4> key{};
    writeU32LE(key, 0, encodingKey ^ page);
    return key;
}

void JetRc4Codec::decode(PageNumber page, MutableBytes bytes) const {
    assert(page >= 1 && "the header page has its own encoding");
    Rc4 cipher(pageBlockKey(m_encodingKey, page));
    cipher.apply(bytes);
}

void JetRc4Codec::encode(PageNumber page, MutableBytes bytes) const { decode(page, bytes); }

}  // namespace engine::storage

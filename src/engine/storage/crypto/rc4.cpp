#include "engine/storage/crypto/rc4.h"

#include <utility>

namespace engine::storage {

Rc4::Rc4(std::span<const uint8_t> key) {
    for (int index = 0; index < 256; ++index) {
        m_state[index] = static_cast<uint8_t>(index);
    }
    if (key.empty()) return;
    uint8_t j = 0;
    for (int index = 0; index < 256; ++index) {
        j = static_cast<uint8_t>(j + m_state[index] + key[index % key.size()]);
        std::swap(m_state[index], m_state[j]);
    }
}

void Rc4::apply(std::span<uint8_t> data) {
    for (uint8_t& byte : data) {
        m_i = static_cast<uint8_t>(m_i + 1);
        m_j = static_cast<uint8_t>(m_j + m_state[m_i]);
        std::swap(m_state[m_i], m_state[m_j]);
        byte ^= m_state[static_cast<uint8_t>(m_state[m_i] + m_state[m_j])];
    }
}

}  // namespace engine::storage

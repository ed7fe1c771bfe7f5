// RC4 stream cipher. The format uses it to mask part of the header page and, in Jet and
// Office "RC4" encryption, to encode whole pages. Small enough to own rather than depend on.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace engine::storage {

class Rc4 {
public:
    explicit Rc4(std::span<const uint8_t> key);
    // XORs the next bytes of the key stream into data (encrypts and decrypts alike).
    void apply(std::span<uint8_t> data);

private:
    std::array<uint8_t, 256> m_state{};
    uint8_t m_i = 0;
    uint8_t m_j = 0;
};

}  // namespace engine::storage

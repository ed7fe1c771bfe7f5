// Fixed-width integers and floats read from and written to byte buffers, one byte at a time.
// The file format is little-endian everywhere except index keys, which are big-endian.
//
// Every read checks its bounds: a structure read from disk may claim any offset, and a read past
// the end of its buffer throws a Corrupt error instead of touching memory it does not own. The
// load functions are the one exception, for hot loops that check a whole structure first.
#pragma once

#include "engine/error.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>

namespace engine::storage {

using Bytes = std::span<const uint8_t>;
using MutableBytes = std::span<uint8_t>;

[[noreturn]] inline void throwOutOfBounds(size_t offset, size_t width, size_t size) {
    throw EngineError(ErrorCode::Corrupt, "a structure reaches past its buffer (offset " +
                                              std::to_string(offset) + ", width " +
                                              std::to_string(width) + ", size " +
                                              std::to_string(size) + ")");
}

inline void checkRange(Bytes bytes, size_t offset, size_t width) {
    if (offset > bytes.size() || width > bytes.size() - offset) {
        throwOutOfBounds(offset, width, bytes.size());
    }
}

// Little-endian integers at bytes whose bounds the caller has checked, for the few loops that
// run once per row of a scan and check a whole structure up front.
template <typename Unsigned>
Unsigned loadLE(const uint8_t* at) {
    Unsigned value = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, at, sizeof value);
    } else {
        for (size_t byte = sizeof(Unsigned); byte-- > 0;) {
            value = static_cast<Unsigned>((value << 8) | at[byte]);
        }
    }
    return value;
}
inline uint16_t loadU16LE(const uint8_t* at) { return loadLE<uint16_t>(at); }

inline uint8_t readU8(Bytes bytes, size_t offset) {
    checkRange(bytes, offset, 1);
    return bytes[offset];
}

inline uint16_t readU16LE(Bytes bytes, size_t offset) {
    checkRange(bytes, offset, 2);
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline uint32_t readU24LE(Bytes bytes, size_t offset) {
    checkRange(bytes, offset, 3);
    return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(bytes[offset + 2]) << 16);
}

inline uint32_t readU32LE(Bytes bytes, size_t offset) {
    checkRange(bytes, offset, 4);
    return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

inline uint64_t readU64LE(Bytes bytes, size_t offset) {
    checkRange(bytes, offset, 8);
    return static_cast<uint64_t>(readU32LE(bytes, offset)) |
           (static_cast<uint64_t>(readU32LE(bytes, offset + 4)) << 32);
}

inline int16_t readI16LE(Bytes bytes, size_t offset) {
    return static_cast<int16_t>(readU16LE(bytes, offset));
}
inline int32_t readI32LE(Bytes bytes, size_t offset) {
    return static_cast<int32_t>(readU32LE(bytes, offset));
}
inline int64_t readI64LE(Bytes bytes, size_t offset) {
    return static_cast<int64_t>(readU64LE(bytes, offset));
}
inline float readF32LE(Bytes bytes, size_t offset) {
    return std::bit_cast<float>(readU32LE(bytes, offset));
}
inline double readF64LE(Bytes bytes, size_t offset) {
    return std::bit_cast<double>(readU64LE(bytes, offset));
}

inline uint32_t readU24BE(Bytes bytes, size_t offset) {
    checkRange(bytes, offset, 3);
    return (static_cast<uint32_t>(bytes[offset]) << 16) |
           (static_cast<uint32_t>(bytes[offset + 1]) << 8) | bytes[offset + 2];
}

inline uint32_t readU32BE(Bytes bytes, size_t offset) {
    checkRange(bytes, offset, 4);
    return (static_cast<uint32_t>(bytes[offset]) << 24) |
           (static_cast<uint32_t>(bytes[offset + 1]) << 16) |
           (static_cast<uint32_t>(bytes[offset + 2]) << 8) | bytes[offset + 3];
}

inline void checkWrite(MutableBytes bytes, size_t offset, size_t width) {
    checkRange(Bytes(bytes.data(), bytes.size()), offset, width);
}

inline void writeU8(MutableBytes bytes, size_t offset, uint8_t value) {
    checkWrite(bytes, offset, 1);
    bytes[offset] = value;
}

inline void writeU16LE(MutableBytes bytes, size_t offset, uint16_t value) {
    checkWrite(bytes, offset, 2);
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void writeU24LE(MutableBytes bytes, size_t offset, uint32_t value) {
    checkWrite(bytes, offset, 3);
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
    bytes[offset + 2] = static_cast<uint8_t>(value >> 16);
}

inline void writeU32LE(MutableBytes bytes, size_t offset, uint32_t value) {
    checkWrite(bytes, offset, 4);
    for (int shift = 0; shift < 32; shift += 8) {
        bytes[offset++] = static_cast<uint8_t>(value >> shift);
    }
}

inline void writeU64LE(MutableBytes bytes, size_t offset, uint64_t value) {
    checkWrite(bytes, offset, 8);
    for (int shift = 0; shift < 64; shift += 8) {
        bytes[offset++] = static_cast<uint8_t>(value >> shift);
    }
}

inline void writeF32LE(MutableBytes bytes, size_t offset, float value) {
    writeU32LE(bytes, offset, std::bit_cast<uint32_t>(value));
}
inline void writeF64LE(MutableBytes bytes, size_t offset, double value) {
    writeU64LE(bytes, offset, std::bit_cast<uint64_t>(value));
}

inline void writeU24BE(MutableBytes bytes, size_t offset, uint32_t value) {
    checkWrite(bytes, offset, 3);
    bytes[offset] = static_cast<uint8_t>(value >> 16);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
    bytes[offset + 2] = static_cast<uint8_t>(value);
}

inline void writeU32BE(MutableBytes bytes, size_t offset, uint32_t value) {
    checkWrite(bytes, offset, 4);
    bytes[offset] = static_cast<uint8_t>(value >> 24);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 16);
    bytes[offset + 2] = static_cast<uint8_t>(value >> 8);
    bytes[offset + 3] = static_cast<uint8_t>(value);
}

}  // namespace engine::storage

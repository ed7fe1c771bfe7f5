// A typed column value as the engine reads and writes it. Values stay typed inside the engine;
// turning them into text is the business of whoever shows them.
//
// Which alternative a column holds follows from its type:
//   Yes/No bool; Byte uint8_t; Integer int16_t; Long Integer int32_t; Large Number int64_t;
//   Currency Currency; Single float; Double double; Date/Time DateTime; Text and Memo std::string
//   (UTF-8); Binary and OLE Object ByteString; Replication ID Guid; Decimal Decimal;
//   Date/Time Extended ExtendedDateTime; Complex ComplexKey. NULL is std::monostate.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace engine::format {

struct Currency {
    int64_t scaled = 0;  // the amount times 10000
    bool operator==(const Currency&) const = default;
};

struct DateTime {
    double days = 0;  // days since 1899-12-30 00:00; the fraction is the time of day
    // Equal when the stored bits are equal, so copies compare exactly.
    bool operator==(const DateTime& other) const {
        return std::bit_cast<uint64_t>(days) == std::bit_cast<uint64_t>(other.days);
    }
};

struct Guid {
    std::array<uint8_t, 16> bytes{};  // as stored: first three groups little-endian
    bool operator==(const Guid&) const = default;
};

struct Decimal {
    bool negative = false;
    uint64_t high = 0;  // the unsigned 96..128-bit magnitude, high and low halves
    uint64_t low = 0;
    uint8_t scale = 0;  // digits after the decimal point
    bool operator==(const Decimal&) const = default;
};

struct ExtendedDateTime {
    std::string stored;  // the 42 ASCII bytes: days:seconds-and-ticks:7 then NUL
    bool operator==(const ExtendedDateTime&) const = default;
};

struct ComplexKey {
    int32_t key = 0;
    bool operator==(const ComplexKey&) const = default;
};

using ByteString = std::vector<uint8_t>;

using Value =
    std::variant<std::monostate, bool, uint8_t, int16_t, int32_t, int64_t, Currency, float, double,
                 DateTime, std::string, ByteString, Guid, Decimal, ExtendedDateTime, ComplexKey>;

inline bool isNull(const Value& value) { return std::holds_alternative<std::monostate>(value); }

}  // namespace engine::format

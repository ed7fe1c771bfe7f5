// A double in fixed notation with the fewest digits that read back as the same double: the text
// std::to_chars(first, last, value, std::chars_format::fixed) writes. Exports print one such
// number per Double field, and the general conversion is the costliest step of formatting a
// row, so the common case (a value with a fraction, between 1/16 and 2^52) is worked out here
// directly from the bits, with exact integer arithmetic; every other value, and every case
// where two candidates are equally near, goes to std::to_chars.
#pragma once

#include <cstddef>

namespace tools {

// Room that putShortestDouble may use at out.
inline constexpr size_t kMaxShortestDoubleText = 400;

// Writes value at out and returns the end of what it wrote. NaN and infinities are the caller's
// to handle; any other value gives std::to_chars's text.
char* putShortestDouble(double value, char* out);

}  // namespace tools

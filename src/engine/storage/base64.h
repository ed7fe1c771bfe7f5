// Base64 (the standard alphabet, with '=' padding) for the binary values kept as XML
// attributes in an agile encryption description.
#pragma once

#include "engine/storage/byte_order.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine::storage {

std::string encodeBase64(Bytes bytes);
// Strict: only the alphabet, a length that is a multiple of four and at most two '=' at the
// end. Anything else (including white space) gives nullopt.
std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text);

}  // namespace engine::storage

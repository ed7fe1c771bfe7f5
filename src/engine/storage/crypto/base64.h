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
enum class Base64Input {
    // Only the alphabet, a length that is a multiple of four and at most two '=' at the end;
    // anything else (including white space) gives nullopt. For values read from files.
    Strict,
    // Every character outside the alphabet ('=' and white space included) is passed over and
    // the bits of a last incomplete byte are dropped; never nullopt. For text the program
    // carries in itself, split across lines and pieces as the source needs.
    SkipOthers,
};

std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text,
                                                 Base64Input input = Base64Input::Strict);

}  // namespace engine::storage

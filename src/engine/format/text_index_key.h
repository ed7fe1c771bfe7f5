// Text index keys: the sort-order codes the product writes for text, so that an index orders
// text as the product does (letter case ignored, accents after plain letters, ...). Three orders
// exist: "General 97" (Jet 3), "General Legacy" (Jet 4 and ACE, sort version 0) and "General"
// (ACE, sort version 1). Only the first 255 characters count, trailing blanks do not.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace engine::format {

enum class TextSortOrder { General97, GeneralLegacy, General };

// The order text keys take in a file of format whose text sorts by sort order lcid (version:
// Jet 4 and later); nullopt when this engine cannot write keys in it. Jet 3 files are written
// only in General 97 (LCID 0x0409); later files in General Legacy or General by the version.
std::optional<TextSortOrder> textSortOrder(bool jet3, uint16_t lcid, uint8_t version);

// Appends the value part of a text key (after its flag byte) for text (UTF-8).
void appendTextKey(std::string_view text, TextSortOrder order, bool ascending,
                   std::vector<uint8_t>& key);

}  // namespace engine::format

// Text index keys: the sort-order codes the product writes for text, so that an index orders
// text as the product does (letter case ignored, accents after plain letters, ...). Three
// families of rules exist: "General 97" (Jet 3), "General Legacy" (Jet 4 and ACE, sort version
// 0) and "General" (ACE, sort version 1). Only the first 255 characters count, trailing blanks do
// not.
//
// Each file and text column names a sort order by its LCID. General (1033) is the order the
// family's code tables describe. Other orders of the General Legacy family change the codes of
// some characters; this engine knows those changes only as far as real files show them
// (locale_sort_tables.h), and computes a key in such an order only when it knows the code of
// every character of the text there. It never computes a key it cannot know.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine::format {

inline constexpr uint16_t kGeneralSortLcid = 0x0409;

enum class TextSortFamily : uint8_t { General97, GeneralLegacy, General };

struct TextSortOrder {
    TextSortFamily family = TextSortFamily::GeneralLegacy;
    uint16_t lcid = kGeneralSortLcid;
    bool operator==(const TextSortOrder&) const = default;
};

inline constexpr TextSortOrder kGeneral97Order{TextSortFamily::General97};
inline constexpr TextSortOrder kGeneralLegacyOrder{TextSortFamily::GeneralLegacy};
inline constexpr TextSortOrder kGeneralOrder{TextSortFamily::General};

// The order text keys take in a file of format whose text sorts by sort order lcid (version:
// Jet 4 and later); nullopt for Jet 3 files in an order other than General, whose rules this
// engine does not have.
std::optional<TextSortOrder> textSortOrder(bool jet3, uint16_t lcid, uint8_t version);

// The order's name for messages, e.g. "Chinese PRC (2052)".
std::string sortOrderName(TextSortOrder order);

// What keeps this engine from computing the key of text (UTF-8) in order exactly: the
// character, or pair of characters, whose code there it does not know. nullopt when it can.
std::optional<std::string> textKeyGap(std::string_view text, TextSortOrder order);

// The General rules of the order's family, which compare text as closely as this engine can
// where it cannot compute the order's own keys.
TextSortOrder generalOf(TextSortOrder order);

// Turns the key's bytes from index from on into those of a descending key: every bit inverted.
inline void invertKeyBytes(std::vector<uint8_t>& key, size_t from) {
    for (size_t index = from; index < key.size(); ++index) {
        key[index] = static_cast<uint8_t>(~key[index]);
    }
}

// Appends the value part of a text key (after its flag byte) for text (UTF-8). Throws
// NotSupported, naming the order and the character, when textKeyGap finds a gap.
void appendTextKey(std::string_view text, TextSortOrder order, bool ascending,
                   std::vector<uint8_t>& key);

}  // namespace engine::format

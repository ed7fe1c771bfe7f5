#include "engine/format/indexes/text_index_key.h"

#include "engine/error.h"
#include "engine/format/indexes/locale_sort_tables.h"
#include "engine/format/indexes/sort_order_tables.h"
#include "engine/storage/crypto/base64.h"
#include "engine/storage/unicode.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <stdexcept>
#include <string>

namespace engine::format {

namespace {

// How one character sorts (kinds as in sort_order_tables.h).
enum class Kind : uint8_t {
    Ignored = 0,
    Simple = 1,
    International = 2,
    Unprintable = 3,
    ExtraModifier = 4,
    InternationalFlagged = 5,
    Significant = 6,
};

struct CharCode {
    Kind kind = Kind::Ignored;
    uint8_t inlineLength = 0;  // inline codes (Unprintable: its codes)
    uint8_t extraLength = 0;   // extra codes (ExtraModifier: 1, the modifier)
    uint8_t flag = 0;          // InternationalFlagged: 1 or 0
    uint32_t offset = 0;       // into the table's pool: inline codes, then extra codes
};

struct CodeTable {
    std::vector<CharCode> codes;
    std::vector<uint8_t> pool;
    // The bytes that are a character's whole inline code: in General Legacy, such a byte is a
    // sort element of its own, and any other byte opens an element of two bytes.
    std::array<bool, 256> singleByteElement{};
    // General 97: the codes of the letters (significant characters).
    std::array<bool, 256> letterCode{};
};

constexpr size_t kMaxIndexedChars = 255;
constexpr uint8_t kEndOfText = 0x01;
constexpr uint8_t kEndOfExtra = 0x00;
constexpr uint8_t kExtraPlaceholder = 0x02;
constexpr uint16_t kUnprintableStart = 7;
constexpr uint16_t kUnprintableStep = 4;
constexpr uint16_t kUnprintableFlag = 0x8000;
constexpr uint8_t kUnprintableMark = 0x06;
constexpr uint8_t kFlagCodesStart = 0x80;
constexpr uint8_t kFlagCodeOne = 0x02;
constexpr uint8_t kFlagCodeOther = 0x03;
constexpr uint8_t kFlagCodesEnd[] = {0xFF, 0x02, 0x80, 0xFF, 0x80};
constexpr uint8_t kFlagCodesBeforeUnprintable = 0xFF;
constexpr char16_t kSurrogateFirst = 0xD800;
constexpr char16_t kLowSurrogateFirst = 0xDC00;
constexpr char16_t kSurrogateLast = 0xDFFF;
constexpr uint8_t kSurrogateExtra = 0x3F;

// The program's bytes: its pieces joined, as base64.
std::vector<uint8_t> programBytes(const char* const* pieces) {
    std::string text;
    for (; *pieces; ++pieces) text += *pieces;
    return *storage::decodeBase64(text, storage::Base64Input::SkipOthers);
}

// Unpacks a table program into one code per character (surrogates excluded from the count).
CodeTable unpack(const char* const* packed, size_t characters) {
    std::vector<uint8_t> program = programBytes(packed);
    CodeTable table;
    table.codes.reserve(characters);
    size_t at = 0;
    auto next = [&]() -> uint8_t {
        if (at >= program.size()) throw std::logic_error("sort table program ends early");
        return program[at++];
    };
    auto bytes = [&](uint8_t count) {
        for (uint8_t index = 0; index < count; ++index) table.pool.push_back(next());
    };
    CharCode last;
    while (table.codes.size() < characters) {
        uint8_t op = next();
        if (op == 7 || op == 8 || op == 9) {
            unsigned count = next() + 1u;
            for (unsigned index = 0; index < count; ++index) {
                if (op == 7) {
                    table.codes.push_back(CharCode{});
                    continue;
                }
                if (op == 8) {
                    CharCode code = last;
                    code.offset = static_cast<uint32_t>(table.pool.size());
                    table.pool.insert(table.pool.end(), table.pool.begin() + last.offset,
                                      table.pool.begin() + last.offset + last.inlineLength);
                    table.pool.back() = static_cast<uint8_t>(table.pool.back() + 1);
                    last = code;
                }
                table.codes.push_back(last);
            }
            continue;
        }
        CharCode code;
        code.kind = static_cast<Kind>(op);
        code.offset = static_cast<uint32_t>(table.pool.size());
        switch (code.kind) {
            case Kind::Simple:
            case Kind::Unprintable:
            case Kind::Significant:
                code.inlineLength = next();
                bytes(code.inlineLength);
                break;
            case Kind::ExtraModifier:
                code.extraLength = 1;
                bytes(1);
                break;
            case Kind::International:
            case Kind::InternationalFlagged:
                code.inlineLength = next();
                bytes(code.inlineLength);
                code.extraLength = next();
                bytes(code.extraLength);
                if (code.kind == Kind::InternationalFlagged) code.flag = next();
                break;
            default:
                throw std::logic_error("sort table program holds an unknown op");
        }
        table.codes.push_back(code);
        last = code;
    }
    for (const CharCode& code : table.codes) {
        if (code.inlineLength == 1 && code.kind != Kind::Unprintable) {
            table.singleByteElement[table.pool[code.offset]] = true;
        }
        if (code.inlineLength == 1 && code.kind == Kind::Significant) {
            table.letterCode[table.pool[code.offset]] = true;
        }
    }
    return table;
}

const CodeTable& tableFor(TextSortOrder order) {
    constexpr size_t kFullRange = 65536 - (kSurrogateLast - kSurrogateFirst + 1);
    static std::once_flag once[3];
    static CodeTable tables[3];
    auto index = static_cast<size_t>(order.family);
    std::call_once(once[index], [&] {
        switch (order.family) {
            case TextSortFamily::GeneralLegacy:
                tables[index] = unpack(sort_tables::kGeneralLegacy, kFullRange);
                break;
            case TextSortFamily::General:
                tables[index] = unpack(sort_tables::kGeneral, kFullRange);
                break;
            case TextSortFamily::General97:
                tables[index] = unpack(sort_tables::kGeneral97, 256);
                break;
        }
    });
    return tables[index];
}

// The code of a character in a full-range table, surrogates computed as the product does.
struct Lookup {
    Kind kind;
    std::vector<uint8_t> inlineCodes;
    std::vector<uint8_t> extraCodes;
    std::vector<uint8_t> unprintableCodes;
    uint8_t modifier = 0;
    uint8_t flag = 0;
};

Lookup lookUp(const CodeTable& table, char16_t c) {
    Lookup found;
    if (c >= kSurrogateFirst && c <= kSurrogateLast) {
        int code;
        if (c < kLowSurrogateFirst) {
            code = c - 10238;
        } else {
            int position = (c - kLowSurrogateFirst) % 1024;
            int shift = position < 8     ? 9992
                        : position < 262 ? 9990
                        : position < 516 ? 9988
                        : position < 770 ? 9986
                                         : 9984;
            code = c - shift;
        }
        found.kind = Kind::International;
        found.inlineCodes = {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)};
        found.extraCodes = {kSurrogateExtra};
        return found;
    }
    size_t index = c < kSurrogateFirst ? c : c - (kSurrogateLast - kSurrogateFirst + 1);
    const CharCode& code = table.codes[index];
    found.kind = code.kind;
    const uint8_t* pool = table.pool.data() + code.offset;
    if (code.kind == Kind::ExtraModifier) {
        found.modifier = pool[0];
        return found;
    }
    if (code.kind == Kind::Unprintable) {
        found.unprintableCodes.assign(pool, pool + code.inlineLength);
        return found;
    }
    found.inlineCodes.assign(pool, pool + code.inlineLength);
    found.extraCodes.assign(pool + code.inlineLength, pool + code.inlineLength + code.extraLength);
    found.flag = code.flag;
    return found;
}

std::u16string indexedText(std::string_view text) {
    std::u16string units = storage::utf8ToUtf16(text);
    if (units.size() > kMaxIndexedChars) units.resize(kMaxIndexedChars);
    while (!units.empty() && units.back() == u' ') units.pop_back();
    return units;
}

// How an order departs from its family's General rules.
struct OrderRules {
    bool general = true;  // the family's General order: every character's code is known
    const locale_tables::LocaleRules* locale = nullptr;  // what real files show of the order
};

OrderRules rulesOf(TextSortOrder order) {
    if (order.lcid == kGeneralSortLcid) return {};
    OrderRules rules{.general = false};
    if (order.family != TextSortFamily::GeneralLegacy) return rules;
    for (size_t index = 0; index < locale_tables::kLocaleCount; ++index) {
        if (locale_tables::kLocales[index].lcid == order.lcid) {
            rules.locale = &locale_tables::kLocales[index];
        }
    }
    return rules;
}

char16_t lowerLetter(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c - u'A' + u'a');
    if (c == u'\u017D') return u'\u017E';  // Z with caron
    return c;
}

// Pairs of letters that an order sorts as one letter (in any letter case): a text that holds
// one is keyed only where the files show that very pair's code.
bool sortsAsOneLetter(uint16_t lcid, char16_t first, char16_t second) {
    constexpr uint16_t kCroatian = 1050;
    if (lcid != kCroatian) return false;
    first = lowerLetter(first);
    second = lowerLetter(second);
    return (first == u'l' && second == u'j') || (first == u'n' && second == u'j') ||
           (first == u'd' && second == u'\u017E');
}

// The code of its own that the order gives the unit at text[at] (the longest that matches),
// with the characters it takes; nullptr when the character there has none.
const locale_tables::LocaleCode* ownCode(const locale_tables::LocaleRules& rules,
                                         std::u16string_view text, size_t at, size_t& used) {
    const locale_tables::LocaleCode* found = nullptr;
    for (const auto& code : rules.own) {
        if (code.text.empty() || text.substr(at, code.text.size()) != code.text) continue;
        if (!found || code.text.size() > found->text.size()) found = &code;
    }
    used = found ? found->text.size() : 1;
    return found;
}

// Whether a character keeps its General Legacy code in the order: seen so, or order-independent
// and not the other letter case of a character the order codes on its own (the Swedish "W",
// whose "w" sorts with "v").
bool keepsGeneralCode(const locale_tables::LocaleRules& rules, char16_t c) {
    if (rules.kept.find(c) != std::u16string_view::npos) return true;
    if (locale_tables::kOrderIndependent.find(c) == std::u16string_view::npos) return false;
    const char16_t otherCase = (c >= u'A' && c <= u'Z')   ? static_cast<char16_t>(c + 32)
                               : (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32)
                                                          : c;
    return std::none_of(rules.own.begin(), rules.own.end(), [&](const auto& code) {
        return code.text.find(otherCase) != std::u16string_view::npos;
    });
}

// The first unit of text whose code in the order this engine does not know; nullopt when it
// knows every one.
std::optional<std::u16string> firstGap(const OrderRules& rules, std::u16string_view text) {
    if (rules.general) return std::nullopt;
    for (size_t at = 0; at < text.size();) {
        if (!rules.locale) return std::u16string(text.substr(at, 1));
        size_t used = 1;
        if (ownCode(*rules.locale, text, at, used)) {
            at += used;
            continue;
        }
        if (at + 1 < text.size() && sortsAsOneLetter(rules.locale->lcid, text[at], text[at + 1])) {
            return std::u16string(text.substr(at, 2));
        }
        if (!keepsGeneralCode(*rules.locale, text[at])) return std::u16string(text.substr(at, 1));
        ++at;
    }
    return std::nullopt;
}

// The sort elements an inline code stands for. In General Legacy a letter is one byte and
// other elements two (a lead byte that is no letter's code, then a weight); "ß" is the two
// elements "ss", and a Cyrillic letter one element of two bytes. Positions in the extra and
// unprintable sections count elements. In General every character counts one.
size_t elementCount(const CodeTable& table, const std::vector<uint8_t>& codes, bool legacy) {
    if (!legacy) return 1;
    size_t elements = 0;
    for (size_t at = 0; at < codes.size(); ++elements) {
        at += table.singleByteElement[codes[at]] ? 1 : 2;
    }
    return elements;
}

// General and General Legacy: inline codes of every character, an end mark, then the extra
// codes of accented characters, the flags of some international characters and the codes of
// unprintable characters, each section only when needed.
void appendGeneral(const CodeTable& table, bool legacy, const locale_tables::LocaleRules* locale,
                   std::u16string_view text, bool ascending, std::vector<uint8_t>& key) {
    const size_t start = key.size();
    std::vector<uint8_t> extra;
    bool extraStarted = false;
    size_t extraChars = 0;
    size_t extraUnprintablePrefix = 0;
    std::vector<uint8_t> unprintable;
    std::vector<uint8_t> flags;
    size_t position = 0;  // counts the sort elements of the inline codes so far

    for (size_t at = 0; at < text.size();) {
        size_t used = 1;
        const locale_tables::LocaleCode* own = locale ? ownCode(*locale, text, at, used) : nullptr;
        Lookup code;
        if (own) {
            code.kind = own->extra != 0 ? Kind::International : Kind::Simple;
            code.inlineCodes.assign(own->codes, own->codes + own->length);
            if (own->extra != 0) code.extraCodes = {own->extra};
        } else {
            code = lookUp(table, text[at]);
        }
        at += used;
        size_t here = position;
        if (!code.inlineCodes.empty()) {
            key.insert(key.end(), code.inlineCodes.begin(), code.inlineCodes.end());
            position += elementCount(table, code.inlineCodes, legacy);
        }
        if (code.kind == Kind::Simple || code.kind == Kind::Ignored) continue;

        if (!code.extraCodes.empty() || code.modifier != 0) {
            extraStarted = true;
            if (extraChars < here) {
                extra.insert(extra.end(), here - extraChars, kExtraPlaceholder);
                extraChars = here;
            }
            if (!code.extraCodes.empty()) {
                // One extra code for each element of the character.
                extra.insert(extra.end(), code.extraCodes.begin(), code.extraCodes.end());
                extraChars += code.extraCodes.size();
            } else if (!extra.empty()) {
                extra.back() = static_cast<uint8_t>(extra.back() + code.modifier);
            } else {
                extra.push_back(code.modifier);
                extraUnprintablePrefix = 1;
            }
        }
        if (code.kind == Kind::Unprintable) {
            size_t offset = here;
            if (extraStarted) offset = extra.size() + (here - extraChars) - extraUnprintablePrefix;
            auto mark = static_cast<uint16_t>((kUnprintableStart + kUnprintableStep * offset) |
                                              kUnprintableFlag);
            unprintable.push_back(static_cast<uint8_t>(mark >> 8));
            unprintable.push_back(static_cast<uint8_t>(mark));
            unprintable.push_back(kUnprintableMark);
            unprintable.insert(unprintable.end(), code.unprintableCodes.begin(),
                               code.unprintableCodes.end());
        }
        if (code.kind == Kind::InternationalFlagged) {
            flags.push_back(code.flag == 1 ? kFlagCodeOne : kFlagCodeOther);
        }
    }

    key.push_back(kEndOfText);
    while (!extra.empty() && extra.back() <= kExtraPlaceholder) extra.pop_back();
    bool hasFlags = !flags.empty();
    bool hasUnprintable = !unprintable.empty();
    key.insert(key.end(), extra.begin(), extra.end());
    if (hasFlags || hasUnprintable) {
        key.push_back(kEndOfText);
        key.push_back(kEndOfText);
        if (hasFlags) {
            while (!flags.empty() && flags.back() == kFlagCodeOther) flags.pop_back();
            // Three flags to a byte, two bits each, under a common high bit.
            for (size_t index = 0; index < flags.size(); index += 3) {
                uint8_t packed = kFlagCodesStart;
                for (size_t part = 0; part < 3 && index + part < flags.size(); ++part) {
                    packed |= static_cast<uint8_t>(flags[index + part] << ((2 - part) * 2));
                }
                key.push_back(packed);
            }
            key.insert(key.end(), std::begin(kFlagCodesEnd), std::end(kFlagCodesEnd));
            if (hasUnprintable) key.push_back(kFlagCodesBeforeUnprintable);
        }
        if (hasUnprintable) {
            key.push_back(kEndOfText);
            key.insert(key.end(), unprintable.begin(), unprintable.end());
        }
    }
    if (!ascending) {
        key.push_back(kEndOfExtra);
        invertKeyBytes(key, start);
    }
    key.push_back(kEndOfExtra);
}

// General 97 (Jet 3): inline codes, then the extra codes as nibbles (each accented character's
// one extra code, after a placeholder nibble for every significant character before it),
// opened and closed by a zero nibble; a single zero byte when there are none.
void appendGeneral97(const CodeTable& table, std::u16string_view text, bool ascending,
                     std::vector<uint8_t>& key) {
    const size_t start = key.size();
    std::vector<uint8_t> nibbles;
    bool anyExtra = false;
    size_t significant = 0;
    for (char16_t c : text) {
        size_t index = 0;
        if (c <= 0xFF) {
            index = c;
        } else {
            for (const auto& [from, to] : sort_tables::kGeneral97Mappings) {
                if (from == c) index = to;
            }
        }
        // NUL sorts as the other control characters do.
        Lookup code = lookUp(table, static_cast<char16_t>(index == 0 ? 1 : index));
        key.insert(key.end(), code.inlineCodes.begin(), code.inlineCodes.end());
        // A character that stands for several letters ("ß" for "ss") counts as those letters.
        if (code.kind == Kind::Simple && code.inlineCodes.size() > 1 &&
            std::all_of(code.inlineCodes.begin(), code.inlineCodes.end(),
                        [&](uint8_t byte) { return table.letterCode[byte]; })) {
            significant += code.inlineCodes.size();
            continue;
        }
        if (code.kind == Kind::Simple || code.kind == Kind::Ignored) continue;
        if (code.kind == Kind::Significant) {
            ++significant;
            continue;
        }
        if (code.extraCodes.empty()) continue;
        if (!anyExtra) {
            anyExtra = true;
            nibbles.push_back(0);
        }
        nibbles.insert(nibbles.end(), significant, kExtraPlaceholder);
        nibbles.push_back(code.extraCodes.front() & 0x0F);
        significant = 0;
    }
    if (anyExtra) {
        nibbles.push_back(0);
        for (size_t index = 0; index < nibbles.size(); index += 2) {
            uint8_t high = static_cast<uint8_t>(nibbles[index] << 4);
            uint8_t low = index + 1 < nibbles.size() ? nibbles[index + 1] : 0;
            key.push_back(static_cast<uint8_t>(high | low));
        }
    } else {
        key.push_back(kEndOfExtra);
    }
    if (!ascending) invertKeyBytes(key, start);
}

}  // namespace

std::optional<TextSortOrder> textSortOrder(bool jet3, uint16_t lcid, uint8_t version) {
    if (jet3) {
        if (lcid != kGeneralSortLcid) return std::nullopt;
        return kGeneral97Order;
    }
    return TextSortOrder{version == 1 ? TextSortFamily::General : TextSortFamily::GeneralLegacy,
                         lcid};
}

std::string sortOrderName(TextSortOrder order) {
    struct Named {
        uint16_t lcid;
        const char* name;
    };
    static constexpr Named kNames[] = {
        {1025, "Arabic"},          {1026, "Bulgarian"},
        {1028, "Chinese Taiwan"},  {1029, "Czech"},
        {1030, "Danish"},          {1031, "German"},
        {1032, "Greek"},           {1034, "Spanish traditional"},
        {1035, "Finnish"},         {1036, "French"},
        {1037, "Hebrew"},          {1038, "Hungarian"},
        {1039, "Icelandic"},       {1040, "Italian"},
        {1041, "Japanese"},        {1042, "Korean"},
        {1043, "Dutch"},           {1044, "Norwegian"},
        {1045, "Polish"},          {1046, "Portuguese"},
        {1048, "Romanian"},        {1049, "Cyrillic"},
        {1050, "Croatian"},        {1051, "Slovak"},
        {1053, "Swedish/Finnish"}, {1054, "Thai"},
        {1055, "Turkish"},         {1058, "Ukrainian"},
        {1060, "Slovenian"},       {1061, "Estonian"},
        {1062, "Latvian"},         {1063, "Lithuanian"},
        {1066, "Vietnamese"},      {2052, "Chinese PRC"},
        {3082, "Spanish modern"},
    };
    std::string name = "LCID";
    for (const auto& known : kNames) {
        if (known.lcid == order.lcid) name = known.name;
    }
    if (order.lcid == kGeneralSortLcid) {
        name = order.family == TextSortFamily::General97       ? "General 97"
               : order.family == TextSortFamily::GeneralLegacy ? "General Legacy"
                                                               : "General";
    }
    return name + " (" + std::to_string(order.lcid) + ")";
}

std::optional<std::string> textKeyGap(std::string_view text, TextSortOrder order) {
    const OrderRules rules = rulesOf(order);
    if (rules.general) return std::nullopt;
    if (auto gap = firstGap(rules, indexedText(text))) return storage::utf16ToUtf8(*gap);
    return std::nullopt;
}

TextSortOrder generalOf(TextSortOrder order) { return {order.family, kGeneralSortLcid}; }

void appendTextKey(std::string_view text, TextSortOrder order, bool ascending,
                   std::vector<uint8_t>& key) {
    std::u16string units = indexedText(text);
    if (order.family == TextSortFamily::General97) {
        appendGeneral97(tableFor(order), units, ascending, key);
        return;
    }
    const OrderRules rules = rulesOf(order);
    if (auto gap = firstGap(rules, units)) {
        throw EngineError(ErrorCode::NotSupported,
                          "This engine cannot compute the index key of '" + std::string(text) +
                              "' in the sort order " + sortOrderName(order) +
                              ": it does not know the code of '" + storage::utf16ToUtf8(*gap) +
                              "' in that order.");
    }
    appendGeneral(tableFor(order), order.family == TextSortFamily::GeneralLegacy, rules.locale,
                  units, ascending, key);
}

}  // namespace engine::format

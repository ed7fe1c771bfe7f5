// Stored texts decode to the UTF-8 that a plain unit-by-unit reading of their UTF-16 gives,
// whatever the mix of ASCII runs, other characters and broken surrogates; and what the encoder
// stores, plain or compressed, decodes to the text it was given.
#include "engine/format/rows/text_codec.h"

#include "engine/storage/unicode.h"

#include <gtest/gtest.h>
#include <random>

namespace engine::format {
namespace {

// UTF-16 units to UTF-8 one unit at a time: a high surrogate followed by a low one is one
// character, any other surrogate is U+FFFD.
std::string referenceUtf8(const std::vector<char16_t>& units) {
    std::string text;
    for (size_t index = 0; index < units.size(); ++index) {
        char32_t unit = units[index];
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            const char32_t next = index + 1 < units.size() ? units[index + 1] : 0;
            if (unit <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
                ++index;
            } else {
                unit = 0xFFFD;
            }
        }
        storage::appendUtf8(text, unit);
    }
    return text;
}

std::vector<uint8_t> storedBytes(const std::vector<char16_t>& units) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : units) {
        bytes.push_back(static_cast<uint8_t>(unit));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

TEST(TextCodec, utf16DecodesAsItsUnitsRead) {
    std::mt19937 random(20261209);
    // Runs of ASCII of every length around the decoder's word sizes, between other units.
    const std::vector<char16_t> others = {0x00E9, 0x0080, 0x07FF, 0x0800, 0x4E2D, 0xFFFD,
                                          0xD83D, 0xDE00, 0xDBFF, 0xDC00, 0x0000, 0x7F};
    for (int round = 0; round < 20000; ++round) {
        // Not FF FE first: that would mark the text as compressed.
        std::vector<char16_t> units = {u'x'};
        const int pieces = static_cast<int>(random() % 6);
        for (int piece = 0; piece < pieces; ++piece) {
            const size_t run = random() % 21;
            for (size_t index = 0; index < run; ++index) {
                units.push_back(static_cast<char16_t>(0x20 + random() % 0x5F));
            }
            const size_t other = random() % 3;
            for (size_t index = 0; index < other; ++index) {
                units.push_back(random() % 4 == 0 ? static_cast<char16_t>(random() % 0x10000)
                                                  : others[random() % others.size()]);
            }
        }
        const auto bytes = storedBytes(units);
        std::string decoded;
        decodeText(bytes, false, 1252, decoded);
        ASSERT_EQ(decoded, referenceUtf8(units)) << "round " << round;
    }
}

// Random texts: plain ASCII of every length around the decoder's word sizes, and the same with
// other characters in between (stored compressed only when every character fits in a byte).
TEST(TextCodec, randomTextsEncodeAndDecodeBack) {
    std::mt19937 random(91206);
    const std::vector<std::string> others = {"é", "\x7f", "\x01", "ÿ", "Ā", "中", "😀", "\t"};
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int pieces = 1 + static_cast<int>(random() % 4);
        for (int piece = 0; piece < pieces; ++piece) {
            const size_t run = random() % 41;
            for (size_t index = 0; index < run; ++index) {
                text += static_cast<char>(0x20 + random() % 0x5F);
            }
            if (random() % 2 == 0) text += others[random() % others.size()];
        }
        for (bool compress : {false, true}) {
            std::vector<uint8_t> stored;
            char32_t missing = 0;
            ASSERT_TRUE(encodeText(text, false, 1252, compress, stored, missing));
            std::string decoded = "left over";
            decodeText(stored, false, 1252, decoded);
            ASSERT_EQ(decoded, text) << "round " << round << " " << compress;
        }
    }
}

// Compressed texts as Access stores them: one-byte runs, with a zero byte switching to UTF-16
// units and another switching back, the switch at every place in and after a word.
TEST(TextCodec, compressedTextsSwitchingToUtf16DecodeWhole) {
    for (size_t before = 0; before <= 20; ++before) {
        for (size_t after = 0; after <= 20; ++after) {
            std::vector<uint8_t> stored = {kCompressedTextMarker0, kCompressedTextMarker1};
            std::string expected;
            auto run = [&](size_t length) {
                for (size_t index = 0; index < length; ++index) {
                    stored.push_back(static_cast<uint8_t>('a' + index % 26));
                    expected += static_cast<char>('a' + index % 26);
                }
            };
            run(before);
            stored.insert(stored.end(), {0x00, 0x2D, 0x4E});  // U+4E2D
            expected += "\u4E2D";
            if (after > 0) stored.push_back(0x00);
            run(after);
            EXPECT_EQ(decodeText(stored, false, 1252), expected) << before << " " << after;
        }
    }
}

TEST(TextCodec, whatIsEncodedDecodesToTheSameText) {
    for (const std::string text :
         {"", "a", "plain ASCII that runs on past sixteen characters", "Grüße aus Köln",
          "mixed 中文 and ASCII runs of various lengths 12345678", "emoji 😀 and more 😀😀",
          "\"quoted\", with, commas\nand a new line"}) {
        for (bool compress : {false, true}) {
            std::vector<uint8_t> stored;
            char32_t missing = 0;
            ASSERT_TRUE(encodeText(text, false, 1252, compress, stored, missing));
            EXPECT_EQ(decodeText(stored, false, 1252), text) << text << " " << compress;
        }
    }
}

}  // namespace
}  // namespace engine::format

// The patterns of LIKE, in the engine's wildcards:
//
//   *         any run of characters, none included
//   ?         any one character
//   #         any one digit 0-9
//   [abc]     one of the characters listed; [a-z] a range; [!abc] one not listed
//   [*] [?] [#] [[]   the character itself
//
// Letter case is ignored, in the pattern and the text alike. A "[" that is never closed, or a
// range whose ends are the wrong way round, makes the pattern invalid. Matching takes time in
// proportion to the text's length times the pattern's, whatever the pattern.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine::sql {

class LikePattern {
public:
    // nullopt when the pattern is invalid.
    static std::optional<LikePattern> compile(std::string_view pattern);

    // steps, when given, receives how many steps the match took: never more than the text's
    // characters plus one, times the pattern's elements plus one.
    bool matches(std::string_view text, size_t* steps = nullptr) const;

private:
    struct Range {
        char32_t first;
        char32_t last;
    };
    struct Element {
        enum class Kind { Character, AnyOne, Digit, Set, AnyRun } kind = Kind::Character;
        char32_t character = 0;
        std::vector<Range> ranges;  // Set
        bool negated = false;       // Set
    };

    bool matchesOne(const Element& element, char32_t character) const;

    std::vector<Element> m_elements;
};

}  // namespace engine::sql

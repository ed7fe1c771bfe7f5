// The text of the statement being parsed, as error messages may show it.
//
// Messages name the offending text, but never a password. A password can only follow a
// PWD= (or PASSWORD=) of a connect string, and may itself hold "]" or ";", so that what comes
// after it can be part of it too. Everything from the first PWD or PASSWORD keyword followed
// by "=" (letter case and blanks before the "=" ignored) to the end of the statement is
// therefore never shown: such text is named by its position only. Text before it is shown
// clipped to a few dozen characters, line breaks and tabs as blanks.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace engine::sql {

class StatementText {
public:
    explicit StatementText(std::string_view text);

    std::string_view text() const { return m_text; }

    // 'text' for the bytes [offset, offset + length), clipped; nullopt when none of it may be
    // shown.
    std::optional<std::string> quoted(size_t offset, size_t length) const;
    // "'text' at position N", or "text at position N" when it may not be shown.
    std::string describe(size_t offset, size_t length) const;
    // "position N": the 1-based character (not byte) position of offset.
    std::string position(size_t offset) const;

private:
    std::string_view m_text;
    size_t m_hiddenFrom;  // offset of the first byte that is never shown
};

}  // namespace engine::sql

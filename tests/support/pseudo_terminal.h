// A pseudo-terminal for tests: the test types on the controlling side and reads what the screen
// shows there; a program (or the code under test) uses the other side, a real terminal.
#pragma once

#include <string>

namespace support {

class PseudoTerminal {
public:
    PseudoTerminal();  // throws std::runtime_error when the system has none to give
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The terminal side, for the program.
    int terminal() const { return m_terminal; }
    bool echoes() const;
    // Types text as on a keyboard; false when it could not be sent whole.
    bool type(const std::string& text);
    // What the screen showed since the last call, read until it shows text or ten seconds pass.
    std::string readUntil(const std::string& text);
    // What the screen showed since the last call and is there to read now.
    std::string readShown();

private:
    int m_controller = -1;
    int m_terminal = -1;
};

}  // namespace support

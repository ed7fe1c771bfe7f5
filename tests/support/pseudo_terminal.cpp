#include "support/pseudo_terminal.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace support {

PseudoTerminal::PseudoTerminal() {
    m_controller = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_controller < 0 || grantpt(m_controller) != 0 || unlockpt(m_controller) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    m_terminal = open(ptsname(m_controller), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_terminal < 0) throw std::runtime_error("cannot open the pseudo-terminal");
}

PseudoTerminal::~PseudoTerminal() {
    close(m_terminal);
    close(m_controller);
}

bool PseudoTerminal::echoes() const {
    termios settings{};
    tcgetattr(m_terminal, &settings);
    return (settings.c_lflag & ECHO) != 0;
}

bool PseudoTerminal::type(const std::string& text) {
    return write(m_controller, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

std::string PseudoTerminal::readUntil(const std::string& text) {
    std::string shown;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (shown.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{m_controller, POLLIN, 0};
        if (poll(&ready, 1, 100) > 0) {
            char buffer[256];
            const ssize_t got = read(m_controller, buffer, sizeof buffer);
            if (got > 0) shown.append(buffer, static_cast<size_t>(got));
        }
    }
    return shown;
}

std::string PseudoTerminal::readShown() {
    std::string shown;
    pollfd ready{m_controller, POLLIN, 0};
    while (poll(&ready, 1, 0) > 0) {
        char buffer[4096];
        const ssize_t got = read(m_controller, buffer, sizeof buffer);
        if (got <= 0) break;
        shown.append(buffer, static_cast<size_t>(got));
    }
    return shown;
}

}  // namespace support

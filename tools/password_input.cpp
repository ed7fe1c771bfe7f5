#include "password_input.h"

#include <array>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace tools {
namespace {

// The terminal's settings from before the echo was turned off, for the signal handler.
termios g_terminalBefore{};

void restoreTerminalAndDie(int signal) {
    tcsetattr(STDIN_FILENO, TCSANOW, &g_terminalBefore);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Turns the terminal's echo off for its lifetime. The echo comes back however the program
// leaves: normally, by an exception, or by a signal that ends it (Ctrl-C, a closed terminal).
class EchoOff {
public:
    EchoOff() {
        if (tcgetattr(STDIN_FILENO, &g_terminalBefore) != 0) {
            return;
        }
        struct sigaction restore {};
        restore.sa_handler = restoreTerminalAndDie;
        sigemptyset(&restore.sa_mask);
        for (size_t index = 0; index < kSignals.size(); ++index) {
            sigaction(kSignals[index], nullptr, &m_handlersBefore[index]);
            // A signal the caller ignores (nohup) stays ignored.
            if (m_handlersBefore[index].sa_handler != SIG_IGN) {
                sigaction(kSignals[index], &restore, nullptr);
            }
        }
        m_active = true;
        termios silent = g_terminalBefore;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        // Anything typed ahead of the prompt is dropped rather than taken as the password.
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    ~EchoOff() {
        if (!m_active) {
            return;
        }
        tcsetattr(STDIN_FILENO, TCSANOW, &g_terminalBefore);
        for (size_t index = 0; index < kSignals.size(); ++index) {
            sigaction(kSignals[index], &m_handlersBefore[index], nullptr);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    static constexpr std::array kSignals = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
    std::array<struct sigaction, kSignals.size()> m_handlersBefore{};
    bool m_active = false;
};

void completePassword(std::optional<std::string>& password, const char* variable,
                      const char* prompt, PasswordInput& input) {
    if (!password) {
        password = input.variable(variable);
    } else if (*password == kPasswordFromInput) {
        password = input.read(prompt);
    }
}

}  // namespace

std::optional<std::string> ProcessPasswordInput::variable(const char* name) const {
    const char* value = std::getenv(name);
    return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

std::string ProcessPasswordInput::read(const char* prompt) {
    if (isatty(STDIN_FILENO) == 0) {
        return readPasswordLine(std::cin);
    }
    const EchoOff echoOff;
    std::cerr << prompt << std::flush;
    std::string password;
    try {
        password = readPasswordLine(std::cin);
    } catch (const UsageError&) {
        std::cerr << std::endl;
        throw;
    }
    // The Enter that ended the password was not echoed either.
    std::cerr << std::endl;
    return password;
}

void completePasswords(Arguments& arguments, PasswordInput& input) {
    const bool copy = arguments.command == "copy";
    const bool create = arguments.command == "create";
    completePassword(arguments.password, kPasswordVariable,
                     copy ? "Password of the source database: " : "Password: ", input);
    completePassword(
        arguments.destinationPassword, kDestinationPasswordVariable,
        create ? "Password for the new database: " : "Password of the destination database: ",
        input);
}

std::string readPasswordLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line)) {
        throw UsageError("standard input ended before the password");
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

}  // namespace tools

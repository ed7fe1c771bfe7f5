// Passwords kept out of the process list and the shell's history. Words on the command line can
// be read by every user of the machine (ps, /proc/PID/cmdline), so a password can instead come
// from standard input or the environment:
//
//   -p -  or  -P -     read from standard input, one line each, -p's first; on a terminal the
//                      password is asked for and typed without echo
//   no -p              CORVANTA_PASSWORD, when it is set
//   no -P              CORVANTA_PASSWORD2 (the second file's: a copy's destination, a new file)
//
// A password given on the command line as before is used as it is.
#pragma once

#include "arguments.h"

#include <istream>
#include <optional>
#include <string>

namespace tools {

inline constexpr char kPasswordVariable[] = "CORVANTA_PASSWORD";
inline constexpr char kDestinationPasswordVariable[] = "CORVANTA_PASSWORD2";
// The option value that reads the password from standard input.
inline constexpr char kPasswordFromInput[] = "-";

// Where passwords come from when the command line does not hold them.
class PasswordInput {
public:
    virtual ~PasswordInput() = default;
    // The value of an environment variable, or nothing when it is not set.
    virtual std::optional<std::string> variable(const char* name) const = 0;
    // One password from standard input; prompt is shown when the input is a terminal. Throws
    // UsageError when the input ends before a password.
    virtual std::string read(const char* prompt) = 0;
};

// The process's own environment and standard input (file descriptor 0).
class ProcessPasswordInput : public PasswordInput {
public:
    std::optional<std::string> variable(const char* name) const override;
    std::string read(const char* prompt) override;
};

// Puts the passwords that "-" or the environment stand for into the arguments.
void completePasswords(Arguments& arguments, PasswordInput& input);

// One password line from a stream, without its line end ("\n" or "\r\n"); every other
// character, blanks included, belongs to the password. Throws UsageError at the end of input.
std::string readPasswordLine(std::istream& in);

}  // namespace tools

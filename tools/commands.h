// The commands of corvanta-db. Each writes its result to out and throws engine::EngineError
// (or UsageError) on failure; the program's main turns those into messages and exit codes.
#pragma once

#include "arguments.h"
#include "password_input.h"

#include <ostream>

namespace tools {

// Runs the command named in arguments. Returns the process exit status.
int runCommand(const Arguments& arguments, std::ostream& out);

// Runs a whole command line: prints errors to err as "error NUMBER: TEXT". Passwords that the
// command line leaves to standard input or the environment come from passwords.
int runCommandLine(const std::vector<std::string>& words, std::ostream& out, std::ostream& err,
                   PasswordInput& passwords);
// The same with the process's own standard input and environment.
int runCommandLine(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace tools

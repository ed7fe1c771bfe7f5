// Running corvanta-db's command line in the test's own process, keeping what it printed.
#pragma once

#include "commands.h"

#include <sstream>
#include <string>
#include <vector>

struct CommandOutcome {
    int status;
    std::string out;
    std::string err;
};

inline CommandOutcome runCommand(const std::vector<std::string>& words) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = tools::runCommandLine(words, out, err);
    return {status, out.str(), err.str()};
}

// Running other programs (mdbtools, our own tools) from tests.
#pragma once

#include <string>
#include <vector>

namespace support {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs program with arguments (no shell), capturing standard output and error.
ProcessResult runProcess(const std::vector<std::string>& command);

}  // namespace support

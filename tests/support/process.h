// Running other programs (mdbtools, our own tools) from tests.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace support {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs program with arguments (no shell), capturing standard output and error.
ProcessResult runProcess(const std::vector<std::string>& command);

// Runs action in a forked child process and returns its exit status: action's result, 2 when it
// throws, 128 + the signal when one ends it.
int inChild(const std::function<int()>& action);

// The same without waiting: the child's process id, for waitForChild().
pid_t startChild(const std::function<int()>& action);
int waitForChild(pid_t child);

}  // namespace support

// Running other programs (mdbtools, our own tools and programs) from tests.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace support {

struct ProcessResult {
    int exitCode = -1;  // 128 + the signal's number when a signal ended the program
    std::string out;
    std::string err;
};

struct ProcessOptions {
    // NAME=value entries that replace or add to the test's own environment.
    std::vector<std::string> environment;
    // When set: a terminal (the subordinate side of a pseudo-terminal) that becomes the program's
    // standard input and standard error; otherwise both are pipes.
    int terminal = -1;
};

// A program started without a shell, its standard output (and error, and input) on pipes.
// A program still running when the object dies is killed.
class RunningProcess {
public:
    explicit RunningProcess(const std::vector<std::string>& command,
                            const ProcessOptions& options = {});
    ~RunningProcess();
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    pid_t pid() const { return m_pid; }
    void writeInput(std::string_view text);
    void closeInput();
    // Whether the program has not ended yet.
    bool running();
    void sendSignal(int signal);
    // Closes the input, collects the output until the program closes it, and waits for the end.
    ProcessResult finish();

private:
    pid_t m_pid = -1;
    int m_status = 0;
    bool m_ended = false;
    int m_input = -1;
    int m_output = -1;
    int m_error = -1;
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

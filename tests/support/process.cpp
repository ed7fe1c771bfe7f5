#include "support/process.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace support {
namespace {

void closeDescriptor(int& descriptor) {
    if (descriptor >= 0) {
        close(descriptor);
        descriptor = -1;
    }
}

// The test's environment with the given entries replacing those of the same name.
std::vector<std::string> environmentWith(const std::vector<std::string>& entries) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view own(*entry);
        bool replaced = false;
        for (const auto& given : entries) {
            const std::string_view name = std::string_view(given).substr(0, given.find('=') + 1);
            replaced = replaced || own.starts_with(name);
        }
        if (!replaced) result.emplace_back(own);
    }
    result.insert(result.end(), entries.begin(), entries.end());
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (auto& text : texts) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

}  // namespace

RunningProcess::RunningProcess(const std::vector<std::string>& command,
                               const ProcessOptions& options) {
    std::array<int, 2> inPipe{-1, -1};
    std::array<int, 2> outPipe{-1, -1};
    std::array<int, 2> errPipe{-1, -1};
    const bool onTerminal = options.terminal >= 0;
    if (pipe2(outPipe.data(), O_CLOEXEC) != 0 ||
        (!onTerminal &&
         (pipe2(inPipe.data(), O_CLOEXEC) != 0 || pipe2(errPipe.data(), O_CLOEXEC) != 0))) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, onTerminal ? options.terminal : inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, onTerminal ? options.terminal : errPipe[1], 2);
    std::vector<std::string> arguments = command;
    std::vector<std::string> environment = environmentWith(options.environment);
    const int spawned = posix_spawnp(&m_pid, arguments.front().c_str(), &actions, nullptr,
                                     pointers(arguments).data(), pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    closeDescriptor(inPipe[0]);
    closeDescriptor(outPipe[1]);
    closeDescriptor(errPipe[1]);
    m_input = inPipe[1];
    m_output = outPipe[0];
    m_error = errPipe[0];
    if (spawned != 0) {
        m_ended = true;
        throw std::runtime_error("cannot start " + command.front());
    }
}

RunningProcess::~RunningProcess() {
    if (!m_ended) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &m_status, 0);
    }
    closeDescriptor(m_input);
    closeDescriptor(m_output);
    closeDescriptor(m_error);
}

void RunningProcess::writeInput(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(m_input, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) throw std::runtime_error("cannot write to the program's input");
        text.remove_prefix(static_cast<size_t>(written));
    }
}

void RunningProcess::closeInput() { closeDescriptor(m_input); }

bool RunningProcess::running() {
    if (!m_ended && waitpid(m_pid, &m_status, WNOHANG) == m_pid) {
        m_ended = true;
    }
    return !m_ended;
}

void RunningProcess::sendSignal(int signal) {
    if (running()) kill(m_pid, signal);
}

namespace {

constexpr size_t kOutputLimit = size_t{256} << 20;

}  // namespace

ProcessResult RunningProcess::finish() {
    closeInput();
    ProcessResult result;
    std::array<pollfd, 2> fds = {pollfd{m_output, POLLIN, 0}, pollfd{m_error, POLLIN, 0}};
    std::array<std::string*, 2> sinks = {&result.out, &result.err};
    std::array<char, 65536> buffer{};
    bool cut = false;
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (poll(fds.data(), fds.size(), -1) < 0) continue;
        for (size_t index = 0; index < fds.size(); ++index) {
            if (fds[index].fd < 0 || fds[index].revents == 0) continue;
            const ssize_t got = read(fds[index].fd, buffer.data(), buffer.size());
            if (got > 0) {
                sinks[index]->append(buffer.data(), static_cast<size_t>(got));
                // A program that loops printing (a reader lost in a damaged file) is stopped
                // before its output exhausts memory; its result says so.
                if (sinks[index]->size() > kOutputLimit && !cut) {
                    cut = true;
                    kill(m_pid, SIGKILL);
                    sinks[index]->append("\n[output cut: more than the test's limit]\n");
                }
            } else {
                close(fds[index].fd);
                fds[index].fd = -1;
            }
        }
    }
    m_output = -1;
    m_error = -1;
    if (!m_ended) {
        waitpid(m_pid, &m_status, 0);
        m_ended = true;
    }
    result.exitCode = WIFEXITED(m_status) ? WEXITSTATUS(m_status) : 128 + WTERMSIG(m_status);
    return result;
}

pid_t startChild(const std::function<int()>& action) {
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        int status = 2;
        try {
            status = action();
        } catch (...) {
        }
        _exit(status);
    }
    return child;
}

int waitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int inChild(const std::function<int()>& action) { return waitForChild(startChild(action)); }

ProcessResult runProcess(const std::vector<std::string>& command) {
    RunningProcess process(command);
    return process.finish();
}

}  // namespace support

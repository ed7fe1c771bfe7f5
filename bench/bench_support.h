// What the benchmarks share: a scratch folder, timing, medians, and running a measured step in a
// child process so that its peak memory is its own.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A scratch folder, removed at the end unless CORVANTA_BENCH_KEEP is set.
class Folder {
public:
    explicit Folder(const std::string& name)
        : m_path(std::filesystem::temp_directory_path() /
                 (name + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(m_path);
    }
    ~Folder() {
        if (!std::getenv("CORVANTA_BENCH_KEEP")) std::filesystem::remove_all(m_path);
    }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

struct Measure {
    double seconds = 0;        // as the child timed its work (wall clock)
    double cpuSeconds = 0;     // the child's processor time, its own children's included
    double peakMegabytes = 0;  // the child's peak resident memory
};

// Runs work in a child process, which times it; returns the time, the processor time and the
// child's peak memory. On a machine shared with other work the processor times compare more
// fairly than wall times.
inline Measure inChild(const std::function<void()>& work) {
    int pipe[2];
    if (::pipe(pipe) != 0) throw std::runtime_error("no pipe");
    pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        double seconds = 0;
        try {
            auto start = Clock::now();
            work();
            seconds = secondsSince(start);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "a measured step failed: %s\n", error.what());
            ::_exit(1);
        }
        if (::write(pipe[1], &seconds, sizeof seconds) != sizeof seconds) ::_exit(1);
        ::_exit(0);
    }
    ::close(pipe[1]);
    Measure measure;
    bool got = ::read(pipe[0], &measure.seconds, sizeof measure.seconds) ==
               static_cast<ssize_t>(sizeof measure.seconds);
    ::close(pipe[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("a measured step failed");
    }
    measure.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    measure.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return measure;
}

// Every run of one step: the median wall and processor times with their spread, and the most
// memory. Steps compared with each other run the same number of times, in turn, so that a slow
// stretch of the machine falls on all of them alike.
struct Runs {
    std::vector<double> wall;
    std::vector<double> processor;
    double peakMegabytes = 0;

    void add(const Measure& run) {
        wall.push_back(run.seconds);
        processor.push_back(run.cpuSeconds);
        peakMegabytes = std::max(peakMegabytes, run.peakMegabytes);
    }
};

// "median (least-most)" of the values, each printed with format.
inline std::string spreadText(const std::vector<double>& values, const char* format) {
    auto text = [&](double value) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, format, value);
        return std::string(buffer);
    };
    const auto [least, most] = std::minmax_element(values.begin(), values.end());
    return text(median(values)) + " (" + text(*least) + "-" + text(*most) + ")";
}

// The ratio of each run of one step to the run of the other in the same round.
inline std::vector<double> pairedRatios(const std::vector<double>& over,
                                        const std::vector<double>& under) {
    std::vector<double> ratios;
    for (size_t run = 0; run < over.size() && run < under.size(); ++run) {
        ratios.push_back(over[run] / under[run]);
    }
    return ratios;
}

// The table the benchmarks print: a step's line (median wall and processor time with their
// spread, peak memory) and a ratio's line (the paired ratios' median and spread, its goal), the
// first column width wide.
inline void printHeading(int width) {
    std::printf("  %-*s %-26s %-26s %s\n", width, "step", "wall s, median (spread)", "processor s",
                "peak MB");
}

inline void printStep(int width, const char* what, const Runs& runs) {
    std::printf("  %-*s %-26s %-26s %6.1f\n", width, what, spreadText(runs.wall, "%.2f").c_str(),
                spreadText(runs.processor, "%.2f").c_str(), runs.peakMegabytes);
}

inline void printRatioHeading(int width) {
    std::printf("  %-*s %-26s %-26s %s\n", width, "ratio, median of the rounds", "wall",
                "processor", "goal");
}

inline void printRatio(int width, const char* what, const Runs& over, const Runs& under,
                       const char* goal) {
    std::printf("  %-*s %-26s %-26s %s\n", width, what,
                spreadText(pairedRatios(over.wall, under.wall), "%.2f").c_str(),
                spreadText(pairedRatios(over.processor, under.processor), "%.2f").c_str(), goal);
}

// Runs a shell command; throws when it fails.
inline void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// Flushes a file built through a file system that does not flush, so that the first measured
// flush does not write it out.
inline void flushFile(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool flushed = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!flushed) throw std::runtime_error("cannot flush " + path.string());
}

// The folder of this program (the build folder, where corvanta-db lives too).
inline std::filesystem::path programFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

// The machine's load, to print beside the figures.
inline std::string loadText() {
    double loads[3] = {0, 0, 0};
    if (::getloadavg(loads, 3) != 3) return "unknown";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f %.2f %.2f", loads[0], loads[1], loads[2]);
    return buffer;
}

}  // namespace bench

#pragma once
// A temporary device root for one test: made empty, set as the platform's root, removed after.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <utility>
#include <vector>

namespace sv::test {

class DeviceRoot {
public:
    DeviceRoot();
    ~DeviceRoot();
    DeviceRoot(const DeviceRoot&) = delete;
    DeviceRoot& operator=(const DeviceRoot&) = delete;

    const std::string& path() const { return path_; }
    // The host path of a device path.
    std::string host(const std::string& devicePath) const { return path_ + devicePath; }

private:
    std::string path_;
};

// Writes bytes to a host path, making its folders.
void writeHostFile(const std::string& hostPath, const std::string& bytes);
std::string readHostFile(const std::string& hostPath);
// The text's lines, without their ends.
std::vector<std::string> splitLines(const std::string& text);

struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
    // Whether the program printed this text (a line, or part of one) on its standard output.
    bool printed(std::string_view text) const { return out.find(text) != std::string::npos; }
};

// Runs a program with the given standard input and waits for it (at most timeoutSeconds).
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = "",
                         double timeoutSeconds = 60);

// A program that runs while the test talks to it: input is written while it runs, output is
// collected line by line with the time each line arrived.
class RunningProcess {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit RunningProcess(const std::vector<std::string>& argv);
    // Kills the program if it still runs.
    ~RunningProcess();
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    bool write(std::string_view text);
    void closeInput();

    // When the first output line holding text arrived; waits for it at most timeoutSeconds.
    std::optional<TimePoint> waitForLine(std::string_view text, double timeoutSeconds);
    // The output lines that arrived so far, from the given one on.
    std::vector<std::string> linesFrom(std::size_t first) const;
    // The same, each with the time it arrived.
    std::vector<std::pair<TimePoint, std::string>> timedLinesFrom(std::size_t first) const;
    // Whether the program has closed its output (it ended), waiting at most timeoutSeconds.
    bool waitForEnd(double timeoutSeconds);
    // Closes the input, waits for the end (killing the program after timeoutSeconds) and answers
    // everything it printed.
    ProcessResult wait(double timeoutSeconds = 60);

private:
    struct PrintedLine {
        TimePoint arrived;
        std::string text;
    };
    void collect(int outFd, int errFd);
    std::optional<TimePoint> findLine(std::string_view text) const;

    pid_t pid_ = -1;
    int input_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<PrintedLine> lines_;
    std::string partial_;
    std::string err_;
    bool ended_ = false;
    bool waited_ = false;
};

std::string buildPath(const std::string& relative);

// Lays the library out in a device root (its host path) as the install does: in the injection
// folder, where each host loads it from.
void installLibrary(const std::string& rootPath);
// The same, and the pane's bundle with the files of settingsBundleDir (the build's copy).
void installDeliverables(const std::string& rootPath, const std::string& settingsBundleDir);

} // namespace sv::test

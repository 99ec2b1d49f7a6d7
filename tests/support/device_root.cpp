#include "tests/support/device_root.h"

#include "platform/foundation/files.h"
#include "platform/notify/darwin_notify.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace sv::test {

DeviceRoot::DeviceRoot()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "svroot.XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    fs::setDeviceRoot(path_);
    fs::createDirectories("/var/mobile/Library/Preferences");
    notify::rebindForTesting();
}

DeviceRoot::~DeviceRoot()
{
    fs::setDeviceRoot("");
    notify::rebindForTesting();
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeHostFile(const std::string& hostPath, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
    std::ofstream(hostPath, std::ios::binary) << bytes;
}

std::string readHostFile(const std::string& hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string buildPath(const std::string& relative)
{
    return std::string(SV_BUILD_DIR) + "/" + relative;
}

void installLibrary(const std::string& rootPath)
{
    std::filesystem::create_directories(rootPath + "/Library/Injection");
    std::filesystem::copy_file(buildPath("closer/libSleepwright.so"), rootPath + "/Library/Injection/libSleepwright.so");
}

void installDeliverables(const std::string& rootPath, const std::string& settingsBundleDir)
{
    std::string bundle = rootPath + "/System/Library/PreferenceBundles/SleepvaneSettings.bundle";
    std::filesystem::create_directories(bundle);
    for (const auto& entry : std::filesystem::directory_iterator(settingsBundleDir))
        std::filesystem::copy_file(entry.path(), bundle + "/" + entry.path().filename().string());
    installLibrary(rootPath);
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input, double timeoutSeconds)
{
    ProcessResult result;
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC))
        return result;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // Feed input from a thread so that a chatty child never blocks on a full pipe.
    std::thread feeder([fd = in[1], input] {
        std::size_t done = 0;
        while (done < input.size()) {
            ssize_t n = ::write(fd, input.data() + done, input.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    pollfd fds[2] = { { out[0], POLLIN, 0 }, { err[0], POLLIN, 0 } };
    int open = 2;
    while (open > 0 && std::chrono::steady_clock::now() < deadline) {
        if (::poll(fds, 2, 100) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    if (open > 0)
        ::kill(pid, SIGKILL);
    for (auto& f : fds)
        if (f.fd >= 0)
            ::close(f.fd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    feeder.join();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace sv::test

namespace sv::test {

RunningProcess::RunningProcess(const std::vector<std::string>& argv)
{
    // A program that ends early must not take the test down with it when written to.
    static bool ignoring = (std::signal(SIGPIPE, SIG_IGN), true);
    (void)ignoring;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC))
        return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        std::signal(SIGPIPE, SIG_DFL);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    input_ = in[1];
    reader_ = std::thread([this, o = out[0], e = err[0]] { collect(o, e); });
}

RunningProcess::~RunningProcess()
{
    if (pid_ > 0 && !waited_)
        wait(0);
    closeInput();
}

bool RunningProcess::write(std::string_view text)
{
    std::size_t done = 0;
    while (input_ >= 0 && done < text.size()) {
        ssize_t n = ::write(input_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return input_ >= 0;
}

void RunningProcess::closeInput()
{
    if (input_ >= 0)
        ::close(input_);
    input_ = -1;
}

void RunningProcess::collect(int outFd, int errFd)
{
    pollfd fds[2] = { { outFd, POLLIN, 0 }, { errFd, POLLIN, 0 } };
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            auto now = std::chrono::steady_clock::now();
            std::lock_guard lock(mutex_);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else if (i == 1) {
                err_.append(buffer, static_cast<std::size_t>(n));
            } else {
                partial_.append(buffer, static_cast<std::size_t>(n));
                for (std::size_t newline; (newline = partial_.find('\n')) != std::string::npos;) {
                    lines_.push_back({ now, partial_.substr(0, newline) });
                    partial_.erase(0, newline + 1);
                }
            }
        }
        changed_.notify_all();
    }
    for (auto& f : fds)
        if (f.fd >= 0)
            ::close(f.fd);
    std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
}

std::optional<RunningProcess::TimePoint> RunningProcess::findLine(std::string_view text) const
{
    for (const PrintedLine& line : lines_)
        if (line.text.find(text) != std::string::npos)
            return line.arrived;
    return std::nullopt;
}

std::vector<std::string> RunningProcess::linesFrom(std::size_t first) const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (std::size_t i = first; i < lines_.size(); ++i)
        texts.push_back(lines_[i].text);
    return texts;
}

std::vector<std::pair<RunningProcess::TimePoint, std::string>> RunningProcess::timedLinesFrom(std::size_t first) const
{
    std::lock_guard lock(mutex_);
    std::vector<std::pair<TimePoint, std::string>> lines;
    for (std::size_t i = first; i < lines_.size(); ++i)
        lines.emplace_back(lines_[i].arrived, lines_[i].text);
    return lines;
}

std::optional<RunningProcess::TimePoint> RunningProcess::waitForLine(std::string_view text, double timeoutSeconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                           std::chrono::duration<double>(timeoutSeconds));
    std::unique_lock lock(mutex_);
    std::optional<TimePoint> found;
    changed_.wait_until(lock, deadline, [&] { return (found = findLine(text)) || ended_; });
    return found;
}

bool RunningProcess::waitForEnd(double timeoutSeconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                           std::chrono::duration<double>(timeoutSeconds));
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, deadline, [&] { return ended_; });
}

ProcessResult RunningProcess::wait(double timeoutSeconds)
{
    ProcessResult result;
    if (pid_ <= 0)
        return result;
    closeInput();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    if (reader_.joinable())
        reader_.join();
    waited_ = true;
    std::lock_guard lock(mutex_);
    for (const PrintedLine& line : lines_)
        result.out += line.text + "\n";
    result.out += partial_;
    result.err = err_;
    result.status = done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace sv::test

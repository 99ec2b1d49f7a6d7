#include "tests/support/device_root.h"

#include "platform/foundation/files.h"
#include "platform/notify/darwin_notify.h"

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

std::string buildPath(const std::string& relative)
{
    return std::string(SV_BUILD_DIR) + "/" + relative;
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

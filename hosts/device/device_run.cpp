// sleepvane-device: lays out a simulated device (a device root with both deliverables installed
// as on the phone) and plays the two hosts on it at once, with the real clock, printing one
// merged timeline with every line tagged by its process.
#include "hosts/common/command_line_help.h"
#include "hosts/device/timeline.h"
#include "hosts/device/timeline_picture.h"
#include "platform/foundation/files.h"
#include "contract/history_file.h"
#include "contract/settings_contract.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "sleepvane-device";
constexpr const char* kMarker = ".sleepvane-device";

struct Options {
    fs::path root;
    bool fresh = false;
    fs::path springboard;
    fs::path preferences;
    fs::path screens;
    fs::path timeline;
    bool virtualClock = false;
};

void printUsage(std::FILE* to)
{
    std::fprintf(to,
                 "usage: %s --root <device-root> [--fresh] [--springboard <scenario>] [--preferences <scenario>]\n"
                 "       [--screens <folder>] [--timeline <file.png>] [--virtual-clock]\n"
                 "       %s --help | --version\n"
                 "Installs both deliverables into a simulated device and plays the hosts on it at once.\n"
                 "  --root <folder>             the device root: a new or empty folder, or one laid out before\n"
                 "                              (by this program, a host or CMake's install)\n"
                 "  --fresh                     start the device anew: what the last run left there is removed\n"
                 "  --springboard <scenario>    play the home-screen host (springboard-host) on it\n"
                 "  --preferences <scenario>    play the Settings host (preferences-host) on it, at the same time\n"
                 "  --screens <folder>          where the Settings host's snapshots land\n"
                 "  --timeline <file.png>       draw the picture of the run into this file once it is over\n"
                 "  --virtual-clock             the home-screen host alone on the virtual clock: instant, exact\n"
                 "  --help                      print this and exit\n"
                 "  --version                   print the version and exit\n"
                 "More: docs/hosts.md\n",
                 kProgram, kProgram);
}

// The options, or nothing with the status to exit with (0 after --help or --version).
std::optional<Options> parse(int argc, char** argv, int& exitStatus)
{
    Options options;
    exitStatus = 2;
    const sv::host::CommandLineHelp help(kProgram, printUsage);
    auto mistake = [&](const std::string& problem) {
        exitStatus = help.mistake(problem);
        return std::nullopt;
    };
    std::vector<std::string_view> given;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        fs::path* value = arg == "--root"            ? &options.root
                          : arg == "--springboard" ? &options.springboard
                          : arg == "--preferences" ? &options.preferences
                          : arg == "--screens"     ? &options.screens
                          : arg == "--timeline"    ? &options.timeline
                                                   : nullptr;
        if (value) {
            if (++i >= argc)
                return mistake(std::string(arg) + " needs a value");
            if (std::find(given.begin(), given.end(), arg) != given.end())
                return mistake(std::string(arg) + " is given twice (it takes one value)");
            given.push_back(arg);
            if (*argv[i] == '\0')
                return mistake(std::string(arg) + " is empty");
            *value = argv[i];
        } else if (arg == "--fresh") {
            options.fresh = true;
        } else if (arg == "--virtual-clock") {
            options.virtualClock = true;
        } else if (auto answered = help.answer(arg)) {
            exitStatus = *answered;
            return std::nullopt;
        } else if (arg.starts_with('-')) {
            return mistake("unknown option " + std::string(arg));
        } else {
            return mistake("unexpected argument " + std::string(arg) + " (a scenario goes after --springboard or --preferences)");
        }
    }
    if (options.root.empty())
        return mistake("--root is required");
    // What the run reads is checked before anything is laid out or played.
    for (const fs::path* scenario : { &options.springboard, &options.preferences }) {
        if (scenario->empty())
            continue;
        int fd = ::open(scenario->c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        int error = fd < 0 ? errno : ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
        if (fd >= 0)
            ::close(fd);
        if (error) {
            std::fprintf(stderr, "%s: cannot read %s: %s\n", kProgram, scenario->c_str(), std::strerror(error));
            return std::nullopt;
        }
    }
    if (options.virtualClock && !options.springboard.empty() && !options.preferences.empty()) {
        // Only the home-screen host would be stopped in time: the two would drift apart at once.
        std::fprintf(stderr, "%s: --virtual-clock plays one host only: with both, each process would have its own "
                             "clock and they would not meet\n", kProgram);
        return std::nullopt;
    }
    return options;
}

// What a device root holds at its top, whoever laid it out: this program, a host or the install.
constexpr const char* kDeviceFolders[] = { "Library", "System", "var" };

// A folder holding nothing but a device's own folders, with at least one of those every layout
// makes: a device root laid out by a host or by cmake --install.
bool laidOutAsADevice(const fs::path& root)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(root, error)) {
        auto name = entry.path().filename().string();
        if (std::ranges::find(kDeviceFolders, name) == std::end(kDeviceFolders) && name != kMarker)
            return false;
    }
    return !error
        && (fs::is_directory(root / "Library/Injection", error) || fs::is_directory(root / "var/mobile", error)
            || fs::is_directory(root / slv::path::Bundle.substr(1), error));
}

// Makes (or, with fresh, remakes) the device root and installs the deliverables into it. A folder
// that is not empty and is no device root is never touched.
bool layOut(const Options& options)
{
    std::error_code error;
    if (fs::exists(options.root) && !fs::is_directory(options.root)) {
        std::fprintf(stderr, "%s: cannot use %s as the device root: it is not a folder\n", kProgram,
                     options.root.c_str());
        return false;
    }
    if (fs::exists(options.root)) {
        bool ours = fs::exists(options.root / kMarker);
        bool device = ours || laidOutAsADevice(options.root);
        if (!device && !fs::is_empty(options.root, error)) {
            std::fprintf(stderr,
                         "%s: %s is not empty and is no device root (one laid out by this program, a host or cmake "
                         "--install); choose another folder\n",
                         kProgram, options.root.c_str());
            return false;
        }
        if (ours && options.fresh)
            fs::remove_all(options.root, error);
        else if (device && options.fresh)
            for (const char* folder : kDeviceFolders)
                fs::remove_all(options.root / folder, error);
    }
    fs::create_directories(options.root / "Library/Injection", error);
    fs::create_directories(options.root / "var/mobile/Library/Preferences", error);
    fs::create_directories(options.root / slv::path::Bundle.substr(1), error);
    std::FILE* marker = std::fopen((options.root / kMarker).c_str(), "w");
    if (marker)
        std::fclose(marker);
    auto copy = fs::copy_options::overwrite_existing | fs::copy_options::recursive;
    fs::copy(SV_SLEEPWRIGHT_LIBRARY, options.root / "Library/Injection/libSleepwright.so", copy, error);
    if (!error)
        fs::copy(SV_SETTINGS_BUNDLE_DIR, options.root / slv::path::Bundle.substr(1), copy, error);
    if (error) {
        std::fprintf(stderr, "%s: cannot install into %s: %s\n", kProgram, options.root.c_str(),
                     error.message().c_str());
        return false;
    }
    return true;
}

struct Child {
    std::string tag;
    pid_t pid = -1;
    int out = -1;
    int err = -1;
    std::string partialOut, partialErr;
};

std::optional<Child> start(const std::string& tag, const char* host, const Options& options, const fs::path& scenario)
{
    int input = ::open(scenario.c_str(), O_RDONLY | O_CLOEXEC);
    if (input < 0) {
        std::fprintf(stderr, "%s: cannot read %s: %s\n", kProgram, scenario.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return std::nullopt;
    std::string root = fs::absolute(options.root).string();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(input, 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        // Screenshots named in a scenario land in the screens folder.
        if (!options.screens.empty() && ::chdir(options.screens.c_str()) != 0)
            ::_exit(126);
        std::vector<const char*> args { host, "--root", root.c_str() };
        if (options.virtualClock)
            args.push_back("--virtual-clock");
        if (!options.timeline.empty() && tag == "springboard")
            args.push_back("--memory-events");
        args.push_back(nullptr);
        ::execv(host, const_cast<char* const*>(args.data()));
        ::_exit(127);
    }
    ::close(input);
    ::close(out[1]);
    ::close(err[1]);
    Child child;
    child.tag = tag;
    child.pid = pid;
    child.out = out[0];
    child.err = err[0];
    return child;
}

// Prints every whole line read so far, tagged, and shows it to the timeline; answers false at the
// end of the stream.
bool pump(int& fd, std::string& partial, const std::string& tag, std::FILE* to, device::Timeline* timeline)
{
    char buffer[4096];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
        return true;
    if (n > 0)
        partial.append(buffer, static_cast<std::size_t>(n));
    std::size_t newline;
    while ((newline = partial.find('\n')) != std::string::npos) {
        std::fprintf(to, "%-11s %s\n", tag.c_str(), partial.substr(0, newline).c_str());
        if (timeline)
            timeline->take(tag, std::string_view(partial).substr(0, newline));
        partial.erase(0, newline + 1);
    }
    std::fflush(to);
    if (n <= 0) {
        if (!partial.empty()) {
            std::fprintf(to, "%-11s %s\n", tag.c_str(), partial.c_str());
            if (timeline)
                timeline->take(tag, partial);
        }
        partial.clear();
        ::close(fd);
        fd = -1;
        return false;
    }
    return true;
}

// Names each close marker as the pane names the application and says why it happened, from
// the library's close history where it has one.
void describeCloses(device::Timeline& timeline, const fs::path& root)
{
    sv::fs::setDeviceRoot(fs::absolute(root).lexically_normal().string());
    timeline.describeCloses(slv::history::read(), slv::settingsSnapshot().get());
}

} // namespace

int main(int argc, char** argv)
{
    int exitStatus = 0;
    auto options = parse(argc, argv, exitStatus);
    if (!options)
        return exitStatus;
    if (!options->screens.empty()) {
        std::error_code error;
        fs::create_directories(options->screens, error);
        if (!error && !fs::is_directory(options->screens, error))
            error = std::make_error_code(std::errc::not_a_directory);
        if (!error && ::access(options->screens.c_str(), W_OK | X_OK) != 0)
            error = std::error_code(errno, std::generic_category());
        if (error) {
            std::fprintf(stderr, "%s: cannot write into %s: %s\n", kProgram, options->screens.c_str(),
                         error.message().c_str());
            return 2;
        }
        options->screens = fs::absolute(options->screens);
    }
    // The picture may go into the screens folder just made.
    if (!options->timeline.empty())
        if (auto why = sv::fs::hostFileUnwritable(options->timeline.string())) {
            std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgram, options->timeline.c_str(), why->c_str());
            return 2;
        }
    if (!layOut(*options))
        return 1;

    device::Timeline timeline;
    std::vector<Child> children;
    if (!options->springboard.empty()) {
        auto child = start("springboard", SV_SPRINGBOARD_HOST, *options, fs::absolute(options->springboard));
        if (!child)
            return 1;
        children.push_back(std::move(*child));
    }
    if (!options->preferences.empty()) {
        auto child = start("settings", SV_PREFERENCES_HOST, *options, fs::absolute(options->preferences));
        if (!child)
            return 1;
        children.push_back(std::move(*child));
    }

    for (;;) {
        std::vector<pollfd> fds;
        std::vector<std::pair<Child*, bool>> owners;
        for (Child& c : children) {
            if (c.out >= 0) {
                fds.push_back({ c.out, POLLIN, 0 });
                owners.emplace_back(&c, true);
            }
            if (c.err >= 0) {
                fds.push_back({ c.err, POLLIN, 0 });
                owners.emplace_back(&c, false);
            }
        }
        if (fds.empty())
            break;
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            break;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            auto [child, isOut] = owners[i];
            if (isOut)
                pump(child->out, child->partialOut, child->tag, stdout, &timeline);
            else
                pump(child->err, child->partialErr, child->tag + "!", stderr, nullptr);
        }
    }
    int status = 0;
    for (Child& c : children) {
        int s = 0;
        ::waitpid(c.pid, &s, 0);
        if (!WIFEXITED(s) || WEXITSTATUS(s) != 0) {
            std::fprintf(stderr, "%s: %s ended with status %d\n", kProgram, c.tag.c_str(),
                         WIFEXITED(s) ? WEXITSTATUS(s) : -1);
            status = 1;
        }
    }
    if (!options->timeline.empty()) {
        describeCloses(timeline, options->root);
        errno = 0;
        if (!device::writeTimelinePicture(timeline, fs::absolute(options->timeline).string())) {
            std::fprintf(stderr, "%s: cannot write %s%s%s\n", kProgram, options->timeline.c_str(), errno ? ": " : "",
                         errno ? std::strerror(errno) : "");
            status = 1;
        }
    }
    return status;
}

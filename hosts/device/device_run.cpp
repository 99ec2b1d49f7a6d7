// sleepvane-device: lays out a simulated device (a device root with both deliverables installed
// as on the phone) and plays the two hosts on it at once, with the real clock, printing one
// merged timeline with every line tagged by its process.
#include "hosts/device/timeline.h"
#include "hosts/device/timeline_picture.h"
#include "platform/foundation/files.h"
#include "contract/close_history.h"
#include "contract/settings_contract.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <poll.h>
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

int usage(const char* problem)
{
    if (problem)
        std::fprintf(stderr, "%s: %s\n", kProgram, problem);
    std::fprintf(stderr,
                 "usage: %s --root <device-root> [--fresh] [--springboard <scenario>] [--preferences <scenario>]\n"
                 "       [--screens <folder>] [--timeline <file.png>] [--virtual-clock]\n",
                 kProgram);
    return 2;
}

std::optional<Options> parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "--fresh")
            options.fresh = true;
        else if (arg == "--virtual-clock")
            options.virtualClock = true;
        else if ((arg == "--root" || arg == "--springboard" || arg == "--preferences" || arg == "--screens"
                  || arg == "--timeline")
                 && (v = value())) {
            (arg == "--root" ? options.root : arg == "--springboard" ? options.springboard
                 : arg == "--preferences"                        ? options.preferences
                 : arg == "--screens"                            ? options.screens
                                                                 : options.timeline)
                = v;
        } else {
            usage(("bad argument " + std::string(arg)).c_str());
            return std::nullopt;
        }
    }
    if (options.root.empty()) {
        usage("--root is required");
        return std::nullopt;
    }
    return options;
}

// Makes (or, with fresh, remakes) the device root and installs the deliverables into it. A folder
// that is not empty and was not made by this program is never touched.
bool layOut(const Options& options)
{
    std::error_code error;
    if (fs::exists(options.root)) {
        bool ours = fs::exists(options.root / kMarker);
        if (!ours && !fs::is_empty(options.root, error)) {
            std::fprintf(stderr, "%s: %s is not empty and is no device root of ours; choose another folder\n",
                         kProgram, options.root.c_str());
            return false;
        }
        if (ours && options.fresh)
            fs::remove_all(options.root, error);
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
        if (!options.timeline.empty())
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

// Says on each close marker why it happened, from the library's close history where it has one.
void labelFromHistory(device::Timeline& timeline, const fs::path& root)
{
    sv::fs::setDeviceRoot(fs::absolute(root).lexically_normal().string());
    std::map<std::string, std::vector<std::string>> labels;
    for (const slv::history::Record& record : slv::history::read()) {
        std::string label = device::shortName(record.bundleID) + ": " + record.reason;
        if (record.freeMemory)
            label += " " + std::to_string(*record.freeMemory) + " MB";
        if (record.reopenedAfter) {
            char back[48];
            std::snprintf(back, sizeof back, ", back after %.0f s", *record.reopenedAfter);
            label += back;
        }
        labels[record.bundleID].push_back(label);
    }
    for (const auto& [bundleID, texts] : labels)
        timeline.labelCloses(bundleID, texts);
}

} // namespace

int main(int argc, char** argv)
{
    auto options = parse(argc, argv);
    if (!options)
        return 2;
    if (!options->screens.empty()) {
        std::error_code error;
        fs::create_directories(options->screens, error);
        options->screens = fs::absolute(options->screens);
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
        labelFromHistory(timeline, options->root);
        if (!device::writeTimelinePicture(timeline, fs::absolute(options->timeline).string())) {
            std::fprintf(stderr, "%s: cannot write %s\n", kProgram, options->timeline.c_str());
            status = 1;
        }
    }
    return status;
}

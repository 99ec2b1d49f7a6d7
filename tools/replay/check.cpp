#include "tools/replay/check.h"

#include "playback/policies.h"
#include "playback/printable.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace replay {
namespace fs = std::filesystem;

namespace {

    std::string exact(double value)
    {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", value);
        return text;
    }

    std::string quoted(const std::string& text)
    {
        std::string out = "\"";
        for (char c : text) {
            if (c == '"' || c == '\\')
                out.push_back('\\');
            out.push_back(c);
        }
        return out + "\"";
    }

    // A word of the host's scenario language, quoted when it holds what would split it.
    std::string word(const std::string& text)
    {
        return !text.empty() && text.find_first_of(" \t\r\"\\") == std::string::npos ? text : quoted(text);
    }

    std::string words(const std::vector<std::string>& ids)
    {
        std::string text;
        for (const auto& id : ids)
            text += " " + word(id);
        return text;
    }

    // A name as the scenario language can carry it: a '#' starts a comment there even within
    // quotes, and a line ends at a line break. The host only shows the name.
    std::string shownName(const std::string& name)
    {
        std::string shown;
        for (char c : name)
            shown += c == '#' ? std::string("\uFF03") : static_cast<unsigned char>(c) < 0x20 ? std::string(" ") : std::string(1, c);
        return shown;
    }

    // A copy of a scenario that outlives the check, in a file of its own; its path, or why not.
    std::string keep(const std::string& scenario)
    {
        std::string path = (fs::temp_directory_path() / "sleepvane-replay-XXXXXX-disagreement.txt").string();
        int fd = ::mkstemps(path.data(), 17);
        if (fd < 0)
            return std::string("not kept: ") + std::strerror(errno);
        bool whole = ::write(fd, scenario.data(), scenario.size()) == static_cast<ssize_t>(scenario.size());
        ::close(fd);
        return whole ? path : path + ", cut short";
    }

    constexpr double kTolerance = 0.002;

} // namespace

std::string scenarioOf(const Day& day, int threshold, const DeviceSize& device, const std::vector<double>& footprints,
                       bool learnFromUse)
{
    std::ostringstream out;
    SliderSetting slider = sliderSetting(threshold);
    out << "# " << day.label << ", threshold " << threshold << "\n";
    if (slider.shiftMB != 0)
        out << "# beyond the slider: " << slider.ramValue << " MB, memory moved by " << exact(slider.shiftMB) << " MB\n";
    out << "memory total=" << exact(day.totalMB.value_or(device.totalMB) - slider.shiftMB)
        << " base=" << exact(day.baseMB.value_or(device.baseMB)) << "\n";
    out << "settings ramValue " << slider.ramValue << "\n";
    auto list = [&](const char* which, const std::vector<std::string>& ids) {
        if (!ids.empty())
            out << "settings " << which << words(ids) << "\n";
    };
    list("never", day.never);
    list("always", day.always);
    if (day.alwaysKill)
        out << "settings alwaysKill on\n";
    if (learnFromUse)
        out << "settings learnFromUse on\n";
    for (std::size_t i = 0; i < day.apps.size(); ++i) {
        const App& app = day.apps[i];
        out << "app " << word(app.bundleID) << " " << quoted(shownName(app.name)) << " mem=" << exact(footprints[i]);
        for (const auto& flag : app.flags)
            out << " " << flag;
        out << "\n";
    }
    double now = 0;
    for (const Event& event : day.events) {
        if (event.time > now) {
            out << "wait " << exact(event.time - now) << "\n";
            now = event.time;
        }
        switch (event.kind) {
        case Event::Kind::Launch: out << "launch " << word(day.apps[event.app].bundleID) << "\n"; break;
        case Event::Kind::Home: out << "home\n"; break;
        case Event::Kind::State: out << "state " << word(day.apps[event.app].bundleID) << " " << event.state << "\n"; break;
        case Event::Kind::Call: out << "call " << model::kCallWords[static_cast<int>(event.call)] << "\n"; break;
        case Event::Kind::Lists: {
            const Lists& lists = day.listChanges[static_cast<std::size_t>(event.lists)];
            out << "settings never" << words(lists.never) << "\nsettings always" << words(lists.always)
                << "\nsettings alwaysKill " << (lists.alwaysKill ? "on" : "off") << "\n";
            break;
        }
        }
    }
    out << "wait " << exact(kTail) << "\n";
    return out.str();
}

LibraryCheck::LibraryCheck(std::string host, std::string library)
    : host_(std::move(host))
    , library_(std::move(library))
{
    std::string pattern = (fs::temp_directory_path() / "sleepvane-replay-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
        root_ = pattern;
}

LibraryCheck::~LibraryCheck()
{
    std::error_code error;
    if (!root_.empty())
        fs::remove_all(root_, error);
}

bool sameAsRecorded(const Day& day, const std::vector<Closed>& closes)
{
    if (closes.size() != day.recordedCloses.size())
        return false;
    for (std::size_t i = 0; i < closes.size(); ++i)
        if (closes[i].app != day.recordedCloses[i].app || std::fabs(closes[i].time - day.recordedCloses[i].time) > kTolerance)
            return false;
    return true;
}

bool LibraryCheck::check(const Day& day, int threshold, const Replay& replay, const DeviceSize& device,
                         const Footprints& footprints, long* closeCount, const std::string& policy,
                         std::vector<Closed>* policyCloses)
{
    if (root_.empty()) {
        std::fprintf(stderr, "sleepvane-replay: --check-library: cannot make a device root\n");
        return false;
    }
    // A device just out of the box with the library installed; the scenario and the output beside it.
    std::error_code error;
    fs::path device_root = fs::path(root_) / "device";
    fs::remove_all(device_root, error);
    fs::create_directories(device_root / "Library/Injection", error);
    fs::create_directories(device_root / "var/mobile/Library/Preferences", error);
    fs::copy_file(library_, device_root / "Library/Injection/libSleepwright.so", error);
    if (error) {
        std::fprintf(stderr, "sleepvane-replay: --check-library: cannot install %s: %s\n", library_.c_str(),
                     error.message().c_str());
        return false;
    }
    fs::path scenario = fs::path(root_) / "day.txt", output = fs::path(root_) / "out.txt",
             errors = fs::path(root_) / "err.txt";
    std::string text = scenarioOf(day, threshold, device, footprintsOf(day, footprints), policy == kLearnFromUsePolicy);
    {
        std::ofstream file(scenario);
        file << text;
        if (!file) {
            std::fprintf(stderr, "sleepvane-replay: --check-library: cannot write %s\n", scenario.c_str());
            return false;
        }
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string rootArg = device_root.string(), scenarioArg = scenario.string();
    std::vector<char*> argv = { host_.data(), const_cast<char*>("--root"), rootArg.data(),
                                const_cast<char*>("--virtual-clock"), scenarioArg.data(), nullptr };
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, host_.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string why = spawned ? std::strerror(spawned)
            : WIFEXITED(status)   ? "exit status " + std::to_string(WEXITSTATUS(status))
                                  : "ended by signal " + std::to_string(WTERMSIG(status));
        std::fprintf(stderr, "sleepvane-replay: --check-library: %s at threshold %d: the host failed (%s) (the scenario: %s)\n",
                     printable(day.label).c_str(), threshold, why.c_str(), keep(text).c_str());
        // What it said, a few lines of it.
        std::ifstream said(errors);
        std::string line;
        for (int shown = 0; shown < 5 && std::getline(said, line); ++shown)
            std::fprintf(stderr, "  %s\n", printable(line).c_str());
        return false;
    }

    struct HostClose {
        double time;
        std::string id;
    };
    std::vector<HostClose> host;
    std::ifstream in(output);
    for (std::string line; std::getline(in, line);) {
        // "[<seconds>] closed <identifier>", the identifier to the line's end, however long.
        auto stamp = line.find("] ");
        if (!line.empty() && line[0] == '[' && stamp != std::string::npos && line.compare(stamp + 2, 7, "closed ") == 0)
            host.push_back({ std::strtod(line.c_str() + 1, nullptr), line.substr(stamp + 9) });
    }

    std::vector<Closed> ours;
    auto ruled = makePolicy(policy);
    replay.withoutSystemKiller().play(day, *ruled, threshold, &ours);
    if (policyCloses)
        *policyCloses = ours;
    if (closeCount)
        *closeCount += static_cast<long>(ours.size());
    bool agree = host.size() == ours.size();
    for (std::size_t i = 0; agree && i < ours.size(); ++i)
        agree = host[i].id == day.apps[ours[i].app].bundleID && std::fabs(host[i].time - ours[i].time) <= kTolerance;
    if (!agree) {
        std::fprintf(stderr, "sleepvane-replay: --check-library: %s at threshold %d: the library closed",
                     printable(day.label).c_str(), threshold);
        for (const auto& c : host)
            std::fprintf(stderr, " %s@%.3f", printable(c.id).c_str(), c.time);
        std::fprintf(stderr, "; the %s policy closed", policy.c_str());
        for (const auto& c : ours)
            std::fprintf(stderr, " %s@%.3f", printable(day.apps[c.app].bundleID).c_str(), c.time);
        std::fprintf(stderr, " (the scenario: %s)\n", keep(text).c_str());
    }
    return agree;
}

} // namespace replay

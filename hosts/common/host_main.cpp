#include "hosts/common/host_main.h"

#include "hosts/common/scenario.h"
#include "platform/foundation/injection.h"
#include "platform/notify/darwin_notify.h"

#include "platform/foundation/files.h"
#include "hosts/common/command_line_help.h"
#include "platform/foundation/run_loop.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <string_view>
#include <unistd.h>

namespace sv::host {

namespace {
    void printUsage(std::FILE* to, const char* program, const char* memoryEvents)
    {
        std::fprintf(to,
                     "usage: %s --root <device-root> [--virtual-clock] [--memory-events] [scenario-file]\n"
                     "       %s --help | --version\n"
                     "Plays a scenario (the file, else standard input), one command a line, on a simulated device.\n"
                     "  --root <folder>   the device root: every device path lives under it (a new folder is\n"
                     "                    made only inside a folder that exists)\n"
                     "  --virtual-clock   time moves only at `wait`, from one due timer to the next: instant, exact\n"
                     "  --memory-events   %s\n"
                     "  --help            print this and exit\n"
                     "  --version         print the version and exit\n"
                     "Commands and events: docs/hosts.md\n",
                     program, program, memoryEvents);
    }
}

CommandLine parseCommandLine(int argc, char** argv, const char* program, const char* memoryEvents)
{
    HostOptions options;
    const CommandLineHelp help(program, [&](std::FILE* to) { printUsage(to, program, memoryEvents); });
    auto mistake = [&](const std::string& problem) { return CommandLine { std::nullopt, help.mistake(problem) }; };
    bool rootGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--root") {
            if (++i >= argc)
                return mistake("--root needs a folder");
            // Two roots are a mistake whichever was meant: the wrong device would be played on.
            if (rootGiven)
                return mistake("--root is given twice");
            rootGiven = true;
            options.root = argv[i];
        } else if (arg == "--virtual-clock") {
            options.virtualClock = true;
        } else if (arg == "--memory-events") {
            options.memoryEvents = true;
        } else if (auto status = help.answer(arg)) {
            return { std::nullopt, *status };
        } else if (arg.size() > 1 && arg.starts_with('-')) {
            return mistake("unknown option " + std::string(arg));
        } else if (options.scenario.empty()) {
            options.scenario = arg;
        } else {
            return mistake("only one scenario file can be given");
        }
    }
    if (!rootGiven)
        return mistake("--root is required");
    if (options.root.empty())
        return mistake("--root is empty: it names the device root's folder");
    return { options, 0 };
}

int prepareHost(const HostOptions& options, const char* program)
{
    // One missing folder is made; a missing parent is far more often a mistyped path than a
    // wish for a new tree.
    std::filesystem::path root = options.root;
    if (!root.has_filename())
        root = root.parent_path();
    std::error_code error;
    if (!std::filesystem::exists(root, error)) {
        std::filesystem::path parent = root.parent_path();
        if (!parent.empty() && !std::filesystem::is_directory(parent, error)) {
            std::fprintf(stderr, "%s: cannot use %s as the device root: %s %s\n", program, options.root.c_str(),
                         parent.c_str(), std::filesystem::exists(parent, error) ? "is not a folder" : "does not exist");
            return -1;
        }
        std::filesystem::create_directory(root, error);
    }
    if (!std::filesystem::is_directory(root, error)) {
        std::fprintf(stderr, "%s: cannot use %s as the device root: %s\n", program, options.root.c_str(),
                     std::filesystem::exists(root) ? "it is not a folder" : error.message().c_str());
        return -1;
    }
    fs::setDeviceRoot(std::filesystem::absolute(root).lexically_normal().string());
    // The folders every device has from the factory.
    for (const char* folder : { "/var/mobile/Library/Preferences", "/Library/Injection" })
        fs::createDirectories(folder);
    if (options.virtualClock)
        RunLoop::main().setClock(std::make_shared<ManualClock>());

    if (options.scenario.empty())
        return ::dup(STDIN_FILENO);
    int fd = ::open(options.scenario.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        fd = -1;
        errno = EISDIR;
    }
    if (fd < 0)
        std::fprintf(stderr, "%s: cannot read %s: %s\n", program, options.scenario.c_str(), std::strerror(errno));
    return fd;
}

namespace {
    void printPost(const char* name, void* context)
    {
        static_cast<Scenario*>(context)->event(std::string("posted ") + name);
    }

    const char* reportingProgram = "";
    void printProblem(const char* problem)
    {
        std::fprintf(stderr, "%s: %s\n", reportingProgram, problem);
    }
}

int runHost(int argc, char** argv, const char* program, const HostParts& parts)
{
    auto [options, exitStatus] = parseCommandLine(argc, argv, program, parts.memoryEventsHelp);
    if (!options)
        return exitStatus;
    if (parts.configure)
        parts.configure(*options);
    int input = prepareHost(*options, program);
    if (input < 0)
        return 2;

    // A host that cannot hear the device's posts says so; it still plays its scenario.
    reportingProgram = program;
    notify::setReporter(printProblem);
    RunLoop& loop = RunLoop::main();
    Scenario scenario(program, loop);
    std::shared_ptr<void> host = parts.setUp ? parts.setUp(scenario) : nullptr;

    notify::startListening();
    notify::setTap(printPost, &scenario);
    auto loaded = injection::loadInjectedLibraries();
    if (parts.afterInjection)
        parts.afterInjection(loaded);

    int status = scenario.run(input);
    notify::setTap(nullptr, nullptr);
    host.reset();
    // Pending timers hold objects whose teardown uses what the host set up: they go first.
    loop.removeAllTimers();
    return status;
}

} // namespace sv::host

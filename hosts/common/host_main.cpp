#include "hosts/common/host_main.h"

#include "hosts/common/scenario.h"
#include "platform/foundation/injection.h"
#include "platform/notify/darwin_notify.h"

#include "platform/foundation/files.h"
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

std::optional<HostOptions> parseCommandLine(int argc, char** argv, const char* program)
{
    HostOptions options;
    auto usage = [&](const char* problem) -> std::optional<HostOptions> {
        if (problem)
            std::fprintf(stderr, "%s: %s\n", program, problem);
        std::fprintf(stderr, "usage: %s --root <device-root> [--virtual-clock] [--memory-events] [scenario-file]\n", program);
        return std::nullopt;
    };
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--root") {
            if (++i >= argc)
                return usage("--root needs a folder");
            options.root = argv[i];
        } else if (arg == "--virtual-clock") {
            options.virtualClock = true;
        } else if (arg == "--memory-events") {
            options.memoryEvents = true;
        } else if (arg == "--help" || arg == "-h") {
            return usage(nullptr);
        } else if (arg.starts_with("--")) {
            return usage(("unknown option " + std::string(arg)).c_str());
        } else if (options.scenario.empty()) {
            options.scenario = arg;
        } else {
            return usage("only one scenario file can be given");
        }
    }
    if (options.root.empty())
        return usage("--root is required");
    return options;
}

int prepareHost(const HostOptions& options, const char* program)
{
    std::error_code error;
    std::filesystem::create_directories(options.root, error);
    if (error || !std::filesystem::is_directory(options.root)) {
        std::fprintf(stderr, "%s: cannot create the device root %s\n", program, options.root.c_str());
        return -1;
    }
    fs::setDeviceRoot(std::filesystem::absolute(options.root).lexically_normal().string());
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
    auto options = parseCommandLine(argc, argv, program);
    if (!options)
        return 2;
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

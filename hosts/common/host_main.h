#pragma once
// The command line both hosts share:
//   <program> --root <device-root> [--virtual-clock] [--memory-events] [scenario]
//   <program> --help | --version

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sv::host {

struct HostOptions {
    std::string root;
    bool virtualClock = false;
    std::string scenario; // empty: standard input
    // --memory-events: the home-screen host also reports free memory, the threshold and calls
    // as they change, for the picture of a run.
    bool memoryEvents = false;
};

// What the command line asks for: a run with these options, or nothing more to do (--help,
// --version, or a mistake already reported), with the status to exit with.
struct CommandLine {
    std::optional<HostOptions> options;
    int exitStatus = 0;
};

// Parses the command line: --help and --version answer on standard output, a mistake is one
// line and the usage on standard error.
// memoryEvents says in the usage what --memory-events does in this host.
CommandLine parseCommandLine(int argc, char** argv, const char* program, const char* memoryEvents);

// Makes the device root (one new folder, in a folder that exists) if needed, makes it the
// platform's root and sets the clock. Answers the file descriptor to read the scenario from, or
// -1 after printing why it cannot.
int prepareHost(const HostOptions& options, const char* program);

class Scenario;

// What a host adds to the common run: setUp registers its classes and commands before the
// injected libraries load and answers whatever must live while the scenario plays (or null);
// afterInjection learns the names of the libraries that loaded.
struct HostParts {
    // What --memory-events does in this host, for its usage.
    const char* memoryEventsHelp = "";
    // Sees the parsed command line before anything else runs.
    std::function<void(const HostOptions&)> configure;
    std::function<std::shared_ptr<void>(Scenario&)> setUp;
    std::function<void(const std::vector<std::string>& loaded)> afterInjection;
};

// The whole life of a host: command line, device, scenario, listening to system-wide posts (each
// printed as `posted <name>`), injection, the scenario played to its end, and an orderly close.
// Answers the exit status.
int runHost(int argc, char** argv, const char* program, const HostParts& parts);

} // namespace sv::host

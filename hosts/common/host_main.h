#pragma once
// The command line both hosts share:
//   <program> --root <device-root> [--virtual-clock] [--memory-events] [scenario]

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

// Parses the command line, printing usage or an error on failure.
std::optional<HostOptions> parseCommandLine(int argc, char** argv, const char* program);

// Creates the device root if needed, makes it the platform's root and sets the clock. Answers
// the file descriptor to read the scenario from, or -1 after printing why it cannot.
int prepareHost(const HostOptions& options, const char* program);

class Scenario;

// What a host adds to the common run: setUp registers its classes and commands before the
// injected libraries load and answers whatever must live while the scenario plays (or null);
// afterInjection learns the names of the libraries that loaded.
struct HostParts {
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

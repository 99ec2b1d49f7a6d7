#pragma once
// The command line both hosts share: <program> --root <device-root> [--virtual-clock] [scenario]

#include <optional>
#include <string>

namespace sv::host {

struct HostOptions {
    std::string root;
    bool virtualClock = false;
    std::string scenario; // empty: standard input
};

// Parses the command line, printing usage or an error on failure.
std::optional<HostOptions> parseCommandLine(int argc, char** argv, const char* program);

// Creates the device root if needed, makes it the platform's root and sets the clock. Answers
// the file descriptor to read the scenario from, or -1 after printing why it cannot.
int prepareHost(const HostOptions& options, const char* program);

} // namespace sv::host

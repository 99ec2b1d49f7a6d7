#pragma once
// The words of the scenario language, shared by the hosts that run scenarios and the engine that
// reads them as days, so that a line means the same to both. (model/ reads scenarios on its own.)

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sv::scenario {

// Splits a line into words; "double quoted" words may hold spaces and \" or \\.
// Nothing when a quote is left open.
std::optional<std::vector<std::string>> splitWords(std::string_view line);

// key=value words of a command, and bare flags.
struct Options {
    std::map<std::string, std::string, std::less<>> values;
    std::vector<std::string> flags;
    bool has(std::string_view flag) const;
};
Options parseOptions(const std::vector<std::string>& words, std::size_t first);

std::optional<double> parseNumber(std::string_view text);

// What an application may be described with: `app <bundle-id> "<name>" [mem=<MB>] [flags]`.
inline constexpr const char* kAppFlags[] = { "audio", "location", "voip", "no-tasks", "playing", "recording",
                                             "sockets", "watchdog", "no-process", "no-id", "noimage" };

struct AppLine {
    std::string bundleID, name;
    std::optional<double> memoryMB;
    std::vector<std::string> flags; // each one of kAppFlags
};

// The usage line of the app command, every flag named.
std::string appUsage();

// Reads an app line whose identifier and name are there (words[1] not empty, a name at words[2]):
// the line, or what is wrong with its options or flags.
std::optional<std::string> readApp(const std::vector<std::string>& words, AppLine& app);

} // namespace sv::scenario

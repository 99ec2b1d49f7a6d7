#pragma once
// The environment variables a referee program reads, checked as the program starts: a bad value,
// or a name with the program's prefix that it does not read (a typo), ends it with one line on
// standard error and status 2 before any test runs, so that no run plays nothing and passes.

#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace referee {

struct Environment {
    // <prefix>FIRST and <prefix>COUNT: the seeds a ChosenSeeds test plays (COUNT 1 when unset).
    std::optional<std::uint64_t> first;
    std::uint64_t count = 1;
    bool noShrink = false;               // <prefix>NO_SHRINK: 1 or 0
    std::optional<std::string> scenario; // <prefix>SCENARIO: a readable regular file
};

// Reads the variables named prefix + each of `known` (of FIRST, COUNT, NO_SHRINK, SCENARIO).
Environment readEnvironment(const std::string& prefix, const std::set<std::string>& known);

// The text as one word of a shell command (quoted when it must be).
std::string shellWord(const std::string& text);

// A shell command that runs this build's test program (a path under the build folder) with the
// variables given ("NAME=value ...") and the filter.
std::string testCommand(const std::string& variables, const std::string& program, const std::string& filter);

// The same for the seeds a ChosenSeeds test plays: <prefix>FIRST and <prefix>COUNT set.
std::string chosenSeedsCommand(const std::string& prefix, std::uint64_t first, std::uint64_t count,
                               const std::string& program, const std::string& filter);

} // namespace referee

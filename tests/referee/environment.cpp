#include "tests/referee/environment.h"

#include "tests/support/device_root.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <string_view>
#include <sys/stat.h>

extern char** environ;

namespace referee {
namespace {

    [[noreturn]] void refuse(const std::string& name, const std::string& value, const std::string& why)
    {
        std::fprintf(stderr, "%s: %s=%s: %s\n", program_invocation_short_name, name.c_str(), value.c_str(), why.c_str());
        std::exit(2);
    }

    std::optional<std::uint64_t> wholeNumber(std::string_view text)
    {
        std::uint64_t value = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size())
            return std::nullopt;
        return value;
    }

} // namespace

Environment readEnvironment(const std::string& prefix, const std::set<std::string>& known)
{
    std::string names;
    for (const std::string& name : known)
        names += (names.empty() ? "" : ", ") + prefix + name;
    for (char** entry = environ; *entry; ++entry) {
        std::string_view text = *entry;
        std::string_view name = text.substr(0, text.find('='));
        if (name.substr(0, prefix.size()) == prefix && !known.count(std::string(name.substr(prefix.size()))))
            refuse(std::string(name), std::string(text.substr(std::min(text.size(), name.size() + 1))),
                   "not a variable this program reads (it reads " + names + ")");
    }
    auto get = [&](const char* name) -> std::optional<std::string> {
        const char* value = known.count(name) ? std::getenv((prefix + name).c_str()) : nullptr;
        return value ? std::optional<std::string>(value) : std::nullopt;
    };

    Environment environment;
    if (auto first = get("FIRST")) {
        environment.first = wholeNumber(*first);
        if (!environment.first)
            refuse(prefix + "FIRST", *first, "the first seed must be a whole number, 0 or more");
    }
    if (auto count = get("COUNT")) {
        auto number = wholeNumber(*count);
        if (!number || *number == 0)
            refuse(prefix + "COUNT", *count, "the number of seeds must be a whole number, 1 or more");
        if (!environment.first)
            refuse(prefix + "COUNT", *count, "needs " + prefix + "FIRST, the first seed to play");
        if (*number - 1 > std::numeric_limits<std::uint64_t>::max() - *environment.first)
            refuse(prefix + "COUNT", *count, "the seeds would run past the largest seed");
        environment.count = *number;
    }
    if (auto noShrink = get("NO_SHRINK")) {
        if (*noShrink != "0" && *noShrink != "1")
            refuse(prefix + "NO_SHRINK", *noShrink, "must be 1 (name failing seeds only) or 0");
        environment.noShrink = *noShrink == "1";
    }
    if (auto scenario = get("SCENARIO")) {
        struct stat info {};
        if (::stat(scenario->c_str(), &info) != 0)
            refuse(prefix + "SCENARIO", *scenario, std::string("cannot read it: ") + std::strerror(errno));
        if (!S_ISREG(info.st_mode) || !std::ifstream(*scenario))
            refuse(prefix + "SCENARIO", *scenario, "cannot read it: not a readable regular file");
        environment.scenario = *scenario;
    }
    return environment;
}

std::string shellWord(const std::string& text)
{
    if (text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+=:,") == std::string::npos)
        return text;
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string testCommand(const std::string& variables, const std::string& program, const std::string& filter)
{
    return variables + " " + shellWord(sv::test::buildPath(program)) + " --gtest_filter=" + filter;
}

std::string chosenSeedsCommand(const std::string& prefix, std::uint64_t first, std::uint64_t count,
                               const std::string& program, const std::string& filter)
{
    return testCommand(prefix + "FIRST=" + std::to_string(first) + " " + prefix + "COUNT=" + std::to_string(count),
                       program, filter);
}

} // namespace referee

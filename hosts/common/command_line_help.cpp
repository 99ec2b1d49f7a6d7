#include "hosts/common/command_line_help.h"

#include "sleepvane_version.h"

namespace sv::host {

std::optional<int> CommandLineHelp::answer(std::string_view arg) const
{
    if (arg == "--help" || arg == "-h") {
        print_(stdout);
        return 0;
    }
    if (arg == "--version") {
        std::printf("%s %s\n", program_, SLEEPVANE_VERSION);
        return 0;
    }
    return std::nullopt;
}

int CommandLineHelp::mistake(const std::string& problem) const
{
    std::fprintf(stderr, "%s: %s\n", program_, problem.c_str());
    print_(stderr);
    return 2;
}

} // namespace sv::host

#pragma once
// What every host program answers alike on its command line: --help (or -h) prints the usage on
// standard output and --version the program and the project's version, both with exit status 0;
// a mistake is one line and then the usage on standard error, with exit status 2.

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sv::host {

class CommandLineHelp {
public:
    CommandLineHelp(const char* program, std::function<void(std::FILE*)> print) : program_(program), print_(std::move(print)) { }

    // The status to exit with once --help, -h or --version is answered; nothing for any other
    // argument.
    std::optional<int> answer(std::string_view arg) const;
    // Says what is wrong, then the usage; the status to exit with.
    int mistake(const std::string& problem) const;

private:
    const char* program_;
    std::function<void(std::FILE*)> print_;
};

} // namespace sv::host

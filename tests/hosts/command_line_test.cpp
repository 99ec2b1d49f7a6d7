// The three programs' command lines answer as people expect: --help on standard output, --version,
// and an unknown option refused on standard error with exit status 2.
#include "sleepvane_version.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace sv::test {
namespace {

struct Program {
    std::string name;
    std::string path;
};

void PrintTo(const Program& program, std::ostream* out)
{
    *out << program.name;
}

std::vector<Program> programs()
{
    return { { "springboard-host", buildPath("hosts/springboard/springboard-host") },
             { "preferences-host", buildPath("hosts/preferences/preferences-host") },
             { "sleepvane-device", buildPath("hosts/device/sleepvane-device") } };
}

std::set<std::string> optionsIn(const std::string& text)
{
    std::set<std::string> options;
    std::regex option("--[a-z][a-z-]*");
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it)
        options.insert(it->str());
    return options;
}

class CommandLine : public ::testing::TestWithParam<Program> { };

TEST_P(CommandLine, HelpPrintsTheUsageOnStandardOutput)
{
    const Program& program = GetParam();
    for (const char* help : { "--help", "-h" }) {
        auto result = runProcess({ program.path, help });
        EXPECT_EQ(result.status, 0) << help;
        EXPECT_TRUE(result.out.starts_with("usage: " + program.name + " ")) << result.out;
        EXPECT_EQ(result.err, "") << help;
        EXPECT_TRUE(optionsIn(result.out).contains("--root")) << result.out;
    }
}

TEST_P(CommandLine, VersionPrintsTheProjectsVersion)
{
    const Program& program = GetParam();
    auto result = runProcess({ program.path, "--version" });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, program.name + " " + SLEEPVANE_VERSION + "\n");
    EXPECT_EQ(result.err, "");
}

TEST_P(CommandLine, AnUnknownOptionIsOneLineAndTheUsageOnStandardError)
{
    const Program& program = GetParam();
    std::string help = runProcess({ program.path, "--help" }).out;
    for (std::vector<std::string> arguments : { std::vector<std::string> { "--bogus" },
                                                std::vector<std::string> { "--root", "/tmp", "--bogus" },
                                                std::vector<std::string> { "-x" } }) {
        arguments.insert(arguments.begin(), program.path);
        auto result = runProcess(arguments);
        EXPECT_EQ(result.status, 2) << arguments.back();
        EXPECT_EQ(result.out, "") << "nothing played";
        std::string first = result.err.substr(0, result.err.find('\n') + 1);
        EXPECT_EQ(first, program.name + ": unknown option " + arguments.back() + "\n") << result.err;
        EXPECT_EQ(result.err.substr(first.size()), help) << "then the usage, as --help prints it";
    }
}

// Every option a program takes is in its usage and in the page that documents the programs.
TEST_P(CommandLine, EveryOptionIsInTheUsageAndInTheDocs)
{
    const Program& program = GetParam();
    std::set<std::string> taken = { "--root", "--virtual-clock", "--help", "--version" };
    if (program.name == "sleepvane-device")
        taken.insert({ "--fresh", "--springboard", "--preferences", "--screens", "--timeline" });
    else
        taken.insert("--memory-events");
    auto usage = optionsIn(runProcess({ program.path, "--help" }).out);
    std::ifstream file(std::string(SV_SOURCE_DIR) + "/docs/hosts.md");
    std::stringstream docs;
    docs << file.rdbuf();
    // The page's section for this program: from its heading to the next.
    std::string page = docs.str();
    auto from = page.find("\n## `" + program.name + "`");
    ASSERT_NE(from, std::string::npos) << "docs/hosts.md has a section for " << program.name;
    auto section = optionsIn(page.substr(from, page.find("\n## ", from + 1) - from));
    for (const std::string& option : taken) {
        EXPECT_TRUE(usage.contains(option)) << option << " is not in the usage of " << program.name;
        EXPECT_TRUE(section.contains(option)) << option << " is not in docs/hosts.md for " << program.name;
        auto result = runProcess({ program.path, option });
        EXPECT_EQ(result.err.find("unknown option"), std::string::npos) << option << " is taken: " << result.err;
    }
    for (const std::string& option : usage)
        EXPECT_TRUE(taken.contains(option)) << program.name << "'s usage names " << option;
}

INSTANTIATE_TEST_SUITE_P(ThreePrograms, CommandLine, ::testing::ValuesIn(programs()),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::erase(name, '-');
                             return name;
                         });

} // namespace
} // namespace sv::test

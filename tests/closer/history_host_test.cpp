// `show history` in the real home-screen host, with the library injected.
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

std::vector<std::string> historyLines(const std::string& out)
{
    std::vector<std::string> found;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.find("] history ") != std::string::npos)
            found.push_back(line);
    return found;
}

TEST(HistoryHost, ShowHistoryListsEveryCloseOldestFirstWithItsReturn)
{
    sv::test::DeviceRoot root;
    sv::test::installLibrary(root.path());
    const char* scenario = R"(show history
settings always mail
settings ramValue 150
app mail "Mail" mem=10
app news "News" mem=10
launch mail
launch news
home
state mail 2
free 100
state news 2
wait 1
launch news
wait 2.25
state news 4
show history
)";
    auto result = sv::test::runProcess({ sv::test::buildPath("hosts/springboard/springboard-host"), "--root",
                                         root.path(), "--virtual-clock" },
                                       scenario);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(historyLines(result.out), (std::vector<std::string> { "[0.000] history (none)",
                                                                    "[3.250] history mail \"Always list\"",
                                                                    "[3.250] history news \"Low memory\" reopened 2.25" }));
}

} // namespace

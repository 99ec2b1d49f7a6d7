#include "hosts/common/scenario.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

using sv::host::splitWords;

TEST(Scenario, SplitsWordsWithQuotesAndEscapes)
{
    EXPECT_EQ(*splitWords("app  com.a \"Mail App\" mem=40"),
              (std::vector<std::string> { "app", "com.a", "Mail App", "mem=40" }));
    EXPECT_EQ(*splitWords("tap \"Say \\\"hi\\\"\""), (std::vector<std::string> { "tap", "Say \"hi\"" }));
    EXPECT_EQ(*splitWords("icon x \"\""), (std::vector<std::string> { "icon", "x", "" }));
    EXPECT_FALSE(splitWords("tap \"open"));
    EXPECT_TRUE(splitWords("   ")->empty());
}

TEST(Scenario, AnAppLineReadsAsTheHostAndTheReplayBothTakeIt)
{
    // The help names every flag, in the words it always had.
    EXPECT_EQ(sv::scenario::appUsage(), "app <bundle-id> \"<name>\" [mem=<MB>] [audio] [location] [voip] [no-tasks] "
                                        "[playing] [recording] [sockets] [watchdog] [no-process] [no-id] [noimage]");
    sv::scenario::AppLine app;
    EXPECT_FALSE(sv::scenario::readApp(*splitWords("app com.a \"Mail App\" voip mem=40.5 no-id"), app));
    EXPECT_EQ(app.bundleID, "com.a");
    EXPECT_EQ(app.name, "Mail App");
    EXPECT_EQ(app.memoryMB, 40.5);
    EXPECT_EQ(app.flags, (std::vector<std::string> { "voip", "no-id" }));
    EXPECT_EQ(sv::scenario::readApp(*splitWords("app com.a A loud"), app), "unknown flag loud");
    EXPECT_EQ(sv::scenario::readApp(*splitWords("app com.a A mem=-1"), app), "mem= takes megabytes (0 or more)");
    EXPECT_EQ(sv::scenario::readApp(*splitWords("app com.a A size=3"), app), "unknown option size=");
}

TEST(Scenario, BadLinesAreReportedByNumberAndSkipped)
{
    sv::test::DeviceRoot root;
    auto result = sv::test::runProcess({ sv::test::buildPath("hosts/springboard/springboard-host"), "--root",
                                         root.path(), "--virtual-clock" },
                                       "fly away\nstate com.a two\nwait\n# a comment\nstate \"open\nstate com.a 2\nwait 1.5\nstate com.a 4\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("line 1: unknown command \"fly\""), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("line 2: "), std::string::npos);
    EXPECT_NE(result.err.find("line 3: "), std::string::npos);
    EXPECT_NE(result.err.find("line 5: a quoted word is not closed"), std::string::npos);
    EXPECT_EQ(result.out, "[0.000] state com.a 2\n[1.500] state com.a 4\n");
}

TEST(Scenario, TheCommandLineIsChecked)
{
    auto host = sv::test::buildPath("hosts/springboard/springboard-host");
    auto noRoot = sv::test::runProcess({ host });
    EXPECT_EQ(noRoot.status, 2);
    EXPECT_NE(noRoot.err.find("--root is required"), std::string::npos);
    auto missingFile = sv::test::runProcess({ host, "--root", "/tmp", "/no/such/scenario" });
    EXPECT_EQ(missingFile.status, 2);
    EXPECT_NE(missingFile.err.find("cannot read /no/such/scenario"), std::string::npos);
    // A folder opens like a file but gives no commands: refused, not played as an empty run.
    sv::test::DeviceRoot root;
    auto folder = sv::test::runProcess({ host, "--root", root.path(), root.path() });
    EXPECT_EQ(folder.status, 2);
    EXPECT_NE(folder.err.find("Is a directory"), std::string::npos);
}

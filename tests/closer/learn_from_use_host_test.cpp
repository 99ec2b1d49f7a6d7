// Learn From Use in the real home-screen host: what was learned outlives a restart, `show usage`
// lists it most likely first, and a FIFO in the file's place neither blocks nor stops a close.
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <sys/stat.h>

namespace {

std::vector<std::string> linesWith(const std::string& out, const std::string& part)
{
    std::vector<std::string> found;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.find(part) != std::string::npos)
            found.push_back(line.substr(line.find("] ") + 2));
    return found;
}

class LearnFromUseHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        sv::test::installLibrary(root.path());
    }
    sv::test::ProcessResult run(const std::string& scenario)
    {
        return sv::test::runProcess({ sv::test::buildPath("hosts/springboard/springboard-host"), "--root", root.path(),
                                      "--virtual-clock" },
                                    scenario);
    }
    static constexpr const char* kApps = "settings learnFromUse on\nsettings ramValue 100\n"
                                         "app news \"News\" mem=20\napp radio \"Radio\" mem=20\napp maps \"Maps\" mem=20\n";
    sv::test::DeviceRoot root;
};

TEST_F(LearnFromUseHost, WhatWasLearnedOutlivesARestartAndOrdersTheCloses)
{
    std::string uses;
    for (int i = 0; i < 4; ++i)
        uses += "launch news\nstate news 4\nlaunch maps\nstate maps 4\nstate news 2\n";
    uses += "launch radio\nstate radio 4\nlaunch maps\nstate maps 4\nstate radio 2\n";
    auto first = run(std::string(kApps) + uses + "show usage\nwait 61\n");
    ASSERT_EQ(first.status, 0) << first.err;
    auto learned = linesWith(first.out, "] usage ");
    ASSERT_EQ(learned.size(), 3u) << first.out;
    EXPECT_TRUE(learned[0].starts_with("usage maps ")) << learned[0];
    EXPECT_TRUE(learned[2].starts_with("usage radio ")) << learned[2];

    // A phone whose score has proved itself (its weights as the file keeps them), started anew:
    // radio left after news but is far less used, so it goes first (books and maps, left last,
    // are kept).
    auto trust = sv::test::runProcess({ "/usr/bin/env", "python3", "-c",
                                        "import plistlib,sys\n"
                                        "f=plistlib.load(open(sys.argv[1],'rb'))\n"
                                        "f['Weights']={'Rules':1,'Score':0}\n"
                                        "plistlib.dump(f,open(sys.argv[1],'wb'))\n",
                                        root.host("/var/mobile/Library/Sleepvane/Usage.plist") },
                                      "");
    ASSERT_EQ(trust.status, 0) << trust.err;
    auto second = run(std::string(kApps) + "app books \"Books\" mem=20\nshow usage\nlaunch news\nlaunch radio\n"
                                          "launch books\nlaunch maps\nstate news 2\nstate radio 2\nstate books 2\n"
                                          "launch top\nfree 50\nstate maps 2\nwait 2\n");
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(linesWith(second.out, "] usage "), learned);
    EXPECT_EQ(linesWith(second.out, "] closed "), std::vector<std::string> { "closed radio" });
}

TEST_F(LearnFromUseHost, AFifoInTheFilesPlaceIsPassedOver)
{
    std::filesystem::create_directories(root.host("/var/mobile/Library/Sleepvane"));
    ASSERT_EQ(::mkfifo(root.host("/var/mobile/Library/Sleepvane/Usage.plist").c_str(), 0644), 0);
    auto result = run(std::string(kApps) + "show usage\nlaunch news\nlaunch radio\nstate news 2\nlaunch maps\n"
                                          "free 50\nstate radio 2\nwait 2\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(linesWith(result.out, "] usage "), std::vector<std::string> { "usage (none)" });
    EXPECT_EQ(linesWith(result.out, "] closed "), std::vector<std::string> { "closed news" });
}

} // namespace

// The programs say so when a device root gives them nothing to do, refuse a root they would have
// to invent a whole path for, and take a root laid out by the install.
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace sv::test {
namespace {

const std::string kSpringboard = buildPath("hosts/springboard/springboard-host");
const std::string kPreferences = buildPath("hosts/preferences/preferences-host");
const std::string kDevice = buildPath("hosts/device/sleepvane-device");
const std::string kFirstLight = std::string(SV_SOURCE_DIR) + "/hosts/springboard/scenarios/first-light.txt";

int countOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(HomeScreenRoot, WithoutTheLibraryItSaysNothingWillBeClosed)
{
    DeviceRoot root;
    const char* scenario = "memory total=1024 base=1000\napp com.a \"A\" mem=30\nlaunch com.a\nhome\nstate com.a 2\nwait 2\n";
    auto bare = runProcess({ kSpringboard, "--root", root.path(), "--virtual-clock" }, scenario);
    EXPECT_EQ(bare.status, 0) << "the scenario still plays";
    EXPECT_EQ(bare.out, "[0.000] state com.a 2\n");
    EXPECT_EQ(bare.err, "springboard-host: no library in " + root.path()
                            + "/Library/Injection: nothing is loaded and every application stays open\n");

    installLibrary(root.path());
    auto injected = runProcess({ kSpringboard, "--root", root.path(), "--virtual-clock" }, scenario);
    EXPECT_EQ(injected.status, 0);
    EXPECT_EQ(countOf(injected.out, "] closed com.a\n"), 1) << injected.out;
    EXPECT_EQ(injected.err, "");
}

// A root whose parent is missing is a mistyped path far more often than a wish for a new tree.
TEST(HostRoot, APathWhoseParentIsMissingIsRefusedAndNothingIsMade)
{
    DeviceRoot root;
    std::string missing = root.path() + "/no-such-folder";
    for (const std::string& host : { kSpringboard, kPreferences }) {
        std::string name = host.substr(host.rfind('/') + 1);
        auto result = runProcess({ host, "--root", missing + "/device", "--virtual-clock" }, "quit\n");
        EXPECT_EQ(result.status, 2) << name;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, name + ": cannot use " + missing + "/device as the device root: " + missing
                                  + " does not exist\n");
        EXPECT_FALSE(std::filesystem::exists(missing)) << name;

        // One new folder in a folder that exists is made, as before.
        auto made = runProcess({ host, "--root", missing, "--virtual-clock" }, "quit\n");
        EXPECT_EQ(made.status, 0) << name << made.err;
        EXPECT_TRUE(std::filesystem::is_directory(missing + "/var/mobile/Library/Preferences")) << name;
        std::filesystem::remove_all(missing);
    }
}

class DeviceRunnerRoot : public ::testing::Test {
protected:
    DeviceRoot scratch;
    std::string root = scratch.path() + "/device";

    void installWithCMake()
    {
        auto result = runProcess({ SV_CMAKE_COMMAND, "--install", SV_BUILD_DIR, "--prefix", root });
        ASSERT_EQ(result.status, 0) << result.out << result.err;
        ASSERT_TRUE(std::filesystem::exists(root + "/Library/Injection/libSleepwright.so"));
    }
};

TEST_F(DeviceRunnerRoot, TakesARootLaidOutByTheInstall)
{
    installWithCMake();
    for (bool fresh : { false, true }) {
        std::vector<std::string> command { kDevice, "--root", root, "--virtual-clock", "--springboard", kFirstLight };
        if (fresh)
            command.push_back("--fresh");
        auto result = runProcess(command);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(result.printed("] posted norv.slv.apps.loaded"))
            << "the library answered the catalogue request: " << result.out;
    }
}

TEST_F(DeviceRunnerRoot, AFolderHoldingAnythingElseIsStillNeverTouched)
{
    installWithCMake();
    writeHostFile(root + "/notes.txt", "mine");
    for (bool fresh : { false, true }) {
        std::vector<std::string> command { kDevice, "--root", root, "--virtual-clock", "--springboard", kFirstLight };
        if (fresh)
            command.push_back("--fresh");
        auto result = runProcess(command);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("is no device root"), std::string::npos) << result.err;
        EXPECT_EQ(readHostFile(root + "/notes.txt"), "mine");
    }
}

TEST(DeviceRunner, TheVirtualClockWithBothHostsIsRefused)
{
    DeviceRoot scratch;
    std::string story = std::string(SV_SOURCE_DIR) + "/hosts/device/scenarios/story-";
    auto result = runProcess({ kDevice, "--root", scratch.path() + "/device", "--virtual-clock", "--springboard",
                               story + "springboard.txt", "--preferences", story + "settings.txt" });
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(countOf(result.err, "\n"), 1) << result.err;
    EXPECT_NE(result.err.find("own clock"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(scratch.path() + "/device")) << "nothing laid out";
}

} // namespace
} // namespace sv::test

namespace sv::test {
namespace {

// What is wrong with a command line is said as it is, before anything is laid out or played.
TEST(CommandLineMistakes, ARootThatIsEmptyGivenTwiceOrAFileIsSaidAsSuch)
{
    DeviceRoot scratch;
    std::string file = scratch.path() + "/a-file";
    writeHostFile(file, "not a folder");
    for (const std::string& program : { kSpringboard, kPreferences, kDevice }) {
        std::string name = program.substr(program.rfind('/') + 1);
        auto empty = runProcess({ program, "--root", "" }, "quit\n");
        EXPECT_EQ(empty.status, 2) << name;
        EXPECT_EQ(empty.err.substr(0, empty.err.find('\n')).rfind(name + ": --root is empty", 0), 0u) << empty.err;

        auto twice = runProcess({ program, "--root", scratch.path() + "/one", "--root", scratch.path() + "/two" }, "quit\n");
        EXPECT_EQ(twice.status, 2) << name;
        EXPECT_EQ(twice.err.rfind(name + ": --root is given twice", 0), 0u) << twice.err;
        EXPECT_FALSE(std::filesystem::exists(scratch.path() + "/one")) << name;
        EXPECT_FALSE(std::filesystem::exists(scratch.path() + "/two")) << name;

        auto onAFile = runProcess({ program, "--root", file }, "quit\n");
        EXPECT_NE(onAFile.status, 0) << name;
        EXPECT_NE(onAFile.err.find(name + ": cannot use " + file + " as the device root: it is not a folder"),
                  std::string::npos)
            << onAFile.err;
        EXPECT_EQ(readHostFile(file), "not a folder");
    }
    for (const char* option : { "--springboard", "--preferences", "--screens", "--timeline" }) {
        auto twice = runProcess({ kDevice, "--root", scratch.path() + "/device", option, kFirstLight, option, kFirstLight });
        EXPECT_EQ(twice.status, 2) << option;
        EXPECT_EQ(twice.err.rfind(std::string("sleepvane-device: ") + option + " is given twice", 0), 0u) << twice.err;
    }
}

TEST(CommandLineMistakes, TheDeviceRunnerRefusesAScenarioItCannotReadAndAPictureItCannotWriteBeforeItStarts)
{
    DeviceRoot scratch;
    std::string root = scratch.path() + "/device";
    auto missing = runProcess({ kDevice, "--root", root, "--virtual-clock", "--springboard", scratch.path() + "/nope.txt" });
    EXPECT_EQ(missing.status, 2) << "as the hosts exit for a scenario they cannot read";
    EXPECT_EQ(missing.err,
              "sleepvane-device: cannot read " + scratch.path() + "/nope.txt: No such file or directory\n");
    auto folder = runProcess({ kDevice, "--root", root, "--preferences", scratch.path() });
    EXPECT_EQ(folder.status, 2);
    EXPECT_NE(folder.err.find("Is a directory"), std::string::npos) << folder.err;

    auto picture = runProcess({ kDevice, "--root", root, "--virtual-clock", "--springboard", kFirstLight, "--timeline",
                                scratch.path() + "/no-folder/run.png" });
    EXPECT_EQ(picture.status, 2);
    EXPECT_EQ(picture.err, "sleepvane-device: cannot write " + scratch.path()
                               + "/no-folder/run.png: No such file or directory\n");
    EXPECT_EQ(picture.out, "") << "nothing played";
    EXPECT_FALSE(std::filesystem::exists(root)) << "nothing laid out";
}

} // namespace
} // namespace sv::test

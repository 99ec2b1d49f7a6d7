// The pane and the library writing the settings file at once, from their own processes, while
// this process keeps reading it.
#include "tests/e2e/device_test.h"

#include <set>
#include <sys/stat.h>

namespace sv::test {
namespace {

using ConcurrentWriters = DeviceTest;

constexpr int kSaves = 1000;
constexpr int kExports = 100;
constexpr int kApplications = 10;

int ramValueOfDrag(int i)
{
    return 30 + 5 * (i % 55);
}

TEST_F(ConcurrentWriters, KeepEveryKeyAndTheFileWholeAtEveryStep)
{
    const Array never { slv::identifierEntry("com.example.app003") };
    slv::updateSettings([&](Dictionary& settings) {
        settings[std::string(slv::key::NeverIdentifiers)] = never;
        settings[std::string(slv::key::AlwaysKill)] = false;
        settings["userKey"] = std::string("set before");
        return true;
    });

    std::string pane = "open\nwait 0.2\n";
    for (int i = 0; i < kSaves; ++i)
        pane += "drag " + std::to_string(ramValueOfDrag(i)) + "\nwait 0\n";
    // Every export rebuilds: an icon comes and goes between them.
    std::string home;
    for (int i = 0; i < kApplications; ++i)
        home += "app com.example.app" + std::to_string(100 + i) + " \"App " + std::to_string(i) + "\"\n";
    for (int i = 0; i < kExports; ++i)
        home += std::string(i % 2 ? "icons remove com.example.extra\n" : "icon com.example.extra \"Extra\"\n")
            + "post norv.slv.grabapps\nwait 0.02\n";
    home += "wait 0.5\n";

    auto preferences = startPreferences();
    auto springboard = startSpringboard();
    ASSERT_TRUE(preferences->started() && springboard->started());
    preferences->write(pane);
    springboard->write(home);
    preferences->closeInput();
    springboard->closeInput();

    // Read the file for as long as either writes; every version read must be whole.
    int reads = 0, versions = 0;
    std::set<std::int64_t> ramValuesSeen;
    bool catalogueSeen = false;
    ino_t lastFile = 0;
    while (!preferences->waitForEnd(0) || !springboard->waitForEnd(0)) {
        struct stat file {};
        if (::stat(settingsHostPath().c_str(), &file) != 0)
            continue;
        versions += file.st_ino != lastFile;
        lastFile = file.st_ino;
        auto settings = slv::readSettings();
        ++reads;
        ASSERT_TRUE(settings) << "read " << reads << ": the settings file does not parse";
        ASSERT_TRUE(findString(*settings, "userKey")) << "read " << reads;
        ASSERT_TRUE(findArray(*settings, slv::key::NeverIdentifiers)) << "read " << reads;
        if (auto ram = findInteger(*settings, slv::key::RamValue))
            ramValuesSeen.insert(*ram);
        bool catalogue = find(*settings, slv::key::ApplicationData) != nullptr;
        ASSERT_TRUE(catalogue || !catalogueSeen) << "read " << reads << ": the catalogue was lost";
        catalogueSeen = catalogue;
    }
    auto paneResult = preferences->wait(60);
    auto homeResult = springboard->wait(60);
    EXPECT_EQ(paneResult.status, 0) << paneResult.err;
    EXPECT_EQ(homeResult.status, 0) << homeResult.err;
    // The first touch saves the value the slider started from, then each drag its own.
    EXPECT_EQ(countLines(paneResult.out, "] saved ramValue "), kSaves + 1);
    EXPECT_EQ(countLines(homeResult.out, "] posted norv.slv.apps.loaded"), kExports);
    EXPECT_GT(ramValuesSeen.size(), 1u) << "the reader saw too little of the run";
    RecordProperty("reads", reads);
    RecordProperty("versionsRead", versions);

    auto settings = slv::readSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(findInteger(*settings, slv::key::RamValue), ramValueOfDrag(kSaves - 1));
    EXPECT_EQ(findString(*settings, "userKey") ? *findString(*settings, "userKey") : "", "set before");
    ASSERT_TRUE(findArray(*settings, slv::key::NeverIdentifiers));
    EXPECT_EQ(*findArray(*settings, slv::key::NeverIdentifiers), never);
    ASSERT_TRUE(find(*settings, slv::key::AlwaysKill));
    EXPECT_FALSE(findBool(*settings, slv::key::AlwaysKill, true));
    // The last export ran without the extra icon.
    EXPECT_EQ(findInteger(*settings, slv::key::ApplicationsNumber), kApplications);
    EXPECT_EQ(findInteger(*settings, slv::key::ApplicationsMinus), 0);
    const Array* catalogue = findArray(*settings, slv::key::ApplicationData);
    ASSERT_TRUE(catalogue);
    EXPECT_EQ(catalogue->size(), static_cast<std::size_t>(kApplications));
}

} // namespace
} // namespace sv::test

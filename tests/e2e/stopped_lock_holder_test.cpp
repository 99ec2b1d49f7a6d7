// A process stopped while it holds the settings file's lock (SIGSTOP, as a debugger or the system
// would stop it) delays either side by at most the lock's deadline: the home screen exports and
// decides on, the pane keeps its save and writes it once the holder is gone.
#include "tests/e2e/device_test.h"
#include "tests/support/stopped_lock_holder.h"

namespace sv::test {
namespace {

using StoppedLockHolderTest = DeviceTest;

TEST_F(StoppedLockHolderTest, TheExportSkipsItsWriteAndStillReportsItsProgress)
{
    writeHostFile(settingsHostPath(), "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>ramValue</key><integer>300</integer></dict></plist>");
    std::string before = readHostFile(settingsHostPath());
    StoppedLockHolder holder;
    ASSERT_TRUE(holder.locked());
    auto library = startSpringboard();
    ASSERT_TRUE(library->started());
    library->write("app com.example.mail \"Mail\"\napp com.example.news \"News\"\nfree 100\n"
                   "launch com.example.mail\nlaunch com.example.news\npost norv.slv.grabapps\n");
    EXPECT_TRUE(library->waitForLine("posted norv.slv.apps.loaded", 10));
    // The threshold is read without the lock: the decision still comes, a second later.
    library->write("state com.example.mail 2\nwait 1.5\n");
    EXPECT_TRUE(library->waitForLine("closed com.example.mail", 10));
    auto result = library->wait(10);
    EXPECT_EQ(countLines(result.out, "] posted norv.slv.check.on.apps"), 7) << result.out;
    EXPECT_EQ(readHostFile(settingsHostPath()), before);
}

TEST_F(StoppedLockHolderTest, ThePaneReportsEachFailedSaveAndWritesItOnceTheHolderIsGone)
{
    auto holder = std::make_unique<StoppedLockHolder>();
    ASSERT_TRUE(holder->locked());
    auto pane = startPreferences();
    ASSERT_TRUE(pane->started());
    pane->write("open\nwait 0.2\ndrag 200\n");
    auto failed = pane->waitForLine("save failed ramValue", 10);
    EXPECT_TRUE(failed);
    holder.reset();
    pane->write("wait 1.5\n");
    EXPECT_TRUE(pane->waitForLine("saved ramValue 200", 10));
    auto result = pane->wait(10);
    EXPECT_EQ(result.status, 0) << result.err;
    auto settings = slv::readSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(sv::findInteger(*settings, "ramValue"), 200);
}

} // namespace
} // namespace sv::test

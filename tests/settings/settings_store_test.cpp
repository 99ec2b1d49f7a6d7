#include "tests/settings/pane_fixture.h"
#include "settings/settings_store.h"

#include "platform/foundation/notification_center.h"
#include "platform/notify/darwin_notify.h"
#include "settings/always_apps_controller.h"
#include "settings/never_apps_controller.h"
#include "settings/pending_saves.h"
#include "tests/support/stopped_lock_holder.h"

#include <sys/stat.h>

using sv::Dictionary;
using sv::Value;

namespace sv::test {
namespace {

using StoreTest = PaneTest;

Dictionary catalogueSettings()
{
    return {
        { "AlwaysIdentifiers", Array { slv::identifierEntry("com.a") } },
        { "NeverIdentifiers", Array { slv::identifierEntry("com.n"), slv::identifierEntry("com.m") } },
        { "ApplicationData", Array { slv::applicationRecord("A", "com.a", slv::path::MissingIcon) } },
        { "ApplicationsNumber", Value(1) },
        { "ramValue", Value(200) },
    };
}

TEST_F(StoreTest, SaveMergesIntoTheFileKeepingEveryOtherKey)
{
    writeSettings(catalogueSettings());
    slv::store::writeDictToSave(Dictionary { { "ramValue", Value(120) } });
    Dictionary expected = catalogueSettings();
    expected["ramValue"] = Value(120);
    EXPECT_EQ(slv::readSettings(), expected);
}

TEST_F(StoreTest, FirstSaveCreatesTheFileWithOnlyTheGivenEntries)
{
    slv::store::writeDictToSave(Dictionary { { "ramValue", Value(45) }, { "alwaysKill", Value(true) } });
    EXPECT_EQ(slv::readSettings(), (Dictionary { { "ramValue", Value(45) }, { "alwaysKill", Value(true) } }));
    slv::store::writeDictToSave(std::nullopt);
    EXPECT_EQ(slv::readSettings()->size(), 2u);
}

TEST_F(StoreTest, UnreadableFileIsNeverOverwritten)
{
    std::string path = root().host(slv::settingsPath());
    writeHostFile(path, "this is not a property list");
    slv::store::writeDictToSave(Dictionary { { "ramValue", Value(120) } });
    EXPECT_EQ(readHostFile(path), "this is not a property list");
    EXPECT_FALSE(slv::store::getObjectWithKey("ramValue", false));
    EXPECT_EQ(slv::store::getObjectWithKey("ramValue", true), Value(false));
}

TEST_F(StoreTest, ReadsAnswerTheStoredValueOrNothing)
{
    writeSettings(catalogueSettings());
    EXPECT_EQ(slv::store::getObjectWithKey("ramValue", false), Value(200));
    EXPECT_EQ(slv::store::getObjectWithKey("NeverIdentifiers", false), catalogueSettings()["NeverIdentifiers"]);
    EXPECT_FALSE(slv::store::getObjectWithKey("alwaysKill", false));
    EXPECT_FALSE(slv::store::getObjectWithKey(std::nullopt, true));
}

TEST_F(StoreTest, BooleanFlagAnswersABooleanForAnyEntry)
{
    EXPECT_EQ(slv::store::getObjectWithKey("alwaysKill", true), Value(false)); // no file at all
    writeSettings({ { "on", Value(true) }, { "one", Value(1) }, { "zero", Value(0.0) }, { "yes", Value("YES") },
                    { "no", Value("no") }, { "list", Value(Array { Value(1) }) } });
    EXPECT_EQ(slv::store::getObjectWithKey("alwaysKill", true), Value(false));
    EXPECT_EQ(slv::store::getObjectWithKey("on", true), Value(true));
    EXPECT_EQ(slv::store::getObjectWithKey("one", true), Value(true));
    EXPECT_EQ(slv::store::getObjectWithKey("zero", true), Value(false));
    EXPECT_EQ(slv::store::getObjectWithKey("yes", true), Value(true));
    EXPECT_EQ(slv::store::getObjectWithKey("no", true), Value(false));
    EXPECT_EQ(slv::store::getObjectWithKey("list", true), Value(false));
}

// A save the file could not take is kept, reported at each failed attempt and written at the next
// chance, never shown as saved while only the screen has it.
TEST_F(StoreTest, ASaveTheFileCouldNotTakeIsKeptReportedAndWrittenLater)
{
    std::vector<std::string> failed;
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(this, std::string(slv::local::SaveFailed), [&](const Notification& note) {
        failed.push_back(*findString(*note.userInfo, slv::local::SaveFailedKey));
    });
    writeSettings(catalogueSettings());
    {
        StoppedLockHolder holder;
        ASSERT_TRUE(holder.locked());
        slv::store::writeDictToSave(Dictionary { { "ramValue", Value(120) } });
        EXPECT_EQ(failed, (std::vector<std::string> { "ramValue" }));
        slv::store::writeDictToSave(Dictionary { { "NeverIdentifiers", Value(Array {}) } });
        EXPECT_EQ(failed, (std::vector<std::string> { "ramValue", "NeverIdentifiers", "ramValue" }));
        EXPECT_EQ(slv::readSettings(), catalogueSettings());
        EXPECT_EQ(SLVPendingSaves::pending().size(), 2u);
    }
    // The holder is gone: the retry writes both.
    advance(SLVPendingSaves::kRetryDelay);
    Dictionary expected = catalogueSettings();
    expected["ramValue"] = Value(120);
    expected["NeverIdentifiers"] = Value(Array {});
    EXPECT_EQ(slv::readSettings(), expected);
    EXPECT_TRUE(SLVPendingSaves::pending().empty());
    EXPECT_EQ(failed.size(), 3u);

    // An unwritable preferences folder fails too; the next save carries the first along.
    std::string folder = root().host("/var/mobile/Library/Preferences");
    failed.clear();
    if (::geteuid() != 0) {
        ::chmod(folder.c_str(), 0555);
        slv::store::writeDictToSave(Dictionary { { "ramValue", Value(60) } });
        ::chmod(folder.c_str(), 0755);
        EXPECT_EQ(failed, (std::vector<std::string> { "ramValue" }));
        slv::store::writeDictToSave(Dictionary { { "alwaysKill", Value(true) } });
        EXPECT_EQ(sv::findInteger(*slv::readSettings(), "ramValue"), 60);
        EXPECT_TRUE(SLVPendingSaves::pending().empty());
    }
    center.removeObserver(this);
}

void countPost(CFNotificationCenterRef, void* observer, const char*, const void*, const void*)
{
    ++*static_cast<int*>(observer);
}

TEST_F(StoreTest, DelayLoadAsksTheLibraryForTheCatalogue)
{
    static int posts = 0;
    static bool observing = [] {
        CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), &posts, countPost,
                                        slv::darwin::GrabApps, nullptr, CFNotificationSuspensionBehaviorDrop);
        return true;
    }();
    (void)observing;
    posts = 0;
    slv::store::delayLoad();
    advance(0);
    EXPECT_EQ(posts, 1);
}

class StackTest : public PaneTest {
protected:
    static std::shared_ptr<ui::UIViewController> never()
    {
        return SLVNeverAppsController::initForContentSize(ui::UIViewController::kContentSize);
    }
    static std::shared_ptr<ui::UIViewController> always()
    {
        return SLVAlwaysAppsController::initForContentSize(ui::UIViewController::kContentSize);
    }

    std::size_t depth() const { return navigation->viewControllers().size(); }
};

TEST_F(StackTest, PopsTheChoosersAndThePaneBackToTheSettingsList)
{
    auto pane = openPane();
    navigation->pushViewController(always(), false);
    navigation->pushViewController(never(), false);
    ASSERT_EQ(depth(), 4u);
    SLVAppDelegate::popAllControllers();
    EXPECT_EQ(navigation->topViewController(), settingsList);
}

TEST_F(StackTest, StopsAtAControllerOfAnotherKind)
{
    auto pane = openPane();
    navigation->pushViewController(ui::UIViewController::init(), false);
    SLVAppDelegate::popAllControllers();
    EXPECT_EQ(depth(), 3u);
    // Never screens go before Always screens: a Never screen under an Always one stays.
    navigation->pushViewController(never(), false);
    navigation->pushViewController(always(), false);
    SLVAppDelegate::popAllControllers();
    EXPECT_EQ(depth(), 4u);
}

TEST_F(StackTest, NeverPopsTheNavigationRootNorSpins)
{
    navigation = ui::UINavigationController::initWithRootViewController(openPane(false));
    ui::UIApplication::sharedApplication().setRootController(navigation);
    SLVAppDelegate::popAllControllers();
    EXPECT_EQ(depth(), 1u);
    ui::UIApplication::sharedApplication().setRootController(nullptr);
    SLVAppDelegate::popAllControllers(); // no navigation at all: nothing to do
}

TEST_F(StackTest, LeavingTheScreenTakesThePaneAway)
{
    openPane();
    ui::UIApplication::sharedApplication().resignActive();
    EXPECT_EQ(depth(), 1u);
    openPane();
    ui::UIApplication::sharedApplication().enterBackground();
    EXPECT_EQ(depth(), 1u);
}

} // namespace
} // namespace sv::test

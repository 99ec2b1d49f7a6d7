#include "tests/closer/closer_fixture.h"

#include "contract/home_screen.h"
#include "platform/runtime/class_builder.h"
#include "tests/support/device_root.h"

#include <filesystem>
#include <sys/stat.h>

namespace {

using sv::rt::msgSend;

int original(id, SEL, int x) { return x; }
int replacement(id, SEL, int x) { return -x; }
int classOriginal(id, SEL) { return 10; }
int classReplacement(id, SEL) { return 20; }

using RenameTest = CloserTest;

TEST_F(RenameTest, TheOldBehaviourMovesToThePrefixedSelector)
{
    Class cls = sv::rt::ClassBuilder("RenameTestOwn").method("value:", &original).registerClass();
    SleepwrightRename(true, "RenameTestOwn", "value:", sv::rt::toImp(&replacement));
    sv::rt::Ref object = sv::rt::Ref::adopt(sv::rt::alloc(cls));
    EXPECT_EQ(msgSend<int>(object.get(), "value:", 5), -5);
    EXPECT_EQ(msgSend<int>(object.get(), "SWR_value:", 5), 5);
    EXPECT_TRUE(logLines.empty());

    // A second renaming finds the prefixed name taken: it says so and keeps the first result.
    SleepwrightRename(true, "RenameTestOwn", "value:", sv::rt::toImp(&original));
    EXPECT_EQ(logLines, (std::vector<std::string> { "WB:Error: failed to rename [RenameTestOwn value:]" }));
    EXPECT_EQ(msgSend<int>(object.get(), "SWR_value:", 5), 5);
    EXPECT_EQ(msgSend<int>(object.get(), "value:", 5), 5);
}

TEST_F(RenameTest, ANullReplacementOnlyAddsThePrefixedSelector)
{
    Class cls = sv::rt::ClassBuilder("RenameTestNull").method("value:", &original).registerClass();
    SleepwrightRename(true, "RenameTestNull", "value:", nullptr);
    sv::rt::Ref object = sv::rt::Ref::adopt(sv::rt::alloc(cls));
    EXPECT_EQ(msgSend<int>(object.get(), "value:", 5), 5);
    EXPECT_EQ(msgSend<int>(object.get(), "SWR_value:", 5), 5);
}

TEST_F(RenameTest, AnInheritedMethodIsOverriddenOnTheClassAloneAndTheSuperclassKeepsItsOwn)
{
    Class base = sv::rt::ClassBuilder("RenameTestBase").method("value:", &original).registerClass();
    Class derived = sv::rt::ClassBuilder("RenameTestDerived", base).registerClass();
    SleepwrightRename(true, "RenameTestDerived", "value:", sv::rt::toImp(&replacement));
    sv::rt::Ref child = sv::rt::Ref::adopt(sv::rt::alloc(derived));
    sv::rt::Ref parent = sv::rt::Ref::adopt(sv::rt::alloc(base));
    EXPECT_EQ(msgSend<int>(child.get(), "value:", 5), -5);
    EXPECT_EQ(msgSend<int>(child.get(), "SWR_value:", 5), 5);
    EXPECT_EQ(msgSend<int>(parent.get(), "value:", 5), 5);
    EXPECT_EQ(msgSend<int>(parent.get(), "SWR_value:", 5), 0); // the superclass gained nothing
    EXPECT_TRUE(logLines.empty());
}

TEST_F(RenameTest, FlagZeroWorksOnClassMethods)
{
    sv::rt::ClassBuilder("RenameTestMeta").classMethod("shared", &classOriginal).registerClass();
    SleepwrightRename(false, "RenameTestMeta", "shared", sv::rt::toImp(&classReplacement));
    id cls = sv::rt::classObject("RenameTestMeta");
    EXPECT_EQ(msgSend<int>(cls, "shared"), 20);
    EXPECT_EQ(msgSend<int>(cls, "SWR_shared"), 10);
}

TEST_F(RenameTest, MissingClassesAndMethodsOnlyWarn)
{
    SleepwrightRename(true, "NoSuchClassHere", "value:", sv::rt::toImp(&replacement));
    sv::rt::ClassBuilder("RenameTestEmpty").registerClass();
    SleepwrightRename(true, "RenameTestEmpty", "value:", sv::rt::toImp(&replacement));
    EXPECT_EQ(logLines, (std::vector<std::string> { "WB:Warning: cannot find class [NoSuchClassHere]",
                                                     "WB:Warning: cannot find method [RenameTestEmpty value:]" }));
    Debug_ = 0;
    SleepwrightRename(true, "NoSuchClassHere", "value:", nullptr);
    Debug_ = 1;
    EXPECT_EQ(logLines.size(), 2u);
}

TEST_F(CloserTest, TheHomeScreensHandlerIsHookedAndKeptUnderThePrefixedName)
{
    Class controller = objc_getClass(sv::home::cls::ApplicationController);
    Method hooked = class_getInstanceMethod(controller, sv::rt::selector(sv::home::sel::applicationStateChanged));
    ASSERT_NE(hooked, nullptr);
    EXPECT_EQ(method_getImplementation(hooked), sv::rt::toImp(&Sleepwarden_appLaunch));
    EXPECT_NE(class_getInstanceMethod(controller, sv::rt::selector("SWR_applicationStateChanged:state:")), nullptr);
}

// The real host, with the library installed on a fresh device as the injection folder holds it.
class HomeScreenProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        sv::test::installLibrary(root.path());
    }
    sv::test::ProcessResult run(const std::string& scenario)
    {
        return sv::test::runProcess(
            { sv::test::buildPath("hosts/springboard/springboard-host"), "--root", root.path(), "--virtual-clock" },
            scenario);
    }
    sv::test::DeviceRoot root;
};

TEST_F(HomeScreenProcess, TheLibraryMakesItsFoldersAndEveryStateChangeStillReachesTheHomeScreenOnce)
{
    auto result = run("state com.example.notes 7\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "[0.000] state com.example.notes 7\n");
    EXPECT_EQ(result.err, "");
    for (const char* folder : { "/var/mobile/Library/Sleepvane", "/var/mobile/Library/Sleepvane/Icons" }) {
        struct stat info;
        ASSERT_EQ(::stat(root.host(folder).c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0775u) << folder;
    }
}

TEST_F(HomeScreenProcess, AnExistingDataFolderIsLeftWithoutItsIconsFolder)
{
    std::filesystem::create_directories(root.host("/var/mobile/Library/Sleepvane"));
    auto result = run("");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(std::filesystem::exists(root.host("/var/mobile/Library/Sleepvane/Icons")));
}

} // namespace

// Learn From Use turned off in the pane deletes the library's diary of use at once, without
// waiting for the library to read the switch at its next decision, moves the off stamp with the
// switch, takes the suggestion away with the diary, and says so when the diary cannot be deleted.
#include "contract/diary_file.h"
#include "settings/threshold_suggestion.h"
#include "tests/settings/pane_fixture.h"
#include "tests/support/diary_lines.h"
#include "tests/support/undeletable.h"

#include "platform/ui/alert_view.h"
#include "platform/ui/application.h"
#include "platform/ui/switch.h"

#include <filesystem>

namespace sv::test {
namespace {

class DiarySwitchTest : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        writeHostFile(root().host(std::string(slv::diary::Path)), std::string(slv::diary::Header) + "\n");
        writeHostFile(root().host(std::string(slv::diary::SetAsidePath)), "set aside\n");
    }

    // Taps the Learn From Use switch of a pane, opened first unless one is given.
    void tapLearnFromUse(std::shared_ptr<SLVAppDelegate> pane = nullptr)
    {
        if (!pane) {
            pane = openPane();
            advance(kFirstFill);
        }
        auto cell = pane->cachedCellForSpecifierID("LearnFromUse");
        ASSERT_TRUE(cell && cell->control());
        auto& control = *cell->control();
        ui::UITouch tap(control.convertPointToView({ 5, 5 }, nullptr));
        control.touchesBegan(tap, nullptr);
        control.touchesEnded(tap, nullptr);
    }

    bool diaryThere() const { return std::filesystem::exists(root().host(std::string(slv::diary::Path))); }
    bool setAsideThere() const { return std::filesystem::exists(root().host(std::string(slv::diary::SetAsidePath))); }
};

TEST_F(DiarySwitchTest, TurnedOffTheDiaryAndWhatWasSetAsideAreDeletedAtOnce)
{
    writeSettings({ { std::string(slv::key::LearnFromUse), Value(true) }, { "ramValue", Value(120) } });
    tapLearnFromUse();
    // The off stamp moves in the same write as the switch, once each off.
    EXPECT_EQ(slv::readSettings(), (Dictionary { { std::string(slv::key::LearnFromUse), Value(false) },
                                                 { std::string(slv::diary::OffsKey), Value(1) },
                                                 { "ramValue", Value(120) } }));
    EXPECT_FALSE(diaryThere());
    EXPECT_FALSE(setAsideThere());
    auto pane = std::dynamic_pointer_cast<SLVAppDelegate>(navigation->topViewController());
    tapLearnFromUse(pane);
    tapLearnFromUse(pane);
    EXPECT_EQ(slv::diary::offStamp(slv::settingsSnapshot().get()), 2);
    EXPECT_TRUE(ui::UIApplication::sharedApplication().visibleAlerts().empty());
}

// Three dates of five applications: two whole days, enough for a suggestion.
std::string twoWholeDaysOfDiary()
{
    DiaryLines diary(512);
    const char* apps[] = { "com.example.a", "com.example.b", "com.example.c", "com.example.d", "com.example.e" };
    diary.installEach(apps, 100);
    diary.onDays(3, [&] {
        for (int round = 0; round < 3; ++round) {
            diary.openInTurn(apps, 30);
            diary.home();
            diary.wait(3600);
            diary.closeEach(apps, 5);
        }
    });
    return diary.text();
}

TEST_F(DiarySwitchTest, TheSuggestedRowGoesWithItsDiary)
{
    writeHostFile(root().host(std::string(slv::diary::Path)), twoWholeDaysOfDiary());
    writeSettings({ { std::string(slv::key::LearnFromUse), Value(true) } });
    auto pane = openPane();
    advance(kFirstFill + 1);
    ASSERT_TRUE(pane->specifierForID(SLVAppDelegate::kSuggestedRow));
    ASSERT_TRUE(pane->cachedCellForSpecifierID(SLVAppDelegate::kSuggestedRow));
    tapLearnFromUse(pane);
    // At once: no row, no footer, nothing left to tap.
    EXPECT_FALSE(pane->specifierForID(SLVAppDelegate::kSuggestedRow));
    EXPECT_FALSE(pane->specifierForID(SLVAppDelegate::kSuggestedGroup));
    EXPECT_FALSE(pane->suggestion());
    pane->view()->layoutIfNeeded();
    EXPECT_FALSE(pane->cachedCellForSpecifierID(SLVAppDelegate::kSuggestedRow));

    // With the switch off, a pane opened on a diary left behind deletes it and suggests nothing.
    navigation->popViewControllerAnimated(false);
    writeHostFile(root().host(std::string(slv::diary::Path)), twoWholeDaysOfDiary());
    auto again = openPane();
    advance(kFirstFill + 1);
    EXPECT_FALSE(diaryThere());
    EXPECT_FALSE(again->specifierForID(SLVAppDelegate::kSuggestedRow));
    EXPECT_FALSE(again->suggestion());
}

TEST_F(DiarySwitchTest, ASettingsFileThatSaysNothingOfTheSwitchDeletesNothing)
{
    for (const char* settings : { "<?xml version=\"1.0\"", "<plist><dict><key>LearnFromUse</key><string>no</string></dict></plist>" }) {
        writeHostFile(root().host(slv::settingsPath()), settings);
        auto pane = openPane();
        advance(kFirstFill + 1);
        EXPECT_TRUE(diaryThere()) << settings;
        navigation->popViewControllerAnimated(false);
    }
}

TEST_F(DiarySwitchTest, ADeleteThatFailsIsSaidInAnAlert)
{
    writeSettings({ { std::string(slv::key::LearnFromUse), Value(true) } });
    Undeletable folder(root().host(std::string(slv::path::DataFolder)));
    if (!folder.ok())
        GTEST_SKIP() << "no way here to make a folder whose files cannot be deleted";
    tapLearnFromUse();
    EXPECT_TRUE(diaryThere());
    const auto& alerts = ui::UIApplication::sharedApplication().visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    auto alert = std::dynamic_pointer_cast<ui::UIAlertView>(alerts.back());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Could Not Delete the Diary");
    EXPECT_EQ(alert->message(), "Your diary of use is still on this phone. Sleepvane tries again as you use your apps; "
                                "if this stays, delete Diary.tsv in /var/mobile/Library/Sleepvane.");
    EXPECT_EQ(alert->buttonTitles(), std::vector<std::string> { "Dismiss" });
    // The switch is off all the same.
    EXPECT_EQ(slv::diary::diarySwitch(slv::settingsSnapshot().get()), slv::diary::Switch::Off);
    ui::UIApplication::sharedApplication().dismissAllAlerts();
}

TEST_F(DiarySwitchTest, TurnedOnOrAnotherSwitchTheDiaryStays)
{
    tapLearnFromUse();
    EXPECT_EQ(slv::readSettings(), (Dictionary { { std::string(slv::key::LearnFromUse), Value(true) } }));
    EXPECT_TRUE(diaryThere());
    auto pane = std::dynamic_pointer_cast<SLVAppDelegate>(navigation->topViewController());
    ASSERT_TRUE(pane);
    EXPECT_TRUE(pane->setPreferenceValue(Value(false), *pane->specifierForID("CloseEveryApp")));
    EXPECT_TRUE(diaryThere());
    EXPECT_TRUE(setAsideThere());
}

} // namespace
} // namespace sv::test

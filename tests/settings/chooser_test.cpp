// The chooser screens in this process once the catalogue is shown: marks, taps and saves.
#include "tests/settings/chooser_fixture.h"

namespace sv::test {
namespace {

TEST_F(ChooserTest, EachScreenMarksOnlyItsOwnListWithItsOwnMark)
{
    writeCatalogue(kRadios, { { "NeverIdentifiers", list({ "com.example.radio" }) }, { "AlwaysIdentifiers", list({ "com.example.radar" }) } });
    auto never = openLoaded<SLVNeverAppsController>();
    EXPECT_EQ(look(*never, "Radio").mark, slv::path::NeverMark);
    EXPECT_EQ(look(*never, "radar").mark, "");
    EXPECT_EQ(look(*never, "7 Seas").mark, "");

    navigation->popViewControllerAnimated(false);
    auto always = openLoaded<SLVAlwaysAppsController>();
    EXPECT_EQ(look(*always, "radar").mark, slv::path::AlwaysMark);
    EXPECT_EQ(look(*always, "Radio").mark, "");
}

TEST_F(ChooserTest, ARowReusedForAnUnlistedApplicationShowsNoMark)
{
    writeCatalogue(kRadios, { { "NeverIdentifiers", list({ "com.example.radio" }) } });
    auto screen = openLoaded<SLVNeverAppsController>();
    Look marked = look(*screen, "Radio");
    Look reused = look(*screen, "radar");
    EXPECT_TRUE(marked.locked);
    EXPECT_EQ(reused.cell, marked.cell); // the same cell, from the table's pool
    EXPECT_FALSE(reused.locked);
    EXPECT_EQ(reused.mark, "");
}

TEST_F(ChooserTest, AnApplicationOfTheOwnListGoesAtOnceWithEveryEntryOfIt)
{
    writeCatalogue(kRadios, { { "NeverIdentifiers", list({ "com.example.radio", "com.other", "com.example.radio" }) } });
    auto screen = openLoaded<SLVNeverAppsController>();
    tap(*screen, "Radio");
    EXPECT_FALSE(panel());
    EXPECT_EQ(saved("NeverIdentifiers"), (std::vector<std::string> { "com.other" }));
    EXPECT_EQ(screen->bundleID, "com.example.radio");
    EXPECT_FALSE(look(*screen, "Radio").locked);
    EXPECT_FALSE(screen->appTable->indexPathForSelectedRow());
    EXPECT_EQ(screen->appTable->lastDeselectionAnimated(), true);
    // The catalogue stays.
    EXPECT_EQ(findArray(*slv::readSettings(), "ApplicationData")->size(), 3u);
}

TEST_F(ChooserTest, AnApplicationOfTheOtherListIsRefusedAndNothingChanges)
{
    writeCatalogue(kRadios, { { "NeverIdentifiers", list({ "com.example.radio" }) }, { "AlwaysIdentifiers", list({ "com.example.radar" }) } });
    std::string before = readHostFile(root().host(slv::settingsPath()));
    auto never = openLoaded<SLVNeverAppsController>();
    tap(*never, "radar");
    auto alert = std::dynamic_pointer_cast<UIAlertView>(panel());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Error");
    EXPECT_EQ(alert->message(), "You already have this application set to always be killed!");
    EXPECT_EQ(alert->buttonTitles(), (std::vector<std::string> { "Dismiss" }));
    alert->pressButtonAtIndex(0);
    EXPECT_FALSE(panel());
    EXPECT_EQ(readHostFile(root().host(slv::settingsPath())), before);
    EXPECT_FALSE(never->bundleID);

    navigation->popViewControllerAnimated(false);
    auto always = openLoaded<SLVAlwaysAppsController>();
    tap(*always, "Radio");
    ASSERT_TRUE(panel());
    EXPECT_EQ(std::dynamic_pointer_cast<UIAlertView>(panel())->message(), "You already have this application set to never be killed!");
    EXPECT_EQ(readHostFile(root().host(slv::settingsPath())), before);
}

TEST_F(ChooserTest, TheConfirmationAddsOneEntryAtTheEndOnYesAndNothingOnCancel)
{
    writeCatalogue(kRadios, { { "AlwaysIdentifiers", list({ "com.first" }) }, { "ramValue", Value(120) } });
    std::string before = readHostFile(root().host(slv::settingsPath()));
    auto screen = openLoaded<SLVAlwaysAppsController>();
    for (const App& app : kRadios)
        EXPECT_FALSE(look(*screen, app.name).locked) << app.name;

    tap(*screen, "Radio");
    auto sheet = std::dynamic_pointer_cast<UIActionSheet>(panel());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "Would you like to always have Radio killed?");
    EXPECT_EQ(sheet->buttonTitles(), (std::vector<std::string> { "Yes", "Cancel" }));
    EXPECT_EQ(sheet->destructiveButtonIndex(), 1);
    EXPECT_EQ(sheet->cancelButtonIndex(), -1);
    EXPECT_EQ(sheet->actionSheetStyle(), UIActionSheetStyle::BlackTranslucent);
    EXPECT_EQ(sheet->tag(), 69691);
    sheet->pressButtonAtIndex(1);
    EXPECT_EQ(readHostFile(root().host(slv::settingsPath())), before);

    tap(*screen, "Radio");
    ASSERT_TRUE(panel());
    panel()->pressButtonAtIndex(0);
    EXPECT_EQ(saved("AlwaysIdentifiers"), (std::vector<std::string> { "com.first", "com.example.radio" }));
    auto settings = slv::readSettings();
    EXPECT_EQ(findInteger(*settings, "ramValue"), 120);
    EXPECT_EQ(findArray(*settings, "ApplicationData")->size(), 3u);
    EXPECT_FALSE(sv::find(*settings, "NeverIdentifiers"));
    EXPECT_EQ(look(*screen, "Radio").mark, slv::path::AlwaysMark);
    EXPECT_FALSE(look(*screen, "radar").locked);
    EXPECT_FALSE(look(*screen, "7 Seas").locked);
}

TEST_F(ChooserTest, TwoConfirmationsForOneApplicationStoreItOnce)
{
    writeCatalogue(kRadios);
    auto screen = openLoaded<SLVNeverAppsController>();
    tap(*screen, "Radio");
    tap(*screen, "Radio"); // a second sheet, before the first is answered
    auto sheets = UIApplication::sharedApplication().visibleAlerts();
    ASSERT_EQ(sheets.size(), 2u);
    sheets[0]->pressButtonAtIndex(0);
    EXPECT_EQ(saved("NeverIdentifiers"), std::vector<std::string> { "com.example.radio" });
    std::string afterFirst = readHostFile(root().host(slv::settingsPath()));
    sheets[1]->pressButtonAtIndex(0);
    EXPECT_EQ(readHostFile(root().host(slv::settingsPath())), afterFirst) << "no second save";
    EXPECT_EQ(screen->identifiersArray.size(), 1u);
    EXPECT_TRUE(look(*screen, "Radio").locked);
}

TEST_F(ChooserTest, AnAnswerAfterTheScreenIsGoneChangesNothing)
{
    writeCatalogue(kRadios);
    auto screen = openLoaded<SLVNeverAppsController>();
    tap(*screen, "Radio");
    ASSERT_TRUE(panel());
    std::weak_ptr<SLVNeverAppsController> weak = screen;
    screen.reset();
    navigation->popViewControllerAnimated(false);
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(panel()->pressButtonAtIndex(0));
    EXPECT_TRUE(saved("NeverIdentifiers").empty());
}

TEST_F(ChooserTest, LeavingSettingsPopsTheChooserAndThePaneAndAScreenGoneHearsNoMore)
{
    auto& center = NotificationCenter::defaultCenter();
    std::size_t listening = center.observerCount(slv::local::CheckOnApps);
    std::size_t stepping = center.observerCount(slv::local::CheckOnAppLoading);
    for (bool background : { false, true }) {
        auto pane = openPane();
        if (background)
            navigation->pushViewController(SLVAlwaysAppsController::initForContentSize(UIViewController::kContentSize), true);
        else
            navigation->pushViewController(SLVNeverAppsController::initForContentSize(UIViewController::kContentSize), true);
        EXPECT_EQ(center.observerCount(slv::local::CheckOnApps), listening + 1);
        if (background)
            UIApplication::sharedApplication().enterBackground();
        else
            UIApplication::sharedApplication().resignActive();
        EXPECT_EQ(navigation->topViewController(), settingsList) << background;
        EXPECT_EQ(center.observerCount(slv::local::CheckOnApps), listening) << background;
        EXPECT_EQ(center.observerCount(slv::local::CheckOnAppLoading), stepping) << background;
    }
    // The screens' own class operations pop only their own kind.
    navigation->pushViewController(SLVNeverAppsController::initForContentSize(UIViewController::kContentSize), false);
    SLVAlwaysAppsController::popAllControllers();
    EXPECT_NE(navigation->topViewController(), settingsList);
    SLVNeverAppsController::popAllControllers();
    EXPECT_EQ(navigation->topViewController(), settingsList);
}

} // namespace
} // namespace sv::test

// The chooser screens while the catalogue comes: the loading overlay, the sections built from
// it, and the request and notices that travel between the processes.
#include "tests/settings/chooser_fixture.h"

namespace sv::test {
namespace {

TEST_F(ChooserTest, OpeningShowsTheLoadingOverlayOverAStillTable)
{
    auto screen = open<SLVNeverAppsController>();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->navigationTitle(), "Never Kill");
    EXPECT_EQ(screen->view(), screen->appTable);
    auto& table = *screen->appTable;
    EXPECT_EQ(table.frame().size, UIViewController::kContentSize);
    EXPECT_EQ(table.style(), UITableViewStyle::Plain);
    EXPECT_FALSE(table.isScrollEnabled());
    EXPECT_EQ(table.separatorColor(), UIColor::clearColor());
    EXPECT_EQ(table.numberOfSections(), 0);

    ASSERT_TRUE(screen->loading.waitHud);
    EXPECT_EQ(screen->loading.waitHud->superview(), &table);
    EXPECT_EQ(screen->loading.waitHud->frame(), Rect(60, 100, 200, 205));
    EXPECT_EQ(screen->loading.waitHud->text(), "Please Wait... Loading Applications");
    ASSERT_TRUE(screen->loading.loadingLabel && screen->loading.loadingView);
    EXPECT_EQ(screen->loading.loadingLabel->superview(), screen->loading.waitHud.get());
    EXPECT_EQ(screen->loading.loadingLabel->frame(), Rect(5, 164, 190, 20));
    EXPECT_EQ(screen->loading.loadingLabel->text(), "Initializing...");
    EXPECT_EQ(screen->loading.loadingLabel->textColor(), UIColor::whiteColor());
    EXPECT_EQ(screen->loading.loadingLabel->textAlignment(), TextAlignment::Center);
    EXPECT_EQ(screen->loading.loadingView->superview(), screen->loading.waitHud.get());
    EXPECT_EQ(screen->loading.loadingView->frame(), Rect(5, 185, 190, 25));
    EXPECT_EQ(screen->loading.loadingView->progress(), 0);

    auto always = SLVAlwaysAppsController::initForContentSize(UIViewController::kContentSize);
    EXPECT_EQ(always->navigationTitle(), "Always Kill");
}

TEST_F(ChooserTest, EachProgressNoticeIsOneStageAndTheCompletionEndsTheOverlayWhateverTheStage)
{
    writeCatalogue(kRadios);
    auto screen = open<SLVNeverAppsController>();
    const std::pair<float, const char*> stages[] = { { 0.1f, "Gathering Applications..." }, { 0.25f, "Gathering Applications..." },
                                                     { 0.4f, "Updating Database..." },      { 0.6f, "Saving Icons..." },
                                                     { 0.8f, "Cleaning Up..." } };
    for (const auto& [value, text] : stages) {
        progress();
        EXPECT_EQ(screen->loading.loadingView->progress(), value);
        EXPECT_EQ(screen->loading.loadingLabel->text(), text);
    }
    // Five notices: the export found the catalogue current. It stops here until the completion.
    complete();
    EXPECT_FALSE(screen->loading.waitHud || screen->loading.loadingView || screen->loading.loadingLabel);
    EXPECT_TRUE(std::none_of(screen->appTable->subviews().begin(), screen->appTable->subviews().end(),
                             [](const auto& view) { return typeid(*view) == typeid(sv::ui::UIProgressHUD); }));
    EXPECT_TRUE(screen->appTable->isScrollEnabled());
    EXPECT_EQ(screen->appTable->separatorColor(), UIColor::lightGrayColor());
    EXPECT_EQ(screen->appTable->numberOfSections(), 2);
    progress(3); // late notices reach nothing visible
    EXPECT_EQ(screen->AppLoading, 8);
    EXPECT_EQ(screen->TestApps, 0);
}

TEST_F(ChooserTest, TheSixthNoticeFinishesAndTheSeventhChangesNothing)
{
    auto screen = open<SLVAlwaysAppsController>();
    progress(6);
    EXPECT_EQ(screen->loading.loadingView->progress(), 1.0f);
    EXPECT_EQ(screen->loading.loadingLabel->text(), "Finished!");
    progress();
    EXPECT_EQ(screen->loading.loadingView->progress(), 1.0f);
    EXPECT_EQ(screen->loading.loadingLabel->text(), "Finished!");
}

TEST_F(ChooserTest, SectionsAreTitleCaseLettersInCodeOrderAndRowsSortCapitalsFirst)
{
    writeCatalogue({ { "radar", "r1" }, { "Radio", "r2" }, { "7 Seas", "s" }, { "\xC3\xA9" "clair", "e" }, { "zebra", "z1" },
                     { "Zither", "z2" }, { "Banjo", "b" } });
    auto screen = openLoaded<SLVNeverAppsController>();
    EXPECT_EQ(screen->indexArray, (std::vector<std::string> { "7", "B", "R", "Z", "\xC3\x89" }));
    EXPECT_EQ(names(*screen, 2), (std::vector<std::string> { "Radio", "radar" }));
    EXPECT_EQ(names(*screen, 3), (std::vector<std::string> { "Zither", "zebra" }));
    auto& table = *screen->appTable;
    EXPECT_EQ(table.numberOfSections(), 5);
    EXPECT_EQ(table.titleForHeaderInSection(4), "\xC3\x89");
    EXPECT_EQ(table.numberOfRowsInSection(2), 2);
    EXPECT_EQ(look(*screen, "radar").name, "radar");
}

TEST_F(ChooserTest, DuplicatesGoOnlyWhenEqualInEveryKeyAndNamelessEntriesAreSkipped)
{
    Array records { record({ "Mail", "com.a.mail" }), record({ "Mail", "com.b.mail" }), record({ "Mail", "com.a.mail" }),
                    record({ "", "com.empty" }), Value(Dictionary { { "BundleID", Value("com.nameless") } }),
                    Value(Dictionary { { "AppName", Value(7) } }), Value("not a record"), record({ "Maps", "com.maps" }) };
    writeSettings({ { "ApplicationData", Value(records) } });
    auto screen = openLoaded<SLVNeverAppsController>();
    ASSERT_EQ(screen->indexArray, (std::vector<std::string> { "M" }));
    EXPECT_EQ(names(*screen, 0), (std::vector<std::string> { "Mail", "Mail", "Maps" }));
    EXPECT_EQ(*findString(screen->applicationsArray[screen->appNamesArray[0].entries[1]], "BundleID"), "com.b.mail");

    // A second completion reads and builds afresh: the same sections, none twice.
    complete();
    EXPECT_EQ(screen->indexArray, (std::vector<std::string> { "M" }));
    EXPECT_EQ(names(*screen, 0).size(), 3u);
    EXPECT_EQ(screen->appTable->numberOfRowsInSection(0), 3);
}

TEST_F(ChooserTest, TheIndexIsTheAlphabetAndALetterWithoutSectionLeavesTheTableWhereItIs)
{
    std::vector<App> apps;
    for (char letter : std::string("ABCDEFW"))
        for (int i = 0; i < 6; ++i)
            apps.push_back({ std::string(1, letter) + "pp " + std::to_string(i), std::string(1, letter) + std::to_string(i) });
    writeCatalogue(apps);
    auto screen = openLoaded<SLVNeverAppsController>();
    auto& table = *screen->appTable;
    table.layoutIfNeeded();
    const auto& titles = table.sectionIndexTitles();
    ASSERT_EQ(titles.size(), 26u);
    EXPECT_EQ(titles.front(), "A");
    EXPECT_EQ(titles.back(), "Z");

    EXPECT_EQ(screen->sectionForSectionIndexTitle(table, "Q", 16), NSNotFound);
    EXPECT_FALSE(table.touchSectionIndexAtPosition(16)); // Q
    EXPECT_EQ(table.contentOffset().y, 0);
    EXPECT_TRUE(table.touchSectionIndexAtPosition(22)); // W
    table.layoutIfNeeded();
    // As far as the content goes: W is the last section and less than a screen high.
    EXPECT_EQ(table.contentOffset().y, table.contentSize().height - table.bounds().height());
    EXPECT_TRUE(table.cellForRowAtIndexPath({ 6, 0 }));
}

TEST_F(ChooserTest, AnEmptyCatalogueSpendsTheWholeBudgetThenSaysLoadingError)
{
    auto screen = openLoaded<SLVNeverAppsController>();
    EXPECT_EQ(screen->TestApps, 10);
    auto alert = std::dynamic_pointer_cast<UIAlertView>(panel());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Loading Error");
    EXPECT_EQ(alert->message(), "Applications could not be loaded, please try again.");
    EXPECT_EQ(alert->buttonTitles(), (std::vector<std::string> { "Dismiss" }));
    EXPECT_FALSE(screen->loading.waitHud);
    EXPECT_TRUE(screen->appTable->isScrollEnabled());
    EXPECT_EQ(screen->appTable->numberOfSections(), 0);
    alert->pressButtonAtIndex(0);

    // The budget is spent for good: one read per later completion, which may find the catalogue.
    complete();
    EXPECT_EQ(screen->TestApps, 10);
    ASSERT_TRUE(panel());
    panel()->pressButtonAtIndex(0);
    writeCatalogue(kRadios);
    complete();
    EXPECT_FALSE(panel());
    EXPECT_EQ(screen->appTable->numberOfSections(), 2);
}

TEST_F(ChooserTest, TheCatalogueRequestAndTheLibrarysNoticesTravelAsSystemNotifications)
{
    static std::vector<std::string> heard;
    heard.clear();
    notify::setTap([](const char* name, void*) { heard.emplace_back(name); }, nullptr);
    notify::rebindForTesting();
    writeCatalogue(kRadios);
    auto screen = open<SLVAlwaysAppsController>();
    notify_post(slv::darwin::CheckOnApps);
    notify_post(slv::darwin::AppsLoaded);
    advance(0);
    notify::setTap(nullptr, nullptr);
    EXPECT_EQ(heard, (std::vector<std::string> { "norv.slv.grabapps", "norv.slv.check.on.apps", "norv.slv.apps.loaded" }));
    EXPECT_EQ(screen->AppLoading, 1);
    EXPECT_EQ(screen->appTable->numberOfSections(), 2);
}

} // namespace
} // namespace sv::test

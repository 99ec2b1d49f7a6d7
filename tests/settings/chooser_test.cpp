// The two chooser screens in this process: loading, sections, rows, taps and saves.
#include "tests/settings/pane_fixture.h"

#include "platform/foundation/notification_center.h"
#include "platform/notify/darwin_notify.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/recording_context.h"
#include "platform/ui/view_renderer.h"
#include "settings/always_apps_controller.h"
#include "settings/app_cell.h"
#include "settings/never_apps_controller.h"

using namespace sv::ui;

namespace sv::test {
namespace {

struct App {
    std::string name;
    std::string id;
};

class ChooserTest : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        installImages();
    }

    static Value record(const App& app) { return slv::applicationRecord(app.name, app.id, slv::iconImagePath(app.id)); }

    // The catalogue as the export leaves it, with an icon file for each application.
    void writeCatalogue(const std::vector<App>& apps, Dictionary others = {})
    {
        Array records;
        auto png = Image::create(8, 8)->pngData();
        for (const App& app : apps) {
            records.push_back(record(app));
            writeHostFile(root().host(slv::iconImagePath(app.id)), std::string(png->begin(), png->end()));
        }
        others[std::string(slv::key::ApplicationData)] = Value(std::move(records));
        writeSettings(others);
    }

    static Value list(const std::vector<std::string>& ids)
    {
        Array entries;
        for (const auto& id : ids)
            entries.push_back(slv::identifierEntry(id));
        return Value(std::move(entries));
    }

    template <class Screen>
    std::shared_ptr<Screen> open()
    {
        auto screen = Screen::initForContentSize(UIViewController::kContentSize);
        if (screen)
            navigation->pushViewController(screen, true);
        return screen;
    }

    static void progress(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            NotificationCenter::defaultCenter().post(slv::local::CheckOnAppLoading);
    }
    static void complete() { NotificationCenter::defaultCenter().post(slv::local::CheckOnApps); }

    static std::vector<std::string> names(const SLVAppListController& screen, std::size_t section)
    {
        std::vector<std::string> found;
        for (std::size_t i : screen.appNamesArray.at(section).entries)
            found.push_back(*findString(screen.applicationsArray[i], "AppName"));
        return found;
    }

    static NSIndexPath find(const SLVAppListController& screen, const std::string& name)
    {
        for (std::size_t s = 0; s < screen.appNamesArray.size(); ++s) {
            auto rows = names(screen, s);
            for (std::size_t r = 0; r < rows.size(); ++r)
                if (rows[r] == name)
                    return { static_cast<long>(s), static_cast<long>(r) };
        }
        ADD_FAILURE() << "no row " << name;
        return { -1, -1 };
    }

    // A row as the table configures it: whether it is marked, and with which picture.
    struct Look {
        std::string name;
        bool locked = false;
        std::string mark;
        const UITableViewCell* cell = nullptr;
    };
    static Look look(SLVAppListController& screen, const std::string& name)
    {
        Look seen;
        screen.appTable->visitCellForRowAtIndexPath(find(screen, name), [&](UITableViewCell& cell) {
            auto& row = dynamic_cast<AppCell&>(cell);
            seen.name = row.appName().value_or("");
            seen.locked = row.isLocked();
            seen.cell = &cell;
            RecordingContext context;
            drawViewHierarchy(cell, context);
            for (const auto& op : context.operationsOfKind(DrawOp::Kind::DrawImageAtPoint))
                seen.mark = op.imagePath;
        });
        return seen;
    }

    static void tap(SLVAppListController& screen, const std::string& name)
    {
        ASSERT_TRUE(screen.appTable->tapRowAtIndexPath(find(screen, name)));
    }

    static std::shared_ptr<AlertPanel> panel()
    {
        const auto& visible = UIApplication::sharedApplication().visibleAlerts();
        return visible.empty() ? nullptr : visible.back();
    }

    static std::vector<std::string> saved(std::string_view key)
    {
        std::vector<std::string> ids;
        auto settings = slv::readSettings();
        if (const Array* entries = settings ? findArray(*settings, key) : nullptr)
            for (const Value& entry : *entries)
                ids.push_back(slv::entryBundleID(entry) ? *slv::entryBundleID(entry) : "(none)");
        return ids;
    }

    const std::vector<App> kRadios { { "radar", "com.example.radar" }, { "Radio", "com.example.radio" }, { "7 Seas", "com.example.seas" } };
};

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

    ASSERT_TRUE(screen->waitHud);
    EXPECT_EQ(screen->waitHud->superview(), &table);
    EXPECT_EQ(screen->waitHud->frame(), Rect(60, 100, 200, 205));
    EXPECT_EQ(screen->waitHud->text(), "Please Wait... Loading Applications");
    ASSERT_TRUE(screen->loadingLabel && screen->loadingView);
    EXPECT_EQ(screen->loadingLabel->superview(), screen->waitHud.get());
    EXPECT_EQ(screen->loadingLabel->frame(), Rect(5, 164, 190, 20));
    EXPECT_EQ(screen->loadingLabel->text(), "Initializing...");
    EXPECT_EQ(screen->loadingLabel->textColor(), UIColor::whiteColor());
    EXPECT_EQ(screen->loadingLabel->textAlignment(), TextAlignment::Center);
    EXPECT_EQ(screen->loadingView->superview(), screen->waitHud.get());
    EXPECT_EQ(screen->loadingView->frame(), Rect(5, 185, 190, 25));
    EXPECT_EQ(screen->loadingView->progress(), 0);

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
        EXPECT_EQ(screen->loadingView->progress(), value);
        EXPECT_EQ(screen->loadingLabel->text(), text);
    }
    // Five notices: the export found the catalogue current. It stops here until the completion.
    complete();
    EXPECT_FALSE(screen->waitHud || screen->loadingView || screen->loadingLabel);
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
    EXPECT_EQ(screen->loadingView->progress(), 1.0f);
    EXPECT_EQ(screen->loadingLabel->text(), "Finished!");
    progress();
    EXPECT_EQ(screen->loadingView->progress(), 1.0f);
    EXPECT_EQ(screen->loadingLabel->text(), "Finished!");
}

TEST_F(ChooserTest, SectionsAreTitleCaseLettersInCodeOrderAndRowsSortCapitalsFirst)
{
    writeCatalogue({ { "radar", "r1" }, { "Radio", "r2" }, { "7 Seas", "s" }, { "\xC3\xA9" "clair", "e" }, { "zebra", "z1" },
                     { "Zither", "z2" }, { "Banjo", "b" } });
    auto screen = open<SLVNeverAppsController>();
    complete();
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
    auto screen = open<SLVNeverAppsController>();
    complete();
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
    auto screen = open<SLVNeverAppsController>();
    complete();
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
    auto screen = open<SLVNeverAppsController>();
    complete();
    EXPECT_EQ(screen->TestApps, 10);
    auto alert = std::dynamic_pointer_cast<UIAlertView>(panel());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Loading Error");
    EXPECT_EQ(alert->message(), "Applications could not be loaded, please try again.");
    EXPECT_EQ(alert->buttonTitles(), (std::vector<std::string> { "Dismiss" }));
    EXPECT_FALSE(screen->waitHud);
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

TEST_F(ChooserTest, EachScreenMarksOnlyItsOwnListWithItsOwnMark)
{
    writeCatalogue(kRadios, { { "NeverIdentifiers", list({ "com.example.radio" }) }, { "AlwaysIdentifiers", list({ "com.example.radar" }) } });
    auto never = open<SLVNeverAppsController>();
    complete();
    EXPECT_EQ(look(*never, "Radio").mark, slv::path::NeverMark);
    EXPECT_EQ(look(*never, "radar").mark, "");
    EXPECT_EQ(look(*never, "7 Seas").mark, "");

    navigation->popViewControllerAnimated(false);
    auto always = open<SLVAlwaysAppsController>();
    complete();
    EXPECT_EQ(look(*always, "radar").mark, slv::path::AlwaysMark);
    EXPECT_EQ(look(*always, "Radio").mark, "");
}

TEST_F(ChooserTest, ARowReusedForAnUnlistedApplicationShowsNoMark)
{
    writeCatalogue(kRadios, { { "NeverIdentifiers", list({ "com.example.radio" }) } });
    auto screen = open<SLVNeverAppsController>();
    complete();
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
    auto screen = open<SLVNeverAppsController>();
    complete();
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
    auto never = open<SLVNeverAppsController>();
    complete();
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
    auto always = open<SLVAlwaysAppsController>();
    complete();
    tap(*always, "Radio");
    ASSERT_TRUE(panel());
    EXPECT_EQ(std::dynamic_pointer_cast<UIAlertView>(panel())->message(), "You already have this application set to never be killed!");
    EXPECT_EQ(readHostFile(root().host(slv::settingsPath())), before);
}

TEST_F(ChooserTest, TheConfirmationAddsOneEntryAtTheEndOnYesAndNothingOnCancel)
{
    writeCatalogue(kRadios, { { "AlwaysIdentifiers", list({ "com.first" }) }, { "ramValue", Value(120) } });
    std::string before = readHostFile(root().host(slv::settingsPath()));
    auto screen = open<SLVAlwaysAppsController>();
    complete();
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
    auto screen = open<SLVNeverAppsController>();
    complete();
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
    auto screen = open<SLVNeverAppsController>();
    complete();
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

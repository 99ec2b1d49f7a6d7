// The Recently Closed screen: its rows, a tap and what it saves, the conflict alert, and the
// screen in the real Settings host, drawn.
#include "contract/history_file.h"
#include "platform/foundation/files.h"
#include "platform/foundation/run_loop.h"
#include "platform/ui/action_sheet.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/label.h"
#include "platform/ui/recording_context.h"
#include "platform/ui/view_renderer.h"
#include "platform/ui/table_view.h"
#include "settings/recently_closed_cell.h"
#include "settings/recently_closed_controller.h"
#include "tests/settings/pane_fixture.h"

#include <chrono>
#include <cmath>
#include <filesystem>

namespace sv::test {
namespace {

namespace history = slv::history;

class RecentlyClosedTest : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        installImages();
        fs::createDirectories(slv::path::DataFolder);
        double now = history::dateOf(sv::RunLoop::main().wallNow()).secondsSince2001;
        Array records;
        for (const history::Record& record : {
                 history::Record { "com.example.mail", { now - 600 }, "Low memory", 124, 12.0 },
                 history::Record { "com.example.news", { now - 120 }, "Always list", {}, {} },
                 history::Record { "com.example.notes", { now - 60 }, "Close every app", {}, {} },
                 history::Record { "com.example.gone", { now - 5 }, "Low memory", 80, {} } })
            records.push_back(history::valueOf(record));
        ASSERT_TRUE(plist::writeFile(history::Path, Value(records)));
        writeSettings({
            { "ApplicationData", Array { slv::applicationRecord("Mail", "com.example.mail", slv::path::MissingIcon),
                                         slv::applicationRecord("News", "com.example.news", slv::path::MissingIcon),
                                         slv::applicationRecord("Notes", "com.example.notes", slv::path::MissingIcon) } },
            { "AlwaysIdentifiers", Array { slv::identifierEntry("com.example.news") } },
            { "NeverIdentifiers", Array { slv::identifierEntry("com.example.notes") } },
            { "ramValue", 150 },
        });
    }

    // The pane's row opens the screen, as a finger on it would.
    std::shared_ptr<SLVRecentlyClosedController> openScreen()
    {
        auto pane = openPane();
        EXPECT_TRUE(pane);
        if (!pane)
            return nullptr;
        pane->view()->layoutIfNeeded();
        EXPECT_TRUE(pane->selectSpecifier(pane->specifierForID("RecentlyClosed")));
        auto screen = std::dynamic_pointer_cast<SLVRecentlyClosedController>(navigation->topViewController());
        if (screen)
            screen->view()->layoutIfNeeded();
        return screen;
    }

    // The pane's bundle as the build made it, for the real Settings host.
    void installBundle()
    {
        std::string bundle = root().host(std::string(slv::path::Bundle));
        for (const auto& entry : std::filesystem::directory_iterator(SV_SETTINGS_BUNDLE_DIR))
            std::filesystem::copy_file(entry.path(), bundle + "/" + entry.path().filename().string(),
                                       std::filesystem::copy_options::overwrite_existing);
    }

    void tapRow(SLVRecentlyClosedController& screen, long row)
    {
        auto table = std::dynamic_pointer_cast<ui::UITableView>(screen.view());
        ASSERT_TRUE(table);
        table->tapRowAtIndexPath({ 0, row });
    }

    // The stored catalogue with one more application, its icon missing.
    void addToCatalogue(const std::string& name, const std::string& bundleID)
    {
        auto settings = slv::readSettings().value_or(Dictionary {});
        auto catalogue = *findArray(settings, "ApplicationData");
        catalogue.push_back(slv::applicationRecord(name, bundleID, slv::path::MissingIcon));
        settings["ApplicationData"] = catalogue;
        writeSettings(settings);
    }

    // Opens the screen (kept in opened) and taps the row: what came up, if it is a Panel.
    template <class Panel>
    std::shared_ptr<Panel> openAndTap(long row)
    {
        opened = openScreen();
        if (!opened)
            return nullptr;
        tapRow(*opened, row);
        return std::dynamic_pointer_cast<Panel>(topPanel());
    }
    std::shared_ptr<SLVRecentlyClosedController> opened;

    static std::shared_ptr<ui::AlertPanel> topPanel()
    {
        const auto& alerts = ui::UIApplication::sharedApplication().visibleAlerts();
        return alerts.empty() ? nullptr : alerts.back();
    }

    static std::vector<std::string> neverList()
    {
        std::vector<std::string> ids;
        auto settings = slv::readSettings().value_or(Dictionary {});
        if (const Array* list = findArray(settings, "NeverIdentifiers"))
            for (const Value& entry : *list)
                if (const std::string* id = slv::entryBundleID(entry))
                    ids.push_back(*id);
        return ids;
    }
};

TEST_F(RecentlyClosedTest, ThePanesRowOpensTheHistoryNewestFirst)
{
    auto screen = openScreen();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->navigationTitle(), "History");
    ASSERT_EQ(screen->rows().size(), 4u);
    EXPECT_EQ(screen->rows()[0].name, "com.example.gone");
    EXPECT_EQ(screen->rows()[3].name, "Mail");
    auto table = std::dynamic_pointer_cast<ui::UITableView>(screen->view());
    ASSERT_TRUE(table);
    EXPECT_EQ(table->numberOfRowsInSection(0), 4);
    auto cell = std::dynamic_pointer_cast<SLVRecentlyClosedCell>(table->cellForRowAtIndexPath({ 0, 3 }));
    ASSERT_TRUE(cell) << "the rows draw themselves";
}

TEST_F(RecentlyClosedTest, AHistoryGrownPastAHundredShowsItsNewestHundred)
{
    double now = history::dateOf(sv::RunLoop::main().wallNow()).secondsSince2001;
    Array records;
    for (int i = 0; i < 250; ++i)
        records.push_back(history::valueOf({ "com.example.app" + std::to_string(i), { now - 250 + i }, "Low memory", i, {} }));
    ASSERT_TRUE(plist::writeFile(history::Path, Value(records)));
    auto screen = openScreen();
    ASSERT_TRUE(screen);
    ASSERT_EQ(screen->rows().size(), 100u);
    EXPECT_EQ(screen->rows().front().name, "com.example.app249");
    EXPECT_EQ(screen->rows().back().name, "com.example.app150");
}

TEST_F(RecentlyClosedTest, YesAddsToTheNeverListAndKeepsEverythingElse)
{
    auto sheet = openAndTap<ui::UIActionSheet>(3); // Mail
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "Would you like to never have Mail killed?");
    ASSERT_EQ(sheet->buttonTitles(), (std::vector<std::string> { "Yes", "Cancel" }));
    sheet->pressButtonAtIndex(0);
    EXPECT_EQ(neverList(), (std::vector<std::string> { "com.example.notes", "com.example.mail" }));
    auto settings = slv::readSettings().value_or(Dictionary {});
    EXPECT_EQ(findInteger(settings, "ramValue"), 150);
    EXPECT_EQ(findArray(settings, "ApplicationData")->size(), 3u);
    EXPECT_TRUE(opened->rows()[3].isNever) << "marked at once";

    tapRow(*opened, 3);
    EXPECT_FALSE(topPanel()) << "already on the Never list: nothing";
}

TEST_F(RecentlyClosedTest, CancelSavesNothingAndAnUnknownApplicationIsAskedByIdentifier)
{
    auto sheet = openAndTap<ui::UIActionSheet>(0);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "Would you like to never have com.example.gone killed?");
    sheet->pressButtonAtIndex(1);
    EXPECT_EQ(neverList(), std::vector<std::string> { "com.example.notes" });
}

TEST_F(RecentlyClosedTest, AnAlwaysListedApplicationGetsTheNeverChoosersError)
{
    auto alert = openAndTap<ui::UIAlertView>(2); // News
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Error");
    EXPECT_EQ(alert->message(), "You already have this application set to always be killed!");
    EXPECT_EQ(neverList(), std::vector<std::string> { "com.example.notes" });
}

TEST_F(RecentlyClosedTest, TheListsAreReadAtTheTapNotWhenTheScreenWasBuilt)
{
    auto screen = openScreen();
    ASSERT_TRUE(screen);
    writeSettings({ { "AlwaysIdentifiers", Array { slv::identifierEntry("com.example.mail") } } });
    tapRow(*screen, 3);
    EXPECT_TRUE(std::dynamic_pointer_cast<ui::UIAlertView>(topPanel())) << "Mail went on the Always list meanwhile";
}

TEST_F(RecentlyClosedTest, AMissingOrUnreadableHistoryShowsNoRows)
{
    std::string host = root().host(std::string(history::Path));
    writeHostFile(host, "garbage");
    auto screen = openScreen();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->rows().empty());
    std::filesystem::remove(host);
    screen->reloadRows();
    EXPECT_TRUE(screen->rows().empty());
}

// Two or more closes of one application reopened within the minute: the screen offers the Never
// list as it appears, once a visit, whatever Learn From Use says.
TEST_F(RecentlyClosedTest, AnApplicationThatKeepsComingBackIsOfferedTheNeverList)
{
    double now = history::dateOf(std::chrono::system_clock::now()).secondsSince2001;
    Array records;
    for (int i = 0; i < 3; ++i) {
        records.push_back(history::valueOf({ "com.example.camera", { now - 900 + i * 100 }, "Low memory", 90, 20.0 + i }));
        records.push_back(history::valueOf({ "com.example.mail", { now - 850 + i * 100 }, "Low memory", 90, {} }));
    }
    // News comes back as often, but it is on the Always list; Mail once only.
    records.push_back(history::valueOf({ "com.example.mail", { now - 100 }, "Low memory", 90, 5.0 }));
    for (int i = 0; i < 4; ++i)
        records.push_back(history::valueOf({ "com.example.news", { now - 50 + i }, "Always list", {}, 3.0 }));
    ASSERT_TRUE(plist::writeFile(history::Path, Value(records)));
    addToCatalogue("Camera", "com.example.camera");

    auto screen = openScreen();
    ASSERT_TRUE(screen);
    auto alert = std::dynamic_pointer_cast<ui::UIAlertView>(topPanel());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "Camera came back soon after 3 closes. Never close it?");
    ASSERT_EQ(alert->buttonTitles(), (std::vector<std::string> { "Yes", "Cancel" }));
    alert->pressButtonAtIndex(1);
    EXPECT_EQ(neverList(), std::vector<std::string> { "com.example.notes" }) << "Cancel saves nothing";
    screen->viewDidAppear(false);
    EXPECT_FALSE(topPanel()) << "once a visit";

    navigation->popViewControllerAnimated(false);
    screen = openScreen();
    alert = std::dynamic_pointer_cast<ui::UIAlertView>(topPanel());
    ASSERT_TRUE(alert) << "asked again on the next visit";
    alert->pressButtonAtIndex(0);
    EXPECT_EQ(neverList(), (std::vector<std::string> { "com.example.notes", "com.example.camera" }));
    navigation->popViewControllerAnimated(false);
    openScreen();
    EXPECT_FALSE(topPanel()) << "on the Never list: nothing more to offer";
}

// The suggestion's "Yes" for an application another process put on the Always list meanwhile:
// the same conflict alert as a tap on its row, and nothing saved.
TEST_F(RecentlyClosedTest, YesOnTheSuggestionForAnApplicationAlwaysListedMeanwhileShowsTheError)
{
    double now = history::dateOf(sv::RunLoop::main().wallNow()).secondsSince2001;
    Array records;
    for (int i = 0; i < 2; ++i)
        records.push_back(history::valueOf({ "com.example.mail", { now - 300 + i * 100 }, "Low memory", 90, 20.0 }));
    ASSERT_TRUE(plist::writeFile(history::Path, Value(records)));
    auto screen = openScreen();
    ASSERT_TRUE(screen);
    auto suggestion = std::dynamic_pointer_cast<ui::UIAlertView>(topPanel());
    ASSERT_TRUE(suggestion);
    EXPECT_EQ(suggestion->message(), "Mail came back soon after 2 closes. Never close it?");
    auto settings = slv::readSettings().value_or(Dictionary {});
    settings["AlwaysIdentifiers"] = Array { slv::identifierEntry("com.example.mail") };
    writeSettings(settings);
    suggestion->pressButtonAtIndex(0);
    auto error = std::dynamic_pointer_cast<ui::UIAlertView>(topPanel());
    ASSERT_TRUE(error) << "Yes that can do nothing says so";
    EXPECT_EQ(error->title(), "Error");
    EXPECT_EQ(error->message(), "You already have this application set to always be killed!");
    ASSERT_EQ(error->numberOfButtons(), 1);
    EXPECT_EQ(error->buttonTitleAtIndex(0), "Dismiss");
    EXPECT_EQ(neverList(), std::vector<std::string> { "com.example.notes" });
}

// Under the rows, what the screen keeps; with no rows, that nothing was closed yet, and no blank
// lines for rows that are not there.
TEST_F(RecentlyClosedTest, TheFooterSaysWhatIsKeptAndAnEmptyHistorySaysSo)
{
    auto footerTexts = [](SLVRecentlyClosedController& screen) {
        std::vector<std::string> texts;
        auto table = std::dynamic_pointer_cast<ui::UITableView>(screen.view());
        if (auto footer = table ? table->tableFooterView() : nullptr)
            for (const auto& view : footer->subviews())
                if (auto label = std::dynamic_pointer_cast<ui::UILabel>(view); label && !label->isHidden())
                    texts.push_back(label->text());
        return texts;
    };
    auto screen = openScreen();
    ASSERT_TRUE(screen);
    EXPECT_EQ(footerTexts(*screen), std::vector<std::string> { "Keeps the newest 100 closes." });

    std::filesystem::remove(root().host(std::string(history::Path)));
    screen->reloadRows();
    EXPECT_EQ(footerTexts(*screen), (std::vector<std::string> { "Nothing closed yet.", "Keeps the newest 100 closes." }));
    auto table = std::dynamic_pointer_cast<ui::UITableView>(screen->view());
    ui::RecordingContext context;
    ui::drawViewHierarchy(*table, context);
    for (const ui::DrawOp& op : context.operations())
        EXPECT_FALSE(op.kind == ui::DrawOp::Kind::FillPath && op.path.bounds().height() <= 1) << "a blank row's hairline";
}

// Records no library would write, in the real Settings host: no figure that is not one, no date
// that is not one, the file's text kept from reordering ours, a name for every row.
TEST_F(RecentlyClosedTest, TheSettingsHostShowsHostileRecordsSanely)
{
    installBundle();
    // The host's virtual clock dates as this process's manual clock does.
    double now = history::dateOf(sv::RunLoop::main().wallNow()).secondsSince2001;
    Array records;
    for (const history::Record& record : {
             history::Record { "com.example.mail", { now - 600 }, "Low memory", 124, std::nan("") },
             history::Record { "com.example.news", { -63113904000.0 }, "Always list", {}, {} },
             history::Record { "com.example.notes", { 252392457600.0 }, "Always list", -5, 1e300 },
             history::Record { "com.example.gone", { now - 60 }, "Low \u202ememory", 80, {} },
             history::Record { "com.example.blank", { now - 120 }, "Close every app", {}, 5.0 } })
        records.push_back(history::valueOf(record));
    ASSERT_TRUE(plist::writeFile(history::Path, Value(records)));
    addToCatalogue("", "com.example.blank");

    auto result = runProcess({ SV_PREFERENCES_HOST, "--root", root().path(), "--virtual-clock" }, "open recent\nshow\n");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.printed("] row \"com.example.blank\", \"2 min ago\", \"Close every app \u00b7 reopened after 5 s\"\n")) << result.out;
    EXPECT_TRUE(result.printed("] row \"com.example.gone\", \"1 min ago\", \"\u200e\u2068Low \u202ememory\u2069 \u00b7 80 MB free\"\n"));
    EXPECT_TRUE(result.printed("] row \"Notes\", \"Always list\", mark SLVNever.png\n"));
    EXPECT_TRUE(result.printed("] row \"News\", \"Always list\"\n"));
    EXPECT_TRUE(result.printed("] row \"Mail\", \"10 min ago\", \"Low memory \u00b7 124 MB free\"\n"));
    EXPECT_FALSE(result.printed("nan")) << result.out;
    EXPECT_TRUE(result.printed("] footer \"Keeps the newest 100 closes.\"\n"));
}

// An empty history in the real Settings host: the screen says so, and shows no row.
TEST_F(RecentlyClosedTest, TheSettingsHostShowsAnEmptyHistory)
{
    installBundle();
    std::filesystem::remove(root().host(std::string(history::Path)));
    auto result = runProcess({ SV_PREFERENCES_HOST, "--root", root().path(), "--virtual-clock" }, "open recent\nshow\n");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.printed("] screen SLVRecentlyClosedController \"History\"\n")) << result.out;
    EXPECT_TRUE(result.printed("] footer \"Nothing closed yet.\"\n")) << result.out;
    EXPECT_TRUE(result.printed("] footer \"Keeps the newest 100 closes.\"\n"));
    EXPECT_FALSE(result.printed("] row ")) << result.out;
}

// The real Settings host on the same device: open recent, show, tap, answer and snapshot.
TEST_F(RecentlyClosedTest, TheSettingsHostOpensShowsTapsAndDrawsTheScreen)
{
    installBundle();
    std::string png = root().path() + "/recent.png";
    auto result = runProcess({ SV_PREFERENCES_HOST, "--root", root().path(), "--virtual-clock" },
                             "open recent\nshow\ntap \"Notes\"\ntap \"Mail\"\nanswer \"Yes\"\nsnapshot " + png + "\n");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.printed("] pushed SLVRecentlyClosedController\n")) << result.out;
    EXPECT_TRUE(result.printed("] screen SLVRecentlyClosedController \"History\"\n"));
    // Seconds old, whatever the machine's pace: the figure itself is the rows' own test.
    EXPECT_TRUE(result.printed("] row \"com.example.gone\", \"") && result.printed(" s ago\", \"Low memory \u00b7 80 MB free\"\n")) << result.out;
    EXPECT_TRUE(result.printed("] row \"Notes\", \"1 min ago\", \"Close every app\", mark SLVNever.png\n"));
    EXPECT_TRUE(result.printed("] row \"Mail\", \"10 min ago\", \"Low memory \u00b7 124 MB free \u00b7 reopened after 12 s\"\n"));
    EXPECT_TRUE(result.printed("] sheet \"Would you like to never have Mail killed?\" buttons \"Yes\", \"Cancel\" (destructive)\n"));
    EXPECT_TRUE(result.printed("] saved NeverIdentifiers [2 entries]\n"));
    EXPECT_FALSE(result.printed("sheet \"Would you like to never have Notes"));

    auto decoded = runProcess({ "/usr/bin/env", "python3", "-c",
                                "import sys; sys.path.insert(0, sys.argv[1])\n"
                                "from export_check import decode_png\n"
                                "w, h, rows = decode_png(open(sys.argv[2], 'rb').read())\n"
                                "dark = sum(1 for r in rows[:h // 2] for p in r if p[0] < 90 and p[1] < 90 and p[2] < 90)\n"
                                "print(w, h, dark > 2000)",
                                std::string(SV_SOURCE_DIR) + "/tests/closer", png });
    EXPECT_EQ(decoded.status, 0) << decoded.err;
    EXPECT_EQ(decoded.out, "640 920 True\n") << "two pixels a point, the rows' text drawn";
}

} // namespace
} // namespace sv::test

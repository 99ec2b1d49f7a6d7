// The real Settings host, in its own process, on a device laid out as the install does it.
#include "contract/settings_contract.h"
#include "platform/foundation/plist/property_list.h"
#include "platform/ui/image.h"
#include "tests/support/device_root.h"
#include "tests/support/diary_lines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace sv::test {
namespace {

namespace fsys = std::filesystem;

class PreferencesHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        installDeliverables(root.path(), SV_SETTINGS_BUNDLE_DIR);
    }

    ProcessResult play(const std::string& scenario)
    {
        return runProcess({ SV_PREFERENCES_HOST, "--root", root.path(), "--virtual-clock" }, scenario);
    }

    static bool has(const std::string& text, const std::string& line) { return text.find(line) != std::string::npos; }

    // How many pixels of a band of the picture (in points, at two pixels a point) are dark.
    static int darkPixels(const ui::Image& image, float x0, float y0, float x1, float y1)
    {
        int dark = 0;
        for (int y = static_cast<int>(y0 * 2); y < static_cast<int>(y1 * 2); ++y)
            for (int x = static_cast<int>(x0 * 2); x < static_cast<int>(x1 * 2); ++x) {
                std::uint32_t pixel = image.pixels()[y * image.stride() / 4 + x];
                int green = (pixel >> 8) & 0xff;
                dark += green < 80;
            }
        return dark;
    }

    DeviceRoot root;
};

TEST_F(PreferencesHostTest, OpensThePaneAndSavesWhatTheFingerSets)
{
    std::string dragging = root.path() + "/dragging.png";
    std::string resting = root.path() + "/resting.png";
    auto result = play("open\n"
                       "wait 0.2\n"
                       "show\n"
                       "drag 33\n"
                       "drag 250 hold\n"
                       "snapshot " + dragging + "\n"
                       "lift\n"
                       "snapshot " + resting + "\n"
                       "post norv.slv.apps.loaded\n"
                       "wait 0\n"
                       "background\n"
                       "show\n");
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string& out = result.out;
    EXPECT_TRUE(has(result.err, "Sleep Vane: Loaded in settings"));
    EXPECT_TRUE(has(out, "[0.000] pushed SLVAppDelegate\n"));
    EXPECT_TRUE(has(out, "[0.200] screen SLVAppDelegate \"Sleepvane\"\n"));
    EXPECT_TRUE(has(out, "] row RamSlider \"\", switch off (hidden), slider 175, label \"175 MB\"\n"));
    EXPECT_TRUE(has(out, "] row AlwaysKill \"Always Close\" opens SLVAlwaysAppsController, label \"0\"\n"));
    EXPECT_TRUE(has(out, "] row NeverKill \"Never Close\" opens SLVNeverAppsController, label \"0\"\n"));
    EXPECT_TRUE(has(out, "] saved ramValue 35\n"));
    EXPECT_TRUE(has(out, "] label RamSlider \"35 MB\"\n"));
    EXPECT_TRUE(has(out, "] saved ramValue 250\n"));
    EXPECT_TRUE(has(out, "] notified CheckOnAppsSLV\n"));
    EXPECT_TRUE(has(out, "] popped SLVAppDelegate\n"));
    EXPECT_TRUE(has(out, "] screen PSListController \"Settings\"\n"));
    // The library was loaded too, and kept still outside the home screen.
    EXPECT_FALSE(fsys::exists(root.host("/var/mobile/Library/Sleepvane")));

    auto dragImage = ui::Image::fromFile("/dragging.png");
    auto restImage = ui::Image::fromFile("/resting.png");
    ASSERT_TRUE(dragImage && restImage);
    EXPECT_EQ(dragImage->width(), 640);
    EXPECT_EQ(dragImage->height(), 920);
    // The balloon: dark above the slider's track while the finger is down, gone after.
    EXPECT_GT(darkPixels(*dragImage, 43, 86, 258, 100), 100);
    EXPECT_EQ(darkPixels(*restImage, 43, 86, 258, 100), 0);
}

TEST_F(PreferencesHostTest, ATouchThatKeepsTheValueIsNoFailedSaveAndACancelledDragKeepsSliderAndLabelTogether)
{
    auto result = play("open\n"
                       "wait 0.2\n"
                       "drag 175\n"
                       "drag 175\n"
                       "wait 10\n"
                       "drag 250 hold\n"
                       "drag 260 hold\n"
                       "cancel\n"
                       "wait 10\n"
                       "show\n");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(has(result.out, "save failed")) << result.out;
    EXPECT_TRUE(has(result.out, "] row RamSlider \"\", switch off (hidden), slider 260, label \"260 MB\"\n")) << result.out;
    auto settings = slv::readSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(sv::findInteger(*settings, slv::key::RamValue), 260);
}

TEST_F(PreferencesHostTest, ShowsTheSuggestedThresholdWithItsFooterAndATapOnItSaves)
{
    // Three dates: two whole days, the third still going on; the slider at 30 MB, where the
    // advice is not.
    writeHostFile(root.host("/var/mobile/Library/Sleepvane/Diary.tsv"),
                  openedInTurn({ "com.example.a", "com.example.b", "com.example.c", "com.example.d", "com.example.e" },
                               100, 3));
    ASSERT_TRUE(plist::writeFile(slv::settingsPath(), Value(Dictionary { { "ramValue", Value(std::int64_t(30)) } })));
    auto result = play("open\nwait 0.11\nshow\nwait 1\nshow\ntap Suggested\nshow\n");
    EXPECT_EQ(result.status, 0) << result.err;
    // Not in the first frame (the slider's first fill); a second on, below the slider and its footer.
    EXPECT_TRUE(has(result.out, "[0.110] row RamSlider \"\", switch off (hidden), slider 30, label \"30 MB\"\n")) << result.out;
    for (const std::string& line : splitLines(result.out)) {
        if (line.rfind("[0.", 0) == 0) {
            EXPECT_EQ(line.find("Suggested"), std::string::npos) << line;
        }
    }
    std::smatch found;
    ASSERT_TRUE(std::regex_search(result.out, found, std::regex(R"(\[1\.110\] label Suggested "(\d+) MB"\n)")))
        << result.out;
    std::string value = found[1];
    EXPECT_TRUE(has(result.out, "[1.110] footer \"Apps that leave the screen are closed while free memory is at or below "
                                "this amount.\"\n[1.110] row Suggested \"Suggested\", label \"" + value + " MB\"\n[1.110] footer "
                                "\"From your last 2 whole days: "))
        << result.out;
    EXPECT_TRUE(has(result.out, "[1.110] saved ramValue " + value + "\n[1.110] slider RamSlider " + value
                                    + "\n[1.110] label RamSlider \"" + value + " MB\"\n"))
        << result.out;
    auto settings = plist::readDictionary(slv::settingsPath());
    ASSERT_TRUE(settings);
    EXPECT_EQ(findInteger(*settings, "ramValue"), std::stoi(value));
}

TEST_F(PreferencesHostTest, ReportsBadLinesAndGoesOn)
{
    auto result = play("drag 50\n"
                       "open extra\n"
                       "frobnicate\n"
                       "open\n"
                       "back\n"
                       "back\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(has(result.err, "line 1: no slider on this screen"));
    EXPECT_TRUE(has(result.err, "line 2: open takes nothing (the pane), never, always or recent"));
    EXPECT_TRUE(has(result.err, "line 3: unknown command \"frobnicate\""));
    EXPECT_TRUE(has(result.err, "line 6: already at the Settings list"));
    EXPECT_TRUE(has(result.out, "] popped SLVAppDelegate\n"));
}

TEST_F(PreferencesHostTest, DrivesAChooserThroughLoadingTapsAndAnswers)
{
    Array records;
    for (auto [name, id] : { std::pair { "radar", "com.example.radar" }, { "Radio", "com.example.radio" }, { "7 Seas", "com.example.seas" } })
        records.push_back(slv::applicationRecord(name, id, slv::path::MissingIcon));
    ASSERT_TRUE(plist::writeFile(slv::settingsPath(),
                                 Value(Dictionary { { "ApplicationData", Value(records) },
                                                    { "AlwaysIdentifiers", Value(Array { slv::identifierEntry("com.example.radar") }) } })));
    auto result = play("open never\n"
                       "post norv.slv.check.on.apps\n"
                       "post norv.slv.check.on.apps\n"
                       "post norv.slv.check.on.apps\n"
                       "post norv.slv.check.on.apps\n"
                       "post norv.slv.check.on.apps\n"
                       "wait 0\n"
                       "show\n"
                       "post norv.slv.apps.loaded\n"
                       "wait-loaded 5\n"
                       "show\n"
                       "tap \"Radio\"\n"
                       "answer \"Yes\"\n"
                       "tap \"radar\"\n"
                       "answer \"Dismiss\"\n"
                       "index Q\n"
                       "tap \"Nothing\"\n"
                       "back\n"
                       "open always\n"
                       "wait-loaded 0.2\n");
    const std::string& out = result.out;
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(has(out, "] pushed SLVNeverAppsController\n"));
    EXPECT_TRUE(has(out, "] overlay \"Initializing...\" 0\n"));
    EXPECT_TRUE(has(out, "] screen SLVNeverAppsController \"Never Kill\"\n"
                         "[0.000] overlay \"Cleaning Up...\" 0.8\n"
                         "[0.000] index ABCDEFGHIJKLMNOPQRSTUVWXYZ\n"));
    EXPECT_TRUE(has(out, "] overlay gone\n"));
    EXPECT_TRUE(has(out, "] table 2 sections, 3 rows\n"));
    EXPECT_TRUE(has(out, "] section \"7\"\n"
                         "[0.000] row \"7 Seas\"\n"
                         "[0.000] section \"R\"\n"
                         "[0.000] row \"Radio\"\n"
                         "[0.000] row \"radar\"\n"));
    EXPECT_TRUE(has(out, "] sheet \"Would you like to never have Radio killed?\" buttons \"Yes\", \"Cancel\" (destructive)\n"
                         "[0.000] pressed \"Yes\"\n"
                         "[0.000] saved NeverIdentifiers [1 entries]\n"));
    EXPECT_TRUE(has(out, "] alert \"Error\" \"You already have this application set to always be killed!\" buttons \"Dismiss\"\n"));
    EXPECT_TRUE(has(result.err, "line 17: no row \"Nothing\" on this screen"));
    // The Always screen asked again; nobody answers this time.
    EXPECT_TRUE(has(out, "] pushed SLVAlwaysAppsController\n"));
    EXPECT_TRUE(has(result.err, "line 20: still loading after 0.2 s"));
    auto settings = slv::readSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(*findArray(*settings, "NeverIdentifiers"), Array { slv::identifierEntry("com.example.radio") });
}

TEST_F(PreferencesHostTest, AnOpenSheetKeepsTheFingerOffTheScreenUnderIt)
{
    Array records;
    for (auto [name, id] : { std::pair { "radar", "com.example.radar" }, { "Radio", "com.example.radio" } })
        records.push_back(slv::applicationRecord(name, id, slv::path::MissingIcon));
    ASSERT_TRUE(plist::writeFile(slv::settingsPath(), Value(Dictionary { { "ApplicationData", Value(records) } })));
    auto result = play("open never\n"
                       "post norv.slv.apps.loaded\n"
                       "wait-loaded 5\n"
                       "tap \"Radio\"\n"
                       "tap \"Radio\"\n"
                       "index R\n"
                       "scroll 20\n"
                       "drag 50\n"
                       "drag-from 10 50\n"
                       "answer \"Yes\"\n"
                       "answer \"Yes\"\n"
                       "tap \"radar\"\n");
    EXPECT_EQ(result.status, 1);
    for (const char* refused : { "line 5: tap: ", "line 6: index: ", "line 7: scroll: ", "line 8: drag: ",
                                 "line 9: drag-from: " })
        EXPECT_TRUE(has(result.err, std::string(refused) + "an alert or sheet is open (answer it first)")) << result.err;
    EXPECT_TRUE(has(result.err, "line 11: no alert or sheet is showing"));
    EXPECT_FALSE(has(result.out, "scrolled"));
    EXPECT_TRUE(has(result.out, "] sheet \"Would you like to never have radar killed?\""));
    auto settings = slv::readSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(*findArray(*settings, "NeverIdentifiers"), Array { slv::identifierEntry("com.example.radio") });
}

} // namespace
} // namespace sv::test

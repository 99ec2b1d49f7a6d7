#include "tests/settings/pane_fixture.h"
#include "tests/support/stored_switches.h"

#include "platform/foundation/notification_center.h"
#include "platform/ui/label.h"
#include "platform/ui/switch.h"

#include <cmath>

using sv::Dictionary;
using sv::Value;
using namespace sv::ui;

namespace sv::test {
namespace {

class RootPaneTest : public PaneTest {
protected:
    std::shared_ptr<SLVAppDelegate> openAndFill()
    {
        auto pane = openPane();
        advance(kFirstFill);
        return pane;
    }

    std::shared_ptr<UILabel> label(SLVAppDelegate& pane, std::string_view row, int tag)
    {
        auto cell = pane.cachedCellForSpecifierID(row);
        return cell ? std::dynamic_pointer_cast<UILabel>(cell->viewWithTag(tag)) : nullptr;
    }

    std::string text(SLVAppDelegate& pane, std::string_view row, int tag)
    {
        auto found = label(pane, row, tag);
        return found ? found->text() : "(no label)";
    }

    std::optional<std::int64_t> savedRamValue()
    {
        auto settings = slv::readSettings();
        return settings ? findInteger(*settings, "ramValue") : std::nullopt;
    }

    std::size_t subviewsWithTag(const UIView& cell, int tag)
    {
        return static_cast<std::size_t>(std::count_if(cell.subviews().begin(), cell.subviews().end(),
                                                      [tag](const auto& v) { return v->tag() == tag; }));
    }

    // Back from a screen pushed over the pane.
    void visitAnotherScreen(const std::function<void()>& meanwhile = [] { })
    {
        navigation->pushViewController(UIViewController::init(), true);
        meanwhile();
        navigation->popViewControllerAnimated(true);
    }
};

TEST_F(RootPaneTest, WithoutSettingsShows175MBAndNoApplications)
{
    auto pane = openAndFill();
    ASSERT_TRUE(pane->ramSlider);
    auto& slider = *pane->ramSlider;
    EXPECT_EQ(slider.value(), 175);
    EXPECT_EQ(slider.minimumValue(), 30);
    EXPECT_EQ(slider.maximumValue(), 300);
    EXPECT_EQ(slider.frame(), Rect(33.5f, 10, 215, 44));
    EXPECT_EQ(slider.superview(), pane->cachedCellForSpecifierID("RamSlider").get());

    auto memory = label(*pane, "RamSlider", SLVAppDelegate::kMemoryLabelTag);
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->text(), "175 MB");
    EXPECT_EQ(memory->frame(), Rect(260, 0, 45, 46));
    EXPECT_EQ(memory->font(), UIFont::boldSystemFontOfSize(15));
    EXPECT_EQ(memory->textAlignment(), TextAlignment::Center);
    EXPECT_TRUE(memory->adjustsFontSizeToFitWidth());
    EXPECT_EQ(memory->backgroundColor(), UIColor::clearColor());
    EXPECT_EQ(memory->textColor(), UIColor::blackColor());

    auto always = label(*pane, "AlwaysKill", SLVAppDelegate::kAlwaysCountTag);
    auto never = label(*pane, "NeverKill", SLVAppDelegate::kNeverCountTag);
    ASSERT_TRUE(always && never);
    EXPECT_EQ(always->text(), "0");
    EXPECT_EQ(never->text(), "0");
    EXPECT_EQ(always->frame(), Rect(245, 0, 45, 44));
    EXPECT_EQ(never->frame(), Rect(245, 1, 45, 44));
    EXPECT_EQ(always->font(), UIFont::boldSystemFontOfSize(18));
    EXPECT_EQ(always->textColor(), UIColor::blueColor());
    EXPECT_FALSE(slv::settingsExist()); // showing saves nothing
}

TEST_F(RootPaneTest, FirstFillWaitsAFloatTenthOfASecond)
{
    auto pane = openPane();
    ASSERT_TRUE(pane->cachedCellForSpecifierID("RamSlider"));
    advance(0.1);
    EXPECT_FALSE(pane->ramSlider);
    advance(1e-8);
    EXPECT_TRUE(pane->ramSlider);
}

TEST_F(RootPaneTest, ShowsTheStoredThresholdAndCounts)
{
    writeSettings({ { "ramValue", Value(120) },
                    { "AlwaysIdentifiers", Array { slv::identifierEntry("a"), slv::identifierEntry("b") } },
                    { "NeverIdentifiers", Array { slv::identifierEntry("c") } } });
    auto pane = openAndFill();
    EXPECT_EQ(pane->ramSlider->value(), 120);
    EXPECT_EQ(text(*pane, "RamSlider", SLVAppDelegate::kMemoryLabelTag), "120 MB");
    EXPECT_EQ(text(*pane, "AlwaysKill", SLVAppDelegate::kAlwaysCountTag), "2");
    EXPECT_EQ(text(*pane, "NeverKill", SLVAppDelegate::kNeverCountTag), "1");
}

TEST_F(RootPaneTest, StoredNumbersOfOtherTypesReadAsTheirIntegerValue)
{
    writeSettings({ { "ramValue", Value(150.7) }, { "NeverIdentifiers", Value("not a list") } });
    auto pane = openAndFill();
    EXPECT_EQ(pane->ramSlider->value(), 150);
    EXPECT_EQ(text(*pane, "NeverKill", SLVAppDelegate::kNeverCountTag), "0");
}

TEST_F(RootPaneTest, AThresholdOutsideTheSlidersRangeShowsItsNearestEndAndOneBetweenStepsAsStored)
{
    struct Case {
        Value stored;
        float shown;
        const char* label;
    };
    for (const Case& c : { Case { Value(-50), 30, "30 MB" }, Case { Value(std::int64_t { 99999999999 }), 300, "300 MB" },
                           Case { Value(1e300), 300, "300 MB" }, Case { Value(173), 173, "173 MB" } }) {
        writeSettings({ { "ramValue", c.stored } });
        auto pane = openAndFill();
        EXPECT_EQ(pane->ramSlider->value(), c.shown) << c.label;
        EXPECT_EQ(text(*pane, "RamSlider", SLVAppDelegate::kMemoryLabelTag), c.label);
        navigation->popViewControllerAnimated(false);
    }
}

// Both switches show the one reading the library decides by, whatever kind of value holds them,
// when the pane is made and when it appears again.
TEST_F(RootPaneTest, TheSwitchesShowTheReadingTheLibraryUses)
{
    auto isOn = [](SLVAppDelegate& pane, std::string_view row) {
        auto cell = pane.cachedCellForSpecifierID(row);
        return cell && cell->control() && cell->control()->isOn();
    };
    for (const StoredSwitch& c : storedSwitches()) {
        Dictionary settings { { "ramValue", Value(90) } };
        if (c.stored)
            settings["alwaysKill"] = settings["LearnFromUse"] = *c.stored;
        writeSettings(settings);
        auto pane = openAndFill();
        EXPECT_EQ(isOn(*pane, "CloseEveryApp"), c.on) << c.what;
        EXPECT_EQ(isOn(*pane, "LearnFromUse"), c.on) << c.what;
        visitAnotherScreen([&] { writeSettings(settings); });
        EXPECT_EQ(isOn(*pane, "CloseEveryApp"), c.on) << c.what << ", appearing again";
        EXPECT_EQ(isOn(*pane, "LearnFromUse"), c.on) << c.what << ", appearing again";
        navigation->popViewControllerAnimated(false);
    }
}

TEST_F(RootPaneTest, DraggingSavesAtEveryUpdateAndShowsTheText)
{
    auto pane = openAndFill();
    auto& slider = *pane->ramSlider;
    Rect thumb = slider.thumbRect();
    UITouch finger(slider.convertPointToView({ thumb.midX(), thumb.midY() }, nullptr));
    slider.touchesBegan(finger, nullptr);
    EXPECT_EQ(savedRamValue(), 175);
    finger.moveTo(slider.locationForValue(250, nullptr));
    slider.touchesMoved(finger, nullptr);
    EXPECT_EQ(savedRamValue(), 175); // reported before the slider moved
    writeSettings({ { "ramValue", Value(1) } });
    slider.touchesEnded(finger, nullptr);
    EXPECT_EQ(savedRamValue(), 250);
    EXPECT_EQ(text(*pane, "RamSlider", SLVAppDelegate::kMemoryLabelTag), "250 MB");
}

TEST_F(RootPaneTest, SliderCallbackSavesAtOnceAndSetsTheLabel)
{
    writeSettings({ { "NeverIdentifiers", Array { slv::identifierEntry("c") } } });
    auto pane = openAndFill();
    pane->valueIsUpdating("250 MB", 250);
    EXPECT_EQ(slv::readSettings(), (Dictionary { { "NeverIdentifiers", Array { slv::identifierEntry("c") } },
                                                 { "ramValue", Value(250) } }));
    EXPECT_EQ(text(*pane, "RamSlider", SLVAppDelegate::kMemoryLabelTag), "250 MB");
}

TEST_F(RootPaneTest, UnreadableSettingsShowDefaultsAndStayUntouched)
{
    std::string path = root().host(slv::settingsPath());
    writeHostFile(path, "<plist><dict><key>ramValue");
    auto pane = openAndFill();
    EXPECT_EQ(pane->ramSlider->value(), 175);
    EXPECT_EQ(text(*pane, "AlwaysKill", SLVAppDelegate::kAlwaysCountTag), "0");
    pane->valueIsUpdating("60 MB", 60);
    EXPECT_EQ(readHostFile(path), "<plist><dict><key>ramValue");
    EXPECT_EQ(text(*pane, "RamSlider", SLVAppDelegate::kMemoryLabelTag), "60 MB");
}

TEST_F(RootPaneTest, CountsRefreshOnReturnWithoutASecondLabel)
{
    auto pane = openAndFill();
    visitAnotherScreen([this] {
        writeSettings({ { "AlwaysIdentifiers", Array { slv::identifierEntry("a"), slv::identifierEntry("b") } } });
    });
    EXPECT_EQ(text(*pane, "AlwaysKill", SLVAppDelegate::kAlwaysCountTag), "2");
    EXPECT_EQ(text(*pane, "NeverKill", SLVAppDelegate::kNeverCountTag), "0");
    EXPECT_EQ(subviewsWithTag(*pane->cachedCellForSpecifierID("AlwaysKill"), SLVAppDelegate::kAlwaysCountTag), 1u);
    EXPECT_EQ(subviewsWithTag(*pane->cachedCellForSpecifierID("NeverKill"), SLVAppDelegate::kNeverCountTag), 1u);
}

TEST_F(RootPaneTest, OnlyTheFirstSwitchOfTheSliderRowIsHidden)
{
    auto pane = openPane();
    auto cell = pane->cachedCellForSpecifierID("RamSlider");
    ASSERT_TRUE(cell && cell->control());
    auto second = UISwitch::initWithFrame(RectZero);
    cell->addSubview(second);
    advance(kFirstFill);
    EXPECT_TRUE(cell->control()->isHidden());
    EXPECT_FALSE(second->isHidden());
}

TEST_F(RootPaneTest, PaneLaidOutTooLateGetsNoSliderButLaterCounts)
{
    auto pane = openPane(false);
    advance(kFirstFill);
    EXPECT_FALSE(pane->ramSlider);
    navigation->pushViewController(pane, true);
    // Its cells were made after it was told it appears.
    EXPECT_FALSE(label(*pane, "AlwaysKill", SLVAppDelegate::kAlwaysCountTag));
    visitAnotherScreen();
    EXPECT_EQ(text(*pane, "AlwaysKill", SLVAppDelegate::kAlwaysCountTag), "0");
    EXPECT_FALSE(pane->ramSlider);
    EXPECT_FALSE(pane->cachedCellForSpecifierID("RamSlider")->viewWithTag(SLVAppDelegate::kMemoryLabelTag));
}

TEST_F(RootPaneTest, DismissedPaneIsReleasedWithItsSlider)
{
    std::weak_ptr<SLVAppDelegate> gone;
    std::weak_ptr<ZEVValueTrackingSlider> slider;
    {
        auto pane = openAndFill();
        gone = pane;
        slider = pane->ramSlider;
        navigation->popViewControllerAnimated(false);
    }
    EXPECT_TRUE(gone.expired());
    EXPECT_TRUE(slider.expired());
}

TEST_F(RootPaneTest, FailedBaseInitialiserStartsNoTimer)
{
    EXPECT_FALSE(SLVAppDelegate::initForContentSize({ NAN, 416 }));
    EXPECT_EQ(RunLoop::main().pendingTimers(), 0u);
}

TEST_F(RootPaneTest, SpecifierListOffersTheRowsTheScreensNeed)
{
    auto pane = openPane();
    EXPECT_EQ(pane->navigationTitle(), "Sleepvane");
    auto ramSlider = pane->specifierForID("RamSlider");
    auto always = pane->specifierForID("AlwaysKill");
    auto never = pane->specifierForID("NeverKill");
    ASSERT_TRUE(ramSlider && always && never);
    EXPECT_EQ(ramSlider->cellType(), prefs::PSCellType::Switch);
    EXPECT_EQ(always->detailControllerClass(), "SLVAlwaysAppsController");
    EXPECT_EQ(never->detailControllerClass(), "SLVNeverAppsController");

    // The user's way to set "alwaysKill": a switch bound to it, saved beside the other keys.
    writeSettings({ { "ramValue", Value(90) } });
    std::shared_ptr<prefs::PSTableCell> alwaysKill;
    for (const auto& specifier : pane->specifiers())
        if (specifier->key() == "alwaysKill" && specifier->defaults() == "com.norv.slv")
            alwaysKill = pane->cachedCellForSpecifier(*specifier);
    ASSERT_TRUE(alwaysKill && alwaysKill->control());
    EXPECT_FALSE(alwaysKill->control()->isOn());
    auto& control = *alwaysKill->control();
    UITouch tap(control.convertPointToView({ 5, 5 }, nullptr));
    control.touchesBegan(tap, nullptr);
    control.touchesEnded(tap, nullptr);
    EXPECT_EQ(slv::readSettings(), (Dictionary { { "ramValue", Value(90) }, { "alwaysKill", Value(true) } }));
}

TEST_F(RootPaneTest, LoadingLogsAndRelaysTheLibrarysNotifications)
{
    EXPECT_NE(std::find(initLog().begin(), initLog().end(), "Sleep Vane: Loaded in settings"), initLog().end());
    std::vector<std::string> heard;
    auto& center = NotificationCenter::defaultCenter();
    for (auto name : { slv::local::CheckOnApps, slv::local::CheckOnAppLoading })
        center.addObserver(this, std::string(name), [&](const Notification& n) { heard.push_back(n.name); });
    notify_post(slv::darwin::CheckOnApps);
    notify_post(slv::darwin::AppsLoaded);
    advance(0);
    center.removeObserver(this);
    EXPECT_EQ(heard, (std::vector<std::string> { "CheckOnAppLoadingSLV", "CheckOnAppsSLV" }));
}

} // namespace
} // namespace sv::test

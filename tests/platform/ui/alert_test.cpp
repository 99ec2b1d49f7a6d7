#include "platform/ui/action_sheet.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/application.h"
#include "platform/ui/progress_hud.h"
#include "platform/ui/progress_view.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sv::ui;

namespace {

struct Listener final : UIAlertViewDelegate, UIActionSheetDelegate {
    std::vector<std::pair<std::string, long>> heard;
    void clickedButtonAtIndex(UIAlertView& alert, long index) override { heard.emplace_back(alert.title(), index); }
    void clickedButtonAtIndex(UIActionSheet& sheet, long index) override
    {
        heard.emplace_back(sheet.title(), index);
        // Still on screen while its delegate hears of the press.
        EXPECT_TRUE(sheet.isVisible());
    }
};

class AlertTest : public ::testing::Test {
protected:
    void TearDown() override { UIApplication::sharedApplication().dismissAllAlerts(); }
    const std::vector<std::shared_ptr<AlertPanel>>& visible() { return UIApplication::sharedApplication().visibleAlerts(); }
};

TEST_F(AlertTest, ButtonsAreNumberedInTheirPlatformOrder)
{
    auto alert = UIAlertView::initWithTitle("T", "M", {}, std::string("Dismiss"), { "One", "Two" });
    EXPECT_EQ(alert->buttonTitles(), (std::vector<std::string> { "Dismiss", "One", "Two" }));
    EXPECT_EQ(alert->cancelButtonIndex(), 0);

    auto sheet = UIActionSheet::initWithTitle("S", {}, std::string("Cancel"), std::string("Delete"), { "Keep" });
    EXPECT_EQ(sheet->buttonTitles(), (std::vector<std::string> { "Delete", "Keep", "Cancel" }));
    EXPECT_EQ(sheet->destructiveButtonIndex(), 0);
    EXPECT_EQ(sheet->cancelButtonIndex(), 2);

    auto plain = UIActionSheet::initWithTitle("P", {}, std::nullopt, std::nullopt, { "Yes", "Cancel" });
    EXPECT_EQ(plain->destructiveButtonIndex(), -1);
    EXPECT_EQ(plain->cancelButtonIndex(), -1);
    plain->setDestructiveButtonIndex(1);
    EXPECT_EQ(plain->buttonTitleAtIndex(1), "Cancel");
    EXPECT_EQ(plain->buttonTitleAtIndex(2), "");
}

TEST_F(AlertTest, TheApplicationKeepsShownPanelsUntilAButtonIsPressed)
{
    auto listener = std::make_shared<Listener>();
    std::weak_ptr<UIAlertView> weakAlert;
    {
        auto alert = UIAlertView::initWithTitle("Error", "Bad", listener, std::string("Dismiss"), {});
        alert->show();
        weakAlert = alert;
    }
    auto sheet = UIActionSheet::initWithTitle("Sure?", listener, std::nullopt, std::nullopt, { "Yes", "Cancel" });
    sheet->setTag(69691);
    sheet->showInView(UIView::initWithFrame({ 0, 0, 10, 10 }));
    ASSERT_EQ(visible().size(), 2u);
    EXPECT_FALSE(weakAlert.expired());
    EXPECT_EQ(visible().back(), sheet);

    EXPECT_FALSE(sheet->pressButtonAtIndex(2));
    EXPECT_TRUE(sheet->pressButtonAtIndex(0));
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(sheet->pressButtonAtIndex(0)); // gone: a second press reaches nobody
    ASSERT_EQ(visible().size(), 1u);

    EXPECT_TRUE(visible().back()->pressButtonAtIndex(0));
    EXPECT_TRUE(visible().empty());
    EXPECT_TRUE(weakAlert.expired());
    EXPECT_EQ(listener->heard, (std::vector<std::pair<std::string, long>> { { "Sure?", 0 }, { "Error", 0 } }));
}

TEST_F(AlertTest, APressAfterTheDelegateIsGoneOnlyClosesThePanel)
{
    auto listener = std::make_shared<Listener>();
    auto sheet = UIActionSheet::initWithTitle("Sure?", listener, std::nullopt, std::nullopt, { "Yes" });
    sheet->showInView(UIView::initWithFrame({ 0, 0, 10, 10 }));
    listener.reset();
    EXPECT_TRUE(sheet->pressButtonAtIndex(0));
    EXPECT_TRUE(visible().empty());
}

TEST(ProgressDisplays, BarKeepsItsProgressInRangeAndThePanelShowsInItsView)
{
    auto bar = UIProgressView::initWithProgressViewStyle(UIProgressViewStyle::Default);
    bar->setProgress(0.8f);
    EXPECT_EQ(bar->progress(), 0.8f);
    bar->setProgress(7);
    EXPECT_EQ(bar->progress(), 1);
    bar->setProgress(std::nanf(""));
    EXPECT_EQ(bar->progress(), 1);
    bar->setProgress(-1);
    EXPECT_EQ(bar->progress(), 0);

    auto view = UIView::initWithFrame({ 0, 0, 320, 416 });
    auto hud = UIProgressHUD::initWithFrame({ 60, 100, 200, 205 });
    hud->setText("Loading");
    hud->showInView(view);
    EXPECT_TRUE(hud->isShowing());
    EXPECT_EQ(hud->superview(), view.get());
    hud->done();
    hud->removeFromSuperview();
    EXPECT_TRUE(hud->isDone());
    EXPECT_TRUE(view->subviews().empty());
}

} // namespace

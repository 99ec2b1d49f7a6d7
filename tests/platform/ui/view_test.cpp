#include "platform/ui/coder.h"
#include "platform/ui/navigation_controller.h"
#include "platform/ui/view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string_view>

using namespace sv::ui;

namespace {

std::shared_ptr<UIView> view(float x, float y, float w, float h)
{
    return UIView::initWithFrame({ x, y, w, h });
}

TEST(ViewTree, AddingElsewhereLeavesTheOldSuperviewAndCyclesAreRefused)
{
    auto a = view(0, 0, 100, 100), b = view(0, 0, 50, 50), child = view(1, 1, 5, 5);
    a->addSubview(child);
    b->addSubview(child);
    EXPECT_TRUE(a->subviews().empty());
    EXPECT_EQ(child->superview(), b.get());
    a->addSubview(b);
    b->addSubview(a); // a is b's ancestor
    EXPECT_EQ(a->superview(), nullptr);
    EXPECT_TRUE(child->isDescendantOfView(a.get()));
}

TEST(ViewTree, RemovedViewLivesOnWhileHeldAndForgetsItsSuperview)
{
    auto parent = view(0, 0, 10, 10);
    std::weak_ptr<UIView> weak;
    {
        auto child = view(0, 0, 1, 1);
        weak = child;
        parent->addSubview(child);
    }
    EXPECT_FALSE(weak.expired()); // the superview owns it
    auto held = weak.lock();
    held->removeFromSuperview();
    EXPECT_EQ(held->superview(), nullptr);
    held.reset();
    EXPECT_TRUE(weak.expired());
}

TEST(ViewTree, ViewWithTagSearchesItselfThenDepthFirstInOrder)
{
    auto root = view(0, 0, 10, 10), first = view(0, 0, 1, 1), deep = view(0, 0, 1, 1), second = view(0, 0, 1, 1);
    root->addSubview(first);
    first->addSubview(deep);
    root->addSubview(second);
    deep->setTag(7);
    second->setTag(7);
    EXPECT_EQ(root->viewWithTag(7), deep);
    second->setTag(0);
    root->setTag(0);
    EXPECT_EQ(root->viewWithTag(0), root);
    EXPECT_EQ(root->viewWithTag(99), nullptr);
}

TEST(ViewTree, PointsConvertThroughFramesAndBoundsOrigins)
{
    auto root = view(0, 0, 320, 480), cell = view(10, 84, 300, 56), slider = view(33.5f, 10, 215, 44);
    root->addSubview(cell);
    cell->addSubview(slider);
    cell->setBounds({ 0, 4, 300, 56 }); // scrolled by 4
    Point inRoot = slider->convertPointToView({ 1, 2 }, nullptr);
    EXPECT_EQ(inRoot, Point(44.5f, 92));
    EXPECT_EQ(slider->convertPointFromView(inRoot, nullptr), Point(1, 2));
    EXPECT_EQ(slider->convertPointToView({ 1, 2 }, cell.get()), Point(34.5f, 12));
}

TEST(ViewMaking, InitialisersFailOnFramesOrArchivesTheyCannotUse)
{
    EXPECT_FALSE(UIView::initWithFrame({ NAN, 0, 1, 1 }));
    EXPECT_FALSE(UIView::initWithCoder(NSCoder()));
    EXPECT_FALSE(UIView::initWithCoder(NSCoder({ { "frame", sv::Value("0 0 1 1") } })));
    auto restored = UIView::initWithCoder(
        NSCoder({ { "frame", NSCoder::encodeRect({ 1, 2, 3, 4 }) }, { "tag", sv::Value(9) }, { "alpha", sv::Value(0.5) } }));
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->frame(), Rect(1, 2, 3, 4));
    EXPECT_EQ(restored->tag(), 9);
    EXPECT_EQ(restored->alpha(), 0.5f);
}

TEST(Animation, AlphaChangesInABlockAreRecordedWithTheBlocksDuration)
{
    auto v = view(0, 0, 1, 1);
    v->setAlpha(0);
    EXPECT_FALSE(v->lastAlphaAnimation());
    UIView::beginAnimations(nullptr, nullptr);
    UIView::setAnimationDuration(0.5);
    v->setAlpha(1);
    EXPECT_EQ(v->alpha(), 1); // no tweening: the final value at once
    EXPECT_FALSE(v->lastAlphaAnimation());
    UIView::commitAnimations();
    ASSERT_TRUE(v->lastAlphaAnimation());
    EXPECT_EQ(v->lastAlphaAnimation()->from, 0);
    EXPECT_EQ(v->lastAlphaAnimation()->to, 1);
    EXPECT_EQ(v->lastAlphaAnimation()->duration, 0.5);
    v->setAlpha(0.25f);
    EXPECT_EQ(v->alphaAnimationCount(), 1u);
}

class Screen final : public UIViewController {
public:
    static std::shared_ptr<Screen> make(std::vector<std::string>& log, std::string name)
    {
        auto s = std::shared_ptr<Screen>(new Screen(log, std::move(name)));
        return s;
    }
    void viewWillAppear(bool) override { log_.push_back(name_ + " will appear, laid out " + laidOut()); }
    void viewDidAppear(bool) override { log_.push_back(name_ + " did appear, laid out " + laidOut()); }
    void viewWillDisappear(bool) override { log_.push_back(name_ + " will disappear"); }
    void viewDidLayoutSubviews() override { ++layouts_; }

private:
    Screen(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) { }
    std::string laidOut() const { return layouts_ ? "yes" : "no"; }
    std::vector<std::string>& log_;
    std::string name_;
    int layouts_ = 0;
};

TEST(Navigation, AppearanceCallsComeInOrderAndTheRootStays)
{
    std::vector<std::string> log;
    auto root = Screen::make(log, "root");
    auto navigation = UINavigationController::initWithRootViewController(root);
    std::vector<std::string> changes;
    navigation->setObserver([&](UINavigationController::Change change, UIViewController& c) {
        changes.push_back((change == UINavigationController::Change::Pushed ? "+" : "-") + std::to_string(c.view()->tag()));
    });
    log.clear();
    auto top = Screen::make(log, "top");
    top->view()->setTag(2);
    navigation->pushViewController(top, true);
    EXPECT_EQ(log, (std::vector<std::string> { "root will disappear", "top will appear, laid out no",
                                               "top did appear, laid out yes" }));
    EXPECT_EQ(navigation->popViewControllerAnimated(false), top);
    EXPECT_EQ(navigation->popViewControllerAnimated(false), nullptr);
    EXPECT_EQ(navigation->topViewController(), root);
    EXPECT_EQ(top->navigationController(), nullptr);
    EXPECT_EQ(changes, (std::vector<std::string> { "+2", "-2" }));
}

// The runtime's name of an object is its exact class's, namespaces and all stripped: a class
// that adds nothing of its own still answers its own name, its base's answers stay theirs.
TEST(ClassNames, AnObjectAnswersItsExactClassWithoutNamespaces)
{
    std::vector<std::string> log;
    auto screen = Screen::make(log, "screen");
    auto navigation = UINavigationController::initWithRootViewController(screen);
    EXPECT_EQ(view(0, 0, 1, 1)->className(), "UIView");
    EXPECT_EQ(screen->className(), "Screen");
    EXPECT_EQ(navigation->className(), "UINavigationController");
    EXPECT_EQ(static_cast<UIViewController&>(*navigation).className(), "UINavigationController");
    // The bar is a class of the navigation controller's own unit, out of every namespace's reach.
    std::vector<std::string_view> subviews;
    for (const auto& subview : navigation->view()->subviews())
        subviews.push_back(subview->className());
    EXPECT_NE(std::find(subviews.begin(), subviews.end(), "UINavigationBar"), subviews.end());
}

} // namespace

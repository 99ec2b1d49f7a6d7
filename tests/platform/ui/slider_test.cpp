#include "platform/ui/slider.h"
#include "platform/ui/switch.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sv::ui;

namespace {

class PlatformSlider : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = UIView::initWithFrame({ 0, 0, 320, 460 });
        auto cell = UIView::initWithFrame({ 10, 84, 300, 56 });
        window->addSubview(cell);
        slider = UISlider::initWithFrame({ 33.5f, 10, 215, 44 });
        cell->addSubview(slider);
        slider->setMinimumValue(30);
        slider->setMaximumValue(300);
        slider->setValue(175);
        slider->addTarget([this](UIControl&) { ++changes; }, UIControlEventValueChanged);
    }
    UITouch fingerAt(Point inSlider) { return UITouch(slider->convertPointToView(inSlider, nullptr)); }
    Rect thumb() { return slider->thumbRectForBounds(slider->bounds(), slider->trackRectForBounds(slider->bounds()), slider->value()); }

    std::shared_ptr<UIView> window;
    std::shared_ptr<UISlider> slider;
    int changes = 0;
};

TEST_F(PlatformSlider, ValueStaysWithinItsRange)
{
    slider->setValue(1000);
    EXPECT_EQ(slider->value(), 300);
    slider->setValue(NAN);
    EXPECT_EQ(slider->value(), 300);
    slider->setMaximumValue(200);
    EXPECT_EQ(slider->value(), 200);
    slider->setMinimumValue(250);
    EXPECT_EQ(slider->value(), 250);
    EXPECT_EQ(changes, 0); // values set by program send nothing
}

TEST_F(PlatformSlider, ThumbSpansTheBoundsFromMinimumToMaximum)
{
    slider->setValue(30);
    EXPECT_EQ(thumb(), Rect(0, 10, 23, 23));
    slider->setValue(300);
    EXPECT_EQ(thumb(), Rect(192, 10, 23, 23));
}

TEST_F(PlatformSlider, DragFromTheThumbKeepsTheFingersOffset)
{
    Rect t = thumb();
    UITouch finger = fingerAt({ t.midX() + 5, t.midY() });
    slider->touchesBegan(finger, nullptr);
    EXPECT_EQ(slider->value(), 175);
    EXPECT_TRUE(slider->isTracking());
    finger.moveTo(slider->convertPointToView({ t.midX() + 5 + 10, t.midY() }, nullptr));
    slider->touchesMoved(finger, nullptr);
    EXPECT_NEAR(thumb().midX(), t.midX() + 10, 1e-3);
    EXPECT_EQ(changes, 1);
    slider->touchesEnded(finger, nullptr);
    EXPECT_FALSE(slider->isTracking());
}

TEST_F(PlatformSlider, TouchOnTheTrackMovesTheThumbToTheFinger)
{
    UITouch finger = fingerAt({ 11.5f, 20 });
    slider->touchesBegan(finger, nullptr);
    EXPECT_EQ(slider->value(), 30);
    EXPECT_EQ(changes, 1);
}

TEST_F(PlatformSlider, SimulatedFingerReachesEveryWholeValue)
{
    int exact = 0;
    for (int v = 30; v <= 300; ++v) {
        Point location = slider->locationForValue(static_cast<float>(v), nullptr);
        float reached = slider->valueForLocation(slider->convertPointFromView(location, nullptr));
        ASSERT_GE(reached, v);
        ASSERT_LT(reached, v + 0.001f);
        exact += reached == v;
    }
    EXPECT_GT(exact, 200);
}

TEST(PlatformSwitch, TapTogglesAndTellsItsTargets)
{
    auto control = UISwitch::initWithFrame({ 5, 5, 10, 10 });
    EXPECT_EQ(control->frame().size, UISwitch::kSize);
    int changes = 0;
    control->addTarget([&](UIControl&) { ++changes; }, UIControlEventValueChanged);
    UITouch tap({ 10, 10 });
    control->touchesBegan(tap, nullptr);
    control->touchesEnded(tap, nullptr);
    EXPECT_TRUE(control->isOn());
    EXPECT_EQ(changes, 1);
    // A finger that slides off before lifting changes nothing.
    control->touchesBegan(tap, nullptr);
    tap.moveTo({ 200, 10 });
    control->touchesEnded(tap, nullptr);
    EXPECT_TRUE(control->isOn());
    EXPECT_EQ(changes, 1);
}

} // namespace

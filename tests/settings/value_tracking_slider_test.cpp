#include "platform/ui/recording_context.h"
#include "platform/ui/string_drawing.h"
#include "settings/value_tracking_slider.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace sv::ui;

namespace {

struct Reports final : ZEVValueTrackingSliderDelegate {
    std::vector<std::pair<std::string, int>> calls;
    void valueIsUpdating(const std::string& text, std::int32_t number) override { calls.emplace_back(text, number); }
};

// The pane's slider in a window-sized root, driven by one finger.
class SliderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = UIView::initWithFrame({ 0, 0, 320, 460 });
        slider = ZEVValueTrackingSlider::initWithFrame({ 33.5f, 10, 215, 44 }, reports);
        ASSERT_TRUE(slider);
        slider->setMinimumValue(30);
        slider->setMaximumValue(300);
        slider->setValue(175);
        window->addSubview(slider);
    }

    ZEVSliderValuePopupView& popup() { return *slider->valuePopupView; }
    Point thumbCentre() { return { slider->thumbRect().midX(), slider->thumbRect().midY() }; }

    void touchDown(Point inSlider)
    {
        finger.emplace(slider->convertPointToView(inSlider, nullptr));
        slider->touchesBegan(*finger, nullptr);
    }
    void moveTo(float value)
    {
        finger->moveTo(slider->locationForValue(value, nullptr));
        slider->touchesMoved(*finger, nullptr);
    }
    void lift() { slider->touchesEnded(*finger, nullptr); }

    std::shared_ptr<Reports> reports = std::make_shared<Reports>();
    std::shared_ptr<UIView> window;
    std::shared_ptr<ZEVValueTrackingSlider> slider;
    std::optional<UITouch> finger;
};

using Call = std::pair<std::string, int>;

TEST_F(SliderTest, QuantisesToStepsOfFiveAfterTruncating)
{
    struct Case {
        float value;
        const char* text;
        int number;
    };
    for (Case c : { Case { 30, "30 MB", 30 }, Case { 300, "300 MB", 300 }, Case { 32.9f, "30 MB", 30 },
                    Case { 32, "30 MB", 30 }, Case { 33, "35 MB", 35 }, Case { 175, "175 MB", 175 },
                    Case { 298, "300 MB", 300 }, Case { 37.99f, "35 MB", 35 } }) {
        reports->calls.clear();
        popup().setValue(c.value);
        ASSERT_EQ(reports->calls.size(), 1u) << c.value;
        EXPECT_EQ(reports->calls[0], Call(c.text, c.number)) << c.value;
        EXPECT_EQ(popup().text(), c.text);
        EXPECT_EQ(popup().value(), c.value);
    }
}

TEST_F(SliderTest, ValuesFarOutOfRangeStayWithinTheIntegerRange)
{
    for (float value : { 1e30f, -1e30f, INFINITY, NAN }) {
        reports->calls.clear();
        popup().setValue(value);
        ASSERT_EQ(reports->calls.size(), 1u);
        EXPECT_EQ(reports->calls[0].second % 5, 0) << value;
    }
    EXPECT_EQ(reports->calls[0].first, "0 MB"); // NaN reads as no digits
}

TEST_F(SliderTest, PopupStandsAboveTheThumbWhileDragging)
{
    Rect thumb = slider->thumbRect();
    ASSERT_EQ(thumb.height(), 23);
    EXPECT_EQ(popup().alpha(), 0);
    EXPECT_FALSE(popup().text());

    touchDown(thumbCentre());
    EXPECT_EQ(popup().frame(), Rect(thumb.x() - 20, thumb.y() - 18, thumb.width() + 40, 17));
    EXPECT_EQ(popup().superview(), slider.get());
    EXPECT_EQ(popup().alpha(), 1);
    ASSERT_TRUE(popup().lastAlphaAnimation());
    EXPECT_EQ(popup().lastAlphaAnimation()->duration, 0.5);
    EXPECT_EQ(reports->calls, std::vector<Call>({ { "175 MB", 175 } }));
}

TEST_F(SliderTest, EachMoveReportsTheValueBeforeItAndTheLiftReportsTheLast)
{
    touchDown(thumbCentre());
    moveTo(33);
    EXPECT_EQ(std::trunc(slider->value()), 33);
    // The move is reported before the slider follows it.
    EXPECT_EQ(reports->calls, std::vector<Call>({ { "175 MB", 175 }, { "175 MB", 175 } }));
    lift();
    EXPECT_EQ(reports->calls.back(), Call("35 MB", 35));
    EXPECT_EQ(reports->calls.size(), 3u);
    EXPECT_EQ(popup().alpha(), 0);
    EXPECT_EQ(popup().lastAlphaAnimation()->to, 0);
    EXPECT_EQ(popup().lastAlphaAnimation()->duration, 0.5);
}

TEST_F(SliderTest, DragBeginningFarFromTheThumbShowsNoPopupAndReportsNothingAtItsStart)
{
    slider->setValue(30);
    Rect thumb = slider->thumbRect();
    touchDown({ thumb.maxX() + 13, thumb.midY() });
    EXPECT_TRUE(reports->calls.empty());
    EXPECT_EQ(popup().alpha(), 0);
    EXPECT_EQ(popup().alphaAnimationCount(), 0u);
    // The platform slider still follows the finger; later updates are reported as usual.
    EXPECT_GT(slider->value(), 30);
    moveTo(200);
    EXPECT_EQ(reports->calls.size(), 1u);
    EXPECT_EQ(popup().alpha(), 0);
}

TEST_F(SliderTest, TouchWithinThirteenPointsOfTheThumbCounts)
{
    Rect thumb = slider->thumbRect();
    touchDown({ thumb.maxX() + 12.9f, thumb.maxY() + 12.9f });
    EXPECT_EQ(popup().alpha(), 1);
    EXPECT_EQ(reports->calls.size(), 1u);
}

TEST_F(SliderTest, CancelledDragReportsWhereTheThumbStaysAndFadesOut)
{
    touchDown(thumbCentre());
    moveTo(250);
    ASSERT_EQ(reports->calls.size(), 2u);
    EXPECT_EQ(reports->calls.back(), Call("175 MB", 175)); // reported before the thumb moved
    slider->touchesCancelled(nullptr);
    EXPECT_EQ(reports->calls.size(), 3u);
    EXPECT_EQ(reports->calls.back(), Call("250 MB", 250));
    EXPECT_EQ(popup().alpha(), 0);
    EXPECT_EQ(popup().lastAlphaAnimation()->duration, 0.5);
    EXPECT_FALSE(slider->isTracking());
}

TEST_F(SliderTest, ValueSetByProgramDoesNotReachThePopup)
{
    slider->setValue(100);
    EXPECT_TRUE(reports->calls.empty());
    EXPECT_FALSE(popup().text());
}

TEST_F(SliderTest, GoneDelegateIsNotCalled)
{
    reports.reset();
    touchDown(thumbCentre());
    moveTo(60);
    lift();
    EXPECT_EQ(popup().text(), "60 MB");
}

TEST(SliderMaking, ArchivedSliderShowsItsPopupButHasNoDelegate)
{
    NSCoder archive(sv::Dictionary { { "frame", NSCoder::encodeRect({ 0, 0, 215, 44 }) },
                                     { "minimumValue", sv::Value(30) },
                                     { "maximumValue", sv::Value(300) },
                                     { "value", sv::Value(120.0) } });
    auto slider = ZEVValueTrackingSlider::initWithCoder(archive);
    ASSERT_TRUE(slider);
    EXPECT_EQ(slider->value(), 120);
    ASSERT_TRUE(slider->valuePopupView);
    EXPECT_TRUE(slider->ClassDelegate.expired());

    Rect thumb = slider->thumbRect();
    UITouch finger({ thumb.midX(), thumb.midY() });
    slider->touchesBegan(finger, nullptr);
    EXPECT_EQ(slider->valuePopupView->alpha(), 1);
    EXPECT_EQ(slider->valuePopupView->text(), "120 MB");

    EXPECT_FALSE(ZEVValueTrackingSlider::initWithCoder(NSCoder()));
}

TEST(SliderMaking, FailedBaseInitialiserMakesNothing)
{
    auto reports = std::make_shared<Reports>();
    EXPECT_FALSE(ZEVValueTrackingSlider::initWithFrame({ NAN, 0, 215, 44 }, reports));
    EXPECT_FALSE(ZEVSliderValuePopupView::initWithFrame({ 0, INFINITY, 1, 1 }, reports));
}

class BalloonDrawing : public ::testing::Test {
protected:
    std::vector<DrawOp> draw(ZEVSliderValuePopupView& popup)
    {
        RecordingContext context;
        UIGraphicsPushContext(&context);
        popup.paint(popup.bounds());
        UIGraphicsPopContext();
        return context.operations();
    }
    std::shared_ptr<ZEVSliderValuePopupView> popup = ZEVSliderValuePopupView::initWithFrame({ 10, -8, 63, 17 }, {});
};

TEST_F(BalloonDrawing, BodyArrowAndTextAsOneFillThenCentredText)
{
    popup->setValue(175);
    auto ops = draw(*popup);
    ASSERT_EQ(ops.size(), 5u);

    EXPECT_EQ(ops[0].kind, DrawOp::Kind::SetFillColor);
    EXPECT_EQ(ops[1].kind, DrawOp::Kind::FillPath);
    EXPECT_EQ(ops[1].fillColor, UIColor::colorWithWhite(0, 0.8f));
    UIBezierPath expected = UIBezierPath::bezierPathWithRoundedRect({ 0, 0, 63, 13 }, 6);
    UIBezierPath arrow;
    arrow.moveToPoint({ 31.5f, 17 });
    arrow.addLineToPoint({ 21.5f, 13 });
    arrow.addLineToPoint({ 41.5f, 13 });
    arrow.closePath();
    expected.appendPath(arrow);
    EXPECT_EQ(ops[1].path.elements(), expected.elements());

    // set: fill and stroke colour both.
    EXPECT_EQ(ops[2].kind, DrawOp::Kind::SetFillColor);
    EXPECT_EQ(ops[3].kind, DrawOp::Kind::SetStrokeColor);
    const DrawOp& text = ops[4];
    EXPECT_EQ(text.kind, DrawOp::Kind::DrawTextInRect);
    EXPECT_EQ(text.text, "175 MB");
    EXPECT_EQ(text.fillColor, UIColor::colorWithWhite(1, 0.8f));
    EXPECT_EQ(text.strokeColor, UIColor::colorWithWhite(1, 0.8f));
    EXPECT_EQ(text.font, UIFont::boldSystemFontOfSize(14));
    float height = sizeWithFont("175 MB", UIFont::boldSystemFontOfSize(14)).height;
    EXPECT_GT(height, 13); // taller than the body: the text reaches above it
    EXPECT_EQ(text.rect, Rect(0, (13 - height) / 2, 63, height));
    EXPECT_EQ(text.lineBreakMode, LineBreakMode::WordWrap);
    EXPECT_EQ(text.alignment, TextAlignment::Center);
}

TEST_F(BalloonDrawing, WithoutTextOnlyTheBalloon)
{
    auto ops = draw(*popup);
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[1].kind, DrawOp::Kind::FillPath);
}

TEST_F(BalloonDrawing, BodyHeightIsRoundedDown)
{
    popup->setFrame({ 0, 0, 40, 19 }); // 0.8 x 19 = 15.2
    auto ops = draw(*popup);
    EXPECT_EQ(ops[1].path.elements()[0].rect, Rect(0, 0, 40, 15));
    EXPECT_EQ(ops[1].path.elements()[1].point, Point(20, 19));
}

} // namespace

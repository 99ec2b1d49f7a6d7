#include "platform/ui/image.h"
#include "platform/ui/label.h"
#include "platform/ui/recording_context.h"
#include "platform/ui/string_drawing.h"
#include "platform/ui/view_renderer.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sv::ui;

namespace {

const UIFont kBold14 = UIFont::boldSystemFontOfSize(14);

TEST(Text, MeasuresWithTheRealFont)
{
    Size wide = sizeWithFont("MMMM", kBold14);
    Size narrow = sizeWithFont("iiii", kBold14);
    EXPECT_GT(wide.width, 2 * narrow.width);
    EXPECT_EQ(wide.height, std::ceil(kBold14.lineHeight()));
    EXPECT_GT(wide.height, 14);
    EXPECT_LT(wide.height, 20);
    EXPECT_GT(kBold14.widthOfText("175 MB"), UIFont::systemFontOfSize(14).widthOfText("175 MB"));
    EXPECT_NEAR(UIFont::boldSystemFontOfSize(28).widthOfText("175 MB"), 2 * kBold14.widthOfText("175 MB"), 0.01);
}

TEST(Text, WrapsAtWordsAndTruncatesAtTheTail)
{
    auto lines = layoutText("one two three four five six", kBold14, 80, 0, LineBreakMode::WordWrap);
    ASSERT_GT(lines.size(), 2u);
    for (const auto& line : lines) {
        EXPECT_LE(line.width, 80);
        EXPECT_NE(line.text.front(), ' ');
    }
    auto cut = layoutText("A rather long application name", kBold14, 100, 0, LineBreakMode::TailTruncation);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_LE(cut[0].width, 100);
    EXPECT_TRUE(cut[0].text.ends_with("\xE2\x80\xA6"));
    EXPECT_EQ(layoutText("a\nb", kBold14, 0, kBold14.lineHeight(), LineBreakMode::Clip).size(), 1u);
}

TEST(Text, BrokenUtf8NeitherCrashesNorSpoilsLaterText)
{
    float before = kBold14.widthOfText("MB");
    EXPECT_GT(sizeWithFont("\xff\xfe bad \xc3", kBold14).width, 0);
    EXPECT_EQ(kBold14.widthOfText("MB"), before);
    EXPECT_EQ(sanitizedUtf8(std::string("a\0b", 3)), "a b");
}

TEST(LabelDrawing, ShrinksToFitItsWidthAndCentresVertically)
{
    auto label = UILabel::initWithFrame({ 0, 0, 45, 46 });
    label->setFont(UIFont::boldSystemFontOfSize(15));
    label->setAdjustsFontSizeToFitWidth(true);
    label->setText("1000 MB");
    UIFont fitted = label->fittedFont();
    EXPECT_LT(fitted.pointSize(), 15);
    EXPECT_LE(fitted.widthOfText("1000 MB"), 45);

    RecordingContext context;
    UIGraphicsPushContext(&context);
    label->paint(label->bounds());
    UIGraphicsPopContext();
    auto texts = context.operationsOfKind(DrawOp::Kind::DrawTextInRect);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].font, fitted);
    EXPECT_NEAR(texts[0].rect.midY(), 23, 0.5);
}

class Painted final : public UIView {
public:
    static std::shared_ptr<Painted> make(const Rect& frame)
    {
        std::shared_ptr<Painted> view(new Painted);
        view->setUpWithFrame(frame);
        return view;
    }
    void drawRect(const Rect&) override
    {
        UIColor::redColor().setFill();
        CGContextFillRect(UIGraphicsGetCurrentContext(), { 1, 1, 2, 2 });
    }
};

TEST(TreeDrawing, ViewsDrawAtTheirPlaceAndHiddenOnesNotAtAll)
{
    auto root = UIView::initWithFrame({ 0, 0, 100, 100 });
    auto outer = UIView::initWithFrame({ 10, 20, 50, 50 });
    auto inner = Painted::make({ 5, 5, 10, 10 });
    auto hidden = Painted::make({ 0, 0, 10, 10 });
    auto faded = Painted::make({ 0, 0, 10, 10 });
    hidden->setHidden(true);
    faded->setAlpha(0);
    root->addSubview(outer);
    outer->addSubview(inner);
    outer->addSubview(hidden);
    outer->addSubview(faded);
    inner->setAlpha(0.5f);

    RecordingContext context;
    drawViewHierarchy(*root, context);
    auto fills = context.operationsOfKind(DrawOp::Kind::FillRect);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].offset, Point(15, 25));
    EXPECT_EQ(fills[0].rect, Rect(1, 1, 2, 2));
    EXPECT_EQ(fills[0].fillColor, UIColor::redColor());
    auto layers = context.operationsOfKind(DrawOp::Kind::BeginLayer);
    ASSERT_EQ(layers.size(), 1u);
    EXPECT_EQ(layers[0].alpha, 0.5f);
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
}

TEST(TreeDrawing, CairoPaintsPixelsAtTheScale)
{
    auto root = UIView::initWithFrame({ 0, 0, 40, 30 });
    root->setBackgroundColor(UIColor::whiteColor());
    auto square = UIView::initWithFrame({ 10, 10, 10, 10 });
    square->setBackgroundColor(UIColor::colorWithRed(0, 0, 1, 1));
    root->addSubview(square);
    auto label = UILabel::initWithFrame({ 20, 0, 20, 30 });
    label->setText("W");
    label->setFont(UIFont::boldSystemFontOfSize(20));
    root->addSubview(label);

    auto image = renderView(*root, 2);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width(), 80);
    ASSERT_EQ(image->height(), 60);
    auto pixel = [&](int x, int y) { return image->pixels()[y * image->stride() / 4 + x]; };
    EXPECT_EQ(pixel(30, 30), 0xff0000ffu); // inside the square
    EXPECT_EQ(pixel(18, 30), 0xffffffffu); // left of it
    EXPECT_EQ(pixel(41, 30), 0xffffffffu); // right of it
    int dark = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 40; x < 80; ++x)
            dark += (pixel(x, y) & 0xff) < 64;
    EXPECT_GT(dark, 40); // the letter

    sv::test::DeviceRoot device;
    ASSERT_TRUE(writeViewPng(*root, device.host("/shot.png"), 1));
    auto back = Image::fromFile("/shot.png");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width(), 40);
}

} // namespace

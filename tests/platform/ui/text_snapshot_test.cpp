// Names in every script drawn through the whole stack (label, cairo, PNG file) and read back
// with an independent decoder: the pixels say which letter stands where, whether letters join,
// and whether a glyph was drawn or an empty box stands in for it.
#include "platform/ui/action_sheet.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/application.h"
#include "platform/ui/label.h"
#include "platform/ui/recording_context.h"
#include "platform/ui/string_drawing.h"
#include "platform/ui/view_renderer.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>

using namespace sv::ui;

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";
const std::string kHebrew = "שלום עולם";
const std::string kArabic = "مرحبا بالعالم";
const std::string kFamily = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7\xE2\x80\x8D\xF0\x9F\x91\xA6";
constexpr float kScale = 1;
constexpr float kSize = 24;

struct Picture {
    int width = 0, height = 0;
    std::vector<std::array<int, 4>> pixels;

    // How dark a pixel is on the white ground, 0 to 255.
    int ink(int x, int y) const
    {
        const auto& p = pixels[static_cast<std::size_t>(y * width + x)];
        return 255 - std::min({ p[0], p[1], p[2] });
    }
    bool colourful(int x, int y) const
    {
        const auto& p = pixels[static_cast<std::size_t>(y * width + x)];
        return std::max({ p[0], p[1], p[2] }) - std::min({ p[0], p[1], p[2] }) > 60;
    }
    bool inkedColumn(int x) const
    {
        for (int y = 0; y < height; ++y)
            if (ink(x, y) > 100)
                return true;
        return false;
    }
    // The first and last columns with ink, or {-1, -1}.
    std::pair<int, int> inkColumns() const
    {
        int first = -1, last = -1;
        for (int x = 0; x < width; ++x)
            if (inkedColumn(x)) {
                first = first < 0 ? x : first;
                last = x;
            }
        return { first, last };
    }
    // Runs of inked columns: a joined word is one run, letters set apart are one each.
    int inkRuns() const
    {
        int runs = 0;
        for (int x = 0; x < width; ++x)
            runs += inkedColumn(x) && (x == 0 || !inkedColumn(x - 1));
        return runs;
    }
    int count(bool (Picture::*test)(int, int) const) const
    {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                n += (this->*test)(x, y);
        return n;
    }
};

// How far the picture differs from the glyph where the glyph has its ink (0: the same), in
// proportion to the glyph's ink. Both were drawn at the same place.
double differenceWhereInked(const Picture& picture, const Picture& glyph)
{
    auto [first, last] = glyph.inkColumns();
    double difference = 0, ink = 0;
    for (int y = 0; y < std::min(picture.height, glyph.height); ++y)
        for (int x = std::max(first, 0); x <= last && x < picture.width; ++x) {
            difference += std::abs(picture.ink(x, y) - glyph.ink(x, y));
            ink += glyph.ink(x, y);
        }
    return ink > 0 ? difference / ink : 1e9;
}

// Intersection over union of the inked pixels.
double sharedInk(const Picture& a, const Picture& b)
{
    double both = 0, either = 0;
    for (int y = 0; y < std::min(a.height, b.height); ++y)
        for (int x = 0; x < std::min(a.width, b.width); ++x) {
            bool inA = a.ink(x, y) > 128, inB = b.ink(x, y) > 128;
            both += inA && inB;
            either += inA || inB;
        }
    return either > 0 ? both / either : 0;
}

struct Shot {
    std::string text;
    TextAlignment alignment = TextAlignment::Left;
    float width = 260;
};

class TextSnapshot : public ::testing::Test {
protected:
    static constexpr float kRow = 32;
    sv::test::DeviceRoot root;

    // Each text in a label of its own on white, one under the other, black in the system font
    // at kSize; the picture is written, read back, and cut into one picture a label.
    std::vector<Picture> draw(const std::vector<Shot>& shots)
    {
        float widest = 0;
        for (const auto& shot : shots)
            widest = std::max(widest, shot.width);
        auto ground = UIView::initWithFrame({ 0, 0, widest, kRow * static_cast<float>(shots.size()) });
        ground->setBackgroundColor(UIColor::whiteColor());
        for (std::size_t i = 0; i < shots.size(); ++i) {
            auto label = UILabel::initWithFrame({ 0, kRow * static_cast<float>(i), shots[i].width, kRow });
            label->setFont(UIFont::systemFontOfSize(kSize));
            label->setTextColor(UIColor::blackColor());
            label->setTextAlignment(shots[i].alignment);
            label->setLineBreakMode(LineBreakMode::TailTruncation);
            label->setText(shots[i].text);
            ground->addSubview(label);
        }
        std::string path = root.host("/shot.png");
        EXPECT_TRUE(writeViewPng(*ground, path, kScale));
        Picture whole = read(path);
        std::vector<Picture> pictures;
        int rowHeight = static_cast<int>(kRow * kScale);
        for (std::size_t i = 0; i < shots.size(); ++i) {
            Picture picture { whole.width, rowHeight, {} };
            auto from = whole.pixels.begin() + static_cast<long>(i) * rowHeight * whole.width;
            if (whole.pixels.end() - from >= rowHeight * whole.width)
                picture.pixels.assign(from, from + rowHeight * whole.width);
            else
                picture.height = 0;
            pictures.push_back(std::move(picture));
        }
        return pictures;
    }

    static Picture read(const std::string& path)
    {
        auto result = sv::test::runProcess(
            { "/usr/bin/env", "python3", std::string(SV_SOURCE_DIR) + "/tests/platform/ui/pixels.py", path });
        EXPECT_EQ(result.status, 0) << result.err;
        Picture picture;
        std::istringstream in(result.out);
        in >> picture.width >> picture.height;
        std::string row;
        for (int y = 0; y < picture.height && in >> row; ++y)
            for (std::size_t at = 0; at + 8 <= row.size(); at += 8) {
                std::array<int, 4> pixel {};
                for (std::size_t channel = 0; channel < 4; ++channel)
                    pixel[channel] = std::stoi(row.substr(at + 2 * channel, 2), nullptr, 16);
                picture.pixels.push_back(pixel);
            }
        EXPECT_EQ(picture.pixels.size(), static_cast<std::size_t>(picture.width * picture.height));
        return picture;
    }
};

TEST_F(TextSnapshot, HebrewReadsRightToLeftAndIsCutAtItsLogicalEnd)
{
    // Too long for the row: cut at the logical end, so the ellipsis stands at the left and the
    // name still starts at the right of what is drawn.
    std::string longName = kHebrew + " " + kHebrew + " " + kHebrew + " " + kHebrew;
    auto lines = layoutText(longName, UIFont::systemFontOfSize(kSize), 200, 0, LineBreakMode::TailTruncation);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].text.starts_with("שלום")) << lines[0].text;
    EXPECT_TRUE(lines[0].text.ends_with(kEllipsis)) << lines[0].text;

    // Right-aligned, the first letter alone lands where the name's first letter must be.
    auto shots = draw({ { kHebrew, TextAlignment::Right },
                        { "ש", TextAlignment::Right },
                        { "ם", TextAlignment::Right },
                        { longName, TextAlignment::Left, 200 },
                        { std::string(kEllipsis) },
                        { "ש", TextAlignment::Right, lines[0].width } });
    ASSERT_EQ(shots.size(), 6u);
    const Picture &name = shots[0], &first = shots[1], &last = shots[2], &cut = shots[3];
    EXPECT_LT(differenceWhereInked(name, first), 0.3) << "the first letter at the right end";
    EXPECT_GT(differenceWhereInked(name, last), 0.6) << "not the last letter, as left-to-right drawing puts it";
    EXPECT_LT(differenceWhereInked(cut, shots[4]), 0.3) << "the ellipsis at the left end";
    EXPECT_LT(differenceWhereInked(cut, shots[5]), 0.3) << "the first letter at the right end of the cut name";
}

TEST_F(TextSnapshot, ArabicIsJoinedAndStartsAtTheRight)
{
    // A zero-width joiner after the letter gives it the form it takes at the start of a word;
    // non-joiners between the letters set them apart.
    auto shots = draw({ { kArabic, TextAlignment::Right },
                        { "م\u200D", TextAlignment::Right },
                        { "م", TextAlignment::Right },
                        { "مرحبا" },
                        { "م\u200Cر\u200Cح\u200Cب\u200Cا" } });
    ASSERT_EQ(shots.size(), 5u);
    EXPECT_LT(differenceWhereInked(shots[0], shots[1]), 0.3) << "the first letter, joined to the next, at the right end";
    EXPECT_GT(differenceWhereInked(shots[0], shots[2]), 0.5) << "not the letter standing alone";
    EXPECT_LE(shots[3].inkRuns(), 2) << "the word's letters joined";
    EXPECT_GE(shots[4].inkRuns(), 4);
}

TEST_F(TextSnapshot, ChineseAndEmojiAreDrawnFromFontsThatHaveThem)
{
    // Two characters no font has: the boxes drawn in their stead look alike, and no glyph that a
    // font has may look like them.
    auto shots = draw({ { "\u0378" }, { "\u0379" }, { "中" }, { "文" }, { "应" }, { "用" }, { "中文应用" }, { kFamily },
                        { "\U0001F600" } });
    ASSERT_EQ(shots.size(), 9u);
    const Picture& box = shots[0];
    EXPECT_GT(sharedInk(box, shots[1]), 0.5) << "the measure knows a box when it sees one";
    for (std::size_t i = 2; i < 6; ++i) {
        EXPECT_GT(shots[i].inkRuns(), 0) << i;
        EXPECT_LT(sharedInk(shots[i], box), 0.3) << i;
    }
    auto [first, last] = shots[6].inkColumns();
    EXPECT_GT(last - first, 3 * kSize * kScale) << "four full-width characters";

    // The family is one glyph, not four people in a row nor four boxes; a face is in colour.
    const Picture& family = shots[7];
    EXPECT_LT(sharedInk(family, box), 0.3);
    auto [left, right] = family.inkColumns();
    EXPECT_GT(right - left, 0.6 * kSize * kScale);
    EXPECT_LT(right - left, 1.6 * kSize * kScale);
    EXPECT_GT(shots[8].count(&Picture::colourful), 50);
}

TEST_F(TextSnapshot, AnOverrideReversesWhatFollowsAndATabDrawsNoBox)
{
    auto shots = draw({ { "\u202E" "abc" }, { "cba" }, { "a\tb" } });
    ASSERT_EQ(shots.size(), 3u);
    EXPECT_LT(differenceWhereInked(shots[0], shots[1]), 0.1);
    EXPECT_EQ(shots[2].inkRuns(), 2) << "a and b, and nothing between";
}

TEST(LongNames, ARowCutsWithAnEllipsisAndATitleWrapsToThreeLinesBeforeItIsCut)
{
    std::string name;
    for (int i = 0; i < 20; ++i)
        name += "Weathervane";
    name = name.substr(0, 200);
    UIFont rowFont = UIFont::boldSystemFontOfSize(20);
    for (const std::string& text : { name, kArabic + " " + kArabic + " " + kArabic + " " + kArabic }) {
        auto row = layoutText(text, rowFont, 179, rowFont.lineHeight(), LineBreakMode::TailTruncation);
        ASSERT_EQ(row.size(), 1u);
        EXPECT_TRUE(row[0].text.ends_with(kEllipsis));
        EXPECT_LE(row[0].width, 179);
        EXPECT_GT(row[0].width, 150) << "as much of the name as fits";
    }

    // Words too long for a line are broken between letters; the title stops at three lines.
    auto alert = UIAlertView::initWithTitle(name, "Closed", {}, std::string("OK"), {});
    auto sheet = UIActionSheet::initWithTitle(name + " " + name, {}, std::string("Cancel"), std::nullopt, {});
    for (AlertPanel* panel : { static_cast<AlertPanel*>(alert.get()), static_cast<AlertPanel*>(sheet.get()) }) {
        RecordingContext context;
        UIGraphicsPushContext(&context);
        panel->paint(panel->bounds());
        UIGraphicsPopContext();
        auto texts = context.operationsOfKind(DrawOp::Kind::DrawTextInRect);
        auto title = std::ranges::find_if(texts, [&](const DrawOp& op) { return op.text == panel->title(); });
        ASSERT_NE(title, texts.end());
        auto lines = layoutText(title->text, *title->font, title->rect.width(), title->rect.height(), title->lineBreakMode);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_TRUE(lines[2].text.ends_with(kEllipsis));
        EXPECT_NEAR(title->rect.height(), 3 * title->font->lineHeight(), 1);
    }
    UIApplication::sharedApplication().dismissAllAlerts();
}

TEST(Graphemes, TheFirstIsWhatAPersonSeesAsOneCharacter)
{
    EXPECT_EQ(firstGrapheme(kFamily + " family"), kFamily);
    EXPECT_EQ(firstGrapheme("e\xCC\x81" "cole"), "e\xCC\x81") << "a letter with its combining accent";
    EXPECT_EQ(firstGrapheme("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7 France"), "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7") << "a flag";
    EXPECT_EQ(firstGrapheme(kArabic), "م");
    EXPECT_EQ(firstGrapheme("\xFF" "abc"), "\xFF");
    EXPECT_EQ(firstGrapheme(""), "");
}

} // namespace

#include "tests/settings/pane_fixture.h"

#include "platform/ui/recording_context.h"
#include "platform/ui/string_drawing.h"
#include "platform/ui/view_renderer.h"
#include "settings/app_cell.h"

#include <filesystem>

using namespace sv::ui;

namespace sv::test {
namespace {

class AppCellTest : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        installImages();
        cell = AppCell::initWithStyle(UITableViewCellStyle::Default, "AppCell");
        ASSERT_TRUE(cell);
        cell->setFrame({ 0, 0, 320, 44 });
    }

    // One paint of the row, as the table's drawing does it.
    RecordingContext paint()
    {
        RecordingContext context;
        drawViewHierarchy(*cell, context);
        return context;
    }

    static std::shared_ptr<Image> icon() { return Image::create(57, 57); }

    std::shared_ptr<AppCell> cell;
};

TEST_F(AppCellTest, TheDrawingViewCoversTheRowButItsLastPoint)
{
    ASSERT_TRUE(cell->contentView);
    EXPECT_EQ(cell->contentView->superview(), cell.get());
    EXPECT_TRUE(cell->contentView->isOpaque());
    EXPECT_EQ(cell->contentView->frame(), Rect(0, 0, 320, 43));
    cell->setFrame({ 0, 88, 320, 60 });
    EXPECT_EQ(cell->contentView->frame(), Rect(0, 0, 320, 59));
    // Before the table sizes it, it covers nothing.
    auto fresh = AppCell::initWithStyle(UITableViewCellStyle::Default, "AppCell");
    EXPECT_EQ(fresh->contentView->frame(), RectZero);
}

TEST_F(AppCellTest, PlainRowsAreWhiteWithBlackNamesAndLitRowsLeaveTheSelectionShowing)
{
    cell->setAppName("Radio");
    cell->setAppIcon(icon());
    for (int lit = 0; lit < 3; ++lit) {
        cell->setHighlighted(lit == 1);
        cell->setSelected(lit == 2);
        auto context = paint();
        auto fills = context.operationsOfKind(DrawOp::Kind::FillRect);
        auto names = context.operationsOfKind(DrawOp::Kind::DrawTextAtPoint);
        ASSERT_EQ(fills.size(), 2u) << lit; // the cell's white background, then the row's fill
        ASSERT_EQ(names.size(), 1u) << lit;
        EXPECT_EQ(fills[1].rect, Rect(0, 0, 320, 43));
        EXPECT_EQ(fills[1].fillColor, lit ? UIColor::clearColor() : UIColor::whiteColor()) << lit;
        EXPECT_EQ(names[0].fillColor, lit ? UIColor::whiteColor() : UIColor::blackColor()) << lit;
        EXPECT_EQ(names[0].font, UIFont::boldSystemFontOfSize(20));
    }
    // Lit, the cell's blue selection band lies under the row's clear fill.
    auto image = renderView(*cell, 1);
    std::uint32_t pixel = image->pixels()[20 * image->stride() / 4 + 240];
    EXPECT_LT((pixel >> 16) & 0xff, 40u);
    EXPECT_GT(pixel & 0xff, 200u);
}

TEST_F(AppCellTest, ALongNameEndsInAnEllipsisWithinTheNameWidth)
{
    std::string name = "An Application With A Remarkably Long Name";
    cell->setAppName(name);
    auto names = paint().operationsOfKind(DrawOp::Kind::DrawTextAtPoint);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].point, Point(44, 11));
    EXPECT_EQ(names[0].width, 179);
    EXPECT_EQ(names[0].lineBreakMode, LineBreakMode::TailTruncation);
    auto line = layoutText(name, AppCell::largeFont(), 179, AppCell::largeFont().lineHeight(), LineBreakMode::TailTruncation);
    ASSERT_EQ(line.size(), 1u);
    EXPECT_TRUE(line[0].text.ends_with("\xE2\x80\xA6"));

    // In pixels: nothing of the name right of 44 + 179 points.
    auto image = renderView(*cell, 2);
    int inked = 0, beyond = 0;
    for (int y = 22; y < 66; ++y)
        for (int x = 88; x < 512; ++x) {
            bool dark = (image->pixels()[y * image->stride() / 4 + x] & 0xff) < 128;
            inked += dark;
            beyond += dark && x >= 2 * (44 + 179);
        }
    EXPECT_GT(inked, 200);
    EXPECT_EQ(beyond, 0);
}

TEST_F(AppCellTest, TheMarkIsDrawnOnlyWhenLockedAndReadFromItsFileAtEveryPaint)
{
    cell->setAppIcon(icon());
    cell->setIsCustom(true);
    EXPECT_TRUE(paint().operationsOfKind(DrawOp::Kind::DrawImageAtPoint).empty());

    cell->setIsLocked(true);
    auto marks = paint().operationsOfKind(DrawOp::Kind::DrawImageAtPoint);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].imagePath, slv::path::AlwaysMark);
    EXPECT_EQ(marks[0].point, Point(257, 5));
    cell->setIsCustom(false);
    marks = paint().operationsOfKind(DrawOp::Kind::DrawImageAtPoint);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].imagePath, slv::path::NeverMark);

    // A new picture at the path shows at the next paint; no picture, no mark.
    auto bigger = Image::create(40, 20);
    auto png = bigger->pngData();
    writeHostFile(root().host(std::string(slv::path::NeverMark)), std::string(png->begin(), png->end()));
    marks = paint().operationsOfKind(DrawOp::Kind::DrawImageAtPoint);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].imageSize, Size(40, 20));
    std::filesystem::remove(root().host(std::string(slv::path::NeverMark)));
    EXPECT_TRUE(paint().operationsOfKind(DrawOp::Kind::DrawImageAtPoint).empty());
    // Icon and fill are drawn all the same; a row without a name draws no text.
    auto context = paint();
    EXPECT_EQ(context.operationsOfKind(DrawOp::Kind::DrawImageInRect).size(), 1u);
    EXPECT_TRUE(context.operationsOfKind(DrawOp::Kind::DrawTextAtPoint).empty());
}

TEST_F(AppCellTest, TheStateAndFlagsChooseOneOfSevenLayouts)
{
    struct Case {
        bool editing, deleting, warning, folder;
        Rect icon;
        Point name;
        float width;
        Point mark;
    };
    const Case cases[] = {
        { false, false, false, false, { 5, 7, 30, 30 }, { 44, 11 }, 179, { 257, 5 } },
        { false, false, false, true, { 8, 12, 25, 28 }, { 44, 11 }, 179, { 257, 5 } },
        { false, false, true, true, { 41, 7, 30, 30 }, { 75, 11 }, 155, { 257, 5 } },
        { true, false, true, false, { 45, 7, 30, 30 }, { 84, 11 }, 157, { 277, 5 } },
        { true, false, false, true, { 48, 12, 25, 28 }, { 84, 11 }, 157, { 277, 5 } },
        { true, true, true, false, { 45, 7, 30, 30 }, { 84, 11 }, 100, { 215, 5 } },
        { true, true, false, true, { 48, 12, 25, 28 }, { 84, 11 }, 100, { 215, 5 } },
    };
    cell->setAppName("Maps");
    cell->setAppIcon(icon());
    cell->setIsLocked(true);
    for (const Case& c : cases) {
        cell->setEditing(c.editing);
        cell->setShowingDeleteConfirmation(c.deleting);
        cell->setIsWarning(c.warning);
        cell->isFolder(c.folder);
        auto context = paint();
        auto icons = context.operationsOfKind(DrawOp::Kind::DrawImageInRect);
        auto names = context.operationsOfKind(DrawOp::Kind::DrawTextAtPoint);
        auto marks = context.operationsOfKind(DrawOp::Kind::DrawImageAtPoint);
        ASSERT_EQ(icons.size(), 1u);
        ASSERT_EQ(names.size(), 1u);
        ASSERT_EQ(marks.size(), 1u);
        EXPECT_EQ(icons[0].rect, c.icon) << c.editing << c.deleting << c.warning << c.folder;
        EXPECT_EQ(names[0].point, c.name) << c.editing << c.deleting << c.warning << c.folder;
        EXPECT_EQ(names[0].width, c.width) << c.editing << c.deleting << c.warning << c.folder;
        EXPECT_EQ(marks[0].point, c.mark) << c.editing << c.deleting << c.warning << c.folder;
    }
}

TEST_F(AppCellTest, DrawnStateAsksForARedrawTheIdentifierAndFolderFlagDoNot)
{
    UIView& view = *cell->contentView;
    auto asks = [&](const std::function<void()>& change) {
        int before = view.displayRequests();
        change();
        return view.displayRequests() - before;
    };
    EXPECT_GT(asks([&] { cell->setAppName("Notes"); }), 0);
    EXPECT_GT(asks([&] { cell->setAppIcon(icon()); }), 0);
    EXPECT_GT(asks([&] { cell->setIsLocked(true); }), 0);
    EXPECT_GT(asks([&] { cell->setIsCustom(true); }), 0);
    EXPECT_GT(asks([&] { cell->setIsWarning(true); }), 0);
    EXPECT_GT(asks([&] { cell->setEditing(true); }), 0);
    EXPECT_GT(asks([&] { cell->setShowingDeleteConfirmation(true); }), 0);
    EXPECT_GT(asks([&] { cell->setHighlighted(true); }), 0);
    EXPECT_EQ(asks([&] { cell->setAppID("com.example.notes"); }), 0);
    EXPECT_EQ(asks([&] { cell->isFolder(true); }), 0);
    EXPECT_EQ(cell->appID(), "com.example.notes");
}

} // namespace
} // namespace sv::test

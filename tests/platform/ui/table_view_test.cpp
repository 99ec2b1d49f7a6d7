#include "platform/ui/recording_context.h"
#include "platform/ui/table_view.h"
#include "platform/ui/view_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace sv::ui;

namespace {

// A data source of numbered rows in titled sections; counts the cells it had to make.
class Rows final : public UITableViewDataSource, public UITableViewDelegate {
public:
    std::vector<long> rowsPerSection { 100 };
    std::vector<std::string> titles;
    std::vector<std::string> index;
    std::map<std::string, long> sectionOfTitle;
    int made = 0;
    std::vector<NSIndexPath> selections;
    bool deselectOnSelection = false;

    long numberOfSectionsInTableView(UITableView&) override { return static_cast<long>(rowsPerSection.size()); }
    long numberOfRowsInSection(UITableView&, long section) override { return rowsPerSection[static_cast<std::size_t>(section)]; }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("Row");
        if (!cell) {
            cell = UITableViewCell::initWithStyle(UITableViewCellStyle::Default, "Row");
            ++made;
        }
        cell->textLabel()->setText(std::to_string(path.section) + ":" + std::to_string(path.row));
        return cell;
    }
    std::optional<std::string> titleForHeaderInSection(UITableView&, long section) override
    {
        return static_cast<std::size_t>(section) < titles.size() ? std::optional(titles[static_cast<std::size_t>(section)])
                                                                : std::nullopt;
    }
    std::vector<std::string> sectionIndexTitlesForTableView(UITableView&) override { return index; }
    long sectionForSectionIndexTitle(UITableView&, const std::string& title, long) override
    {
        auto found = sectionOfTitle.find(title);
        return found == sectionOfTitle.end() ? NSNotFound : found->second;
    }
    void didSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override
    {
        selections.push_back(path);
        EXPECT_TRUE(table.cellForRowAtIndexPath(path)->isSelected());
        if (deselectOnSelection)
            table.deselectRowAtIndexPath(path, true);
    }
};

class TableViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rows = std::make_shared<Rows>();
        table = UITableView::initWithFrame({ 0, 0, 320, 416 }, UITableViewStyle::Plain);
        table->setDataSource(rows);
        table->setDelegate(rows);
    }

    std::string textOf(const NSIndexPath& path)
    {
        auto cell = table->cellForRowAtIndexPath(path);
        return cell ? cell->textLabel()->text() : "(not on screen)";
    }

    std::shared_ptr<Rows> rows;
    std::shared_ptr<UITableView> table;
};

TEST_F(TableViewTest, OnlyRowsOnScreenHaveCellsAndScrolledAwayCellsAreReused)
{
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->indexPathsForVisibleRows().size(), 10u); // 416 / 44, rounded up
    EXPECT_EQ(rows->made, 10);
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 3 })->frame(), Rect(0, 132, 320, 44));

    ASSERT_TRUE(table->scrollByFinger(44 * 20));
    table->layoutIfNeeded();
    EXPECT_EQ(rows->made, 10);
    EXPECT_EQ(textOf({ 0, 20 }), "0:20");
    EXPECT_EQ(textOf({ 0, 3 }), "(not on screen)");
    // The last screenful is as far as it goes.
    table->setContentOffset({ 0, 1e6f });
    EXPECT_EQ(table->contentOffset().y, 100 * 44 - 416);

    // A reload hands every cell back and asks for the rows anew, from the pool.
    rows->rowsPerSection = { 3 };
    table->reloadData();
    EXPECT_EQ(table->contentOffset().y, 0);
    table->layoutIfNeeded();
    EXPECT_EQ(rows->made, 10);
    EXPECT_EQ(table->indexPathsForVisibleRows().size(), 3u);
    EXPECT_EQ(table->pooledCellCount(), 7u);
    EXPECT_EQ(textOf({ 0, 2 }), "0:2");
}

TEST_F(TableViewTest, SectionsStackUnderStickyHeadersAndTheIndexJumpsOrStays)
{
    rows->rowsPerSection = { 2, 30, 30 };
    rows->titles = { "7", "R", "W" };
    rows->index = { "Q", "R", "W" };
    rows->sectionOfTitle = { { "R", 1 }, { "W", 2 } };
    table->reloadData();
    EXPECT_EQ(table->rectForSection(1), Rect(0, 22 + 88, 320, 22 + 30 * 44));
    EXPECT_EQ(table->rectForRowAtIndexPath({ 1, 0 }).y(), 22 + 88 + 22);
    EXPECT_EQ(table->contentSize().height, 3 * 22 + 62 * 44);

    EXPECT_FALSE(table->touchSectionIndexAtPosition(0)); // "Q": not found
    EXPECT_EQ(table->contentOffset().y, 0);
    EXPECT_FALSE(table->touchSectionIndexAtPosition(3)); // past the index
    EXPECT_TRUE(table->touchSectionIndexAtPosition(2));  // "W"
    EXPECT_EQ(table->contentOffset().y, table->rectForSection(2).y());

    // Scrolled into "R": its header sticks to the top of the screen while its rows pass under it.
    table->setContentOffset({ 0, table->rectForSection(1).y() + 100 });
    RecordingContext context;
    drawViewHierarchy(*table, context);
    bool stuck = false;
    for (const auto& op : context.operationsOfKind(DrawOp::Kind::DrawTextAtPoint))
        stuck |= op.text == "R" && op.offset.y == 0;
    EXPECT_TRUE(stuck);
}

TEST_F(TableViewTest, ATapHighlightsSelectsAndTellsTheDelegateWhichMayDeselect)
{
    rows->deselectOnSelection = true;
    table->reloadData();
    ASSERT_TRUE(table->tapRowAtIndexPath({ 0, 40 }));
    ASSERT_EQ(rows->selections.size(), 1u);
    EXPECT_EQ(rows->selections[0], (NSIndexPath { 0, 40 }));
    // It was scrolled into view, and is no longer selected.
    auto cell = table->cellForRowAtIndexPath({ 0, 40 });
    ASSERT_TRUE(cell);
    EXPECT_FALSE(cell->isSelected());
    EXPECT_FALSE(cell->isHighlighted());
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_EQ(table->lastDeselectionAnimated(), true);
    EXPECT_FALSE(table->tapRowAtIndexPath({ 0, 100 }));
    EXPECT_FALSE(table->tapRowAtIndexPath({ 1, 0 }));
}

TEST_F(TableViewTest, ScrollingOffStopsTheFingerAndALostDataSourceEmptiesTheTable)
{
    table->reloadData();
    table->setScrollEnabled(false);
    EXPECT_FALSE(table->scrollByFinger(100));
    table->setScrollEnabled(true);
    EXPECT_TRUE(table->scrollByFinger(100));

    rows.reset();
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->numberOfSections(), 0);
    EXPECT_TRUE(table->indexPathsForVisibleRows().empty());
}

TEST_F(TableViewTest, SeparatorsTakeTheTablesColourAndClearOnesDrawNothingVisible)
{
    rows->rowsPerSection = { 2 };
    table->reloadData();
    table->setSeparatorColor(UIColor::clearColor());
    table->layoutIfNeeded();
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 1 })->separatorColor(), UIColor::clearColor());
    table->setSeparatorColor(UIColor::lightGrayColor());
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 1 })->separatorColor(), UIColor::lightGrayColor());
}

// A footer follows the last section, as wide as the table and as tall as it was made; the
// content grows by it, and no empty rows are drawn below it.
TEST_F(TableViewTest, AFooterFollowsTheRowsAndEndsTheTable)
{
    auto emptyRowLines = [&] {
        RecordingContext context;
        drawViewHierarchy(*table, context);
        return std::count_if(context.operations().begin(), context.operations().end(), [](const DrawOp& op) {
            return op.kind == DrawOp::Kind::FillPath && op.path.bounds().height() == 1
                && op.offset.y + op.path.bounds().y() > 88; // below the two rows
        });
    };
    rows->rowsPerSection = { 2 };
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_GT(emptyRowLines(), 0);

    table->setTableFooterView(UIView::initWithFrame({ 7, 9, 100, 60 }));
    table->layoutIfNeeded();
    EXPECT_EQ(table->tableFooterView()->frame(), Rect(0, 88, 320, 60));
    EXPECT_EQ(table->tableFooterView()->superview(), table.get());
    EXPECT_EQ(table->contentSize().height, 148);
    EXPECT_EQ(emptyRowLines(), 0);

    rows->rowsPerSection = { 20 };
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->tableFooterView()->frame().y(), 880);
    EXPECT_EQ(table->contentSize().height, 940);

    auto old = table->tableFooterView();
    table->setTableFooterView(nullptr);
    EXPECT_FALSE(old->superview());
    EXPECT_EQ(table->contentSize().height, 880);
}

TEST(TableViewCellStates, TransitionsAreAnnouncedAndReuseStartsPlain)
{
    struct Watched final : UITableViewCell {
        std::vector<unsigned> announced;
        static std::shared_ptr<Watched> make()
        {
            std::shared_ptr<Watched> cell(new Watched);
            cell->setUpWithStyle(UITableViewCellStyle::Default, "W");
            return cell;
        }
        void willTransitionToState(unsigned state) override
        {
            announced.push_back(state);
            EXPECT_NE(state, stateMask()); // before it takes effect
        }
    };
    auto cell = Watched::make();
    cell->setEditing(true);
    cell->setShowingDeleteConfirmation(true);
    cell->setEditing(true); // no change, no announcement
    EXPECT_EQ(cell->announced, (std::vector<unsigned> { 1, 3 }));
    cell->setHighlighted(true);
    cell->setSelected(true);
    cell->prepareForReuse();
    EXPECT_FALSE(cell->isHighlighted() || cell->isSelected() || cell->isEditing() || cell->showingDeleteConfirmation());
    EXPECT_EQ(cell->announced.back(), 0u);
}

TEST(TableViewCellStates, ASelectedCellIsDrawnInItsSelectionColourUnlessItHasNone)
{
    auto cell = UITableViewCell::initWithStyle(UITableViewCellStyle::Default, "C");
    auto blueFills = [&] {
        RecordingContext context;
        drawViewHierarchy(*cell, context);
        int blue = 0;
        for (const auto& op : context.operationsOfKind(DrawOp::Kind::FillPath))
            blue += op.fillColor.blue > 0.8f && op.fillColor.red < 0.1f;
        return blue;
    };
    EXPECT_EQ(blueFills(), 0);
    cell->setSelected(true);
    EXPECT_GT(blueFills(), 0);
    cell->setSelectionStyle(UITableViewCellSelectionStyle::None);
    EXPECT_EQ(blueFills(), 0);
}

} // namespace

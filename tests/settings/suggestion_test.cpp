// The threshold suggested below the slider from the diary of use: when it shows, what it says, what
// a tap on it does, and that it is worked out after the first frame, once an opening, leaving no
// timer behind.
#include "tests/settings/pane_fixture.h"
#include "tests/support/diary_lines.h"

#include "platform/foundation/files.h"
#include "platform/ui/label.h"
#include "settings/threshold_suggestion.h"
#include "playback/recommend.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>

using namespace sv::ui;

namespace sv::test {
namespace {

// Five applications of 100 MB on a phone that leaves 512 MB to them, opened one after another
// every half minute, then a return to the first; in the evening the library closes what runs.
// With nothing closed in between the fifth launch leaves 12 MB, under the floor.
std::string fiveAppDays(int days, double applicationsMB = 512, double footprint = 100)
{
    DiaryLines diary(applicationsMB);
    const char* apps[] = { "com.example.a", "com.example.b", "com.example.c", "com.example.d", "com.example.e" };
    diary.installEach(apps, footprint);
    diary.onDays(days, [&] {
        for (int round = 0; round < 3; ++round) {
            diary.openInTurn(apps, 30);
            diary.home();
            diary.wait(400);
            diary.open(apps[0]);
            diary.wait(20);
            diary.home();
            diary.wait(3600);
            diary.closeEach(apps, 5);
        }
    });
    return diary.text();
}

class SuggestionTest : public PaneTest {
protected:
    void writeDiary(const std::string& text) { writeHostFile(root().host(std::string(slv::diary::Path)), text); }

    std::shared_ptr<SLVAppDelegate> openAndWorkOut()
    {
        auto pane = openPane();
        advance(kFirstFill + 1);
        return pane;
    }

    static std::string footerOf(SLVAppDelegate& pane)
    {
        auto group = pane.specifierForID(SLVAppDelegate::kSuggestedGroup);
        return group ? group->footerText() : "(no footer)";
    }

    static std::string valueOf(SLVAppDelegate& pane)
    {
        auto cell = pane.cachedCellForSpecifierID(SLVAppDelegate::kSuggestedRow);
        auto label = cell ? std::dynamic_pointer_cast<UILabel>(cell->viewWithTag(SLVAppDelegate::kSuggestedTag)) : nullptr;
        return label ? label->text() : "(no row)";
    }

    // The rows' identifiers in order, groups included.
    static std::vector<std::string> rows(SLVAppDelegate& pane)
    {
        std::vector<std::string> ids;
        for (const auto& specifier : pane.specifiers())
            ids.push_back(specifier->identifier());
        return ids;
    }

    // The tool's own recommendation from the diary's whole days, and its figures at a threshold.
    static replay::Figures figuresAt(const std::string& text, int threshold, replay::Recommendation* recommended = nullptr)
    {
        replay::DiaryTrace diary = replay::DiaryTrace::read(replay::Suggestion::wholeDays(text), "me");
        replay::Footprints footprints;
        diary.estimateInto(footprints);
        diary.setDevice(*diary.device(footprints));
        replay::Replay replayer({}, footprints);
        if (recommended)
            *recommended = *replay::recommend(diary.days(), replayer, "learn-from-use", replay::sliderValues());
        replay::Recommender recommender("learn-from-use", { threshold });
        replay::Figures figures;
        replay::playThreshold(diary.days(), replayer, "learn-from-use", threshold, recommender, &figures);
        return figures;
    }
};

TEST_F(SuggestionTest, ThreeDaysOfDiaryPutTheRowBelowTheSliderAndTheFooterSaysWhatTheToolSays)
{
    // Four dates: the newest is still going on, so three whole days.
    std::string text = fiveAppDays(4);
    writeDiary(text);
    auto pane = openAndWorkOut();
    std::vector<std::string> order = rows(*pane);
    auto slider = std::find(order.begin(), order.end(), "RamSlider");
    ASSERT_NE(slider, order.end());
    ASSERT_GE(order.end() - slider, 3);
    EXPECT_EQ(slider[1], SLVAppDelegate::kSuggestedGroup);
    EXPECT_EQ(slider[2], SLVAppDelegate::kSuggestedRow);

    // The tool's recommendation from all the slider's values on the same days, and its figures
    // against the slider's 175 MB, said in restarts a week and minutes low a day.
    replay::Recommendation recommended;
    figuresAt(text, 30, &recommended);
    ASSERT_TRUE(recommended.threshold);
    int best = *recommended.threshold;
    EXPECT_EQ(valueOf(*pane), std::to_string(best) + " MB");
    replay::Figures there = figuresAt(text, best), here = figuresAt(text, 175);
    ASSERT_EQ(there.days, 3);
    replay::Costs costs;
    ASSERT_LT(costs.of(there), costs.of(here)) << "this diary must cost less elsewhere than at 175 MB";
    double restarts = 7 * double(here.restarts10min - there.restarts10min) / 3;
    double low = (here.secondsLow - there.secondsLow) / 60 / 3;
    std::string footer = footerOf(*pane);
    EXPECT_EQ(footer.rfind("From your last 3 whole days: at " + std::to_string(best) + " MB, ", 0), 0u) << footer;
    EXPECT_NE(footer.find(" than at 175 MB."), std::string::npos) << footer;
    if (std::lround(std::fabs(restarts)) >= 1) {
        EXPECT_NE(footer.find("about " + std::to_string(std::lround(std::fabs(restarts)))), std::string::npos)
            << footer << " " << restarts;
    }
    if (std::fabs(low) >= 5) {
        EXPECT_NE(footer.find(low > 0 ? " less a day with memory low" : " more a day with memory low"), std::string::npos)
            << footer << " " << low;
    }
    EXPECT_EQ(RunLoop::main().pendingTimers(), 0u) << "the work leaves no timer behind";
    EXPECT_FALSE(slv::settingsExist()) << "showing the suggestion saves nothing";
    navigation->popViewControllerAnimated(false);

    // At the best value already: said so.
    writeSettings({ { "ramValue", Value(best) } });
    auto atBest = openAndWorkOut();
    EXPECT_EQ(footerOf(*atBest), "From your last 3 whole days: " + std::to_string(best)
                                     + " MB, the slider's value, is already the best setting.");
}

TEST_F(SuggestionTest, WhatWasWorkedOutIsKeptUntilAWholeDayOrTheListsChangeAndGoesWithTheDiary)
{
    std::string text = fiveAppDays(3);
    writeDiary(text);
    std::string kept = root().host(std::string(slv::diary::SuggestionPath));
    auto first = openAndWorkOut();
    EXPECT_FALSE(first->suggestion()->readBack());
    ASSERT_TRUE((::access(kept.c_str(), F_OK) == 0));
    std::string answer = valueOf(*first);
    navigation->popViewControllerAnimated(false);

    // Lines of the newest date added: read back, the same answer.
    writeDiary(text + text.substr(text.rfind('\n', text.size() - 2) + 1));
    auto again = openAndWorkOut();
    EXPECT_TRUE(again->suggestion()->readBack());
    EXPECT_EQ(valueOf(*again), answer);
    navigation->popViewControllerAnimated(false);

    // The lists changed: worked out anew.
    writeSettings({ { "NeverIdentifiers", Array { slv::identifierEntry("com.example.a") } } });
    auto lists = openAndWorkOut();
    EXPECT_FALSE(lists->suggestion()->readBack());
    navigation->popViewControllerAnimated(false);

    // Another diary: worked out anew, never the old answer read back.
    writeDiary(fiveAppDays(3, 1024, 200));
    auto other = openAndWorkOut();
    EXPECT_FALSE(other->suggestion()->readBack());
    navigation->popViewControllerAnimated(false);

    // The diary deleted (Learn From Use off): what was kept goes with it.
    slv::diary::remove();
    EXPECT_FALSE((::access(kept.c_str(), F_OK) == 0));
}

TEST_F(SuggestionTest, TappingTheRowMovesTheSliderAndSavesAsADragDoes)
{
    writeDiary(fiveAppDays(3));
    writeSettings({ { "ramValue", Value(250) }, { "NeverIdentifiers", Array { slv::identifierEntry("x") } } });
    auto pane = openAndWorkOut();
    auto row = pane->specifierForID(SLVAppDelegate::kSuggestedRow);
    ASSERT_TRUE(row);
    std::string shown = valueOf(*pane);
    int value = std::stoi(shown);
    EXPECT_TRUE(pane->selectSpecifier(row));
    EXPECT_EQ(pane->ramSlider->value(), value);
    auto cell = pane->cachedCellForSpecifierID("RamSlider");
    auto label = std::dynamic_pointer_cast<UILabel>(cell->viewWithTag(SLVAppDelegate::kMemoryLabelTag));
    EXPECT_EQ(label->text(), shown);
    auto saved = slv::readSettings();
    ASSERT_TRUE(saved);
    EXPECT_EQ(findInteger(*saved, "ramValue"), value);
    ASSERT_TRUE(findArray(*saved, "NeverIdentifiers"));
    EXPECT_EQ(findArray(*saved, "NeverIdentifiers")->size(), 1u) << "the rest of the file is kept";
}

TEST_F(SuggestionTest, ItIsWorkedOutAfterTheFirstFrameOnceAnOpeningAndStopsWithThePane)
{
    writeDiary(fiveAppDays(3));
    std::string expected = valueOf(*openAndWorkOut());
    navigation->popViewControllerAnimated(false);
    std::remove(root().host(std::string(slv::diary::SuggestionPath)).c_str());
    auto pane = openPane();
    advance(kFirstFill);
    ASSERT_TRUE(pane->ramSlider);
    EXPECT_FALSE(pane->specifierForID(SLVAppDelegate::kSuggestedGroup)) << "nothing of it in the first frame";
    EXPECT_EQ(RunLoop::main().pendingTimers(), 1u) << "one step waits";
    advance(SLVThresholdSuggestion::kFirstStep);
    EXPECT_EQ(valueOf(*pane), expected);
    EXPECT_EQ(RunLoop::main().pendingTimers(), 0u);

    // Back from a chooser, with another diary: the same suggestion, nothing worked out again.
    std::string other = fiveAppDays(3, 1024, 200);
    writeDiary(other);
    navigation->pushViewController(UIViewController::init(), true);
    navigation->popViewControllerAnimated(true);
    advance(1);
    EXPECT_EQ(valueOf(*pane), expected);
    EXPECT_EQ(RunLoop::main().pendingTimers(), 0u);
    EXPECT_EQ(std::count(pane->specifiers().begin(), pane->specifiers().end(), pane->specifierForID(SLVAppDelegate::kSuggestedRow)), 1);

    // A new opening reads the diary anew.
    navigation->popViewControllerAnimated(true);
    pane.reset();
    auto again = openAndWorkOut();
    replay::Recommendation recommended;
    figuresAt(other, 30, &recommended);
    EXPECT_EQ(valueOf(*again), std::to_string(*recommended.threshold) + " MB");

    // A pane closed before its work is done leaves nothing running.
    navigation->popViewControllerAnimated(true);
    auto closed = openPane();
    advance(kFirstFill);
    navigation->popViewControllerAnimated(true);
    closed.reset();
    advance(1);
    EXPECT_EQ(RunLoop::main().pendingTimers(), 0u);
}

TEST_F(SuggestionTest, TooLittleDiaryOrOneThatIsNoDiaryShowsNoRow)
{
    auto noRow = [&](const std::string& what) {
        auto pane = openAndWorkOut();
        EXPECT_FALSE(pane->specifierForID(SLVAppDelegate::kSuggestedGroup)) << what;
        EXPECT_FALSE(pane->specifierForID(SLVAppDelegate::kSuggestedRow)) << what;
        EXPECT_FALSE(pane->suggestion()) << what << ": nothing kept";
        EXPECT_EQ(RunLoop::main().pendingTimers(), 0u) << what;
        navigation->popViewControllerAnimated(false);
    };
    noRow("no diary");
    writeDiary(fiveAppDays(2));
    noRow("one whole day");
    std::string path = root().host(std::string(slv::diary::Path));
    std::string garbage = fiveAppDays(3);
    garbage.insert(garbage.size() / 2, "not a line\n");
    writeDiary(garbage);
    noRow("a line that is none");
    writeDiary(std::string(slv::diary::kMaximumSize + 1, 'x'));
    noRow("over 2 MB");
    std::remove(path.c_str());
    writeHostFile(root().host("/elsewhere.tsv"), fiveAppDays(3));
    ASSERT_EQ(::symlink(root().host("/elsewhere.tsv").c_str(), path.c_str()), 0);
    noRow("a link");
    std::remove(path.c_str());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    noRow("a FIFO");
    std::remove(path.c_str());

    // A last line cut short by a lost write is no line; the rest is a diary.
    std::string torn = fiveAppDays(3);
    writeDiary(torn + torn.substr(torn.find('\n') + 1, 30));
    auto pane = openAndWorkOut();
    replay::Recommendation recommended;
    figuresAt(torn, 30, &recommended);
    EXPECT_EQ(valueOf(*pane), std::to_string(*recommended.threshold) + " MB");
}

} // namespace
} // namespace sv::test

// The threshold suggested below the slider from the diary of use: when it shows, what it says, what
// a tap on it does, and that it is worked out after the first frame, once an opening, leaving no
// timer behind.
#include "tests/settings/pane_fixture.h"
#include "tests/support/diary_lines.h"

#include "platform/foundation/files.h"
#include "platform/ui/label.h"
#include "settings/threshold_suggestion.h"
#include "tools/replay/recommend.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
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

    // The figures the tool's own code makes of the diary at a threshold.
    static replay::Figures figuresAt(const std::string& text, int threshold, replay::Recommendation* recommended = nullptr)
    {
        replay::DiaryTrace diary = replay::DiaryTrace::read(text, "me");
        replay::Footprints footprints;
        diary.estimateInto(footprints);
        diary.setDevice(*diary.device(footprints));
        replay::Replay replayer({}, footprints);
        std::vector<int> values;
        for (int t = 30; t <= 300; t += 5)
            values.push_back(t);
        if (recommended)
            *recommended = *replay::recommend(diary.days(), replayer, "learn-from-use", values);
        replay::Recommender recommender("learn-from-use", { threshold });
        replay::Figures figures;
        replay::playThreshold(diary.days(), replayer, "learn-from-use", threshold, recommender, &figures);
        return figures;
    }
};

TEST_F(SuggestionTest, ThreeDaysOfDiaryPutTheRowBelowTheSliderWithWhatItRestsOn)
{
    std::string text = fiveAppDays(3);
    writeDiary(text);
    auto pane = openAndWorkOut();
    std::vector<std::string> order = rows(*pane);
    auto slider = std::find(order.begin(), order.end(), "RamSlider");
    ASSERT_NE(slider, order.end());
    ASSERT_GE(order.end() - slider, 3);
    EXPECT_EQ(slider[1], SLVAppDelegate::kSuggestedGroup);
    EXPECT_EQ(slider[2], SLVAppDelegate::kSuggestedRow);

    // The tool's recommendation from all the slider's values, and its figures.
    replay::Recommendation recommended;
    figuresAt(text, 30, &recommended);
    ASSERT_TRUE(recommended.threshold);
    // The fifth launch must find more than the floor (51 MB): a close before it, so free memory at
    // the fourth switch (112 MB) must be at or below the threshold.
    EXPECT_EQ(*recommended.threshold, 115);
    EXPECT_EQ(valueOf(*pane), "115 MB");
    replay::Figures at115 = figuresAt(text, 115), at175 = figuresAt(text, 175);
    ASSERT_EQ(at115.days, 3);
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  "From your last 3 days: %g apps a day closed and opened again soon at 115 MB, %g at 175 MB.",
                  double(at115.regretted10min) / 3, double(at175.regretted10min) / 3);
    EXPECT_EQ(footerOf(*pane), expected);
    EXPECT_EQ(RunLoop::main().pendingTimers(), 0u) << "the work leaves no timer behind";
    EXPECT_FALSE(slv::settingsExist()) << "showing the suggestion saves nothing";
}

TEST_F(SuggestionTest, TappingTheRowMovesTheSliderAndSavesAsADragDoes)
{
    writeDiary(fiveAppDays(2));
    writeSettings({ { "ramValue", Value(250) }, { "NeverIdentifiers", Array { slv::identifierEntry("x") } } });
    auto pane = openAndWorkOut();
    auto row = pane->specifierForID(SLVAppDelegate::kSuggestedRow);
    ASSERT_TRUE(row);
    EXPECT_TRUE(pane->selectSpecifier(row));
    EXPECT_EQ(pane->ramSlider->value(), 115);
    auto cell = pane->cachedCellForSpecifierID("RamSlider");
    auto label = std::dynamic_pointer_cast<UILabel>(cell->viewWithTag(SLVAppDelegate::kMemoryLabelTag));
    EXPECT_EQ(label->text(), "115 MB");
    auto saved = slv::readSettings();
    ASSERT_TRUE(saved);
    EXPECT_EQ(findInteger(*saved, "ramValue"), 115);
    ASSERT_TRUE(findArray(*saved, "NeverIdentifiers"));
    EXPECT_EQ(findArray(*saved, "NeverIdentifiers")->size(), 1u) << "the rest of the file is kept";
}

TEST_F(SuggestionTest, ItIsWorkedOutAfterTheFirstFrameOnceAnOpeningAndStopsWithThePane)
{
    writeDiary(fiveAppDays(2));
    auto pane = openPane();
    advance(kFirstFill);
    ASSERT_TRUE(pane->ramSlider);
    EXPECT_FALSE(pane->specifierForID(SLVAppDelegate::kSuggestedGroup)) << "nothing of it in the first frame";
    EXPECT_EQ(RunLoop::main().pendingTimers(), 1u) << "one step waits";
    advance(SLVThresholdSuggestion::kFirstStep);
    EXPECT_EQ(valueOf(*pane), "115 MB");
    EXPECT_EQ(RunLoop::main().pendingTimers(), 0u);

    // Back from a chooser, with another diary: the same suggestion, nothing worked out again.
    writeDiary(fiveAppDays(2, 1024, 200));
    navigation->pushViewController(UIViewController::init(), true);
    navigation->popViewControllerAnimated(true);
    advance(1);
    EXPECT_EQ(valueOf(*pane), "115 MB");
    EXPECT_EQ(RunLoop::main().pendingTimers(), 0u);
    EXPECT_EQ(std::count(pane->specifiers().begin(), pane->specifiers().end(), pane->specifierForID(SLVAppDelegate::kSuggestedRow)), 1);

    // A new opening reads the diary anew.
    navigation->popViewControllerAnimated(true);
    pane.reset();
    auto again = openAndWorkOut();
    EXPECT_EQ(valueOf(*again), "225 MB");

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
    writeDiary(fiveAppDays(1));
    noRow("one day");
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
    std::string torn = fiveAppDays(2);
    writeDiary(torn + torn.substr(torn.find('\n') + 1, 30));
    auto pane = openAndWorkOut();
    EXPECT_EQ(valueOf(*pane), "115 MB");
}

TEST_F(SuggestionTest, AboveTheSliderIsSaidAsSuchAndNoThresholdIsAPlainSentence)
{
    // Three applications of 330 MB on a phone that leaves 1 024 MB (floor 102 MB), opened one after
    // another from the home screen: the third launch needs two closed before it. Each round ends
    // at the home screen with one of them running (694 MB free), and the next round's first
    // launch is no switch: only a threshold at or above 694 MB closes that one in time.
    DiaryLines big(1024);
    const char* apps[] = { "com.example.x", "com.example.y", "com.example.z" };
    big.installEach(apps, 330);
    big.onDays(3, [&] {
        for (int round = 0; round < 3; ++round) {
            big.openInTurn(apps, 30);
            big.home();
            big.wait(600);
            big.closeEach(apps);
            big.wait(600);
        }
    });
    writeDiary(big.text());
    auto pane = openAndWorkOut();
    EXPECT_EQ(valueOf(*pane), "300 MB") << "the most the slider holds";
    EXPECT_EQ(footerOf(*pane).rfind("From your last 3 days: even at 300 MB, the most the slider holds, the phone ran "
                                    "out of memory and closed apps itself; 700 MB would have spared it. ",
                                    0),
              0u)
        << footerOf(*pane);
    ASSERT_TRUE(pane->selectSpecifier(pane->specifierForID(SLVAppDelegate::kSuggestedRow)));
    EXPECT_EQ(pane->ramSlider->value(), 300);
    navigation->popViewControllerAnimated(false);

    // One application that alone leaves less than the floor: whatever the threshold.
    DiaryLines huge(1024);
    huge.install("com.example.huge", 1000);
    huge.install("com.example.small", 10);
    huge.onDays(3, [&] {
        huge.openInTurn(std::array { "com.example.small", "com.example.huge" }, 30);
        huge.home();
        huge.close("com.example.huge");
        huge.close("com.example.small");
    });
    writeDiary(huge.text());
    auto none = openAndWorkOut();
    EXPECT_FALSE(none->specifierForID(SLVAppDelegate::kSuggestedRow)) << "no figure the slider could be moved to";
    EXPECT_EQ(footerOf(*none), "From your last 3 days: the phone ran out of memory and closed apps itself at every "
                               "threshold up to 1000 MB; no setting would have spared it.");
}

} // namespace
} // namespace sv::test

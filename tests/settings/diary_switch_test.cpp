// Learn From Use turned off in the pane deletes the library's diary of use at once, without
// waiting for the library to read the switch at its next decision.
#include "contract/diary.h"
#include "tests/settings/pane_fixture.h"

#include "platform/ui/switch.h"

#include <filesystem>

namespace sv::test {
namespace {

class DiarySwitchTest : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        writeHostFile(root().host(std::string(slv::diary::Path)), std::string(slv::diary::Header) + "\n");
        writeHostFile(root().host(std::string(slv::diary::SetAsidePath)), "set aside\n");
    }

    // Taps the Learn From Use switch of an open pane.
    void tapLearnFromUse()
    {
        auto pane = openPane();
        advance(kFirstFill);
        auto cell = pane->cachedCellForSpecifierID("LearnFromUse");
        ASSERT_TRUE(cell && cell->control());
        auto& control = *cell->control();
        ui::UITouch tap(control.convertPointToView({ 5, 5 }, nullptr));
        control.touchesBegan(tap, nullptr);
        control.touchesEnded(tap, nullptr);
    }

    bool diaryThere() const { return std::filesystem::exists(root().host(std::string(slv::diary::Path))); }
    bool setAsideThere() const { return std::filesystem::exists(root().host(std::string(slv::diary::SetAsidePath))); }
};

TEST_F(DiarySwitchTest, TurnedOffTheDiaryAndWhatWasSetAsideAreDeletedAtOnce)
{
    writeSettings({ { std::string(slv::key::LearnFromUse), Value(true) }, { "ramValue", Value(120) } });
    tapLearnFromUse();
    EXPECT_EQ(slv::readSettings(), (Dictionary { { std::string(slv::key::LearnFromUse), Value(false) }, { "ramValue", Value(120) } }));
    EXPECT_FALSE(diaryThere());
    EXPECT_FALSE(setAsideThere());
}

TEST_F(DiarySwitchTest, TurnedOnOrAnotherSwitchTheDiaryStays)
{
    tapLearnFromUse();
    EXPECT_EQ(slv::readSettings(), (Dictionary { { std::string(slv::key::LearnFromUse), Value(true) } }));
    EXPECT_TRUE(diaryThere());
    auto pane = std::dynamic_pointer_cast<SLVAppDelegate>(navigation->topViewController());
    ASSERT_TRUE(pane);
    EXPECT_TRUE(pane->setPreferenceValue(Value(false), *pane->specifierForID("CloseEveryApp")));
    EXPECT_TRUE(diaryThere());
    EXPECT_TRUE(setAsideThere());
}

} // namespace
} // namespace sv::test

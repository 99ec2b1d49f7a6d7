// The plans of two-process days, as the model sees them.
#include "model/scenario.h"
#include "tests/referee/two_process_plan.h"

#include <gtest/gtest.h>

namespace {

using namespace twoprocess;

std::vector<ModelEvent> played(const Plan& plan, int stale = -1, double staleAt = 0)
{
    return parseEvents(model::playScenario(modelScenario(plan.setup, timeline(plan, stale, staleAt), plan.end)).lines);
}

std::string text(const std::vector<ModelEvent>& events)
{
    std::string all;
    for (const ModelEvent& event : events)
        all += std::to_string(event.at) + " " + event.text + "\n";
    return all;
}

// The plan keeps what the model sees clear of the load's reach; and most days bring an
// application to the front before a save and leave it just after, where the saved value decides
// the leave: a library reading the settings as they were before the save closes otherwise.
TEST(TwoProcessPlan, SavesAreMetByALeaveTheyDecideAndEverythingStaysClearOfTimers)
{
    int sharpened = 0, leaves = 0;
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        Plan plan = makePlan(seed);
        keepClear(plan);
        ASSERT_FALSE(plan.blocks.empty());
        EXPECT_LT(plan.end, 14) << seed;
        for (std::size_t i = 1; i < plan.steps.size(); ++i)
            EXPECT_GE(plan.steps[i].at - plan.steps[i - 1].at, 1.0) << seed;
        auto events = played(plan);
        bool seen = false;
        for (const HomeBlock& block : plan.blocks) {
            EXPECT_GE(clearance(block.at, events), kPlanMargin) << seed << " at " << block.at;
            if (block.after < 0)
                continue;
            double gap = block.at - plan.steps[block.after].at;
            EXPECT_GE(gap, kPlanMargin) << seed;
            EXPECT_LE(gap, 1.0) << seed;
            // The save landing just after the leave instead: a stale read at the leave.
            EXPECT_NE(text(played(plan, block.after, block.at + 0.01)), text(events))
                << "seed " << seed << ": the leave at " << block.at << " does not tell a stale read of step " << block.after;
            seen = true;
            ++leaves;
        }
        sharpened += seen;
    }
    EXPECT_GE(sharpened, 30) << "days with a leave just after a save, of 40";
    std::printf("%d of 40 days, %d leaves just after a save\n", sharpened, leaves);
}

} // namespace

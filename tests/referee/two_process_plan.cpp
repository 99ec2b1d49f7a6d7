#include "tests/referee/two_process_plan.h"

#include "model/scenario.h"
#include "tests/referee/day_generator.h"
#include "tests/referee/referee.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace twoprocess {

std::string listText(const std::vector<std::string>& ids)
{
    std::string text;
    for (const auto& id : ids)
        text += " " + id;
    return text;
}

bool has(const std::vector<std::string>& list, const std::string& id)
{
    return std::find(list.begin(), list.end(), id) != list.end();
}

std::string wait(double seconds)
{
    char text[40];
    std::snprintf(text, sizeof text, "wait %.6f\n", std::max(0.0, seconds));
    return text;
}

// A day's plan from its seed: applications, the settings the day starts with, the home screen's
// blocks of commands and the pane's steps, each at a time of the timed part.
Plan makePlan(std::uint64_t seed)
{
    referee::Random random(seed);
    Plan plan;
    int count = random.between(5, 10);
    std::ostringstream setup;
    setup << "memory total=1024 base=" << random.between(450, 700) << '\n';
    for (int i = 0; i < count; ++i) {
        plan.ids.push_back("com.example.two" + std::to_string(i));
        plan.names.push_back("Two" + std::to_string(i));
        setup << "app " << plan.ids.back() << " \"" << plan.names.back() << "\" mem=" << random.between(20, 160);
        if (random.chance(20))
            setup << " audio";
        if (random.chance(10))
            setup << " no-tasks";
        setup << '\n';
    }
    for (int i = 0; i < count; ++i) {
        if (random.chance(15))
            plan.never.push_back(plan.ids[i]);
        else if (random.chance(10))
            plan.always.push_back(plan.ids[i]);
    }
    plan.threshold = random.between(6, 60) * 5;
    setup << "settings ramValue " << plan.threshold << "\nsettings never" << listText(plan.never)
          << "\nsettings always" << listText(plan.always) << '\n';
    plan.setup = setup.str();

    for (double at = 1.0; at < kTimedPart; at += 1.1 + random.below(4) / 10.0) {
        PaneStep step { at };
        int roll = random.below(100);
        step.kind = roll < 45 ? PaneStep::Drag : roll < 70 ? PaneStep::Never : roll < 85 ? PaneStep::Always : PaneStep::Recent;
        step.value = random.between(6, 60) * 5;
        step.app = random.below(count);
        plan.steps.push_back(step);
    }

    int top = -1; // the application in front, if any
    auto leave = [&](std::ostringstream& out) {
        static const int states[] = { 2, 2, 2, 3, 3, 1 };
        if (top >= 0)
            out << "state " << plan.ids[top] << ' ' << states[random.below(6)] << '\n';
    };
    // After a step that changed a list, its application comes to the front and leaves at once,
    // so that the leave meets the list as the step left it.
    std::size_t stepsSeen = 0;
    int leaveNext = -1;
    for (double at = 0.2; at < kTimedPart; at += 0.5 + random.below(8) / 10.0) {
        std::ostringstream out;
        int listed = -1;
        for (; stepsSeen < plan.steps.size() && plan.steps[stepsSeen].at < at; ++stepsSeen)
            if (plan.steps[stepsSeen].kind != PaneStep::Drag)
                listed = plan.steps[stepsSeen].app;
        int roll = random.below(100);
        if (leaveNext >= 0 && leaveNext == top) {
            out << "home\nstate " << plan.ids[top] << " 2\n";
            top = leaveNext = -1;
        } else if (listed >= 0 || roll < 50) {
            int app = listed >= 0 ? listed : random.below(count);
            leaveNext = listed;
            // Memory low now and then, so that the leave that follows is decided by the lists.
            if (listed >= 0 && random.chance(50))
                out << "free " << random.between(10, 40) << '\n';
            leave(out);
            out << "launch " << plan.ids[app] << "\nstate " << plan.ids[app] << " 4\n";
            top = app;
        } else if (roll < 65) {
            out << "home\n";
            leave(out);
            top = -1;
        } else if (roll < 72) {
            out << "memory base=" << random.between(450, 900) << '\n';
        } else {
            // Pinned low more often than not: leaves then meet the threshold.
            out << (random.chance(20) ? std::string("free auto\n") : "free " + std::to_string(random.between(10, 120)) + "\n");
        }
        plan.blocks.push_back({ at, out.str() });
    }
    return plan;
}

std::string modelScenario(const std::string& setup, std::vector<Timed> items, double end)
{
    std::stable_sort(items.begin(), items.end(), [](const Timed& a, const Timed& b) { return a.at < b.at; });
    std::string text = "# the day as the model plays it: blocks and saves at the moments they happened\n" + setup;
    double now = 0;
    for (const Timed& item : items) {
        text += wait(item.at - now) + item.lines;
        now = std::max(now, item.at);
    }
    return text + wait(end - now);
}

std::vector<ModelEvent> parseEvents(const std::vector<std::string>& lines)
{
    std::vector<ModelEvent> events;
    for (const std::string& line : lines) {
        auto close = line.find("] ");
        if (line.empty() || line[0] != '[' || close == std::string::npos)
            continue;
        std::string text = line.substr(close + 2);
        if (text.rfind("closed ", 0) == 0 || text.rfind("posted norv.swr.", 0) == 0)
            events.push_back({ std::atof(line.c_str() + 1), text });
    }
    return events;
}

// The least distance from any of `times` to any moment the model decides or fires a timer at.
double clearance(double at, const std::vector<ModelEvent>& events, bool decisionsOnly)
{
    double least = 1e9;
    for (const ModelEvent& event : events)
        if (!decisionsOnly || event.text == "posted norv.swr.kill.test")
            least = std::min(least, std::abs(event.at - at));
    return least;
}

// Moves planned steps later until, as the model sees the plan, no home block is within the margin
// of a timer and no save within it of a decision.
void keepClear(Plan& plan)
{
    for (int round = 0; round < 60; ++round) {
        Lists lists { plan.never, plan.always, plan.threshold };
        std::vector<Timed> items;
        for (const HomeBlock& block : plan.blocks)
            items.push_back({ block.at, block.lines, false });
        for (const PaneStep& step : plan.steps) {
            if (step.kind == PaneStep::Drag)
                items.push_back({ step.at, "settings ramValue " + std::to_string(step.value) + "\n", true });
            else if (step.kind != PaneStep::Recent && lists.tap(step.kind, plan.ids[step.app]).second)
                items.push_back({ step.at, "settings never" + listText(lists.never) + "\nsettings always" + listText(lists.always) + "\n", true });
        }
        if (plan.end < std::max(plan.blocks.back().at, plan.steps.empty() ? 0 : plan.steps.back().at) + kTail)
            plan.end = std::max(plan.blocks.back().at, plan.steps.empty() ? 0 : plan.steps.back().at) + kTail;
        // Played past the end, so that what falls due just after it counts too.
        auto events = parseEvents(model::playScenario(modelScenario(plan.setup, items, plan.end + 2)).lines);
        bool moved = false;
        if (clearance(plan.end, events, false) < kPlanMargin) {
            plan.end += 0.3;
            moved = true;
        }
        for (HomeBlock& block : plan.blocks)
            if (!moved && clearance(block.at, events, false) < kPlanMargin) {
                for (HomeBlock& later : plan.blocks)
                    if (later.at >= block.at)
                        later.at += 0.3;
                moved = true;
            }
        for (PaneStep& step : plan.steps) {
            double nearest = clearance(step.at, events, true);
            for (const HomeBlock& block : plan.blocks)
                nearest = std::min(nearest, std::abs(block.at - step.at));
            if (!moved && nearest < kPlanMargin) {
                for (PaneStep& later : plan.steps)
                    if (later.at >= step.at)
                        later.at += 0.3;
                moved = true;
            }
        }
        if (!moved)
            return;
    }
}

} // namespace twoprocess

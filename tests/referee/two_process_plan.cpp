#include "tests/referee/two_process_plan.h"

#include "model/scenario.h"
#include "tests/referee/day_generator.h"
#include "tests/referee/referee.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>

namespace twoprocess {
namespace {
    // A close falls due 1 s after its decision; a block is kept the plan's margin clear of it.
    constexpr double kCloseSettled = 1.0 + kPlanMargin + 0.05;
} // namespace

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
//
// Most steps that save are sharpened, so that a library reading a stale copy of the settings is
// seen: half a second before the save another application leaves (a decision that reads the
// settings as they stand, with memory high, so that it closes nothing) as the step's application
// comes to the front; 0.5 to 0.9 s after the save that application leaves, with free memory pinned
// where the saved value decides the leave (low for a Never tap, high for an Always tap, between
// the old and the new threshold for a drag).
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

    // The sharpened steps: which application leaves, with what free memory.
    struct Sharp {
        std::size_t step;
        int app;
        int free;
        double leave;
        int other; // the application that leaves before the save
        int high;  // free memory then
    };
    std::vector<Sharp> sharp;
    // Nothing comes to the front until a sharpened leave's close has fallen due (a return would
    // call it off), so the next application is brought only after that.
    auto settled = [&](double at) { return sharp.empty() || at - 0.5 >= sharp.back().leave + kCloseSettled; };
    Lists lists { plan.never, plan.always, plan.threshold };
    for (double at = 1.0; at < kTimedPart; at += 1.3 + random.below(4) / 10.0) {
        // Percentages below which a step drags, taps in the Never chooser, in the Always chooser
        // (the rest visit Recently Closed); one that may be sharpened changes a list or the threshold.
        static const int anyStep[] = { 45, 70, 85 }, sharpStep[] = { 40, 75, 100 };
        bool open = settled(at);
        const int* mix = open ? sharpStep : anyStep;
        int roll = random.below(100);
        PaneStep step { at };
        step.kind = roll < mix[0] ? PaneStep::Drag : roll < mix[1] ? PaneStep::Never : roll < mix[2] ? PaneStep::Always : PaneStep::Recent;
        step.value = random.between(6, 60) * 5;
        step.app = random.below(count);
        std::size_t i = plan.steps.size();
        plan.steps.push_back(step);
        Lists before = lists;
        if (step.kind == PaneStep::Recent) {
            // Which application it takes is known only as the day plays; with none closed yet it
            // becomes a drag that keeps the threshold.
            plan.steps.back().value = lists.threshold;
            continue;
        }
        bool saves = step.kind == PaneStep::Drag ? step.value != lists.threshold : lists.tap(step.kind, plan.ids[step.app]).second;
        if (step.kind == PaneStep::Drag)
            lists.threshold = step.value;
        if (!saves || !open || !random.chance(85))
            continue;
        // Those whose leave only memory decides, before the save and after it.
        auto unlisted = [&](int besides) {
            std::vector<int> ids;
            for (int j = 0; j < count; ++j)
                if (j != besides && !has(before.never, plan.ids[j]) && !has(before.always, plan.ids[j])
                    && !has(lists.never, plan.ids[j]) && !has(lists.always, plan.ids[j]))
                    ids.push_back(j);
            return ids;
        };
        int app = step.app;
        if (step.kind == PaneStep::Drag) {
            auto ids = unlisted(-1);
            if (ids.empty())
                continue;
            app = ids[random.below(static_cast<int>(ids.size()))];
        }
        auto others = unlisted(app);
        if (others.empty())
            continue;
        int other = others[random.below(static_cast<int>(others.size()))];
        int memory = step.kind == PaneStep::Never ? random.between(lists.threshold / 3, lists.threshold)
            : step.kind == PaneStep::Always       ? random.between(lists.threshold + 20, lists.threshold + 150)
                                                  : random.between(std::min(before.threshold, step.value) + 1,
                                                                   std::max(before.threshold, step.value));
        sharp.push_back({ i, app, memory, step.at + 0.5 + random.below(5) / 10.0, other,
                          std::max(before.threshold, lists.threshold) + random.between(100, 300) });
    }

    int top = -1; // the application in front, if any
    auto leave = [&](std::ostringstream& out) {
        static const int states[] = { 2, 2, 2, 3, 3, 1 };
        if (top >= 0)
            out << "state " << plan.ids[top] << ' ' << states[random.below(6)] << '\n';
    };
    std::size_t nextSharp = 0;
    for (double at = 0.2; at < kTimedPart || nextSharp < sharp.size();) {
        if (nextSharp < sharp.size() && at > plan.steps[sharp[nextSharp].step].at - 0.9) {
            const Sharp& s = sharp[nextSharp++];
            double save = plan.steps[s.step].at;
            std::ostringstream bring, away;
            const std::string &id = plan.ids[s.app], &other = plan.ids[s.other];
            bring << "free " << s.high << "\nlaunch " << other << "\nstate " << other << " 4\n";
            if (top >= 0 && top != s.other)
                bring << "state " << plan.ids[top] << " 1\n";
            bring << "launch " << id << "\nstate " << id << " 4\nstate " << other << " 2\n";
            plan.blocks.push_back({ save - 0.5, bring.str() });
            away << "free " << s.free << "\nhome\nstate " << id << " 2\n";
            plan.blocks.push_back({ s.leave, away.str(), static_cast<int>(s.step) });
            top = -1;
            at = s.leave + kCloseSettled + random.below(3) / 10.0;
            continue;
        }
        std::ostringstream out;
        int roll = random.below(100);
        if (roll < 50) {
            int app = random.below(count);
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
        at += 0.5 + random.below(8) / 10.0;
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

double clearance(double at, const std::vector<ModelEvent>& events)
{
    double least = 1e9;
    for (const ModelEvent& event : events)
        least = std::min(least, std::abs(event.at - at));
    return least;
}

std::vector<Timed> timeline(const Plan& plan, int stale, double staleAt)
{
    Lists lists { plan.never, plan.always, plan.threshold };
    std::vector<Timed> items;
    for (const HomeBlock& block : plan.blocks)
        items.push_back({ block.at, block.lines, false });
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        const PaneStep& step = plan.steps[i];
        double at = static_cast<int>(i) == stale ? staleAt : step.at;
        if (step.kind == PaneStep::Drag && step.value != lists.threshold) {
            lists.threshold = step.value;
            items.push_back({ at, "settings ramValue " + std::to_string(step.value) + "\n", true });
        } else if (step.kind != PaneStep::Drag && step.kind != PaneStep::Recent && lists.tap(step.kind, plan.ids[step.app]).second) {
            items.push_back({ at, "settings never" + listText(lists.never) + "\nsettings always" + listText(lists.always) + "\n", true });
        }
    }
    return items;
}

void keepClear(Plan& plan)
{
    // Everything from a moment on moves 0.3 s later, so that a sharpened step keeps its leave
    // as close behind its save as planned.
    struct From {
        double at;
        bool step; // a step at that moment moves too
    };
    auto later = [&](From from) {
        for (HomeBlock& block : plan.blocks)
            block.at += block.at >= from.at ? 0.3 : 0;
        for (PaneStep& step : plan.steps)
            step.at += step.at > from.at || (from.step && step.at == from.at) ? 0.3 : 0;
        plan.end += 0.3;
    };
    for (int round = 0; round < 80; ++round) {
        double last = std::max(plan.blocks.back().at, plan.steps.empty() ? 0 : plan.steps.back().at);
        plan.end = std::max(plan.end, last + kTail);
        // Played past the end, so that what falls due just after it counts too.
        auto events = parseEvents(model::playScenario(modelScenario(plan.setup, timeline(plan), plan.end + 2)).lines);
        // The later of two that meet moves, with all that follows; a leave with the save before it.
        std::optional<From> from;
        auto meet = [&](From at) {
            if (!from)
                from = at;
        };
        for (const HomeBlock& block : plan.blocks)
            if (clearance(block.at, events) < kPlanMargin)
                meet(block.after >= 0 ? From { plan.steps[block.after].at, true } : From { block.at, false });
        for (const PaneStep& step : plan.steps) {
            if (clearance(step.at, events) < kPlanMargin)
                meet({ step.at, true });
            for (const HomeBlock& block : plan.blocks)
                if (std::abs(block.at - step.at) < kPlanMargin)
                    meet(block.at >= step.at ? From { block.at, false } : From { step.at, true });
        }
        if (from)
            later(*from);
        else if (clearance(plan.end, events) < kPlanMargin)
            plan.end += 0.3;
        else
            return;
    }
}

} // namespace twoprocess

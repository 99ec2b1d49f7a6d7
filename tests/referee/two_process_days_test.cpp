// Two-process days: both hosts on one device root on the real clock, the pane saving lists and
// the threshold while the home screen decides. Every close must be the model's, given the moment
// each save landed, and nothing either side wrote may be lost.
//
// The test drives both hosts itself, writing each planned step at its time. Times come from the
// hosts' own `[t]` stamps, put on one clock through the moment each line arrived (a line arrives
// after it is stamped, so the least gap over all lines is each host's start, to a few ms). The
// plan keeps every state change clear of the library's timers, and every save clear of both (no
// save meets a decision or a close), by kPlanMargin, as the model sees the plan; when the
// machine's load still brings two of them within kRunMargin, or a timer fires late by more than
// kLate, the order is the load's and not the rules': such a day that disagrees is played again.
//   SLEEPVANE_TWO_PROCESS_FIRST=<seed> SLEEPVANE_TWO_PROCESS_COUNT=<n>: the seeds
//   TwoProcessSeeds.ChosenSeeds plays.
#include "model/scenario.h"
#include "tests/referee/day_generator.h"
#include "tests/referee/environment.h"
#include "tests/referee/referee.h"
#include "tests/referee/two_process_plan.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <thread>
#include <sstream>

namespace {

namespace fsys = std::filesystem;
using sv::test::RunningProcess;
using SteadyTime = std::chrono::steady_clock::time_point;

using namespace twoprocess;

constexpr const char* kPrefix = "SLEEPVANE_TWO_PROCESS_";
const referee::Environment kEnvironment = referee::readEnvironment(kPrefix, { "FIRST", "COUNT" });
constexpr const char* kProgram = "tests/two_process_day_tests/two_process_day_tests";

std::string chosenSeedsCommand(std::uint64_t first, std::uint64_t count)
{
    return referee::chosenSeedsCommand(kPrefix, first, count, kProgram, "TwoProcessSeeds.ChosenSeeds");
}

struct Stamped {
    double at;      // the host's own stamp
    SteadyTime arrived;
    std::string text;
};

std::vector<Stamped> stamped(const RunningProcess& process)
{
    std::vector<Stamped> lines;
    for (auto& [arrived, line] : process.timedLinesFrom(0)) {
        auto close = line.find("] ");
        if (!line.empty() && line[0] == '[' && close != std::string::npos)
            lines.push_back({ std::atof(line.c_str() + 1), arrived, line.substr(close + 2) });
    }
    return lines;
}

// When the host's clock stood at 0, on the test's clock: a line arrives after it is stamped.
double origin(const std::vector<Stamped>& lines, SteadyTime base)
{
    double least = 1e9;
    for (const Stamped& line : lines)
        least = std::min(least, std::chrono::duration<double>(line.arrived - base).count() - line.at);
    return least;
}

std::optional<double> stampOf(const std::vector<Stamped>& lines, const std::string& text)
{
    for (const Stamped& line : lines)
        if (line.text == text)
            return line.at;
    return std::nullopt;
}

struct Outcome {
    bool agree = true;
    bool disturbed = false;
    std::string report;
    std::string homeScenario, paneScenario, model;
};

void layOut(const sv::test::DeviceRoot& root)
{
    sv::test::installDeliverables(root.path(), SV_SETTINGS_BUNDLE_DIR);
}

// Records what is written to a host, with the real time between writes as `wait`s, so that the
// scenario replays the day on a host of its own.
struct Driver {
    RunningProcess& process;
    std::string scenario;
    SteadyTime last;
    void write(const std::string& text)
    {
        auto now = std::chrono::steady_clock::now();
        scenario += wait(std::chrono::duration<double>(now - last).count()) + text;
        last = now;
        process.write(text);
    }
};

Outcome playDay(std::uint64_t seed, const Plan& plan)
{
    Outcome outcome;
    auto fail = [&](const std::string& why) {
        outcome.agree = false;
        outcome.report += why + "\n";
    };
    sv::test::DeviceRoot root;
    layOut(root);
    auto base = std::chrono::steady_clock::now();
    RunningProcess home({ SV_SPRINGBOARD_HOST, "--root", root.path() });
    RunningProcess pane({ SV_PREFERENCES_HOST, "--root", root.path() });
    Driver homeDriver { home, "", base }, paneDriver { pane, "", base };
    homeDriver.write(plan.setup + "echo ready\n");
    if (!home.waitForLine("] echo ready", 30)) {
        fail("the home screen did not start");
        return outcome;
    }
    // The catalogue is exported once before the timed part: the choosers then find it current.
    paneDriver.write("open never\nwait-loaded 10\nback\necho ready\n");
    if (!pane.waitForLine("] echo ready", 30)) {
        fail("the Never chooser did not load");
        return outcome;
    }

    referee::Random random(seed * 31 + 7);
    Lists lists { plan.never, plan.always, plan.threshold };
    struct Expected {
        std::string key;
        std::string model; // the settings line the save means for the model
        std::size_t entries = 0;
    };
    std::vector<Expected> expected;
    Screen screen = Screen::Root;
    auto start = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    auto sleepUntil = [&](double at) { std::this_thread::sleep_until(start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(at))); };

    // Every write, in time order: home blocks, and for each pane step its navigation and the step.
    struct Write {
        double at;
        int block = -1;
        int step = -1;
        bool navigation = false;
    };
    std::vector<Write> writes;
    for (std::size_t i = 0; i < plan.blocks.size(); ++i)
        writes.push_back({ plan.blocks[i].at, static_cast<int>(i) });
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        writes.push_back({ plan.steps[i].at - kNavigationLead, -1, static_cast<int>(i), true });
        writes.push_back({ plan.steps[i].at, -1, static_cast<int>(i), false });
    }
    std::stable_sort(writes.begin(), writes.end(), [](const Write& a, const Write& b) { return a.at < b.at; });
    std::vector<PaneStep> steps = plan.steps;
    std::map<int, std::string> recentApp;
    for (const Write& write : writes) {
        sleepUntil(write.at);
        if (write.block >= 0) {
            std::string n = std::to_string(write.block);
            homeDriver.write("echo b" + n + "\n" + plan.blocks[write.block].lines + "echo e" + n + "\n");
            continue;
        }
        PaneStep& step = steps[write.step];
        std::string n = std::to_string(write.step);
        if (write.navigation) {
            if (step.kind == PaneStep::Recent) {
                // An application closed a while ago, so that its record is written.
                std::vector<std::string> closed;
                auto now = std::chrono::steady_clock::now();
                for (auto& [arrived, line] : home.timedLinesFrom(0))
                    if (line.find("] closed ") != std::string::npos && now - arrived > std::chrono::milliseconds(400))
                        closed.push_back(line.substr(line.find("] closed ") + 9));
                if (closed.empty())
                    step.kind = PaneStep::Drag;
                else
                    recentApp[write.step] = closed[random.below(static_cast<int>(closed.size()))];
            }
            Screen wanted = step.kind == PaneStep::Drag ? Screen::Root
                : step.kind == PaneStep::Never           ? Screen::Never
                : step.kind == PaneStep::Always          ? Screen::Always
                                                         : Screen::Recent;
            if (wanted == screen)
                continue;
            std::string commands = screen == Screen::Root ? "" : "back\n";
            if (wanted == Screen::Never)
                commands += "open never\nwait-loaded 3\n";
            else if (wanted == Screen::Always)
                commands += "open always\nwait-loaded 3\n";
            else if (wanted == Screen::Recent)
                commands += "open recent\n";
            screen = wanted;
            std::size_t seen = pane.timedLinesFrom(0).size();
            paneDriver.write(commands + "echo n" + n + "\n");
            if (!pane.waitForLine("] echo n" + n, 5))
                fail("the pane did not reach the screen of step " + n);
            // Recently Closed may offer an application for the Never list as it appears.
            for (const std::string& line : pane.linesFrom(seen))
                if (line.find("] alert ") != std::string::npos && line.find("\"Cancel\"") != std::string::npos)
                    paneDriver.write("answer \"Cancel\"\n");
            continue;
        }
        std::string commands;
        if (step.kind == PaneStep::Drag) {
            commands = "drag " + std::to_string(step.value) + "\n";
            if (step.value != lists.threshold)
                expected.push_back({ "ramValue", "settings ramValue " + std::to_string(step.value) + "\n" });
            lists.threshold = step.value;
        } else {
            const std::string& id = step.kind == PaneStep::Recent ? recentApp[write.step] : plan.ids[step.app];
            auto name = plan.names[std::find(plan.ids.begin(), plan.ids.end(), id) - plan.ids.begin()];
            auto [answer, saves] = lists.tap(step.kind, id);
            commands = "tap \"" + name + "\"\n" + (answer.empty() ? "" : "answer \"" + answer + "\"\n");
            bool always = step.kind == PaneStep::Always;
            if (saves)
                expected.push_back({ always ? "AlwaysIdentifiers" : "NeverIdentifiers",
                                     always ? "settings always" + listText(lists.always) + "\n" : "settings never" + listText(lists.never) + "\n",
                                     (always ? lists.always : lists.never).size() });
        }
        paneDriver.write(commands + "echo a" + n + "\n");
    }
    sleepUntil(plan.end);
    homeDriver.write("echo end\nshow history\n");
    home.waitForLine("] echo end", 10);
    auto homeLines = stamped(home);
    auto paneLines = stamped(pane);
    outcome.homeScenario = homeDriver.scenario;
    outcome.paneScenario = paneDriver.scenario;
    auto homeResult = home.wait(20);
    auto paneResult = pane.wait(20);
    std::string paneErr = paneResult.err;
    for (auto at = paneErr.find("Sleep Vane: Loaded in settings\n"); at != std::string::npos; at = paneErr.find("Sleep Vane: Loaded in settings\n"))
        paneErr.erase(at, 31);
    if (!homeResult.err.empty() || homeResult.status != 0)
        fail("home screen status " + std::to_string(homeResult.status) + ", standard error:\n" + homeResult.err);
    if (!paneErr.empty() || paneResult.status != 0)
        fail("Settings status " + std::to_string(paneResult.status) + ", standard error:\n" + paneErr);

    // The pane's saves on the home screen's clock, matched with what each step meant.
    double shift = origin(paneLines, base) - origin(homeLines, base);
    std::vector<Timed> items;
    std::vector<double> saves;
    std::map<std::string, std::size_t> taken;
    std::size_t next = 0;
    bool timed = false;
    for (const Stamped& line : paneLines) {
        timed = timed || line.text == "echo ready";
        if (line.text.find("save failed") != std::string::npos)
            fail("the pane: " + line.text);
        if (!timed || line.text.rfind("saved ", 0) != 0)
            continue;
        std::string key = line.text.substr(6, line.text.find(' ', 6) - 6);
        if (key != "ramValue" && key != "NeverIdentifiers" && key != "AlwaysIdentifiers")
            continue;
        while (next < expected.size() && expected[next].key != key)
            ++next; // a step that saved nothing is caught below
        if (next == expected.size()) {
            fail("the pane saved more than its steps asked: " + line.text);
            break;
        }
        const Expected& want = expected[next++];
        std::string value = line.text.substr(7 + key.size());
        if (key == "ramValue" ? "settings ramValue " + value + "\n" != want.model
                              : value != "[" + std::to_string(want.entries) + " entries]")
            fail("the pane's save is not what its step asked: " + line.text + " (expected " + want.model + ")");
        items.push_back({ line.at + shift, want.model, true });
        saves.push_back(line.at + shift);
        ++taken[key];
    }
    if (items.size() != expected.size())
        fail("the pane reported " + std::to_string(items.size()) + " saves for " + std::to_string(expected.size()) + " steps that save");

    // The home screen's blocks at the moments it played them.
    std::vector<std::pair<double, double>> blocks;
    for (std::size_t i = 0; i < plan.blocks.size(); ++i) {
        auto begin = stampOf(homeLines, "echo b" + std::to_string(i));
        auto end = stampOf(homeLines, "echo e" + std::to_string(i));
        if (!begin || !end) {
            fail("block " + std::to_string(i) + " was not played");
            return outcome;
        }
        items.push_back({ *begin, plan.blocks[i].lines, false });
        blocks.emplace_back(*begin, *end);
    }
    double end = stampOf(homeLines, "echo end").value_or(0);
    outcome.model = modelScenario(plan.setup, items, end);
    auto want = parseEvents(model::playScenario(outcome.model).lines);
    std::vector<ModelEvent> got;
    for (const Stamped& line : homeLines)
        if (line.at <= end && (line.text.rfind("closed ", 0) == 0 || line.text.rfind("posted norv.swr.", 0) == 0))
            got.push_back({ line.at, line.text });

    // Where the order was up to the machine's load.
    auto near = [](double at, double from, double to) { return at > from - kRunMargin && at < to + kRunMargin; };
    for (const auto& [from, to] : blocks) {
        for (const ModelEvent& event : want)
            outcome.disturbed = outcome.disturbed || near(event.at, from, to);
        for (double save : saves)
            outcome.disturbed = outcome.disturbed || near(save, from, to);
    }
    for (double save : saves)
        outcome.disturbed = outcome.disturbed || clearance(save, want) < kRunMargin;
    outcome.disturbed = outcome.disturbed || clearance(end, want) < kRunMargin;

    std::size_t same = 0;
    while (same < got.size() && same < want.size() && got[same].text == want[same].text && got[same].at >= want[same].at - 0.02
           && got[same].at <= want[same].at + kLate)
        ++same;
    for (std::size_t i = 0; i < same; ++i)
        outcome.disturbed = outcome.disturbed || got[i].at > want[i].at + kLate / 2;
    if (same != got.size() || same != want.size()) {
        std::ostringstream report;
        report << "the home screen and the model part at event " << same + 1 << "\n  home screen:\n";
        for (std::size_t i = same >= 3 ? same - 3 : 0; i < std::min(got.size(), same + 4); ++i)
            report << "    [" << got[i].at << "] " << got[i].text << '\n';
        report << "  model:\n";
        for (std::size_t i = same >= 3 ? same - 3 : 0; i < std::min(want.size(), same + 4); ++i)
            report << "    [" << want[i].at << "] " << want[i].text << '\n';
        fail(report.str());
    }

    // Nothing lost: every save in the settings file, the catalogue and the history whole.
    std::vector<std::string> closes;
    for (const ModelEvent& event : got)
        if (event.text.rfind("closed ", 0) == 0)
            closes.push_back(event.text.substr(7));
    if (std::string lost = whatTheFilesLost(root.path(), lists, plan.ids, closes); !lost.empty())
        fail(lost);
    return outcome;
}

// Plays a seed, again while its disagreements may be the load's; answers the report of a
// disagreement (empty when the day agrees).
std::string judgeSeed(std::uint64_t seed)
{
    Plan plan = makePlan(seed);
    keepClear(plan);
    Outcome outcome;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        outcome = playDay(seed, plan);
        if (outcome.agree || !outcome.disturbed)
            break;
    }
    if (outcome.agree)
        return {};
    std::string stem = referee::failureFolder() + "/two-process-seed-" + std::to_string(seed);
    std::ofstream(stem + "-springboard.txt") << "# two-process seed " << seed << ", the home screen's input\n" << outcome.homeScenario;
    std::ofstream(stem + "-settings.txt") << "# two-process seed " << seed << ", the Settings host's input\n" << outcome.paneScenario;
    std::ofstream(stem + "-model.txt") << "# two-process seed " << seed << "\n" << outcome.model;
    return "two-process seed " + std::to_string(seed) + (outcome.disturbed ? " (every attempt disturbed by the load)" : "") + ":\n"
        + outcome.report + "the day again:\n  " + chosenSeedsCommand(seed, 1)
        + "\nboth hosts' inputs as written, on one device on the real clock:\n  "
        + referee::shellWord(sv::test::buildPath("hosts/device/sleepvane-device")) + " --root " + referee::shellWord(stem + "-device")
        + " --fresh --springboard " + referee::shellWord(stem + "-springboard.txt") + " --preferences "
        + referee::shellWord(stem + "-settings.txt") + "\nthe model's timeline, on the home screen's virtual clock beside the model:\n  "
        + referee::scenarioCommand(stem + "-model.txt") + "\n";
}

class TwoProcessDays : public ::testing::TestWithParam<int> { };

TEST_P(TwoProcessDays, ClosesFollowTheSavesAsTheyLandAndNothingIsLost)
{
    std::string report = judgeSeed(static_cast<std::uint64_t>(GetParam()));
    EXPECT_TRUE(report.empty()) << report;
}

INSTANTIATE_TEST_SUITE_P(Seeds, TwoProcessDays, ::testing::Range(1, 6));

TEST(TwoProcessSeeds, ChosenSeeds)
{
    if (!kEnvironment.first)
        GTEST_SKIP() << "SLEEPVANE_TWO_PROCESS_FIRST not set";
    for (std::uint64_t n = 0; n < kEnvironment.count; ++n) {
        std::string report = judgeSeed(*kEnvironment.first + n);
        EXPECT_TRUE(report.empty()) << report;
    }
    std::printf("two-process: %llu day%s played\n", static_cast<unsigned long long>(kEnvironment.count),
                kEnvironment.count == 1 ? "" : "s");
}

// The command a failure names plays the seed (listed here, not played: a day takes seconds), and
// a bad value of the program's variables ends it before any test runs.
TEST(TwoProcessSeeds, TheCommandAFailureNamesSelectsTheChosenSeedsAndBadValuesAreRefused)
{
    auto listed = sv::test::runProcess({ "/bin/sh", "-c", chosenSeedsCommand(4, 1) + " --gtest_list_tests" });
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("TwoProcessSeeds.\n  ChosenSeeds\n"), std::string::npos) << listed.out;
    EXPECT_EQ(listed.out.find("\n  "), listed.out.rfind("\n  ")) << "one test only: " << listed.out;
    for (const char* settings : { "SLEEPVANE_TWO_PROCESS_FIRST=4 SLEEPVANE_TWO_PROCESS_COUNT=0",
                                  "SLEEPVANE_TWO_PROCESS_FIRST=four", "SLEEPVANE_TWO_PROCESS_SEED=4" }) {
        auto run = sv::test::runProcess(
            { "/bin/sh", "-c", "env -i " + referee::testCommand(settings, kProgram, "TwoProcessSeeds.ChosenSeeds") });
        EXPECT_EQ(run.status, 2) << settings;
        EXPECT_EQ(run.out, "") << settings;
        EXPECT_EQ(run.err.rfind("two_process_day_tests: SLEEPVANE_TWO_PROCESS_", 0), 0u) << settings << ": " << run.err;
    }
}


} // namespace

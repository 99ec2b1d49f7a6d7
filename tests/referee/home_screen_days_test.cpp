// Seeded days on the home screen, played by the real host and by the model.
//   SLEEPVANE_REFEREE_FIRST=<seed> SLEEPVANE_REFEREE_COUNT=<n>: the seeds RefereeSeeds.ChosenSeeds
//   plays (scripts/soak); SLEEPVANE_REFEREE_SCENARIO=<file>: the scenario
//   RefereeScenarios.ChosenScenario plays; SLEEPVANE_REFEREE_NO_SHRINK=1: a failing seed is only
//   named, not shortened (quick surveys). A failing seed's shortened scenario lands in
//   build/<preset>/tests/referee-failures.
#include "model/scenario.h"
#include "tests/referee/day_generator.h"
#include "tests/referee/environment.h"
#include "tests/referee/referee.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <vector>

namespace {

constexpr int kBatches = 8;
constexpr int kSeedsPerBatch = 25;

constexpr const char* kPrefix = "SLEEPVANE_REFEREE_";
const referee::Environment kEnvironment
    = referee::readEnvironment(kPrefix, { "FIRST", "COUNT", "NO_SHRINK", "SCENARIO" });
constexpr const char* kProgram = "tests/referee_tests/referee_tests";

std::string chosenSeedsCommand(std::uint64_t first, std::uint64_t count)
{
    return referee::chosenSeedsCommand(kPrefix, first, count, kProgram, "RefereeSeeds.ChosenSeeds");
}

// Answers how many disagreed.
std::uint64_t playSeeds(std::uint64_t first, std::uint64_t count)
{
    std::uint64_t disagreed = 0;
    for (std::uint64_t n = 0; n < count; ++n) {
        std::uint64_t seed = first + n;
        std::string day = referee::homeScreenDay(seed);
        referee::Verdict verdict = referee::judge(day, kEnvironment.noShrink ? 0 : 120);
        if (verdict.agree)
            continue;
        ++disagreed;
        std::string path = referee::failureFolder() + "/seed-" + std::to_string(seed) + ".txt";
        std::ofstream(path) << "# referee seed " << seed << (kEnvironment.noShrink ? "\n" : ", shortened\n")
                            << (verdict.shortened.empty() ? day : verdict.shortened);
        ADD_FAILURE() << "seed " << seed << ": " << verdict.report << "the day again, beside the model:\n  "
                      << chosenSeedsCommand(seed, 1) << "\n" << (kEnvironment.noShrink ? "the day" : "a shortened day")
                      << " that still disagrees, beside the model:\n  " << referee::scenarioCommand(path);
    }
    return disagreed;
}

class Referee : public ::testing::TestWithParam<int> { };

TEST_P(Referee, SeededHomeScreenDaysAgreeWithTheModel)
{
    playSeeds(1 + static_cast<std::uint64_t>(GetParam()) * kSeedsPerBatch, kSeedsPerBatch);
}

INSTANTIATE_TEST_SUITE_P(Days, Referee, ::testing::Range(0, kBatches));

TEST(RefereeSeeds, ChosenSeeds)
{
    if (!kEnvironment.first)
        GTEST_SKIP() << "SLEEPVANE_REFEREE_FIRST not set";
    std::uint64_t first = *kEnvironment.first, count = kEnvironment.count;
    std::uint64_t disagreed = playSeeds(first, count);
    // scripts/soak counts the days from this line.
    std::printf("referee: %llu day%s played (seeds %llu to %llu), %llu disagreed\n", static_cast<unsigned long long>(count),
                count == 1 ? "" : "s", static_cast<unsigned long long>(first), static_cast<unsigned long long>(first + count - 1),
                static_cast<unsigned long long>(disagreed));
}

// Every disagreement found so far, as the scenario that showed it.
TEST(RefereeScenarios, EveryDisagreementFoundSoFarAgrees)
{
    std::filesystem::path folder = std::filesystem::path(SV_SOURCE_DIR) / "tests/referee/scenarios";
    int played = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".txt")
            continue;
        ++played;
        std::string text = sv::test::readHostFile(entry.path().string());
        referee::Verdict verdict = referee::judge(text, 0);
        EXPECT_TRUE(verdict.agree) << entry.path().filename() << ": " << verdict.report << "alone, beside the model:\n  "
                                   << referee::scenarioCommand(entry.path().string());
    }
    EXPECT_GT(played, 0);
}

TEST(RefereeScenarios, ChosenScenario)
{
    if (!kEnvironment.scenario)
        GTEST_SKIP() << "SLEEPVANE_REFEREE_SCENARIO not set";
    referee::Verdict verdict = referee::judge(sv::test::readHostFile(*kEnvironment.scenario), 0);
    EXPECT_TRUE(verdict.agree) << *kEnvironment.scenario << ": " << verdict.report;
    std::printf("referee: %s played, %s\n", kEnvironment.scenario->c_str(),
                verdict.agree ? "the host and the model agree" : "the host and the model disagree");
}

// A fault planted in the model's weights, the rules one halving behind from the start, so that
// the model follows the score one restart of the rules' too soon: the seeded days must reach where the
// weights decide, and there the library must side with the faithful model, against the planted one.
TEST(RefereeFaults, AWeightPlantedOneHalvingOffIsSeen)
{
    model::Usage planted;
    planted.setHalvings(0, model::kHeadStart - 1);
    std::vector<std::uint64_t> seen;
    for (std::uint64_t seed = 1; seed <= kBatches * kSeedsPerBatch; ++seed) {
        std::string day = referee::homeScreenDay(seed);
        if (referee::playOnModel(day, planted) != referee::playOnModel(day))
            seen.push_back(seed);
    }
    ASSERT_GE(seen.size(), 3u) << "too few of the seeded days reach what the weights decide";
    for (std::uint64_t seed : { seen.front(), seen.back() }) {
        std::string day = referee::homeScreenDay(seed);
        referee::HostRun host = referee::playOnHost(day);
        EXPECT_EQ(host.lines, referee::playOnModel(day)) << "seed " << seed;
        EXPECT_NE(host.lines, referee::playOnModel(day, planted)) << "seed " << seed << ": the planted fault passes";
    }
}

TEST(RefereeGenerator, ASeedGivesTheSameDayAndSeedsGiveDifferentDays)
{
    EXPECT_EQ(referee::homeScreenDay(7), referee::homeScreenDay(7));
    EXPECT_NE(referee::homeScreenDay(7), referee::homeScreenDay(8));
    // The model reads every line the generator writes.
    for (int seed = 1; seed <= 50; ++seed)
        EXPECT_TRUE(model::playScenario(referee::homeScreenDay(seed)).problems.empty()) << seed;
}

// Some days close more than the history keeps, and show it after that, so that its bound is
// compared too.
TEST(RefereeGenerator, SomeDaysCloseFarMoreThanTheHistoryKeeps)
{
    int past = 0;
    for (int seed = 1; seed <= kBatches * kSeedsPerBatch; ++seed) {
        auto lines = model::playScenario(referee::homeScreenDay(seed)).lines;
        int closes = 0;
        bool shown = false;
        for (const std::string& line : lines) {
            closes += line.find("] closed ") != std::string::npos;
            shown = shown || (closes >= 150 && line.find("] history ") != std::string::npos);
        }
        past += shown;
    }
    EXPECT_GE(past, 20) << "days of the referee's seeds whose history is shown after 150 closes";
}

// The diary is compared on days that keep one, with every kind of line in it, and on days whose
// switch goes off and on again.
TEST(RefereeGenerator, ManyDaysKeepADiaryWithEveryKindOfLine)
{
    std::map<std::string, int> daysWith;
    int kept = 0, lines = 0;
    for (int seed = 1; seed <= kBatches * kSeedsPerBatch; ++seed) {
        std::set<std::string> kinds;
        bool any = false;
        for (const std::string& line : model::playScenario(referee::homeScreenDay(seed)).lines) {
            auto at = line.find("] diary ");
            if (at == std::string::npos || line.compare(at, 15, "] diary (none)") == 0)
                continue;
            any = true;
            ++lines;
            // The fifth field: the kind of line.
            std::size_t field = at + 8;
            for (int tab = 0; tab < 4; ++tab)
                field = line.find('\t', field) + 1;
            kinds.insert(line.substr(field, line.find('\t', field) - field));
        }
        kept += any;
        for (const std::string& kind : kinds)
            ++daysWith[kind];
    }
    EXPECT_GE(kept, 60) << "days that show a diary";
    for (const char* kind : { "Opened", "Closed", "Sleepvane Close", "Call Start", "Call End" })
        EXPECT_GE(daysWith[kind], 20) << kind;
    std::printf("diaries: %d of %d days show one, %d lines in all\n", kept, kBatches * kSeedsPerBatch, lines);
}

// Every command a failure names runs what it says.
TEST(RefereeMessages, TheCommandsAFailureNamesPlayTheSeedAndTheScenario)
{
    auto seed = sv::test::runProcess({ "/bin/sh", "-c", chosenSeedsCommand(3, 1) });
    EXPECT_EQ(seed.status, 0) << seed.out << seed.err;
    EXPECT_NE(seed.out.find("referee: 1 day played (seeds 3 to 3), 0 disagreed"), std::string::npos) << seed.out;

    sv::test::DeviceRoot folder;
    std::string path = folder.path() + "/a day with 'quotes'.txt";
    sv::test::writeHostFile(path, referee::homeScreenDay(4));
    auto scenario = sv::test::runProcess({ "/bin/sh", "-c", referee::scenarioCommand(path) });
    EXPECT_EQ(scenario.status, 0) << scenario.out << scenario.err;
    EXPECT_NE(scenario.out.find("referee: " + path + " played, the host and the model agree"), std::string::npos)
        << scenario.out;
}

// A bad value ends the program before any test runs: nothing on standard output, one line on
// standard error, status 2.
TEST(RefereeEnvironment, ABadValueIsRefusedBeforeAnythingIsPlayed)
{
    sv::test::DeviceRoot folder;
    for (const std::string& settings : std::vector<std::string> {
             "SLEEPVANE_REFEREE_FIRST=5 SLEEPVANE_REFEREE_COUNT=0",
             "SLEEPVANE_REFEREE_FIRST=5 SLEEPVANE_REFEREE_COUNT=-1",
             "SLEEPVANE_REFEREE_FIRST=5 SLEEPVANE_REFEREE_COUNT=abc",
             "SLEEPVANE_REFEREE_FIRST=5 SLEEPVANE_REFEREE_COUNT=2x",
             "SLEEPVANE_REFEREE_FIRST=-5",
             "SLEEPVANE_REFEREE_FIRST=",
             "SLEEPVANE_REFEREE_COUNT=3",
             "SLEEPVANE_REFEREE_FIRST=18446744073709551615 SLEEPVANE_REFEREE_COUNT=2",
             "SLEEPVANE_REFEREE_FIRST=18446744073709551616",
             "SLEEPVANE_REFEREE_NO_SHRINK=yes",
             "SLEEPVANE_REFEREE_SCENARIO=" + folder.path() + "/missing.txt",
             "SLEEPVANE_REFEREE_SCENARIO=" + folder.path(),
             "SLEEPVANE_REFEREE_FRIST=5",
         }) {
        auto run = sv::test::runProcess(
            { "/bin/sh", "-c", "env -i " + referee::testCommand(settings, kProgram, "RefereeSeeds.ChosenSeeds") });
        EXPECT_EQ(run.status, 2) << settings;
        EXPECT_EQ(run.out, "") << settings;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << settings << ": " << run.err;
        EXPECT_EQ(run.err.rfind("referee_tests: SLEEPVANE_REFEREE_", 0), 0u) << settings << ": " << run.err;
    }
}

} // namespace

// Seeded days on the home screen, played by the real host and by the model.
//   SLEEPVANE_REFEREE_FIRST=<seed> SLEEPVANE_REFEREE_COUNT=<n>: the seeds Referee.ChosenSeeds plays
//   (scripts/soak); a failing seed's shortened scenario lands in build/<preset>/tests/referee-failures.
#include "model/scenario.h"
#include "tests/referee/day_generator.h"
#include "tests/referee/referee.h"
#include "tests/support/device_root.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

constexpr int kBatches = 8;
constexpr int kSeedsPerBatch = 25;

void playSeeds(std::uint64_t first, std::uint64_t count)
{
    for (std::uint64_t seed = first; seed < first + count; ++seed) {
        std::string day = referee::homeScreenDay(seed);
        // SLEEPVANE_REFEREE_NO_SHRINK: only name the seeds that disagree (quick surveys).
        referee::Verdict verdict = referee::judge(day, std::getenv("SLEEPVANE_REFEREE_NO_SHRINK") ? 0 : 120);
        if (verdict.agree)
            continue;
        std::string path = referee::failureFolder() + "/seed-" + std::to_string(seed) + ".txt";
        std::ofstream(path) << "# referee seed " << seed << ", shortened\n" << (verdict.shortened.empty() ? day : verdict.shortened);
        ADD_FAILURE() << "seed " << seed << ": " << verdict.report << "a shortened scenario that replays it: " << path
                      << "\n(SLEEPVANE_REFEREE_FIRST=" << seed
                      << " SLEEPVANE_REFEREE_COUNT=1 referee_tests --gtest_filter=Referee.ChosenSeeds)";
    }
}

class Referee : public ::testing::TestWithParam<int> { };

TEST_P(Referee, SeededHomeScreenDaysAgreeWithTheModel)
{
    playSeeds(1 + static_cast<std::uint64_t>(GetParam()) * kSeedsPerBatch, kSeedsPerBatch);
}

INSTANTIATE_TEST_SUITE_P(Days, Referee, ::testing::Range(0, kBatches));

TEST(RefereeSeeds, ChosenSeeds)
{
    const char* first = std::getenv("SLEEPVANE_REFEREE_FIRST");
    const char* count = std::getenv("SLEEPVANE_REFEREE_COUNT");
    if (!first)
        GTEST_SKIP() << "SLEEPVANE_REFEREE_FIRST not set";
    playSeeds(std::strtoull(first, nullptr, 10), count ? std::strtoull(count, nullptr, 10) : 1);
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
        EXPECT_TRUE(verdict.agree) << entry.path().filename() << ": " << verdict.report;
    }
    EXPECT_GT(played, 0);
}

TEST(RefereeGenerator, ASeedGivesTheSameDayAndSeedsGiveDifferentDays)
{
    EXPECT_EQ(referee::homeScreenDay(7), referee::homeScreenDay(7));
    EXPECT_NE(referee::homeScreenDay(7), referee::homeScreenDay(8));
    // The model reads every line the generator writes.
    for (int seed = 1; seed <= 50; ++seed)
        EXPECT_TRUE(model::playScenario(referee::homeScreenDay(seed)).problems.empty()) << seed;
}

} // namespace

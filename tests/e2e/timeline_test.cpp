// The picture of a run: what the runner gathers from the hosts' event lines, and the picture
// itself, read back with an independent PNG decoder.
#include "tests/e2e/device_test.h"

#include "hosts/device/timeline_picture.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

namespace sv::test {
namespace {

using device::Timeline;

TEST(Timeline, GathersMemoryThresholdClosesAndCallsFromTheHomeScreen)
{
    Timeline timeline;
    for (const char* line : { "[0.000] free 424", "[0.000] threshold 175", "[1.500] state a 2", "[2.000] free 424",
                              "[2.000] free 300", "[3.000] closed com.example.mail", "[3.000] free 340",
                              "[4.000] call incoming", "[5.000] call active", "[6.000] call none",
                              "[7.000] call outgoing", "[8.000] posted norv.swr.kill.app" })
        timeline.take("springboard", line);
    std::vector<std::pair<double, double>> free;
    for (const auto& point : timeline.freeMemory())
        free.emplace_back(point.time, point.value);
    EXPECT_EQ(free, (std::vector<std::pair<double, double>> { { 0, 424 }, { 2, 300 }, { 3, 340 } }))
        << "a figure that did not change adds no step";
    ASSERT_EQ(timeline.closes().size(), 1u);
    EXPECT_EQ(timeline.closes()[0].bundleID, "com.example.mail");
    EXPECT_EQ(timeline.closes()[0].label, "mail");
    ASSERT_EQ(timeline.calls().size(), 2u) << "a ringing call that is answered is one call";
    EXPECT_EQ(timeline.calls()[0].kind, "incoming");
    EXPECT_EQ(timeline.calls()[0].start, 4.0);
    EXPECT_EQ(timeline.calls()[0].end, 6.0);
    EXPECT_EQ(timeline.calls()[1].kind, "outgoing");
    EXPECT_FALSE(timeline.calls()[1].end) << "still going at the end of the run";
    EXPECT_EQ(timeline.end(), 8.0);
}

TEST(Timeline, TakesThePanesSavesAsThresholdAndPassesOverWhatIsNoEvent)
{
    Timeline timeline;
    timeline.take("springboard", "[0.000] threshold 175");
    timeline.take("settings", "[0.600] saved ramValue 200");
    timeline.take("settings", "[0.700] saved ramValue x");
    timeline.take("settings", "[0.800] free 10");         // the pane has no memory of the home screen's
    timeline.take("springboard!", "[0.900] free 10");     // standard error
    timeline.take("springboard", "free 10");              // no time
    timeline.take("springboard", "[oops] free 10");
    timeline.take("springboard", "[1.000] freed 10");
    ASSERT_EQ(timeline.threshold().size(), 2u);
    EXPECT_EQ(timeline.threshold()[1].time, 0.6);
    EXPECT_EQ(timeline.threshold()[1].value, 200);
    EXPECT_TRUE(timeline.freeMemory().empty());
}

TEST(Timeline, HistoryLabelsTheClosesOfAnApplicationInOrder)
{
    Timeline timeline;
    for (const char* line : { "[1.000] closed a.b.mail", "[2.000] closed a.b.news", "[3.000] closed a.b.mail",
                              "[4.000] closed a.b.mail" })
        timeline.take("springboard", line);
    timeline.labelCloses("a.b.mail", { "mail: Always list", "mail: Low memory 120 MB" });
    EXPECT_EQ(timeline.closes()[0].label, "mail: Always list");
    EXPECT_EQ(timeline.closes()[1].label, "news");
    EXPECT_EQ(timeline.closes()[2].label, "mail: Low memory 120 MB");
    EXPECT_EQ(timeline.closes()[3].label, "mail") << "a close the history does not know keeps its name";
    EXPECT_EQ(device::shortName("plain"), "plain");
    EXPECT_EQ(device::shortName("trailing."), "trailing.");
}

class TimelinePicture : public ::testing::Test {
protected:
    DeviceRoot root;

    // What the independent reader found in the picture, by colour.
    std::map<std::string, long> inspect(const std::string& png)
    {
        auto result = runProcess({ "/usr/bin/env", "python3", std::string(SV_SOURCE_DIR) + "/tests/e2e/picture_check.py", png });
        EXPECT_EQ(result.status, 0) << result.err;
        std::map<std::string, long> found;
        std::istringstream in(result.out);
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string name;
            long count = 0;
            words >> name >> count;
            found[name] = count;
        }
        return found;
    }

    std::string play(const std::string& scenario)
    {
        std::string file = root.host("/scenario.txt"), png = root.host("/timeline.png");
        writeHostFile(file, scenario);
        auto result = runProcess({ SV_DEVICE_RUNNER, "--root", root.path() + "/device", "--virtual-clock",
                                   "--springboard", file, "--timeline", png },
                                 "", 60);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find("] free 124\n"), std::string::npos) << result.out;
        return png;
    }
};

const char* kLowMemory = R"(memory total=1024 base=600
app com.example.mail "Mail" mem=100
app com.example.game "Game" mem=200
launch com.example.mail
launch com.example.game
state com.example.mail 2
wait 2
)";

TEST_F(TimelinePicture, ShowsTheFreeMemoryTheThresholdTheClosesAndTheCalls)
{
    auto found = inspect(play(std::string(kLowMemory) + "call incoming\nwait 3\ncall none\nwait 1\n"));
    EXPECT_EQ(found["size"], device::kTimelineWidth);
    EXPECT_GT(found["free"], 500) << "the free-memory line";
    EXPECT_GT(found["threshold"], 300) << "the threshold line";
    EXPECT_GT(found["closed"], 40) << "the close marker";
    EXPECT_GT(found["call"], 100) << "the call's span";
}

TEST_F(TimelinePicture, WithoutACallThereIsNoSpan)
{
    auto found = inspect(play(kLowMemory));
    EXPECT_GT(found["closed"], 40);
    EXPECT_LT(found["call"], 40) << "only the legend's swatch";
}

TEST(LongRunPicture, ALongDayStaysLegible)
{
    // 3.8 hours: 400 closes, most in bursts of low memory, and 30 calls that ring and are
    // answered (or are placed) before they hang up.
    Timeline timeline;
    auto at = [](double seconds) { return "[" + std::to_string(seconds) + "] "; };
    timeline.take("springboard", at(0) + "free 424");
    timeline.take("springboard", at(0) + "threshold 175");
    std::set<std::string> names;
    for (int i = 0; i < 400; ++i) {
        double time = i < 380 ? 600 + 1300 * (i / 76) + 5.0 * (i % 76) : 7000 + 300.0 * (i - 380);
        std::string id = "com.example.app" + std::to_string(i);
        timeline.take("springboard", at(time) + "free " + std::to_string(100 + i % 80));
        timeline.take("springboard", at(time + 0.5) + "closed " + id);
        timeline.take("springboard", at(time + 0.5) + "free " + std::to_string(200 + i % 80));
        names.insert(device::shortName(id));
    }
    for (int i = 0; i < 30; ++i) {
        double start = 300 + 450.0 * i;
        timeline.take("springboard", at(start) + (i % 4 == 3 ? "call outgoing" : "call incoming"));
        timeline.take("springboard", at(start + 20) + "call active");
        timeline.take("springboard", at(start + 200) + "call none");
    }
    timeline.take("springboard", at(3.8 * 3600) + "free 300");
    ASSERT_EQ(timeline.calls().size(), 30u) << "a call counts once from ring to hang-up";

    DeviceRoot root;
    std::vector<device::TimelineLabel> labels;
    ASSERT_TRUE(device::writeTimelinePicture(timeline, root.host("/long.png"), &labels));
    auto has = [&](const std::string& text) {
        return std::ranges::any_of(labels, [&](auto& label) { return label.text == text; });
    };
    EXPECT_TRUE(has("400 closed, 30 calls"));
    EXPECT_TRUE(has("hours since the start of the run"));

    for (std::size_t i = 0; i < labels.size(); ++i)
        for (std::size_t j = i + 1; j < labels.size(); ++j) {
            const auto &a = labels[i], &b = labels[j];
            bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y || b.y + b.height <= a.y;
            EXPECT_TRUE(apart) << "\"" << a.text << "\" and \"" << b.text << "\"";
        }

    // Every close is labelled by name or counted in a stretch's sum, once.
    long named = 0, summed = 0, calls = 0;
    for (const auto& label : labels) {
        EXPECT_GE(label.x, 0) << label.text;
        EXPECT_LE(label.x + label.width, device::kTimelineWidth) << label.text;
        named += names.contains(label.text);
        calls += label.text.starts_with("call ");
        if (label.text.ends_with(" closes") || label.text.ends_with(" close"))
            summed += std::stol(label.text);
    }
    EXPECT_EQ(named + summed, 400);
    EXPECT_GT(summed, 200) << "the bursts are summed";
    EXPECT_GT(named, 5) << "the sparse closes keep their names";
    EXPECT_GT(calls, 5);
    EXPECT_LT(calls, 30) << "call labels too close to the one before are left out";
}

} // namespace
} // namespace sv::test

// The picture of a run: what the runner gathers from the hosts' event lines, and the picture
// itself, read back with an independent PNG decoder.
#include "tests/e2e/device_test.h"

#include "contract/catalogue.h"
#include "hosts/device/timeline_layout.h"
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
                              "[3.500] alwaysKill on", "[3.600] alwaysKill sideways", "[3.700] alwaysKill off",
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
    EXPECT_EQ(timeline.closes()[0].label, "com.example.mail") << "until described";
    ASSERT_EQ(timeline.closeEveryApp().size(), 2u);
    EXPECT_EQ(timeline.closeEveryApp()[0].time, 3.5);
    EXPECT_EQ(timeline.closeEveryApp()[0].value, 1);
    EXPECT_EQ(timeline.closeEveryApp()[1].time, 3.7);
    EXPECT_EQ(timeline.closeEveryApp()[1].value, 0);
    ASSERT_EQ(timeline.calls().size(), 2u) << "a ringing call that is answered is one call";
    EXPECT_EQ(timeline.calls()[0].kind, "incoming");
    EXPECT_EQ(timeline.calls()[0].start, 4.0);
    EXPECT_EQ(timeline.calls()[0].end, 6.0);
    EXPECT_EQ(timeline.calls()[1].kind, "outgoing");
    EXPECT_FALSE(timeline.calls()[1].end) << "still going at the end of the run";
    EXPECT_EQ(timeline.end(), 8.0);
}

TEST(Timeline, TakesThePanesSavesAndPassesOverWhatIsNoEvent)
{
    Timeline timeline;
    timeline.take("springboard", "[0.000] threshold 175");
    timeline.take("settings", "[0.600] saved ramValue 200");
    timeline.take("settings", "[0.700] saved ramValue x");
    timeline.take("settings", "[0.750] saved alwaysKill true");
    timeline.take("settings", "[0.800] free 10");         // the pane has no memory of the home screen's
    timeline.take("springboard!", "[0.900] free 10");     // standard error
    timeline.take("springboard", "free 10");              // no time
    timeline.take("springboard", "[oops] free 10");
    timeline.take("springboard", "[1.000] freed 10");
    ASSERT_EQ(timeline.threshold().size(), 2u);
    EXPECT_EQ(timeline.threshold()[1].time, 0.6);
    EXPECT_EQ(timeline.threshold()[1].value, 200);
    ASSERT_EQ(timeline.closeEveryApp().size(), 1u);
    EXPECT_EQ(timeline.closeEveryApp()[0].time, 0.75);
    EXPECT_TRUE(timeline.freeMemory().empty());
}

slv::history::Record record(const std::string& id, std::optional<std::int64_t> free = {},
                            std::optional<double> reopened = {})
{
    return { id, {}, std::string(free ? slv::history::reason::LowMemory : slv::history::reason::AlwaysList), free,
             reopened };
}

TEST(Timeline, DescribesClosesByThePanesNameAndTheirRecord)
{
    Timeline timeline;
    for (const char* line : { "[1.000] closed a.b.mail", "[2.000] closed a.b.news", "[3.000] closed a.b.mail",
                              "[4.000] closed a.b.mail", "[5.000] closed a.b.maps" })
        timeline.take("springboard", line);
    sv::Dictionary settings { { "ApplicationData",
                                sv::Array { slv::applicationRecord("Mail", "a.b.mail", "/m.png"),
                                            slv::applicationRecord("News", "a.b.news", "/n.png"),
                                            slv::applicationRecord("Maps", "a.b.maps", "/p.png"),
                                            slv::applicationRecord("Maps 2", "a.b.maps", "/p.png") } } };
    // The history kept only the newest records of Mail: they are its last two closes.
    timeline.describeCloses({ record("a.b.mail"), record("a.b.news", 124, 8.6), record("a.b.mail", 120) }, &settings);
    EXPECT_EQ(timeline.closes()[0].label, "Mail") << "a close the history no longer holds keeps its name";
    EXPECT_EQ(timeline.closes()[1].label, "News: Low memory, 124 MB free, back after 9 s");
    EXPECT_EQ(timeline.closes()[2].label, "Mail: Always list");
    EXPECT_EQ(timeline.closes()[3].label, "Mail: Low memory, 120 MB free");
    EXPECT_EQ(timeline.closes()[4].label, "Maps 2") << "the later record wins, as in the pane";

    timeline.describeCloses({ record("a.b.news", 124) }, nullptr);
    EXPECT_EQ(timeline.closes()[1].label, "a.b.news: Low memory, 124 MB free") << "no catalogue: the identifier";
    EXPECT_EQ(timeline.closes()[0].label, "a.b.mail");
}

// What the independent reader found in a picture: counts by colour, and with boxes, the pixels
// of each line of the plot inside each box.
struct Inspection {
    std::map<std::string, long> counts;
    std::vector<std::map<std::string, long>> boxes;
};

Inspection inspect(const std::string& png, const std::vector<device::TimelineLabel>& boxes = {})
{
    std::vector<std::string> command { "/usr/bin/env", "python3", std::string(SV_SOURCE_DIR) + "/tests/e2e/picture_check.py",
                                       png };
    if (!boxes.empty()) {
        std::ostringstream lines;
        for (const auto& box : boxes)
            lines << box.x << ' ' << box.y << ' ' << box.width << ' ' << box.height << '\n';
        writeHostFile(png + ".boxes", lines.str());
        command.push_back(png + ".boxes");
    }
    auto result = runProcess(command);
    EXPECT_EQ(result.status, 0) << result.err;
    Inspection found;
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string name;
        words >> name;
        if (name == "box") {
            std::size_t index = 0;
            words >> index;
            found.boxes.emplace_back();
            long count = 0;
            while (words >> name >> count)
                found.boxes.back()[name] = count;
        } else {
            words >> found.counts[name];
        }
    }
    return found;
}

// Every label lies in the picture, apart from every other, wholly inside the plot or wholly out
// of it, and no line of the plot runs through it (its own colour aside).
Inspection expectEveryLabelClear(const std::string& png, const device::TimelineLayout& layout)
{
    const auto& labels = layout.labels;
    for (std::size_t i = 0; i < labels.size(); ++i)
        for (std::size_t j = i + 1; j < labels.size(); ++j) {
            const auto &a = labels[i], &b = labels[j];
            bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y || b.y + b.height <= a.y;
            EXPECT_TRUE(apart) << "\"" << a.text << "\" and \"" << b.text << "\"";
        }
    const auto& plot = layout.plot;
    for (const auto& label : labels) {
        EXPECT_GE(label.x, 0) << label.text;
        EXPECT_LE(label.x + label.width, device::kTimelineWidth) << label.text;
        bool inside = label.x > plot.x && label.x + label.width < plot.x + plot.width && label.y > plot.y
            && label.y + label.height < plot.y + plot.height;
        bool outside = label.x + label.width < plot.x || label.x > plot.x + plot.width || label.y + label.height < plot.y
            || label.y > plot.y + plot.height;
        EXPECT_TRUE(inside || outside) << "the frame cuts \"" << label.text << "\"";
    }
    auto found = inspect(png, labels);
    EXPECT_EQ(found.boxes.size(), labels.size());
    for (std::size_t i = 0; i < std::min(labels.size(), found.boxes.size()); ++i) {
        bool red = labels[i].text.starts_with("threshold ") || labels[i].text.starts_with("set to ");
        EXPECT_EQ(found.boxes[i]["grid"], 0) << "a grid line through \"" << labels[i].text << "\"";
        EXPECT_EQ(found.boxes[i]["free"], 0) << "the free-memory line through \"" << labels[i].text << "\"";
        if (!red) {
            EXPECT_EQ(found.boxes[i]["threshold"], 0) << "the threshold through \"" << labels[i].text << "\"";
        }
    }
    return found;
}

bool has(const device::TimelineLayout& layout, const std::string& text)
{
    return std::ranges::any_of(layout.labels, [&](auto& label) { return label.text == text; });
}

class TimelinePicture : public ::testing::Test {
protected:
    DeviceRoot root;

    std::string play(const std::string& scenario)
    {
        std::string file = root.host("/scenario.txt"), png = root.host("/timeline.png");
        writeHostFile(file, scenario);
        auto result = runProcess({ SV_DEVICE_RUNNER, "--root", root.path() + "/device", "--virtual-clock",
                                   "--springboard", file, "--timeline", png },
                                 "", 60);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(result.printed("] free 124\n")) << result.out;
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

TEST_F(TimelinePicture, ShowsTheFreeMemoryTheThresholdTheClosesTheCallsAndCloseEveryApp)
{
    auto found = inspect(play(std::string(kLowMemory)
                              + "call incoming\nwait 3\ncall none\nwait 1\nsettings alwaysKill on\nwait 2\n"
                                "settings alwaysKill off\nwait 1\n"))
                     .counts;
    EXPECT_EQ(found["size"], device::kTimelineWidth);
    EXPECT_GT(found["free"], 500) << "the free-memory line";
    EXPECT_GT(found["threshold"], 300) << "the threshold line";
    EXPECT_GT(found["closed"], 40) << "the close marker";
    EXPECT_GT(found["call"], 100) << "the call's span";
    EXPECT_GT(found["everyapp-run"], 100) << "Close Every App's bar";
}

TEST_F(TimelinePicture, WithoutACallOrCloseEveryAppThereIsNoSpanNorBar)
{
    auto found = inspect(play(kLowMemory)).counts;
    EXPECT_GT(found["closed"], 40);
    EXPECT_LT(found["call"], 40) << "only the legend's swatch";
    EXPECT_LT(found["everyapp-run"], 10) << "no bar, not even in the legend";
}

// The demo's story as the runner gathers it: the pane's saves, the closes of a low-memory chain,
// a call across a grid line, two closes at one moment, and Close Every App turned on and off.
TEST(StoryPicture, EveryLabelIsClearAndEveryChangeMarked)
{
    Timeline timeline;
    for (const char* line : {
             "[0.001] free 424", "[0.002] threshold 175", "[7.008] free 394", "[9.011] free 124",
             "[10.012] closed com.example.mail", "[10.012] free 164", "[14.618] closed com.example.news",
             "[14.618] free 224", "[19.514] call incoming", "[19.514] free 124", "[21.520] call none",
             "[21.520] free 79", "[22.521] closed com.example.camera", "[22.521] free 129",
             "[22.522] closed com.example.game", "[22.522] free 249", "[25.000] alwaysKill on",
             "[28.000] alwaysKill off", "[31.028] free 199" })
        timeline.take("springboard", line);
    timeline.take("settings", "[0.552] saved ramValue 175");
    timeline.take("settings", "[0.556] saved ramValue 200");
    sv::Dictionary settings { { "ApplicationData",
                                sv::Array { slv::applicationRecord("Mail", "com.example.mail", ""),
                                            slv::applicationRecord("News", "com.example.news", ""),
                                            slv::applicationRecord("Camera", "com.example.camera", ""),
                                            slv::applicationRecord("Game", "com.example.game", "") } } };
    timeline.describeCloses({ record("com.example.mail", 124), record("com.example.news", 164),
                              record("com.example.camera", 124, 8.5), record("com.example.game", 79) },
                            &settings);

    DeviceRoot root;
    device::TimelineLayout layout;
    std::string png = root.host("/story.png");
    ASSERT_TRUE(device::writeTimelinePicture(timeline, png, &layout));
    for (const char* text : { "Mail: Low memory, 124 MB free", "Camera: Low memory, 124 MB free, back after 8 s",
                              "call incoming", "set to 200 MB", "threshold 200 MB", "Close Every App on",
                              "4 closed, 1 call" })
        EXPECT_TRUE(has(layout, text)) << text;
    auto found = expectEveryLabelClear(png, layout);

    ASSERT_EQ(layout.leaders.size(), 4u) << "every close of the story named";
    auto leaders = layout.leaders;
    std::ranges::sort(leaders);
    for (std::size_t i = 1; i < leaders.size(); ++i)
        EXPECT_GE(leaders[i] - leaders[i - 1], device::kLeaderGap) << "Camera and Game closed 1 ms apart";
    EXPECT_EQ(found.counts["leader-columns"], 4) << "a leader each, drawn apart";
}

TEST(LongRunPicture, ALongDayStaysLegible)
{
    // 3.8 hours: 400 closes, most in bursts of low memory, 30 calls that ring and are answered
    // (or are placed) before they hang up, and the threshold and Close Every App changed now and
    // then.
    Timeline timeline;
    auto at = [](double seconds) { return "[" + std::to_string(seconds) + "] "; };
    timeline.take("springboard", at(0) + "free 424");
    timeline.take("springboard", at(0) + "threshold 175");
    std::set<std::string> names;
    sv::Array catalogue;
    for (int i = 0; i < 400; ++i) {
        double time = i < 380 ? 600 + 1300 * (i / 76) + 5.0 * (i % 76) : 7000 + 300.0 * (i - 380);
        std::string id = "com.example.app" + std::to_string(i);
        timeline.take("springboard", at(time) + "free " + std::to_string(100 + i % 80));
        timeline.take("springboard", at(time + 0.5) + "closed " + id);
        timeline.take("springboard", at(time + 0.5) + "free " + std::to_string(200 + i % 80));
        names.insert("App " + std::to_string(i));
        catalogue.push_back(slv::applicationRecord("App " + std::to_string(i), id, ""));
    }
    sv::Dictionary settings { { "ApplicationData", catalogue } };
    timeline.describeCloses({}, &settings);
    for (int i = 0; i < 30; ++i) {
        double start = 300 + 450.0 * i;
        timeline.take("springboard", at(start) + (i % 4 == 3 ? "call outgoing" : "call incoming"));
        timeline.take("springboard", at(start + 20) + "call active");
        timeline.take("springboard", at(start + 200) + "call none");
    }
    for (int i = 1; i < 6; ++i) {
        timeline.take("springboard", at(2000.0 * i) + "threshold " + std::to_string(100 + 50 * (i % 4)));
        timeline.take("springboard", at(2000.0 * i + 500) + (i % 2 ? "alwaysKill on" : "alwaysKill off"));
    }
    timeline.take("springboard", at(3.8 * 3600) + "free 300");
    ASSERT_EQ(timeline.calls().size(), 30u) << "a call counts once from ring to hang-up";

    DeviceRoot root;
    device::TimelineLayout layout;
    std::string png = root.host("/long.png");
    ASSERT_TRUE(device::writeTimelinePicture(timeline, png, &layout));
    EXPECT_TRUE(has(layout, "400 closed, 30 calls"));
    EXPECT_TRUE(has(layout, "hours since the start of the run"));
    EXPECT_TRUE(has(layout, "Close Every App on"));
    expectEveryLabelClear(png, layout);

    // Every close is labelled by name or counted in a stretch's sum, once.
    long named = 0, summed = 0, calls = 0;
    for (const auto& label : layout.labels) {
        named += names.contains(label.text);
        calls += label.text.starts_with("call ");
        if (label.text.ends_with(" closes") || label.text.ends_with(" close"))
            summed += std::stol(label.text);
    }
    EXPECT_EQ(named + summed, 400);
    EXPECT_GT(summed, 200) << "the bursts are summed";
    EXPECT_GT(named, 5) << "the sparse closes keep their names";
    EXPECT_EQ(static_cast<long>(layout.leaders.size()), named);
    EXPECT_GT(calls, 5);
    EXPECT_LT(calls, 30) << "call labels too close to another are left out";
}

} // namespace
} // namespace sv::test

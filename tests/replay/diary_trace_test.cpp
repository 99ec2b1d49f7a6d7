// The library's diary as days to replay: its events by identifier, its calls and the library's
// closes, the footprints and the phone its free memory shows, and the tool on a diary.
#include "tests/replay/days.h"
#include "tests/support/device_root.h"
#include "tests/support/diary_lines.h"
#include "playback/diary_trace.h"
#include "playback/suggestion.h"
#include "playback/trace.h"

#include <gtest/gtest.h>

namespace replay {
namespace {

    using Kind = Event::Kind;
    using sv::test::DiaryLines;

    std::vector<std::string> script(const Day& day)
    {
        std::vector<std::string> lines;
        char time[32];
        for (const Event& e : day.events) {
            std::snprintf(time, sizeof time, "%.3f ", e.time);
            std::string line = time;
            switch (e.kind) {
            case Kind::Launch: line += "L " + day.apps[e.app].bundleID; break;
            case Kind::Home: line += "H"; break;
            case Kind::State: line += "S " + day.apps[e.app].bundleID + " " + std::to_string(e.state); break;
            case Kind::Call: line += e.call == Call::None ? "call ends" : "call"; break;
            case Kind::Lists: line += "N"; break;
            }
            lines.push_back(line);
        }
        return lines;
    }

    TEST(DiaryTrace, ForegroundCallsAndTheLibrarysClosesAreTheDaysByIdentifierADateADay)
    {
        DiaryLines diary(512);
        diary.install("com.example.mail", 40);
        diary.install("com.example.maps", 100);
        diary.open("com.example.mail");
        diary.wait(10.25);
        diary.open("com.example.maps");
        diary.call(true);
        diary.wait(5);
        diary.call(false);
        diary.line(slv::diary::Kind::Closed, "com.example.maps", "3");
        diary.home(); // maps was in front: the home screen comes up as it leaves
        diary.close("com.example.mail");
        diary.nextDay();
        diary.open("com.example.maps");
        // A line cut short by a lost write at the end is passed over; a bad line is reported.
        std::string text = diary.text();
        std::string bad = "1\t1\t2026-01-02 07:00:01\tcom.example.x\tOpened\tsoon\t400\t\n";
        DiaryTrace trace = DiaryTrace::read(text + bad + "1\t1\t2026-01-02 07:00:02\tcom.exa", "me");
        ASSERT_EQ(trace.problems().size(), 1u);
        EXPECT_EQ(trace.problems()[0].line, 11);
        ASSERT_EQ(trace.days().size(), 2u);
        EXPECT_EQ(trace.daysOfUse(), 2);
        const Day& first = trace.days()[0];
        EXPECT_TRUE(first.diary);
        EXPECT_EQ(first.label, "me, 2026-01-01");
        ASSERT_EQ(first.apps.size(), 2u);
        EXPECT_EQ(first.apps[0].name, "com.example.mail");
        EXPECT_EQ(first.apps[0].bundleID, "com.example.mail");
        EXPECT_EQ(script(first), (std::vector<std::string> { "25200.000 L com.example.mail", "25200.000 S com.example.mail 4",
                                                              "25210.250 L com.example.maps", "25210.250 S com.example.maps 4",
                                                              "25210.250 S com.example.mail 2", "25210.250 call",
                                                              "25215.250 call ends", "25215.250 H",
                                                              "25215.250 S com.example.maps 3", "25215.250 S com.example.maps 2" }));
        ASSERT_EQ(first.recordedCloses.size(), 1u);
        EXPECT_EQ(first.recordedCloses[0].app, 0);
        EXPECT_DOUBLE_EQ(first.recordedCloses[0].time, 25215.25);
        EXPECT_EQ(first.recordedCloses[0].reason, "Low memory");
    }

    TEST(DiaryTrace, AFootprintIsTheMedianOfTheStepsWhereItStartsAndWhereTheLibraryClosesIt)
    {
        DiaryLines diary(512);
        diary.install("com.example.game", 120);
        diary.install("com.example.mail", 40);
        diary.install("com.example.news", 60);
        // A first line, so that the next has a figure before it.
        diary.call(true);
        // game: started (its first line), closed, started again, closed: four steps of 120.
        diary.open("com.example.game");
        diary.open("com.example.mail"); // mail: one step of 40
        diary.close("com.example.game");
        diary.open("com.example.game");
        diary.open("com.example.mail"); // running already: no step
        diary.close("com.example.game");
        // news at its first line, then once more: two steps, too few for an estimate.
        diary.open("com.example.news");
        diary.close("com.example.news");
        diary.home();
        DiaryTrace trace = DiaryTrace::read(diary.text(), "me");
        EXPECT_EQ(trace.observations().at("com.example.game"), (std::vector<double> { 120, 120, 120, 120 }));
        EXPECT_EQ(trace.observations().at("com.example.mail"), (std::vector<double> { 40 }));
        EXPECT_EQ(trace.observations().at("com.example.news"), (std::vector<double> { 60, 60 }));
        Footprints footprints;
        footprints.set("com.example.mail", 45); // a footprints file wins
        trace.estimateInto(footprints);
        Footprints::Figure game = footprints.figure("com.example.game", "com.example.game");
        EXPECT_EQ(game.source, Footprints::Source::Diary);
        EXPECT_EQ(game.megabytes, 120);
        EXPECT_EQ(game.observations, 4);
        EXPECT_EQ(footprints.figure("com.example.mail", "com.example.mail").source, Footprints::Source::File);
        EXPECT_EQ(footprints.figure("com.example.news", "com.example.news").source, Footprints::Source::Drawn);
        // What the phone leaves to applications: free memory and what runs, at every line.
        auto device = trace.device(footprints);
        ASSERT_TRUE(device);
        EXPECT_DOUBLE_EQ(device->totalMB - device->baseMB, 512 + 5); // mail taken at the file's 45
        EXPECT_DOUBLE_EQ(device->totalMB, 2 * (device->totalMB - device->baseMB));
    }

    TEST(DiaryTrace, StepsThatAreNoFootprintAreNone)
    {
        DiaryLines diary(300);
        diary.install("com.example.big", 250);
        diary.install("com.example.more", 100);
        diary.call(true);
        diary.open("com.example.big");   // 300 to 50: a step
        diary.open("com.example.more");  // 50 to 0: memory ran out
        diary.close("com.example.more"); // from 0: none
        diary.line(slv::diary::Kind::Opened, "com.example.more", ""); // memory did not move: none
        diary.close("com.example.big");
        DiaryTrace trace = DiaryTrace::read(diary.text(), "me");
        EXPECT_EQ(trace.observations().at("com.example.big"), (std::vector<double> { 250, 250 }));
        EXPECT_EQ(trace.observations().count("com.example.more"), 0u);
        EXPECT_EQ(median({ 3, 1, 2, 10 }), 2.5);
        EXPECT_FALSE(median({}));
    }

    TEST(Suggestion, EverySliderValueOnTheWholeDaysGivesTheToolsRecommendationAndReadsBackAlike)
    {
        const std::string diary = sv::test::openedInTurn(
            { "com.example.a", "com.example.b", "com.example.c", "com.example.d", "com.example.e" }, 100, 3);
        // The newest date is still going on: its lines are left out, and a line cut short is none.
        std::string_view whole = Suggestion::wholeDays(diary);
        EXPECT_EQ(DiaryTrace::read(whole, "me").days().size(), 2u);
        EXPECT_EQ(DiaryTrace::read(diary, "me").days().size(), 3u);
        EXPECT_EQ(Suggestion::wholeDays(diary + "1\t9\t2031"), whole);
        EXPECT_EQ(Suggestion::wholeDays(std::string(slv::diary::Header) + "\n"), "");

        Suggestion work(diary, {}, 250, {});
        int steps = 0;
        while (work.step())
            ++steps;
        EXPECT_EQ(work.outcome(), Suggestion::Outcome::Within);
        EXPECT_EQ(work.days(), 2);
        // The reading, then two days at each of the slider's 55 values.
        EXPECT_EQ(steps + 1, 1 + 2 * 55);
        EXPECT_TRUE(work.at(120) && work.at(250));
        EXPECT_FALSE(work.at(33));

        // The tool's own on the same whole days.
        DiaryTrace trace = DiaryTrace::read(whole, "this phone");
        Footprints footprints;
        trace.estimateInto(footprints);
        trace.setDevice(*trace.device(footprints));
        auto all = recommend(trace.days(), Replay({}, footprints), Suggestion::kPolicy, sliderValues());
        ASSERT_TRUE(all && all->threshold);
        EXPECT_EQ(*all->threshold, work.threshold());

        // Saved and read back: the same answer; text of another making, or a current value not
        // played, is none.
        auto back = Suggestion::fromSaved(work.saved(), {}, 250);
        ASSERT_TRUE(back);
        EXPECT_TRUE(back->done());
        EXPECT_EQ(back->threshold(), work.threshold());
        EXPECT_EQ(back->days(), 2);
        EXPECT_EQ(back->at(250)->cost, work.at(250)->cost);
        EXPECT_EQ(back->at(250)->restarts, work.at(250)->restarts);
        EXPECT_FALSE(Suggestion::fromSaved("key 1\n" + work.saved(), {}, 250));
        EXPECT_FALSE(Suggestion::fromSaved(work.saved(), {}, 33));

        // The key holds while only the newest date grows; a whole day or the lists change it.
        std::uint64_t key = Suggestion::key(diary, {}, {});
        std::string later = diary + std::string(diary.substr(diary.rfind('\n', diary.size() - 2) + 1));
        EXPECT_EQ(Suggestion::key(later, {}, {}), key);
        std::string changed = diary;
        changed[whole.size() / 2] = changed[whole.size() / 2] == '1' ? '2' : '1';
        EXPECT_NE(Suggestion::key(changed, {}, {}), key);
        Lists never;
        never.never = { "com.example.a" };
        EXPECT_NE(Suggestion::key(diary, {}, never), key);
    }

    TEST(ReplayTool, ADiaryShowsItsFootprintsAndItsPhoneAndIsRecommendedForLearnFromUse)
    {
        sv::test::DeviceRoot folder;
        std::string path = folder.path() + "/Diary.tsv", sizes = folder.path() + "/sizes.txt";
        sv::test::writeHostFile(path,
                                sv::test::openedInTurn({ "com.example.a", "com.example.b", "com.example.c" }, 150, 2));
        sv::test::writeHostFile(sizes, "com.example.c 90\n");
        auto tool
            = replayTool({ "--trace", path, "--footprints", sizes, "--show-footprints", "--thresholds", "100,200" });
        EXPECT_EQ(tool.status, 0) << tool.err;
        // a's first launch is the diary's first line: nothing before it to measure from.
        EXPECT_NE(tool.out.find("  com.example.a    150.0 MB  the diary (the median of 3 observations)\n"), std::string::npos)
            << tool.out;
        EXPECT_NE(tool.out.find("  com.example.b    150.0 MB  the diary (the median of 4 observations)\n"), std::string::npos)
            << tool.out;
        EXPECT_NE(tool.out.find("  com.example.c     90.0 MB  the footprints file\n"), std::string::npos) << tool.out;
        // 512 at every line, c taken at 90 where it held 150: the phone shows 512 less what c
        // was taken to hold less, wherever c ran.
        EXPECT_NE(tool.out.find("device of " + path + " (from its free memory: applications have"), std::string::npos)
            << tool.out;
        EXPECT_EQ(tool.out.find("\ndevice: 1024 MB"), std::string::npos) << "the default phone is none of the days'";
        EXPECT_NE(tool.out.find("recommended threshold (learn-from-use):"), std::string::npos) << tool.out;

        // With --device, the days are played on it.
        auto given = replayTool({ "--trace", path, "--device", "total=2000,base=1000", "--thresholds", "100" });
        EXPECT_NE(given.out.find("device: 2000 MB, 1000 MB used by the system"), std::string::npos) << given.out;
        EXPECT_EQ(given.out.find("device of "), std::string::npos) << given.out;
        // --json keeps standard output JSON: the footprints go to standard error.
        auto json = replayTool({ "--trace", path, "--json", "--show-footprints", "--thresholds", "100" });
        EXPECT_EQ(json.out.rfind("[", 0), 0u) << json.out;
        EXPECT_NE(json.err.find("com.example.a"), std::string::npos) << json.err;
    }

} // namespace
} // namespace replay

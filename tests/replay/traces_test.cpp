// Reading days: the LSApp format, the host's scenarios, footprints, and what the tool does with
// files it cannot use.
#include "tests/replay/days.h"
#include "tests/support/device_root.h"
#include "playback/footprints.h"
#include "playback/lsapp.h"
#include "playback/run.h"
#include "playback/trace.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace replay {
namespace {

    using Kind = Event::Kind;

    // The day as text: "L app", "H", "S app n", one an event, with its time.
    std::vector<std::string> script(const Day& day)
    {
        std::vector<std::string> lines;
        for (const Event& e : day.events) {
            std::string line = std::to_string(static_cast<long>(e.time)) + " ";
            switch (e.kind) {
            case Kind::Launch: line += "L " + day.apps[e.app].name; break;
            case Kind::Home: line += "H"; break;
            case Kind::State: line += "S " + day.apps[e.app].name + " " + std::to_string(e.state); break;
            case Kind::Call: line += "C"; break;
            case Kind::Lists: line += "N"; break;
            }
            lines.push_back(line);
        }
        return lines;
    }

    const char* kHeader = "user_id\tsession_id\ttimestamp\tapp_name\tevent_type\n";

    // A trace read from text, with what the reader said on standard error.
    struct Read {
        Trace trace;
        std::string err;
    };
    Read readText(Trace (*reader)(std::istream&, const std::string&), const std::string& text, const std::string& source)
    {
        std::istringstream in(text);
        testing::internal::CaptureStderr();
        Trace trace = reader(in, source);
        return { std::move(trace), testing::internal::GetCapturedStderr() };
    }

    // Text read as LSApp without a word said: one day, played as the script says.
    void expectOneDayReadQuietly(const std::string& text, const std::vector<std::string>& expected)
    {
        auto [trace, err] = readText(readLsapp, text, "diary.tsv");
        EXPECT_EQ(err, "");
        EXPECT_EQ(trace.badLines, 0);
        ASSERT_EQ(trace.days.size(), 1u);
        EXPECT_EQ(script(trace.days[0]), expected);
    }

    TEST(LsappTrace, ForegroundFollowsOpenedClosedSessionsAndFirstInteractions)
    {
        std::istringstream in(std::string(kHeader)
                              + "7\t100\t2018-01-16 06:01:05\tChrome\tOpened\n"
                                "7\t100\t2018-01-16 06:01:09\tChrome\tUser Interaction\n"
                                "7\t100\t2018-01-16 06:02:00\tGmail\tOpened\n"     // Chrome leaves
                                "7\t100\t2018-01-16 06:02:30\tChrome\tClosed\n"    // not on top: nothing
                                "7\t100\t2018-01-16 06:03:00\tGmail\tClosed\n"     // to the home screen
                                "7\t100\t2018-01-16 06:03:10\tGmail\tBroken\n"
                                "7\t101\t2018-01-16 07:00:00\tMaps\tUser Interaction\n" // a first interaction opens
                                "7\t102\t2018-01-16 07:10:00\tChrome\tOpened\n"    // a new session: Maps left at 07:00
                                "7\t102\t2018-01-17 08:00:00\tGmail\tOpened\n"     // another day
                                "9\t200\t2018-01-16 09:00:00\tChrome\tOpened\n");
        Trace trace = readLsapp(in, "t.tsv");
        EXPECT_EQ(trace.badLines, 0);
        ASSERT_EQ(trace.days.size(), 3u);
        EXPECT_EQ(trace.days[0].label, "person 7, 2018-01-16");
        EXPECT_EQ(script(trace.days[0]),
                  (std::vector<std::string> { "21665 L Chrome", "21665 S Chrome 4", "21720 L Gmail", "21720 S Gmail 4",
                                              "21720 S Chrome 2", "21780 H", "21780 S Gmail 2", "25200 L Maps",
                                              "25200 S Maps 4", "25200 H", "25200 S Maps 2", "25800 L Chrome",
                                              "25800 S Chrome 4", "25800 H", "25800 S Chrome 2" }));
        EXPECT_EQ(trace.days[1].label, "person 7, 2018-01-17");
        EXPECT_EQ(trace.days[2].label, "person 9, 2018-01-16");
        EXPECT_EQ(trace.days[0].apps[0].bundleID, "replay.chrome");
    }

    TEST(LsappTrace, BadLinesAreReportedWithTheirNumberAndSkipped)
    {
        auto [trace, err] = readText(readLsapp,
                                     std::string(kHeader)
                                         + "7\t100\t2018-01-16 06:01:05\tChrome\tOpened\n"
                                           "7\t100\t2018-01-16 06:01:05\tChrome\n"
                                           "7\t100\t2018-02-30 06:01:05\tChrome\tOpened\n"
                                           "7\t100\t2018-01-16 6:01:05\tChrome\tOpened\n"
                                           "x\t100\t2018-01-16 06:01:05\tChrome\tOpened\n"
                                           "7\t100\t2018-01-16 06:01:05\t\tOpened\n"
                                           "7\t100\t2018-01-16 06:01:05\tChrome\t\n"
                                           "7\t100\t2018-01-16 06:02:05\tChrome\tClosed\n",
                                     "t.tsv");
        EXPECT_EQ(trace.badLines, 6);
        EXPECT_NE(err.find("t.tsv: line 3: expected 5 tab-separated fields"), std::string::npos) << err;
        EXPECT_NE(err.find("t.tsv: line 4: timestamp"), std::string::npos) << err;
        EXPECT_NE(err.find("t.tsv: line 5: timestamp"), std::string::npos) << err;
        EXPECT_NE(err.find("t.tsv: line 6: user_id"), std::string::npos) << err;
        EXPECT_NE(err.find("t.tsv: line 7: app_name"), std::string::npos) << err;
        EXPECT_NE(err.find("t.tsv: line 8: event_type is empty"), std::string::npos) << err;
        ASSERT_EQ(trace.days.size(), 1u);
        EXPECT_EQ(script(trace.days[0]).size(), 4u); // opened and closed, the rest skipped
    }

    TEST(LsappTrace, FieldsAfterTheFifthAndEventTypesOfTheirOwnOnSuchRowsArePassedOver)
    {
        expectOneDayReadQuietly("user_id\tsession_id\ttimestamp\tapp_name\tevent_type\ttime_ms\tfree_mb\tdetail\n"
                                "1\t1\t2026-01-01 02:00:00\tnews\tOpened\t1767225600000\t412\t\n"
                                "1\t1\t2026-01-01 02:00:10\tnews\tClosed\t1767225610000\t412\t2\n"
                                "1\t1\t2026-01-01 02:00:11\tnews\tSleepvane Close\t1767225611000\t512\tLow memory\n"
                                "1\t1\t2026-01-01 02:00:12\t-\tCall Start\t1767225612000\t512\t\n",
                                { "7200 L news", "7200 S news 4", "7210 H", "7210 S news 2" });
    }

    // A diary logs more than LSApp: what the replay does not play is passed over, not reported.
    TEST(LsappTrace, ColumnsAfterTheFifthAndUnknownEventTypesArePassedOver)
    {
        expectOneDayReadQuietly(std::string(kHeader)
                                    + "7\t100\t2018-01-16 06:01:05\tChrome\tOpened\tcom.android.chrome\t250\n"
                                      "7\t100\t2018-01-16 06:01:30\tChrome\tClosed by Sleepvane\n"
                                      "7\t100\t2018-01-16 06:02:00\tGmail\tOpened\textra\n"
                                      "7\t100\t2018-01-16 06:03:00\tGmail\tClosed\n",
                                { "21665 L Chrome", "21665 S Chrome 4", "21720 L Gmail", "21720 S Gmail 4",
                                  "21720 S Chrome 2", "21780 H", "21780 S Gmail 2" });
    }

    // The file read person by person (for traces of millions of lines) gives what reading it
    // whole gives, whatever order its people come in.
    TEST(LsappTrace, AFileReadPersonByPersonGivesWhatReadingItWholeGives)
    {
        sv::test::DeviceRoot folder;
        std::string rows = std::string(kHeader)
            + "7\t1\t2018-01-16 06:00:00\tChrome\tOpened\r\n"
              "9\t2\t2018-01-16 06:00:30\tMaps\tOpened\r\n"
              "7\t1\t2018-01-16 06:01:00\tGmail\tOpened\r\n"
              "bad line\r\n"
              "9\t2\t2018-01-17 07:00:00\tMaps\tOpened\r\n"
              "7\t3\t2018-01-15 23:59:00\tClock\tOpened\r\n"
              "7\t3\t2018-01-16 06:02:00\tGmail\tClosed"; // no end of line
        std::string path = folder.path() + "/t.tsv";
        sv::test::writeHostFile(path, rows);
        std::istringstream in(rows);
        testing::internal::CaptureStderr();
        Trace whole = readLsapp(in, path);
        LsappFile file;
        ASSERT_TRUE(file.open(path));
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, path + ": line 5: expected 5 tab-separated fields (user_id, session_id, timestamp, app_name, "
                              "event_type), found 1\n" + path + ": line 5: expected 5 tab-separated fields (user_id, "
                              "session_id, timestamp, app_name, event_type), found 1\n");
        EXPECT_EQ(file.badLines(), 1);
        EXPECT_EQ(file.lines(), 8);
        ASSERT_EQ(file.people(), 2u);
        EXPECT_EQ(file.days(), 4);
        std::vector<Day> streamed;
        for (std::size_t i = 0; i < file.people(); ++i)
            for (Day& day : file.person(i))
                streamed.push_back(std::move(day));
        ASSERT_EQ(streamed.size(), whole.days.size());
        ASSERT_EQ(streamed.size(), 4u);
        for (std::size_t i = 0; i < streamed.size(); ++i) {
            EXPECT_EQ(streamed[i].label, whole.days[i].label);
            EXPECT_EQ(script(streamed[i]), script(whole.days[i])) << streamed[i].label;
        }
        EXPECT_EQ(streamed[0].label, "person 7, 2018-01-15");
        EXPECT_EQ(streamed[3].label, "person 9, 2018-01-17");
    }

    // The trace path measured on days the generator wrote: written as LSApp rows and read back,
    // they replay to the very same figures, with the habits on and off.
    TEST(LsappTrace, SyntheticDaysWrittenAndReadBackReplayAlike)
    {
        sv::test::DeviceRoot folder;
        Footprints footprints;
        Replay replay({ 1024, 512 }, footprints);
        for (Habits habits : { Habits::none(), Habits {} }) {
            Synthetic generator(6, habits);
            std::string path = folder.path() + "/" + habits.text() + ".tsv";
            {
                std::ofstream out(path);
                out << kLsappHeader << "\n";
                long session = 1;
                for (int person = 0; person < 4; ++person)
                    for (int day = 0; day < 2; ++day)
                        writeLsappDay(out, generator.day(person, day), person + 1, 17532 + day, session);
            }
            SyntheticDays made(generator, 4, 2);
            TraceDays read;
            ASSERT_TRUE(read.add(path));
            EXPECT_EQ(read.badLines(), 0);
            EXPECT_EQ(read.people(), 4);
            EXPECT_EQ(read.days(), 8);
            replay::Run direct = playAll(made, replay, policyNames(), { 100, 250 }, 1);
            replay::Run traced = playAll(read, replay, policyNames(), { 100, 250 }, 2);
            ASSERT_EQ(direct.rows().size(), traced.rows().size());
            for (std::size_t i = 0; i < direct.rows().size(); ++i) {
                const Figures &a = direct.rows()[i], &b = traced.rows()[i];
                EXPECT_EQ(a.switches, b.switches) << habits.text() << " " << a.policy << " " << a.threshold;
                EXPECT_EQ(a.closes, b.closes) << habits.text() << " " << a.policy << " " << a.threshold;
                EXPECT_EQ(a.restartsAfterOurCloses10min, b.restartsAfterOurCloses10min) << habits.text() << " " << a.policy;
                EXPECT_EQ(a.systemKills, b.systemKills) << habits.text() << " " << a.policy;
                EXPECT_EQ(a.secondsLow, b.secondsLow) << habits.text() << " " << a.policy;
                EXPECT_GT(a.closes, 0);
            }
        }
    }

    TEST(ScenarioTrace, ReadsTheHostsCommandsAsOneDay)
    {
        Trace trace = scenarioTrace("# a comment\n"
                                    "memory total=2048 base=700\n"
                                    "settings ramValue 150\n"
                                    "settings never com.example.notes\n"
                                    "app com.example.mail \"Mail\" mem=40\n"
                                    "app com.example.maps \"Maps\" mem=100 location\n"
                                    "launch com.example.mail\n"
                                    "wait 300\n"
                                    "launch com.example.maps\n"
                                    "state com.example.mail 2\n"
                                    "show memory\n"
                                    "call incoming\n"
                                    "wait 2.5\n"
                                    "state com.example.maps 3\n"
                                    "home\n"
                                    "quit\n"
                                    "launch com.example.mail\n",
                                    "morning.txt");
        ASSERT_EQ(trace.days.size(), 1u);
        const Day& day = trace.days[0];
        EXPECT_EQ(day.totalMB, 2048);
        EXPECT_EQ(day.baseMB, 700);
        EXPECT_EQ(day.never, std::vector<std::string> { "com.example.notes" });
        ASSERT_EQ(day.apps.size(), 2u);
        EXPECT_EQ(day.apps[1].name, "Maps");
        EXPECT_EQ(day.apps[1].memoryMB, 100);
        EXPECT_EQ(day.apps[1].flags, std::vector<std::string> { "location" });
        ASSERT_EQ(day.events.size(), 6u);
        EXPECT_EQ(day.events[1].time, 300);
        EXPECT_EQ(day.events[3].kind, Kind::Call);
        EXPECT_EQ(day.events[3].call, Call::Incoming);
        EXPECT_EQ(day.events[4].time, 302.5);
        EXPECT_EQ(day.events[4].state, 3);
        EXPECT_EQ(day.end(), 302.5);
    }

    TEST(ScenarioTrace, ListsChangedAfterTheFirstEventAreEventsAtTheirMoment)
    {
        Trace trace = scenarioTrace("settings never com.example.notes\n"
                                    "wait 5\n"
                                    "settings alwaysKill on\n"
                                    "launch com.example.mail\n"
                                    "wait 10\n"
                                    "settings always com.example.mail\n"
                                    "settings never\n"
                                    "settings alwaysKill off\n",
                                    "day.txt");
        const Day& day = trace.days.at(0);
        EXPECT_EQ(day.never, std::vector<std::string> { "com.example.notes" });
        EXPECT_TRUE(day.alwaysKill);
        ASSERT_EQ(day.events.size(), 4u);
        ASSERT_EQ(day.listChanges.size(), 3u);
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(day.events[i].kind, Kind::Lists);
            EXPECT_EQ(day.events[i].time, 15);
            EXPECT_EQ(day.events[i].lists, i - 1);
        }
        const Lists& last = day.listChanges[2];
        EXPECT_EQ(last.always, std::vector<std::string> { "com.example.mail" });
        EXPECT_TRUE(last.never.empty());
        EXPECT_FALSE(last.alwaysKill);
        EXPECT_TRUE(day.listChanges[0].alwaysKill);
    }

    TEST(ScenarioTrace, BadLinesAreReportedWithTheirNumberAndSkipped)
    {
        auto [trace, err] = readText(readScenario,
                                     "launch a\nwait -1\nfly away\napp b \"B mem=3\nstate a x\nmemory total=big\n"
                                     "app c \"C\" mem=5 teleport\nwait 10\nlaunch b\n",
                                     "s.txt");
        EXPECT_EQ(trace.badLines, 6);
        for (const char* expected : { "s.txt: line 2: wait", "s.txt: line 3: unknown command fly", "s.txt: line 4: a quote",
                                      "s.txt: line 5: state", "s.txt: line 6: total=", "s.txt: line 7: unknown flag teleport" })
            EXPECT_NE(err.find(expected), std::string::npos) << expected << "\n" << err;
        ASSERT_EQ(trace.days[0].events.size(), 2u);
        EXPECT_EQ(trace.days[0].events[1].time, 10);
    }

    TEST(Footprints, AFileOverTheTableOverAFigureDrawnFromTheName)
    {
        Footprints footprints;
        std::istringstream in("# name MB\nGoogle Maps 321\nnotes 12.5\nbroken\nX -4\nY lots\nZ inf\nW 1025\n");
        testing::internal::CaptureStderr();
        EXPECT_EQ(footprints.read(in, "f.txt", 1024), 5);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("f.txt: line 4: expected <name> <MB>"), std::string::npos) << err;
        EXPECT_NE(err.find("f.txt: line 5: the footprint is below 0"), std::string::npos) << err;
        EXPECT_NE(err.find("f.txt: line 6: the footprint is not a finite number"), std::string::npos) << err;
        EXPECT_NE(err.find("f.txt: line 7: the footprint is not a finite number"), std::string::npos) << err;
        EXPECT_NE(err.find("f.txt: line 8: the footprint is over the device's total memory"), std::string::npos) << err;
        EXPECT_EQ(footprints.of("google maps", "x"), 321);
        EXPECT_EQ(footprints.of("Whatever", "notes"), 12.5); // by its identifier when the name is unknown
        EXPECT_EQ(footprints.of("Notes", "x"), 12.5);
        EXPECT_EQ(footprints.of("Chrome", "x"), 250); // the table
        // A figure drawn from the name alone: the same in every run, around the median over many
        // names, never over the largest the table knows.
        EXPECT_EQ(footprints.of("App 1", "x"), Footprints().of("App 1", "y"));
        std::vector<double> figures;
        for (int i = 0; i < 2001; ++i)
            figures.push_back(footprints.of("Unknown " + std::to_string(i), "x"));
        std::nth_element(figures.begin(), figures.begin() + 1000, figures.end());
        EXPECT_NEAR(figures[1000], Footprints::kMedianMB, Footprints::kMedianMB * 0.1);
        EXPECT_EQ(*std::max_element(figures.begin(), figures.end()), Footprints::kLargestMB);
    }

    // The tool's exit status and messages for what it cannot use.
    TEST(ReplayTool, MissingUnreadableAndMalformedInputs)
    {
        sv::test::DeviceRoot folder;
        auto missing = replayTool({ "--trace", folder.path() + "/none.tsv" });
        EXPECT_EQ(missing.status, 2);
        EXPECT_NE(missing.err.find("cannot read " + folder.path() + "/none.tsv"), std::string::npos) << missing.err;
        EXPECT_EQ(replayTool({ "--trace", folder.path() }).status, 2); // a folder
        EXPECT_EQ(replayTool({ "--footprints", folder.path() + "/none" }).status, 2);
        EXPECT_EQ(replayTool({ "--thresholds", "50,x" }).status, 2);
        EXPECT_EQ(replayTool({ "--policies", "parts,random" }).status, 2);

        std::string trace = folder.path() + "/t.tsv";
        sv::test::writeHostFile(trace, std::string(kHeader) + "1\t1\t2018-01-16 06:01:05\tChrome\tOpened\n"
                                                              "1\t1\t2018-01-16 06:01:0\tChrome\tClosed\n"
                                                              "1\t1\t2018-01-16 06:05:00\tChrome\tClosed\n");
        auto bad = replayTool({ "--trace", trace, "--thresholds", "100" });
        EXPECT_EQ(bad.status, 1);
        EXPECT_NE(bad.err.find(trace + ": line 3: timestamp"), std::string::npos) << bad.err;
        EXPECT_NE(bad.out.find("parts"), std::string::npos) << bad.out; // the figures still come
    }

} // namespace
} // namespace replay

// Input nobody checked: figures no phone shows, names that would break a line of the output, a
// footprints file that names what the run never met, and output paths that cannot be written.
#include "tests/replay/days.h"
#include "tests/support/device_root.h"
#include "tests/support/diary_lines.h"
#include "playback/diary_trace.h"
#include "playback/printable.h"
#include "playback/suggestion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace replay {
namespace {

    using sv::test::DeviceRoot;

    // The diary with the free-memory field of every line (or of the lines numbered in only)
    // replaced by figure.
    std::string withFreeMemory(const std::string& diary, const std::string& figure, std::vector<int> only = {})
    {
        std::istringstream in(diary);
        std::string out, line;
        for (int number = 1; std::getline(in, line); ++number) {
            bool change = number > 1 && (only.empty() || std::find(only.begin(), only.end(), number) != only.end());
            if (change) {
                std::size_t at = 0;
                for (int tab = 0; tab < 6; ++tab)
                    at = line.find('\t', at) + 1;
                line.replace(at, line.find('\t', at) - at, figure);
            }
            out += line + "\n";
        }
        return out;
    }

    std::unique_ptr<Suggestion> suggested(const std::string& diary)
    {
        auto work = std::make_unique<Suggestion>(diary, SliderRange {}, 150, Lists {});
        while (work->step()) { }
        return work;
    }

    TEST(ImplausibleFigures, ALineWhoseFreeMemoryNoPhoneShowsIsPassedOverAndTheRestStillSuggests)
    {
        std::string clean = sv::test::twoWholeDaysOfFiveApplications();
        std::string hostile = withFreeMemory(clean, "9223372036854775807", { 3 });
        hostile = withFreeMemory(hostile, "-1000000000000", { 5 });
        hostile = withFreeMemory(hostile, "65537", { 7 });

        DiaryTrace trace = DiaryTrace::read(hostile, "me");
        EXPECT_TRUE(trace.problems().empty()) << "every line is a diary line";
        ASSERT_EQ(trace.implausible().size(), 3u);
        EXPECT_EQ(trace.implausible()[0].line, 3);
        EXPECT_EQ(trace.implausible()[0].why, "free memory of 9223372036854775807 MB lies outside 0 to 65536 MB");
        EXPECT_EQ(trace.implausible()[2].line, 7);
        EXPECT_TRUE(DiaryTrace::read(withFreeMemory(clean, "65536", { 7 }), "me").implausible().empty())
            << "64 GB itself is a phone's";

        auto fromClean = suggested(clean), fromHostile = suggested(hostile);
        ASSERT_EQ(fromClean->outcome(), Suggestion::Outcome::Within);
        EXPECT_EQ(fromHostile->outcome(), Suggestion::Outcome::Within);
        EXPECT_EQ(fromHostile->threshold(), fromClean->threshold());
    }

    // Figures at the end of a 64-bit integer once wrapped round to "under every threshold", and
    // the pane suggested its lowest setting; a diary of zeros fell back on the default phone.
    TEST(ImplausibleFigures, ADiaryWithNoUsableFigureSuggestsNothing)
    {
        std::string clean = sv::test::twoWholeDaysOfFiveApplications();
        for (const char* figure : { "9223372036854775807", "-9223372036854775808", "1000000000000", "0" }) {
            EXPECT_EQ(suggested(withFreeMemory(clean, figure))->outcome(), Suggestion::Outcome::TooLittle) << figure;
        }

        DeviceRoot folder;
        std::string path = folder.path() + "/Diary.tsv";
        sv::test::writeHostFile(path, withFreeMemory(clean, "0"));
        auto zeros = replayTool({ "--trace", path, "--thresholds", "100", "--json" });
        EXPECT_EQ(zeros.status, 0) << zeros.err;
        EXPECT_NE(zeros.err.find("sleepvane-replay: " + path + ": no free-memory figure above 0 to tell its device by"),
                  std::string::npos)
            << zeros.err;

        sv::test::writeHostFile(path, withFreeMemory(clean, "9223372036854775807", { 2, 3, 4, 5, 6, 7, 8, 9, 10 }));
        auto huge = replayTool({ "--trace", path, "--thresholds", "100", "--json" });
        EXPECT_EQ(huge.status, 1) << "bad lines";
        EXPECT_NE(huge.err.find(path + ": line 2: free memory of 9223372036854775807 MB lies outside 0 to 65536 MB\n"),
                  std::string::npos)
            << huge.err;
        std::smatch lowest;
        ASSERT_TRUE(std::regex_search(huge.out, lowest, std::regex("\"lowest_free\": ([-0-9.]+)"))) << huge.out;
        EXPECT_GE(std::stod(lowest[1]), 0);
        EXPECT_LE(std::stod(lowest[1]), 65536);
    }

    TEST(ImplausibleFigures, ADeviceNoPhoneHasIsRefusedNamingTheRange)
    {
        for (const char* device : { "total=3e9", "total=70000,base=1024", "total=4096,base=1e12", "total=4096,floor=1e9" }) {
            auto run = replayTool({ "--device", device, "--days", "1", "--people", "1" });
            EXPECT_EQ(run.status, 2) << device;
            EXPECT_NE(run.err.find("from 0 to 65536"), std::string::npos) << device << ": " << run.err;
            EXPECT_EQ(run.out, "");
        }
        EXPECT_EQ(replayTool({ "--device", "total=65536,base=1024", "--days", "1", "--people", "1", "--thresholds",
                               "100", "--policies", "parts" })
                      .status,
                  0);
    }

    TEST(PrintedNames, WhatCannotShowAsItselfIsAVisibleEscape)
    {
        const std::pair<std::string, std::string> cases[] = {
            { "com.example.mail", "com.example.mail" },
            { "Caf\xc3\xa9 \xf0\x9f\x98\x80", "Caf\xc3\xa9 \xf0\x9f\x98\x80" }, // two and four bytes, as themselves
            { "a\xe2\x80\xa8" "b\xe2\x80\xa9" "c", "a\\u2028b\\u2029c" },   // line and paragraph separators
            { "a\xc2\x85" "b\x1b[31mc\x7f", "a\\u0085b\\u001b[31mc\\u007f" }, // C1, C0 and DEL
            { "\xef\xbb\xbfmaps\xe2\x80\xae", "\\ufeffmaps\\u202e" },         // byte-order mark, right-to-left override
            { "a\xff" "b\xc0\x80" "c", "a\\xffb\\xc0\\x80c" },               // no UTF-8, an overlong NUL
            { "\xed\xa0\x80\xe2\x80", "\\xed\\xa0\\x80\\xe2\\x80" },         // a surrogate, a sequence cut short
            { "back\\slash", "back\\\\slash" },                              // so that an escape is never ambiguous
        };
        for (const auto& [raw, shown] : cases)
            EXPECT_EQ(printable(raw), shown) << shown;
        // JSON takes the same visible text: valid whatever the name held.
        EXPECT_EQ(jsonString("say \"hi\"\xe2\x80\xa8\xff"), "\"say \\\"hi\\\"\\\\u2028\\\\xff\"");
    }

    TEST(PrintedNames, ShowFootprintsPrintsEachNameOnItsOwnLineEscaped)
    {
        DeviceRoot folder;
        std::string trace = folder.path() + "/names.tsv";
        std::string rows = "user_id\tsession_id\ttimestamp\tapp_name\tevent_type\n";
        const char* names[] = { "Line\xe2\x80\xa8" "Break", "C1\xc2\x85" "Next", "Bad\xff" "Byte" };
        for (int i = 0; i < 3; ++i)
            rows += "1\t1\t2018-01-16 08:0" + std::to_string(i) + ":00\t" + names[i] + "\tOpened\n";
        sv::test::writeHostFile(trace, rows);
        auto run = replayTool({ "--trace", trace, "--show-footprints", "--thresholds", "100", "--policies", "parts" });
        ASSERT_EQ(run.status, 0) << run.err;
        for (const char* shown : { "  Line\\u2028Break ", "  C1\\u0085Next ", "  Bad\\xffByte " })
            EXPECT_NE(run.out.find(shown), std::string::npos) << shown << "\n" << run.out;
        EXPECT_EQ(run.out.find("\xe2\x80\xa8"), std::string::npos);
        EXPECT_EQ(run.out.find('\xff'), std::string::npos);
    }

    TEST(FootprintsFile, NamesTheRunNeverMetAreSaidAndANameGivenTwiceIsRefused)
    {
        DeviceRoot folder;
        std::string file = folder.path() + "/footprints.txt", trace = folder.path() + "/day.tsv";
        sv::test::writeHostFile(trace, "user_id\tsession_id\ttimestamp\tapp_name\tevent_type\n"
                                       "1\t1\t2018-01-16 08:00:00\tChrome\tOpened\n"
                                       "1\t1\t2018-01-16 08:01:00\tMaps\tOpened\n");
        // A byte-order mark glued to the first name, and a typo.
        sv::test::writeHostFile(file, "\xef\xbb\xbf" "Chrome 250\nmaps 200\nSpotfy 180\n");
        auto run = replayTool({ "--footprints", file, "--trace", trace, "--thresholds", "100", "--policies", "parts" });
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find(file + ": line 1: \\ufeffChrome matches no application of the run\n"), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find(file + ": line 3: Spotfy matches no application of the run\n"), std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find("line 2"), std::string::npos) << "names compare without case";

        sv::test::writeHostFile(file, "Maps 200\nChrome 250\nmaps 90\n");
        auto twice = replayTool({ "--footprints", file, "--people", "1", "--days", "1" });
        EXPECT_EQ(twice.status, 2);
        EXPECT_EQ(twice.err, file + ": line 3: maps is given twice (first on line 1)\n");
        EXPECT_EQ(twice.out, "");
    }

    // A run that may take hours learns before it starts that its output has nowhere to go.
    TEST(OutputPaths, AnOutputThatCannotBeWrittenIsRefusedBeforeTheRunWithTheReason)
    {
        DeviceRoot folder;
        sv::test::writeHostFile(folder.path() + "/file.txt", "");
        const std::pair<std::vector<std::string>, std::string> cases[] = {
            { { "--chart", folder.path() + "/missing/chart.png" },
              "cannot write " + folder.path() + "/missing/chart.png: No such file or directory" },
            { { "--chart", folder.path() }, "cannot write " + folder.path() + ": Is a directory" },
            { { "--write-trace", folder.path() + "/file.txt/days.tsv" },
              "cannot write " + folder.path() + "/file.txt/days.tsv: Not a directory" },
        };
        for (const auto& [args, said] : cases) {
            std::vector<std::string> all = args;
            all.insert(all.end(), { "--people", "1000", "--days", "1000" });
            auto run = replayTool(all, 20);
            EXPECT_EQ(run.status, 2) << said;
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err.rfind("sleepvane-replay: " + said, 0), 0u) << run.err;
            EXPECT_EQ(run.err.find("days replayed"), std::string::npos) << "nothing was played";
        }
    }

    TEST(RepeatedOptions, AnOptionOfOneValueGivenTwiceIsRefused)
    {
        for (const char* option : { "--days", "--people", "--seed" }) {
            auto run = replayTool({ option, "2", option, "3" });
            EXPECT_EQ(run.status, 2) << option;
            EXPECT_EQ(run.err, std::string("sleepvane-replay: ") + option + " is given twice (it takes one value)\n");
        }
        EXPECT_EQ(replayTool({ "--thresholds", "100", "--thresholds", "200" }).status, 2);
        EXPECT_EQ(replayTool({ "--chart", "/tmp/a.png", "--chart", "/tmp/b.png" }).status, 2);
    }

} // namespace
} // namespace replay

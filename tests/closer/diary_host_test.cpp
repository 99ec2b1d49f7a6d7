// The diary in the real home-screen host on the virtual clock: a scripted day's lines, as `show
// diary` prints them and as the file holds them, and the replay reading the file as a diary: the
// same file cut to the LSApp fields is read as an LSApp trace, which knows less.
#include "contract/diary_file.h"
#include "tests/support/device_root.h"
#include "tests/support/diary_lines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <sstream>

namespace {

using Lines = std::vector<std::string>;

using sv::test::splitLines;

using sv::test::diaryLine;

const char* kDay = R"(settings learnFromUse on
settings ramValue 200
settings always com.example.mail
app com.example.news "News" mem=150
app com.example.mail "Mail" mem=50
app com.example.maps "Maps" mem=150
app com.example.radio "Radio" mem=60 audio playing
launch com.example.news
state com.example.news 4
wait 30
launch com.example.mail
state com.example.mail 4
state com.example.news 2
wait 20
launch com.example.maps
state com.example.maps 4
state com.example.mail 2
wait 5
call incoming
wait 10
call none
launch com.example.radio
state com.example.radio 4
state com.example.maps 2
wait 10
home
state com.example.radio 3
wait 400
launch com.example.news
state com.example.news 4
wait 61
show diary
)";

TEST(DiaryHost, AScriptedDayIsInTheDiaryLineByLineAndTheReplayReadsItAsTheDayItWas)
{
    sv::test::DeviceRoot root;
    sv::test::installLibrary(root.path());
    ::setenv("TZ", "XYZ-2", 1);
    auto result = sv::test::runProcess(
        { sv::test::buildPath("hosts/springboard/springboard-host"), "--root", root.path(), "--virtual-clock" }, kDay);
    ::unsetenv("TZ");
    ASSERT_EQ(result.status, 0) << result.err;

    const Lines expected = {
        diaryLine(1, 0, "com.example.news", "Opened", 362),
        diaryLine(1, 30, "com.example.mail", "Opened", 312),
        diaryLine(1, 30, "com.example.news", "Closed", 312, "2"),
        diaryLine(1, 50, "com.example.maps", "Opened", 162),
        diaryLine(1, 50, "com.example.mail", "Closed", 162, "2"),
        diaryLine(1, 51, "com.example.mail", "Sleepvane Close", 212, "Always list"),
        diaryLine(1, 55, "-", "Call Start", 212),
        diaryLine(1, 65, "-", "Call End", 212),
        diaryLine(1, 65, "com.example.radio", "Opened", 152),
        diaryLine(1, 65, "com.example.maps", "Closed", 152, "2"),
        diaryLine(1, 66, "com.example.news", "Sleepvane Close", 302, "Low memory"),
        diaryLine(1, 75, "com.example.radio", "Closed", 302, "3"),
        diaryLine(2, 475, "com.example.news", "Opened", 152),
    };
    std::string diaryPath = root.host(std::string(slv::diary::Path));
    Lines file = splitLines(sv::test::readHostFile(diaryPath));
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file.front(), slv::diary::Header);
    EXPECT_EQ(Lines(file.begin() + 1, file.end()), expected);
    Lines shown;
    for (const std::string& out : splitLines(result.out))
        if (out.find("] diary ") != std::string::npos)
            shown.push_back(out.substr(out.find("] diary ") + 8));
    EXPECT_EQ(shown, expected);

    // The same day cut to LSApp's own fields and events, as a trace from elsewhere would be.
    std::string cut = root.host("/cut.tsv");
    std::string lsapp = "user_id\tsession_id\ttimestamp\tapp_name\tevent_type\n";
    for (const std::string& text : expected) {
        auto parsed = slv::diary::parseLine(text);
        ASSERT_TRUE(parsed) << text;
        if (parsed->kind == slv::diary::Kind::Opened || parsed->kind == slv::diary::Kind::Closed) {
            std::size_t fifth = 0;
            for (int tab = 0; tab < 5; ++tab)
                fifth = text.find('\t', fifth) + 1;
            lsapp += text.substr(0, fifth - 1) + "\n";
        }
    }
    sv::test::writeHostFile(cut, lsapp);
    auto replay = [](const std::string& trace) {
        return sv::test::runProcess({ sv::test::buildPath("tools/replay/sleepvane-replay"), "--trace", trace,
                                      "--thresholds", "100,200,300", "--policies", "parts" });
    };
    auto fromDiary = replay(diaryPath);
    auto fromCut = replay(cut);
    EXPECT_EQ(fromDiary.status, 0) << fromDiary.err;
    EXPECT_EQ(fromDiary.err.find(": line "), std::string::npos) << fromDiary.err;
    EXPECT_EQ(fromCut.status, 0) << fromCut.err;
    EXPECT_FALSE(fromDiary.out.empty());
    // The diary is played as the day was: its four leaves (Radio's with state 3), none invented
    // at the day's end where News is still in front, on the phone its free memory shows; the
    // LSApp cut has a fifth leave at its end, and the command line's phone.
    auto row = [](const std::string& out, const char* threshold) {
        auto at = out.find("\nparts                " + std::string(threshold) + " ");
        return at == std::string::npos ? std::string() : out.substr(at + 1, out.find('\n', at + 1) - at - 1);
    };
    EXPECT_EQ(row(fromDiary.out, "100").substr(0, 45), "parts                100        4        5   ") << fromDiary.out;
    EXPECT_EQ(row(fromCut.out, "100").substr(0, 45), "parts                100        5        5   ") << fromCut.out;
    EXPECT_NE(fromDiary.out.find("device of " + diaryPath + " (from its free memory: applications have 512 MB"),
              std::string::npos)
        << fromDiary.out;
    EXPECT_EQ(fromCut.out.rfind("device: ", 0), 0u) << fromCut.out;
}

} // namespace

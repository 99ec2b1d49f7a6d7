// The diary of use in the library on the manual clock: its lines, its timer (at most one write a
// minute, no timer while nothing changed), its bounds, the switch, and hostile files in its place,
// none of which delays or stops a close.
#include "closer/diary.h"
#include "contract/diary_file.h"
#include "platform/foundation/files.h"
#include "tests/closer/closer_fixture.h"
#include "tests/support/diary_lines.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fsys = std::filesystem;

namespace {

using sv::test::diaryLine;

class DiaryTest : public CloserTest {
protected:
    void SetUp() override
    {
        if (const char* tz = std::getenv("TZ"))
            savedTz_ = tz;
        ::setenv("TZ", "XYZ-2", 1);
        ::tzset();
        CloserTest::SetUp();
        sv::fs::createDirectories(slv::path::DataFolder);
        play({ "app news \"News\" mem=100", "app radio \"Radio\" mem=100", "app mail \"Mail\" mem=50",
               "app music \"Music\" mem=50 audio playing" });
    }
    void TearDown() override
    {
        CloserTest::TearDown();
        if (savedTz_)
            ::setenv("TZ", savedTz_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

    static std::string path() { return sv::fs::resolve(slv::diary::Path); }
    static std::string asidePath() { return sv::fs::resolve(slv::diary::SetAsidePath); }

    // The diary's lines after its header, once the writer is done.
    Lines lines()
    {
        DiaryWriter::shared().flush();
        auto file = sv::test::readDiaryFile(path());
        if (file.header) {
            EXPECT_EQ(*file.header, slv::diary::Header);
        }
        return file.lines;
    }
    std::size_t logged(const std::string& part) const
    {
        return static_cast<std::size_t>(std::count_if(logLines.begin(), logLines.end(),
                                                      [&](const std::string& l) { return l.find(part) != std::string::npos; }));
    }
    static ino_t inode(const std::string& file)
    {
        struct stat info {};
        return ::lstat(file.c_str(), &info) == 0 ? info.st_ino : 0;
    }

private:
    std::optional<std::string> savedTz_;
};

TEST_F(DiaryTest, EachForegroundChangeCloseAndCallIsOneLineWithItsTimeFreeMemoryAndSession)
{
    play({ "settings learnFromUse on", "settings ramValue 200", "settings always mail" });
    play({ "launch news", "state news 4", "wait 10", "launch mail", "state mail 4", "state news 2", "wait 10",
           "home", "state mail 2", "wait 5", "call incoming", "wait 2", "call active", "wait 3", "call none" });
    // Nothing in front since mail left at 20 s: 299.5 s later is the same session, 300 s a new one.
    play({ "wait 289.5", "launch music", "state music 4", "wait 10", "home", "state music 3", "wait 300",
           "launch news", "state news 4", "free 100", "home", "state news 2", "wait 61" });
    EXPECT_EQ(lines(), (Lines {
                           diaryLine(1, 0, "news", "Opened", 412),
                           diaryLine(1, 10, "mail", "Opened", 362),
                           diaryLine(1, 10, "news", "Closed", 362, "2"),
                           diaryLine(1, 20, "mail", "Closed", 362, "2"),
                           diaryLine(1, 21, "mail", "Sleepvane Close", 412, "Always list"),
                           diaryLine(1, 25, "-", "Call Start", 412),
                           diaryLine(1, 30, "-", "Call End", 412),
                           diaryLine(1, 319.5, "music", "Opened", 362),
                           diaryLine(1, 329.5, "music", "Closed", 362, "3"),
                           diaryLine(2, 629.5, "news", "Opened", 362),
                           diaryLine(2, 629.5, "news", "Closed", 100, "2"),
                           diaryLine(2, 630.5, "news", "Sleepvane Close", 100, "Low memory"),
                       }));
    for (const std::string& text : lines())
        EXPECT_TRUE(slv::diary::parseLine(text)) << text;
}

TEST_F(DiaryTest, AppendedAMinuteAfterTheFirstChangeAtMostOnceAMinuteAndNoTimerWhileNothingChanged)
{
    play({ "settings learnFromUse on", "launch news", "state news 4", "wait 59.5" });
    EXPECT_FALSE(fsys::exists(path()));
    play({ "wait 0.5" });
    EXPECT_EQ(lines().size(), 1u);
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);
    ino_t first = inode(path());
    play({ "wait 0.5", "launch radio", "state radio 4", "wait 0.5", "state news 2", "wait 59.4" });
    EXPECT_EQ(lines().size(), 1u);
    play({ "wait 0.1" });
    EXPECT_EQ(lines().size(), 3u);
    // Appended to, not written anew each minute.
    EXPECT_EQ(inode(path()), first);
    play({ "wait 3600" });
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);
    EXPECT_EQ(lines().size(), 3u);
}

TEST_F(DiaryTest, NothingIsNotedWhileTheSwitchIsOffAndTheClosesAreAsBefore)
{
    play({ "settings always news", "launch news", "state news 4", "launch radio", "state radio 4", "state news 2",
           "call active", "call none", "wait 120" });
    EXPECT_EQ(timeline(), (Lines { "[0.000] state news 4", "[0.000] state radio 4", "[0.000] state news 2",
                                   "[1.000] closed news" }));
    EXPECT_FALSE(fsys::exists(path()));
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);
}

TEST_F(DiaryTest, TurnedOffWhatWaitsIsDroppedAndTheDiaryDeletedThenOnAgainANewOneBegins)
{
    play({ "settings learnFromUse on", "launch news", "state news 4", "wait 61" });
    sv::test::writeHostFile(asidePath(), "set aside before\n");
    play({ "launch radio", "state radio 4", "settings learnFromUse off", "wait 61" });
    DiaryWriter::shared().flush();
    EXPECT_FALSE(fsys::exists(path()));
    EXPECT_FALSE(fsys::exists(asidePath()));
    play({ "settings learnFromUse on", "state radio 2", "wait 61" });
    EXPECT_EQ(lines(), Lines { diaryLine(1, 122, "radio", "Closed", 312, "2") });
}

TEST_F(DiaryTest, ADiaryDeletedOrReplacedUnderneathIsNeverAddedToAsItWas)
{
    // As the pane deletes it when the switch goes off and on again within the minute.
    play({ "settings learnFromUse on", "launch news", "state news 4", "wait 61" });
    ASSERT_EQ(lines().size(), 1u);
    fsys::remove(path());
    play({ "launch radio", "state radio 4", "wait 61" });
    EXPECT_EQ(lines(), Lines { diaryLine(1, 61, "radio", "Opened", 312) });
    // Replaced by a diary grown elsewhere: read again, not appended to blindly.
    sv::test::writeHostFile(path(), std::string(slv::diary::Header) + "\n" + diaryLine(7, 100, "mail", "Opened", 300) + "\n");
    play({ "home", "state radio 2", "wait 61" });
    EXPECT_EQ(lines(), (Lines { diaryLine(7, 100, "mail", "Opened", 300), diaryLine(7, 122, "radio", "Closed", 312, "2") }));
}

TEST_F(DiaryTest, ADiaryFoundWithTheSwitchOffIsDeletedAtTheFirstLook)
{
    sv::test::writeHostFile(path(), std::string(slv::diary::Header) + "\n" + diaryLine(1, -60, "news", "Opened", 400) + "\n");
    sv::test::writeHostFile(asidePath(), "x");
    // Off in a file the home screen finds at its start (no pane's off: no stamp moved, nothing deleted).
    slv::updateSettings([](sv::Dictionary& settings) {
        settings[std::string(slv::key::LearnFromUse)] = false;
        return true;
    });
    play({ "launch news", "state news 4" });
    DiaryWriter::shared().flush();
    EXPECT_FALSE(fsys::exists(path()));
    EXPECT_FALSE(fsys::exists(asidePath()));
}

TEST_F(DiaryTest, SevenDaysAtMostTheOldestGoingFirst)
{
    play({ "settings learnFromUse on" });
    for (int day = 0; day < 9; ++day)
        play({ "launch news", "state news 4", "home", "state news 2", "wait 86400" });
    std::vector<std::string> dates;
    for (const std::string& text : lines())
        if (dates.empty() || dates.back() != text.substr(4, 10))
            dates.push_back(text.substr(4, 10));
    EXPECT_EQ(dates, (Lines { "2026-01-03", "2026-01-04", "2026-01-05", "2026-01-06", "2026-01-07", "2026-01-08",
                              "2026-01-09" }));
    EXPECT_FALSE(fsys::exists(path() + ".tmp"));
}

std::string plantedLine(const std::string& date, const std::string& app)
{
    return "1\t1\t" + date + " 01:00:00\t" + app + "\tOpened\t1767222000000\t300\t\n";
}

// A diary of lines on the given dates, 10 bytes short of 2 MB, the last date's last.
std::string fullDiary(const Lines& dates)
{
    const std::size_t target = slv::diary::kMaximumSize - 10;
    std::string text = std::string(slv::diary::Header) + "\n";
    const std::size_t share = (target - text.size() - 200) / dates.size();
    const std::size_t start = text.size();
    for (std::size_t d = 0; d < dates.size(); ++d)
        for (int n = 0; text.size() < start + (d + 1) * share; ++n)
            text += plantedLine(dates[d], "com.example.app" + std::to_string(n % 10));
    std::size_t bare = plantedLine(dates.back(), "").size();
    return text + plantedLine(dates.back(), std::string(target - text.size() - bare, 'a'));
}

TEST_F(DiaryTest, TwoMegabytesAtMostTheOldestDayFirstRewrittenWhole)
{
    sv::test::writeHostFile(path(), fullDiary({ "2025-12-28", "2025-12-29", "2026-01-01" }));
    ino_t before = inode(path());
    play({ "settings learnFromUse on", "launch news", "state news 4", "wait 61" });
    Lines after = lines();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front().substr(4, 10), "2025-12-29");
    EXPECT_EQ(after.back(), diaryLine(2, 0, "news", "Opened", 412));
    EXPECT_LE(fsys::file_size(path()), slv::diary::kMaximumSize);
    EXPECT_NE(inode(path()), before);
    EXPECT_FALSE(fsys::exists(path() + ".tmp"));
    // Of a single day, its oldest lines.
    sv::test::writeHostFile(path(), fullDiary({ "2026-01-01" }));
    Diary::shared().reset();
    play({ "launch radio", "state radio 4", "wait 61" });
    after = lines();
    EXPECT_EQ(after.back(), diaryLine(2, 61, "radio", "Opened", 312));
    EXPECT_GT(fsys::file_size(path()), slv::diary::kMaximumSize - 200);
    EXPECT_LE(fsys::file_size(path()), slv::diary::kMaximumSize);
}

TEST_F(DiaryTest, AfterARestartTheSessionGoesOnFromTheLastLine)
{
    play({ "settings learnFromUse on", "launch news", "state news 4", "wait 61" });
    Diary::shared().reset(); // a new home screen: it knows nothing of the file
    play({ "wait 139", "launch radio", "state radio 4", "wait 61" });
    Diary::shared().reset();
    play({ "wait 239", "launch mail", "state mail 4", "wait 61" });
    EXPECT_EQ(lines(), (Lines { diaryLine(1, 0, "news", "Opened", 412), diaryLine(1, 200, "radio", "Opened", 312),
                                diaryLine(2, 500, "mail", "Opened", 262) }));
}

TEST(DiaryFormat, ALineIsReadBackAsWrittenAndAnythingElseIsNoLine)
{
    slv::diary::DiaryLine entry { 3, 1767225600123, "com.example.news", slv::diary::Kind::OurClose, 87, "Low memory" };
    long day = 0;
    auto text = slv::diary::lineOf(entry, &day);
    ASSERT_TRUE(text && text->ends_with("\n"));
    slv::diary::Timestamp stamp;
    auto read = slv::diary::parseLine(std::string_view(*text).substr(0, text->size() - 1), &stamp);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, entry);
    // The date the writer keeps is the one the line is read back with, around midnight too.
    EXPECT_EQ(day, stamp.day);
    for (std::int64_t ms : { std::int64_t(1767225599999), std::int64_t(1767225600000), std::int64_t(-1) }) {
        auto line = slv::diary::lineOf({ 1, ms, "news", slv::diary::Kind::Opened, 1, "" }, &day);
        ASSERT_TRUE(line);
        ASSERT_TRUE(slv::diary::parseLine(std::string_view(*line).substr(0, line->size() - 1), &stamp));
        EXPECT_EQ(day, stamp.day) << ms;
        EXPECT_EQ(slv::diary::dayOf(ms), day);
    }
    // A moment outside the years a line can bear makes none, rather than one read back as none.
    EXPECT_FALSE(slv::diary::lineOf({ 1, slv::diary::kLatestMs + 1, "news", slv::diary::Kind::Opened, 1, "" }));
    EXPECT_FALSE(slv::diary::dayOf(slv::diary::kEarliestMs - 1));
    entry.app = "com.example.\tnews";
    EXPECT_FALSE(slv::diary::lineOf(entry));
    for (const char* bad : { "1\t1\t2026-01-01 00:00:00\tnews\tOpened\t1767225600000\t412",
                             "1\t1\t2026-01-01 00:00:00\tnews\tOpened\t1767225600000\t412\t\t",
                             "1\t0\t2026-01-01 00:00:00\tnews\tOpened\t1767225600000\t412\t",
                             "1\t1\t2026-02-30 00:00:00\tnews\tOpened\t1767225600000\t412\t",
                             "1\t1\t2026-01-01 00:00:00\tnews\tStarted\t1767225600000\t412\t",
                             "1\t1\t2026-01-01 00:00:00\t\tOpened\t1767225600000\t412\t",
                             "1\t1\t2026-01-01 00:00:00\tnews\tOpened\t1767225600000\t4x12\t",
                             "1\t1\t2026-01-01 00:00:00\tnews\tClosed\t1767225600000\t412\t2\r" })
        EXPECT_FALSE(slv::diary::parseLine(bad)) << bad;
}

// Hostile files in the diary's place: each is set aside (logged once) and a new diary begun, or,
// for a torn last line, the line cut; no close waits for any of it.
struct Hostile {
    const char* what;
    std::function<void(const std::string& path)> plant;
    std::function<void(const std::string& aside)> check; // what was set aside; null: nothing is
};

class HostileDiaryTest : public DiaryTest, public ::testing::WithParamInterface<int> { };

std::vector<Hostile> hostileDiaries()
{
    // A link leads to a diary, which would take our lines if the link were followed.
    auto other = [] { return sv::fs::resolve("/var/mobile/Library/Other.txt"); };
    static const std::string kept = std::string(slv::diary::Header) + "\n";
    return {
        { "a link", [other](const std::string& path) {
              sv::test::writeHostFile(other(), kept);
              fsys::create_symlink(other(), path);
          },
          [other](const std::string& aside) {
              EXPECT_TRUE(fsys::is_symlink(aside));
              EXPECT_EQ(sv::test::readHostFile(other()), kept);
          } },
        { "a hard link", [other](const std::string& path) {
              sv::test::writeHostFile(other(), kept);
              fsys::create_hard_link(other(), path);
          },
          [other](const std::string& aside) {
              EXPECT_EQ(fsys::hard_link_count(aside), 2u);
              EXPECT_EQ(sv::test::readHostFile(other()), kept);
          } },
        { "a FIFO", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); },
          [](const std::string& aside) { EXPECT_TRUE(fsys::is_fifo(aside)); } },
        { "a folder", [](const std::string& path) { sv::test::writeHostFile(path + "/inside", "x"); },
          [](const std::string& aside) { EXPECT_TRUE(fsys::exists(aside + "/inside")); } },
        { "50 MB", [](const std::string& path) {
              sv::test::writeHostFile(path, std::string(slv::diary::Header) + "\n");
              fsys::resize_file(path, 50u << 20);
          },
          [](const std::string& aside) { EXPECT_EQ(fsys::file_size(aside), 50u << 20); } },
        { "garbage", [](const std::string& path) { sv::test::writeHostFile(path, std::string("\x89PNG\r\n\0\0junk\n", 14)); },
          [](const std::string& aside) { EXPECT_EQ(sv::test::readHostFile(aside), std::string("\x89PNG\r\n\0\0junk\n", 14)); } },
        { "a bad line after good ones", [](const std::string& path) {
              sv::test::writeHostFile(path, std::string(slv::diary::Header) + "\n" + diaryLine(1, -60, "news", "Opened", 400)
                                          + "\nnot\ta\tline\n");
          },
          [](const std::string& aside) { EXPECT_TRUE(sv::test::readHostFile(aside).ends_with("not\ta\tline\n")); } },
        { "a torn last line", [](const std::string& path) {
              sv::test::writeHostFile(path, std::string(slv::diary::Header) + "\n" + diaryLine(3, -3600, "radio", "Opened", 400)
                                          + "\n1\t3\t2026-01-01 01:0");
          },
          nullptr },
    };
}

TEST_P(HostileDiaryTest, IsSetAsideOrCutAndNeverStopsAClose)
{
    const Hostile hostile = hostileDiaries()[static_cast<std::size_t>(GetParam())];
    SCOPED_TRACE(hostile.what);
    hostile.plant(path());
    play({ "settings learnFromUse on", "settings always news", "launch news", "state news 4", "launch radio",
           "state radio 4", "state news 2", "wait 61" });
    EXPECT_EQ(eventsStartingWith("closed "), Lines { "closed news" });
    Lines events = timeline();
    EXPECT_NE(std::find(events.begin(), events.end(), "[1.000] closed news"), events.end());
    int session = hostile.check ? 1 : 4; // a torn diary goes on from its last whole line, an hour ago
    Lines expected = { diaryLine(session, 0, "news", "Opened", 412), diaryLine(session, 0, "radio", "Opened", 312),
                       diaryLine(session, 0, "news", "Closed", 312, "2"), diaryLine(session, 1, "news", "Sleepvane Close", 412, "Always list") };
    if (!hostile.check)
        expected.insert(expected.begin(), diaryLine(3, -3600, "radio", "Opened", 400));
    EXPECT_EQ(lines(), expected);
    if (hostile.check) {
        hostile.check(asidePath());
        EXPECT_EQ(logged("set aside as"), 1u) << ::testing::PrintToString(logLines);
    } else {
        EXPECT_FALSE(fsys::exists(asidePath()));
        EXPECT_TRUE(logLines.empty()) << ::testing::PrintToString(logLines);
    }
    // Logged once: the next minute's lines go to the new diary without a word.
    play({ "state radio 2", "wait 61" });
    EXPECT_EQ(lines().size(), expected.size() + 1);
    EXPECT_EQ(logged("Sleep Vane:"), hostile.check ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Diary, HostileDiaryTest, ::testing::Range(0, static_cast<int>(hostileDiaries().size())),
                         [](const auto& info) {
                             std::string name = hostileDiaries()[static_cast<std::size_t>(info.param)].what;
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return name;
                         });

TEST_F(DiaryTest, ADiaryThatCannotBeKeptIsSaidOnceAndNeverStopsAClose)
{
    // A file where the diary's folder would be.
    fsys::remove_all(sv::fs::resolve(slv::path::DataFolder));
    sv::test::writeHostFile(sv::fs::resolve(slv::path::DataFolder), "x");
    play({ "settings learnFromUse on", "settings always news", "launch news", "state news 4", "launch radio",
           "state radio 4", "state news 2", "wait 61", "state radio 2", "wait 61" });
    DiaryWriter::shared().flush();
    EXPECT_EQ(eventsStartingWith("closed "), Lines { "closed news" });
    EXPECT_EQ(logged("the diary"), 1u) << ::testing::PrintToString(logLines);
    EXPECT_EQ(logged("Sleep Vane: cannot keep the diary in /var/mobile/Library/Sleepvane/Diary.tsv; use goes unrecorded"), 1u);
}

} // namespace

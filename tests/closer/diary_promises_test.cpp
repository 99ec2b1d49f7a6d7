// What the diary promises, held against the library on the manual clock: off means gone (what was
// noted before an off never lands, even with the switch on again by the minute's write, and a
// write never lands after an off's delete); no day is lost to a clock moved back or forward; only
// the switch deletes it; a delete that fails is said and tried again; hostile numbers and a
// folder set aside never stop it.
#include "closer/diary.h"
#include "contract/diary_file.h"
#include "platform/foundation/files.h"
#include "tests/closer/closer_fixture.h"
#include "tests/support/diary_lines.h"
#include "tests/support/undeletable.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace fsys = std::filesystem;

namespace {

using sv::test::diaryLine;

// The manual clock with a wall clock that can be set apart from it, as a user sets the time.
class MovableWallClock final : public sv::Clock {
public:
    Duration now() const override { return now_; }
    WallTime wallNow() const override
    {
        return sv::ManualClock::kWallOrigin + std::chrono::duration_cast<std::chrono::system_clock::duration>(now_ + shift);
    }
    bool movesOnlyWhenMoved() const override { return true; }
    void advanceTo(Duration time) override { now_ = std::max(now_, time); }
    Duration shift { 0 };

private:
    Duration now_ { 0 };
};

class DiaryPromisesTest : public sv::test::CloserTest {
protected:
    void SetUp() override
    {
        if (const char* tz = std::getenv("TZ"))
            savedTz_ = tz;
        setTimeZone("XYZ-2");
        CloserTest::SetUp();
        sv::fs::createDirectories(slv::path::DataFolder);
        play({ "app news \"News\" mem=100", "app radio \"Radio\" mem=100", "app mail \"Mail\" mem=50" });
    }
    void TearDown() override
    {
        CloserTest::TearDown();
        if (savedTz_)
            setTimeZone(savedTz_->c_str());
        else
            ::unsetenv("TZ"), ::tzset();
    }
    static void setTimeZone(const char* zone)
    {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }

    static std::string path() { return sv::fs::resolve(slv::diary::Path); }
    static std::string asidePath() { return sv::fs::resolve(slv::diary::SetAsidePath); }
    static void writeDiary(const Lines& lines)
    {
        std::string text = std::string(slv::diary::Header) + "\n";
        for (const std::string& line : lines)
            text += line + "\n";
        sv::test::writeHostFile(path(), text);
    }
    // The switch as a hand-edited file or another writer leaves it: no stamp moved, nothing deleted.
    static void storeSwitch(sv::Value value)
    {
        slv::updateSettings([&](sv::Dictionary& settings) {
            settings[std::string(slv::key::LearnFromUse)] = value;
            return true;
        });
    }

    Lines lines()
    {
        DiaryWriter::shared().flush();
        return sv::test::readDiaryFile(path()).lines;
    }
    Lines dates()
    {
        Lines found;
        for (const std::string& text : lines())
            if (found.empty() || found.back() != text.substr(4, 10))
                found.push_back(text.substr(4, 10));
        return found;
    }
    std::size_t logged(const std::string& part) const
    {
        return static_cast<std::size_t>(std::count_if(logLines.begin(), logLines.end(),
                                                      [&](const std::string& l) { return l.find(part) != std::string::npos; }));
    }

private:
    std::optional<std::string> savedTz_;
};

TEST_F(DiaryPromisesTest, OffAndOnAgainWithinTheMinuteWritesNothingNotedBeforeTheOff)
{
    play({ "settings learnFromUse on", "launch news", "state news 4", "wait 1", "home", "state news 2", "wait 3",
           "settings learnFromUse off", "wait 1", "settings learnFromUse on", "wait 60" });
    // The minute's write found the stamp moved: nothing of before the off, no diary.
    EXPECT_FALSE(fsys::exists(path()));
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);
    play({ "launch radio", "state radio 4", "wait 61" });
    EXPECT_EQ(lines(), Lines { diaryLine(1, 65, "radio", "Opened", 312) });
    // The minute's write made at once (`show diary now`) reads the switch as the timer does.
    play({ "launch mail", "state mail 4", "settings learnFromUse off", "settings learnFromUse on" });
    Diary::shared().writeNow();
    EXPECT_FALSE(fsys::exists(path()));
}

TEST_F(DiaryPromisesTest, AWriteThatCrossesAnOffNeverLandsAfterItsDelete)
{
    play({ "settings learnFromUse on", "launch news", "state news 4", "wait 61" });
    ASSERT_EQ(lines().size(), 1u);
    const DiaryWriter::Present present { sv::test::DiaryLines::kOrigin + 70000, 70000 };
    auto event = [](const char* app) {
        return std::vector<slv::diary::DiaryLine> {
            { .timeMs = sv::test::DiaryLines::kOrigin + 70000, .app = app, .kind = slv::diary::Kind::Opened, .freeMB = 300, .detail = {} }
        };
    };
    {
        // The writer waits for the lock an off holds while it moves the stamp and deletes.
        auto held = slv::diary::lock(1);
        ASSERT_TRUE(held);
        DiaryWriter::shared().append(event("radio"), 0, present);
        slv::updateSettings([](sv::Dictionary& settings) {
            settings[std::string(slv::key::LearnFromUse)] = false;
            settings[std::string(slv::diary::OffsKey)] = std::int64_t { 1 };
            return true;
        });
        ASSERT_TRUE(slv::diary::remove());
    }
    DiaryWriter::shared().flush();
    EXPECT_FALSE(fsys::exists(path()));
    // Noted under the stamp that stands: written.
    DiaryWriter::shared().append(event("mail"), 1, present);
    EXPECT_EQ(lines().size(), 1u);
}

TEST_F(DiaryPromisesTest, NoDayIsLostToAClockSetBackOrForwardForAWhileOrToATripWest)
{
    auto clock = std::make_shared<MovableWallClock>();
    sv::RunLoop::main().setClock(clock);
    play({ "settings learnFromUse on" });
    for (int day = 0; day < 7; ++day) {
        play({ "launch news", "state news 4", "home", "state news 2" });
        if (day < 6)
            play({ "wait 86400" });
    }
    play({ "wait 61" });
    const std::set<std::string> week = { "2026-01-01", "2026-01-02", "2026-01-03", "2026-01-04",
                                         "2026-01-05", "2026-01-06", "2026-01-07" };
    auto keepsTheWeek = [&] {
        Lines found = dates();
        std::set<std::string> all(found.begin(), found.end());
        return std::includes(all.begin(), all.end(), week.begin(), week.end());
    };
    ASSERT_TRUE(keepsTheWeek());

    // Set back a day, its lines dated before the newest.
    clock->shift = std::chrono::hours(-24);
    play({ "launch radio", "state radio 4", "wait 61" });
    EXPECT_TRUE(keepsTheWeek());
    // A hundred days ahead for a few minutes, then back.
    clock->shift = std::chrono::hours(24 * 100);
    play({ "home", "state radio 2", "wait 61", "launch mail", "state mail 4", "wait 61" });
    EXPECT_TRUE(keepsTheWeek());
    clock->shift = {};
    play({ "home", "state mail 2", "wait 61" });
    EXPECT_TRUE(keepsTheWeek());
    // West across the date line: local dates go back.
    setTimeZone("XYZ+10");
    play({ "launch news", "state news 4", "wait 61" });
    EXPECT_TRUE(keepsTheWeek());
    setTimeZone("XYZ-2");
    EXPECT_EQ(dates().back(), "2026-01-06");

    // A correct clock, a day on: the oldest date goes, as it would have all along.
    play({ "wait 86400", "home", "state news 2", "wait 61" });
    Lines after = dates();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), "2026-01-02");
    EXPECT_EQ(after.back(), "2026-01-08");
}

TEST_F(DiaryPromisesTest, OnlyTheSwitchDeletesTheDiary)
{
    play({ "settings learnFromUse on", "launch news", "state news 4", "wait 61" });
    ASSERT_EQ(lines().size(), 1u);
    const std::string settings = sv::fs::resolve(slv::settingsPath());
    // Cut short, without the key, with a text under it: nothing noted, nothing deleted.
    std::string whole = sv::test::readHostFile(settings);
    sv::test::writeHostFile(settings, whole.substr(0, whole.size() / 2));
    play({ "launch radio", "state radio 4", "wait 61" });
    fsys::remove(settings);
    slv::updateSettings([](sv::Dictionary& changed) {
        changed[std::string(slv::key::RamValue)] = 100;
        return true;
    });
    play({ "launch mail", "state mail 4", "wait 61" });
    storeSwitch(sv::Value("no"));
    play({ "home", "state mail 2", "wait 61" });
    storeSwitch(sv::Value(std::nan("")));
    play({ "launch news", "state news 4", "wait 61" });
    EXPECT_EQ(lines().size(), 1u);
    EXPECT_EQ(sv::RunLoop::main().pendingTimers(), 0u);
    // The switch off (seen on before): gone at the next look.
    storeSwitch(sv::Value(std::int64_t { 0 }));
    play({ "home", "state news 2" });
    DiaryWriter::shared().flush();
    EXPECT_FALSE(fsys::exists(path()));
}

TEST_F(DiaryPromisesTest, AFailedDeleteIsLoggedOnceAndTriedAgainAtTheNextLook)
{
    play({ "settings learnFromUse on", "launch news", "state news 4", "wait 61" });
    ASSERT_EQ(lines().size(), 1u);
    sv::test::Undeletable folder(sv::fs::resolve(slv::path::DataFolder));
    if (!folder.ok())
        GTEST_SKIP() << "no way here to make a folder whose files cannot be deleted";
    storeSwitch(sv::Value(false));
    play({ "launch radio", "state radio 4" });
    DiaryWriter::shared().flush();
    play({ "launch mail", "state mail 4" });
    DiaryWriter::shared().flush();
    EXPECT_TRUE(fsys::exists(path()));
    EXPECT_EQ(logLines, Lines { "Sleep Vane: cannot delete the diary in /var/mobile/Library/Sleepvane/Diary.tsv; "
                                "tried again at the next use" });
    folder.release();
    play({ "home", "state mail 2" });
    DiaryWriter::shared().flush();
    EXPECT_FALSE(fsys::exists(path()));
    // Deleted: no more tries.
    play({ "launch news", "state news 4" });
    DiaryWriter::shared().flush();
    EXPECT_EQ(logLines.size(), 1u);
}

TEST_F(DiaryPromisesTest, SessionsAndTimesAtTheirBoundsNeverOverflow)
{
    const std::string session = std::to_string(slv::diary::kMaximumSession);
    play({ "settings learnFromUse on" });
    // The last session there may be: the numbering begins again.
    writeDiary({ "1\t" + session + "\t2026-01-01 01:50:00\tnews\tClosed\t" + std::to_string(sv::test::DiaryLines::kOrigin - 600000) + "\t300\t2" });
    play({ "launch radio", "state radio 4", "wait 61" });
    EXPECT_EQ(lines().back(), diaryLine(1, 0, "radio", "Opened", 412));
    EXPECT_FALSE(fsys::exists(asidePath()));
    // A session or a time no diary of ours holds: set aside, and a new diary begun.
    for (std::string hostile : { "1\t9223372036854775807\t2026-01-01 01:50:00\tnews\tClosed\t1767224400000\t300\t2",
                                        "1\t4\t2026-01-01 01:50:00\tnews\tClosed\t-999999999999999999\t300\t2" }) {
        SCOPED_TRACE(hostile);
        writeDiary({ hostile });
        Diary::shared().reset();
        play({ "home", "state radio 2", "wait 1", "launch mail", "state mail 4", "wait 61" });
        DiaryWriter::shared().flush();
        EXPECT_EQ(sv::test::readHostFile(asidePath()), std::string(slv::diary::Header) + "\n" + hostile + "\n")
            << ::testing::PrintToString(logLines);
        Lines written = lines();
        ASSERT_EQ(written.size(), 2u);
        EXPECT_EQ(written[0].substr(0, 4), "1\t1\t");
        EXPECT_EQ(written[1].substr(0, 4), "1\t1\t");
    }
}

TEST_F(DiaryPromisesTest, ANewSetAsideReplacesAnOlderFileOrFolder)
{
    play({ "settings learnFromUse on" });
    sv::test::writeHostFile(asidePath() + "/deep/er/inside", "x");
    sv::test::writeHostFile(path(), "not a diary\n");
    play({ "launch news", "state news 4", "wait 61" });
    DiaryWriter::shared().flush();
    EXPECT_EQ(sv::test::readHostFile(asidePath()), "not a diary\n");
    // A folder in the diary's place takes the place of the file set aside.
    Diary::shared().reset();
    fsys::remove(path());
    sv::test::writeHostFile(path() + "/inside", "y");
    play({ "launch radio", "state radio 4", "wait 61" });
    DiaryWriter::shared().flush();
    EXPECT_TRUE(fsys::is_directory(asidePath()));
    EXPECT_EQ(lines(), Lines { diaryLine(1, 61, "radio", "Opened", 312) });
    EXPECT_EQ(logged("set aside as"), 2u);
    EXPECT_EQ(logged("cannot keep"), 0u);
}

TEST_F(DiaryPromisesTest, IdentifiersThatWouldBreakALineAreLeftOut)
{
    play({ "settings learnFromUse on", "app com.example.\xc2\x85news \"Odd\" mem=10", "app com.example.\xe2\x80\xa8x \"Odd\" mem=10",
           "app com.example.\xff \"Odd\" mem=10", "app com.example.caf\xc3\xa9 \"Cafe\" mem=10" });
    play({ "launch com.example.\xc2\x85news", "state com.example.\xc2\x85news 4", "launch com.example.\xe2\x80\xa8x",
           "state com.example.\xe2\x80\xa8x 4", "launch com.example.\xff", "state com.example.\xff 4",
           "launch com.example.caf\xc3\xa9", "state com.example.caf\xc3\xa9 4", "wait 61" });
    Lines written = lines();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_NE(written[0].find("\tcom.example.caf\xc3\xa9\t"), std::string::npos);
}

TEST(DiaryFields, APlainFieldIsUtf8WithoutControlsOrLineBreaks)
{
    for (const char* plain : { "com.example.news", "caf\xc3\xa9", "\xe6\x97\xa5\xe8\xa8\x98", "\xf0\x9f\x98\x80", "\xc2\xa0",
                               "\xe2\x80\xa7", "" })
        EXPECT_TRUE(slv::diary::plainField(plain)) << plain;
    for (const char* broken : { "a\tb", "a\x7f", "\xc2\x80", "\xc2\x85", "\xc2\x9f", "\xe2\x80\xa8", "\xe2\x80\xa9",
                                "\xff", "\xc3", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\x80" })
        EXPECT_FALSE(slv::diary::plainField(broken)) << ::testing::PrintToString(std::string(broken));
}

} // namespace

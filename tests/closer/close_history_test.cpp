// The close history's writer: what each record holds, the reopen mark, the cap, and files that
// must not be written over.
#include "closer/close_history.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist/property_list.h"
#include "tests/support/process_test.h"

#include <filesystem>
#include <sys/stat.h>

namespace sv::test {
namespace {

namespace history = slv::history;

class CloseHistoryTest : public ProcessTest {
protected:
    void SetUp() override
    {
        startProcess("com.apple.springboard");
        sv::fs::createDirectories(slv::path::DataFolder);
        CloseHistory::shared().reset();
    }
    void TearDown() override
    {
        // The writer must be done with this root before it goes.
        CloseHistory::shared().reset();
        endProcess();
    }

    std::vector<history::Record> written()
    {
        CloseHistory::shared().flush();
        return history::read();
    }

    CloseHistory& log = CloseHistory::shared();
};

TEST_F(CloseHistoryTest, EachReasonMakesOneRecordAndPythonReadsThem)
{
    auto before = history::dateOf(sv::RunLoop::main().wallNow());
    log.recordClose("com.example.mail", history::reason::AlwaysList, std::nullopt);
    log.recordClose("com.example.news", history::reason::CloseEveryApp, std::nullopt);
    log.recordClose("com.example.game", history::reason::LowMemory, 124);
    auto records = written();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].bundleID, "com.example.mail");
    EXPECT_EQ(records[0].reason, "Always list");
    EXPECT_EQ(records[1].reason, "Close every app");
    EXPECT_EQ(records[2].reason, "Low memory");
    EXPECT_EQ(records[2].freeMemory, 124);
    EXPECT_FALSE(records[0].freeMemory) << "only low memory says what it compared";
    EXPECT_NEAR(records[2].date.secondsSince2001, before.secondsSince2001, 5);

    auto python = runProcess({ "/usr/bin/env", "python3", "-c",
                               "import plistlib,sys\n"
                               "for r in plistlib.load(open(sys.argv[1],'rb')):\n"
                               "  print(r['BundleID'], r['Reason'], r.get('FreeMemory'), r['Date'].year >= 2024)",
                               root().host(std::string(history::Path)) });
    EXPECT_EQ(python.status, 0) << python.err;
    EXPECT_EQ(python.out, "com.example.mail Always list None True\ncom.example.news Close every app None True\n"
                          "com.example.game Low memory 124 True\n");
}

TEST_F(CloseHistoryTest, AReturnWithinAMinuteMarksTheNewestRecordOnce)
{
    log.recordClose("com.example.mail", history::reason::LowMemory, 100);
    advance(5);
    log.recordClose("com.example.mail", history::reason::LowMemory, 90);
    log.recordClose("com.example.news", history::reason::LowMemory, 90);
    advance(12.5);
    log.noteForeground("com.example.mail");
    advance(1);
    log.noteForeground("com.example.mail"); // a second return belongs to no close
    log.noteForeground("com.example.maps"); // never closed
    auto records = written();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_FALSE(records[0].reopenedAfter);
    EXPECT_EQ(records[1].reopenedAfter, 12.5);
    EXPECT_FALSE(records[2].reopenedAfter);
}

TEST_F(CloseHistoryTest, AReturnAfterTheMinuteLeavesTheRecordAlone)
{
    log.recordClose("com.example.mail", history::reason::AlwaysList, std::nullopt);
    advance(60);
    log.noteForeground("com.example.mail");
    log.recordClose("com.example.news", history::reason::AlwaysList, std::nullopt);
    advance(60.5);
    log.noteForeground("com.example.news");
    auto records = written();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].reopenedAfter, 60.0) << "the minute itself still counts";
    EXPECT_FALSE(records[1].reopenedAfter);
}

TEST_F(CloseHistoryTest, AReturnMarksNoRecordOlderThanTheMinuteWhoseCloseWasLost)
{
    log.recordClose("com.example.mail", history::reason::LowMemory, 100);
    written();
    // The file is replaced meanwhile by one whose newest mail record is three days old.
    history::Record old { "com.example.mail", history::dateOf(sv::RunLoop::main().wallNow() - std::chrono::hours(72)),
                          std::string(history::reason::AlwaysList), std::nullopt, std::nullopt };
    ASSERT_TRUE(sv::plist::writeFile(history::Path, sv::Value(sv::Array { history::valueOf(old) })));
    advance(10);
    log.noteForeground("com.example.mail");
    auto records = written();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_FALSE(records[0].reopenedAfter);
}

TEST_F(CloseHistoryTest, AHistoryThatCannotBeKeptIsReportedOnce)
{
    std::vector<std::string> lines;
    sv::setLogSink([&lines](std::string_view line) { lines.emplace_back(line); });
    std::filesystem::create_directories(root().host(std::string(history::Path)));
    log.recordClose("com.example.mail", history::reason::LowMemory, 100);
    written();
    log.recordClose("com.example.news", history::reason::LowMemory, 100);
    written();
    sv::setLogSink(nullptr);
    EXPECT_EQ(lines, std::vector<std::string> { "Sleep Vane: cannot keep the close history in "
                                                "/var/mobile/Library/Sleepvane/History.plist; closes go unrecorded" });
}

TEST_F(CloseHistoryTest, KeepsTheNewestHundred)
{
    for (int i = 0; i < 130; ++i)
        log.recordClose("app" + std::to_string(i), history::reason::LowMemory, i);
    auto records = written();
    ASSERT_EQ(records.size(), history::kLimit);
    EXPECT_EQ(records.front().bundleID, "app30");
    EXPECT_EQ(records.back().bundleID, "app129");
    log.recordClose("one.more", history::reason::LowMemory, 1);
    records = written();
    ASSERT_EQ(records.size(), history::kLimit);
    EXPECT_EQ(records.front().bundleID, "app31");
}

TEST_F(CloseHistoryTest, AFileThatIsNotAHistoryIsNeverWrittenOver)
{
    std::string host = root().host(std::string(history::Path));
    for (std::string bytes : { "not a property list", "<?xml version=\"1.0\"?><plist><dict/></plist>" }) {
        writeHostFile(host, bytes);
        log.recordClose("com.example.mail", history::reason::LowMemory, 100);
        log.noteForeground("com.example.mail");
        CloseHistory::shared().flush();
        EXPECT_EQ(readHostFile(host), bytes);
    }
    std::filesystem::remove(host);
    std::filesystem::create_directory(host);
    log.recordClose("com.example.mail", history::reason::LowMemory, 100);
    CloseHistory::shared().flush();
    EXPECT_TRUE(std::filesystem::is_directory(host));
    EXPECT_TRUE(history::read().empty());
}

TEST_F(CloseHistoryTest, EntriesItCannotReadAreKeptAndPassedOver)
{
    sv::Array entries { sv::Value("stray"), sv::Dictionary { { "Reason", sv::Value("no identifier") } } };
    ASSERT_TRUE(sv::plist::writeFile(history::Path, sv::Value(entries)));
    log.recordClose("com.example.mail", history::reason::LowMemory, 100);
    log.noteForeground("com.example.mail");
    CloseHistory::shared().flush();
    auto value = sv::plist::readFile(history::Path);
    ASSERT_TRUE(value && value->asArray());
    EXPECT_EQ(value->asArray()->size(), 3u);
    auto records = history::read();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].reopenedAfter, 0.0);
}

} // namespace
} // namespace sv::test

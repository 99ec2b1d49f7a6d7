// The library records the closes it performs, why, and a quick return; a history it cannot use
// never stops a close.
#include "closer/close_history.h"
#include "contract/settings_contract.h"
#include "platform/foundation/plist/property_list.h"
#include "tests/closer/closer_fixture.h"

#include <filesystem>

namespace {

namespace history = slv::history;

class CloseRecordTest : public CloserTest {
protected:
    void SetUp() override
    {
        CloserTest::SetUp();
        play({ "app a \"A\" mem=20", "app b \"B\" mem=20", "app c \"C\" mem=20", "launch a", "launch b", "launch c",
               "launch top" });
    }
    static void writeSettings(const sv::Dictionary& settings)
    {
        ASSERT_TRUE(sv::plist::writeFile(slv::settingsPath(), settings));
    }

    // (identifier, reason, free memory) of each record, oldest first.
    using Summary = std::vector<std::tuple<std::string, std::string, std::optional<std::int64_t>>>;
    static Summary recorded()
    {
        CloseHistory::shared().flush();
        Summary summary;
        for (const auto& record : history::read())
            summary.emplace_back(record.bundleID, record.reason, record.freeMemory);
        return summary;
    }
};

TEST_F(CloseRecordTest, EachCloseIsRecordedWithWhatTheDecisionWentBy)
{
    writeSettings({ { "ramValue", 150 }, { "AlwaysIdentifiers", sv::Array { slv::identifierEntry("a") } } });
    play({ "free 500", "state a 2" }); // always listed, whatever the memory
    advance(1);
    play({ "free 120", "state b 2" }); // low memory
    advance(1);
    writeSettings({ { "ramValue", 150 }, { "alwaysKill", true } });
    play({ "free 500", "state c 2" });
    advance(1);
    EXPECT_EQ(eventsStartingWith("closed ").size(), 3u);
    EXPECT_EQ(recorded(), (Summary { { "a", "Always list", std::nullopt },
                                     { "b", "Low memory", 120 },
                                     { "c", "Close every app", std::nullopt } }));
}

TEST_F(CloseRecordTest, TheChainRecordsEachCloseWithTheFigureItMeasured)
{
    writeSettings({ { "ramValue", 150 } });
    play({ "free 500", "state a 2", "state b 2", "free 100", "state c 2" });
    advance(1);
    play({ "free 140" }); // the re-check measures again
    advance(4.6);
    EXPECT_EQ(recorded(), (Summary { { "a", "Low memory", 100 }, { "b", "Low memory", 140 } }));
}

TEST_F(CloseRecordTest, WhatIsCalledOffOrSparedIsNotRecorded)
{
    writeSettings({ { "ramValue", 150 }, { "NeverIdentifiers", sv::Array { slv::identifierEntry("a") } } });
    play({ "free 100", "state a 2", "state b 2", "state b 4" });
    advance(2);
    EXPECT_TRUE(eventsStartingWith("closed ").empty());
    EXPECT_TRUE(recorded().empty());
}

TEST_F(CloseRecordTest, AReturnWithinTheMinuteMarksTheClose)
{
    writeSettings({ { "ramValue", 150 } });
    play({ "free 100", "state a 2" });
    advance(1);
    advance(20);
    play({ "launch a", "state a 4" });
    play({ "home", "state b 2" });
    advance(1);
    advance(61);
    play({ "launch b", "state b 4" });
    CloseHistory::shared().flush();
    auto records = history::read();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].reopenedAfter, 20.0);
    EXPECT_FALSE(records[1].reopenedAfter) << "back after more than a minute";
}

TEST_F(CloseRecordTest, AHistoryThatCannotBeWrittenNeverStopsAClose)
{
    std::string host = root().host(std::string(history::Path));
    std::filesystem::create_directories(host);
    play({ "free 100", "state a 2" });
    advance(1);
    CloseHistory::shared().flush();
    EXPECT_TRUE(std::filesystem::is_directory(host));
    std::filesystem::remove(host);
    std::filesystem::remove_all(root().host(std::string(slv::path::DataFolder)));
    play({ "state b 2" });
    advance(1);
    EXPECT_EQ(eventsStartingWith("closed ").size(), 2u);
    EXPECT_TRUE(recorded().empty());
}

} // namespace

// The "Recently Closed" rows: order, names from the catalogue, marks from the lists, and texts.
#include "settings/recently_closed_rows.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

namespace history = slv::history;

history::Record record(std::string id, std::string reason, std::optional<std::int64_t> free = {},
                       std::optional<double> reopened = {})
{
    return { std::move(id), {}, std::move(reason), free, reopened };
}

TEST(RecentlyClosedRows, NewestFirstWithCatalogueNamesAndListMarks)
{
    sv::Dictionary settings {
        { "ApplicationData", sv::Array { slv::applicationRecord("Mail", "com.example.mail", "/icons/mail.png"),
                                         sv::Value("stray"),
                                         slv::applicationRecord("Notes", "com.example.notes", "/icons/notes.png") } },
        { "NeverIdentifiers", sv::Array { slv::identifierEntry("com.example.notes") } },
        { "AlwaysIdentifiers", sv::Array { slv::identifierEntry("com.example.mail") } },
    };
    auto rows = recentlyClosedRows({ record("com.example.notes", "Low memory", 80),
                                     record("com.example.gone", "Close every app"),
                                     record("com.example.mail", "Always list") },
                                   settings);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "Mail");
    EXPECT_EQ(rows[0].iconPath, "/icons/mail.png");
    EXPECT_TRUE(rows[0].isAlways);
    EXPECT_FALSE(rows[0].isNever);
    EXPECT_EQ(rows[1].name, "com.example.gone") << "no catalogue record: the identifier";
    EXPECT_EQ(rows[1].iconPath, "");
    EXPECT_EQ(rows[2].name, "Notes");
    EXPECT_TRUE(rows[2].isNever);
    EXPECT_TRUE(recentlyClosedRows({}, settings).empty());
    EXPECT_EQ(recentlyClosedRows({ record("a", "Low memory") }, {}).at(0).name, "a") << "no settings at all";
}

TEST(RecentlyClosedRows, DetailSaysWhyWithWhatWasFreeAndTheReopen)
{
    SLVRecentlyClosedRow row;
    row.record = record("a", "Low memory", 124, 12.4);
    EXPECT_EQ(row.detail(), "Low memory \u00b7 124 MB free \u00b7 reopened after 12 s");
    row.record = record("a", "Always list");
    EXPECT_EQ(row.detail(), "Always list");
    row.record = record("a", "Close every app", std::nullopt, 0.0);
    EXPECT_EQ(row.detail(), "Close every app \u00b7 reopened after 0 s");
}

TEST(RecentlyClosedRows, HowLongAgoPicksTheLargestWholeUnit)
{
    EXPECT_EQ(howLongAgo(0.4), "just now");
    EXPECT_EQ(howLongAgo(-30), "just now") << "a clock set back";
    EXPECT_EQ(howLongAgo(std::nan("")), "just now");
    EXPECT_EQ(howLongAgo(42.9), "42 s ago");
    EXPECT_EQ(howLongAgo(60), "1 min ago");
    EXPECT_EQ(howLongAgo(3599), "59 min ago");
    EXPECT_EQ(howLongAgo(7200), "2 h ago");
    EXPECT_EQ(howLongAgo(86400 * 3 + 5), "3 d ago");
    EXPECT_EQ(howLongAgo(1e300), "11574074074 d ago");
}

} // namespace

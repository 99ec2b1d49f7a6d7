// The "Recently Closed" rows: order, names from the catalogue, marks from the lists, and texts.
#include "settings/recently_closed_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

// Figures the library could not have written are left out, and so is what they would say.
TEST(RecentlyClosedRows, ImplausibleFiguresAreLeftOutOfTheRow)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    std::vector<history::Record> hostile;
    for (double after : { kNaN, kInfinity, -kInfinity, -1.0, 61.0, 1e300 })
        hostile.push_back(record("a", "Low memory", 124, after));
    for (std::int64_t free : { std::int64_t { -1 }, std::int64_t { 1 } << 31, std::numeric_limits<std::int64_t>::min() })
        hostile.push_back(record("a", "Low memory", free, 12.0));
    for (const SLVRecentlyClosedRow& row : recentlyClosedRows(hostile, {})) {
        EXPECT_EQ(row.detail().find("nan"), std::string::npos) << row.detail();
        EXPECT_TRUE(row.detail() == "Low memory \u00b7 124 MB free" || row.detail() == "Low memory \u00b7 reopened after 12 s")
            << row.detail();
    }
    // Reopened after a NaN is no reopen: it does not count towards the suggestion either.
    EXPECT_FALSE(neverSuggestion(recentlyClosedRows({ record("a", "Low memory", 1, kNaN), record("a", "Low memory", 1, kNaN) }, {})));
    // The edges of what the library writes stay.
    auto edges = recentlyClosedRows({ record("a", "Low memory", 0, 60.0), record("a", "Low memory", 2147483647, 0.0) }, {});
    EXPECT_EQ(edges[0].detail(), "Low memory \u00b7 2147483647 MB free \u00b7 reopened after 0 s");
    EXPECT_EQ(edges[1].detail(), "Low memory \u00b7 0 MB free \u00b7 reopened after 60 s");
}

// A close dated before 2001 (the dates' origin) or far ahead of now says nothing of when; a clock
// set back a little still reads "just now".
TEST(RecentlyClosedRows, AnImplausibleDateSaysNothingOfWhen)
{
    constexpr double kNow = 800000000; // 2026
    SLVRecentlyClosedRow row;
    auto ago = [&](double date) {
        row.record.date = { date };
        return row.ago(kNow);
    };
    EXPECT_EQ(ago(kNow - 600), "10 min ago");
    EXPECT_EQ(ago(kNow + 30), "just now");
    EXPECT_EQ(ago(-63113904000.0), "") << "year 1";
    EXPECT_EQ(ago(252392457600.0), "") << "year 9999";
    EXPECT_EQ(ago(-1), "");
    EXPECT_EQ(ago(kNow + 2 * 86400), "");
    EXPECT_EQ(ago(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_EQ(ago(0), "9259 d ago");
}

// Text from the files sits in a first-strong isolate wherever it stands beside our own words, so
// that no direction mark or right-to-left letter in it can reorder them, and a sentence that
// begins with it is marked left to right first; plain text stands as it is.
TEST(RecentlyClosedRows, TextFromTheFilesCannotReorderOurs)
{
    auto rows = recentlyClosedRows({ record("com.example.evil", "Low \u202ememory", 124, 12.0),
                                     record("com.example.hebrew", "\u05d6\u05db\u05e8\u05d5\u05df") },
                                   {});
    EXPECT_EQ(rows[1].detail(), "\u200e\u2068Low \u202ememory\u2069 \u00b7 124 MB free \u00b7 reopened after 12 s");
    EXPECT_EQ(rows[0].detail(), "\u200e\u2068\u05d6\u05db\u05e8\u05d5\u05df\u2069");
    SLVNeverSuggestion suggestion { "com.example.evil", "\u202eCamera", 3 };
    EXPECT_EQ(suggestion.message(), "\u200e\u2068\u202eCamera\u2069 came back soon after 3 closes. Never close it?");
    EXPECT_EQ((SLVNeverSuggestion { "c", "Camera", 2 }.message()), "Camera came back soon after 2 closes. Never close it?");
}

TEST(RecentlyClosedRows, AnEmptyOrMissingNameFallsBackToTheIdentifier)
{
    sv::Dictionary settings { { "ApplicationData",
                                sv::Array { slv::applicationRecord("", "com.example.empty", "/icons/e.png"),
                                            sv::Dictionary { { "BundleID", sv::Value("com.example.nameless") } },
                                            sv::Dictionary { { "BundleID", sv::Value("com.example.number") },
                                                             { "AppName", sv::Value(5) } } } } };
    auto rows = recentlyClosedRows({ record("com.example.empty", "Always list"), record("com.example.nameless", "Always list"),
                                     record("com.example.number", "Always list") },
                                   settings);
    EXPECT_EQ(rows[2].name, "com.example.empty");
    EXPECT_EQ(rows[2].iconPath, "/icons/e.png");
    EXPECT_EQ(rows[1].name, "com.example.nameless");
    EXPECT_EQ(rows[0].name, "com.example.number");
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

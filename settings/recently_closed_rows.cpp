#include "settings/recently_closed_rows.h"

#include "contract/catalogue.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace {

// What the library writes: free memory as its signed 32-bit figure, which is never below 0, and a
// reopen within the minute after the close.
slv::history::Record plausible(slv::history::Record record)
{
    if (record.freeMemory && (*record.freeMemory < 0 || *record.freeMemory > std::numeric_limits<std::int32_t>::max()))
        record.freeMemory.reset();
    if (record.reopenedAfter && !(*record.reopenedAfter >= 0 && *record.reopenedAfter <= slv::history::kReopenWindow))
        record.reopenedAfter.reset();
    return record;
}

// Our sentences read left to right. Where one begins with text from the files, a left-to-right
// mark says so first: Pango takes a line's direction from its first strong character even when
// that is inside an isolate (a Hebrew name, or an override mark).
std::string leftToRight(std::string sentence)
{
    return sentence.starts_with("\u2068") ? "\u200e" + sentence : sentence;
}

} // namespace

std::string isolated(std::string_view text)
{
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(text);
    return "\u2068" + std::string(text) + "\u2069";
}

std::string SLVRecentlyClosedRow::detail() const
{
    std::string text = leftToRight(isolated(record.reason));
    if (record.freeMemory)
        text += " \u00b7 " + std::to_string(*record.freeMemory) + " MB free";
    if (record.reopenedAfter)
        text += " \u00b7 " + reopenedText(*record.reopenedAfter);
    return text;
}

std::string SLVRecentlyClosedRow::ago(double now) const
{
    constexpr double kClockSetBack = 86400;
    double date = record.date.secondsSince2001;
    if (!(date >= 0 && date <= now + kClockSetBack))
        return {};
    return howLongAgo(now - date);
}

std::vector<SLVRecentlyClosedRow> recentlyClosedRows(const std::vector<slv::history::Record>& history,
                                                     const sv::Dictionary& settings)
{
    auto catalogue = slv::catalogueRecords(settings);
    const sv::Array* never = sv::findArray(settings, slv::key::NeverIdentifiers);
    const sv::Array* always = sv::findArray(settings, slv::key::AlwaysIdentifiers);
    std::vector<SLVRecentlyClosedRow> rows;
    for (auto record = history.rbegin(); record != history.rend(); ++record) {
        SLVRecentlyClosedRow row;
        row.bundleID = record->bundleID;
        row.name = slv::applicationName(catalogue, record->bundleID);
        if (auto found = catalogue.find(record->bundleID); found != catalogue.end())
            if (const std::string* icon = sv::findString(*found->second, slv::key::IconPath))
                row.iconPath = *icon;
        row.record = plausible(*record);
        row.isNever = slv::listContains(never, record->bundleID);
        row.isAlways = slv::listContains(always, record->bundleID);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string SLVNeverSuggestion::message() const
{
    return leftToRight(isolated(name)) + " came back soon after " + std::to_string(regrettedCloses) + " closes. Never close it?";
}

std::optional<SLVNeverSuggestion> neverSuggestion(const std::vector<SLVRecentlyClosedRow>& rows)
{
    std::vector<SLVNeverSuggestion> counted; // in the rows' order: the most recently closed first
    for (const SLVRecentlyClosedRow& row : rows) {
        if (row.isNever || row.isAlways || !row.record.reopenedAfter)
            continue;
        auto found = std::find_if(counted.begin(), counted.end(),
                                  [&](const SLVNeverSuggestion& s) { return s.bundleID == row.bundleID; });
        if (found == counted.end())
            counted.push_back({ row.bundleID, row.name, 1 });
        else
            ++found->regrettedCloses;
    }
    std::optional<SLVNeverSuggestion> best;
    for (const SLVNeverSuggestion& suggestion : counted)
        if (suggestion.regrettedCloses >= 2 && (!best || suggestion.regrettedCloses > best->regrettedCloses))
            best = suggestion;
    return best;
}

std::string howLongAgo(double seconds)
{
    if (!(seconds >= 1))
        return "just now";
    struct Unit {
        double size;
        const char* name;
    };
    static constexpr Unit units[] = { { 86400, "d" }, { 3600, "h" }, { 60, "min" }, { 1, "s" } };
    for (const Unit& unit : units)
        if (seconds >= unit.size)
            return std::to_string(static_cast<long long>(std::floor(std::min(seconds, 1e15) / unit.size))) + " "
                + unit.name + " ago";
    return "just now";
}

std::string reopenedText(double seconds)
{
    char text[48];
    std::snprintf(text, sizeof text, "reopened after %.0f s", std::clamp(seconds, 0.0, 1e9));
    return text;
}

#include "hosts/device/timeline.h"

#include "contract/catalogue.h"
#include "hosts/common/scenario.h"

#include <cstdio>
#include <map>

namespace device {
namespace {

    using sv::host::parseNumber;

    // "[<seconds>] <event>" split into its time and its event.
    std::optional<std::pair<double, std::string_view>> event(std::string_view line)
    {
        if (!line.starts_with('['))
            return std::nullopt;
        auto close = line.find("] ");
        if (close == std::string_view::npos)
            return std::nullopt;
        auto time = parseNumber(line.substr(1, close - 1));
        if (!time)
            return std::nullopt;
        return std::pair { *time, line.substr(close + 2) };
    }

    // The argument of an event "<name> <argument>", or nothing for another event.
    std::optional<std::string_view> argument(std::string_view event, std::string_view name)
    {
        if (event.size() <= name.size() + 1 || !event.starts_with(name) || event[name.size()] != ' ')
            return std::nullopt;
        return event.substr(name.size() + 1);
    }

    void addStep(std::vector<Timeline::Point>& series, double time, double value)
    {
        if (!series.empty() && series.back().value == value)
            return;
        series.push_back({ time, value });
    }

} // namespace

void Timeline::take(std::string_view tag, std::string_view line)
{
    auto parsed = event(line);
    if (!parsed)
        return;
    auto [time, text] = *parsed;
    if (time > end_)
        end_ = time;
    if (tag == "springboard") {
        if (auto value = argument(text, "free"); value && parseNumber(*value))
            addStep(free_, time, *parseNumber(*value));
        else if (auto limit = argument(text, "threshold"); limit && parseNumber(*limit))
            addStep(threshold_, time, *parseNumber(*limit));
        else if (auto id = argument(text, "closed"))
            closes_.push_back({ time, std::string(*id), std::string(*id) });
        else if (auto on = argument(text, "alwaysKill"); on && (*on == "on" || *on == "off"))
            addStep(closeEveryApp_, time, *on == "on");
        else if (auto kind = argument(text, "call")) {
            // One call from its first state to "none": a ringing call that is answered goes on.
            bool going = !calls_.empty() && !calls_.back().end;
            if (*kind == "none") {
                if (going)
                    calls_.back().end = time;
            } else if (!going) {
                calls_.push_back({ time, std::nullopt, std::string(*kind) });
            }
        }
    } else if (tag == "settings") {
        // The pane's saves move the threshold the moment they land, between the home screen's
        // own readings.
        auto saved = argument(text, "saved ramValue");
        if (saved && parseNumber(*saved))
            addStep(threshold_, time, *parseNumber(*saved));
        auto switched = argument(text, "saved alwaysKill");
        if (switched && (*switched == "true" || *switched == "false"))
            addStep(closeEveryApp_, time, *switched == "true");
    }
}

void Timeline::describeCloses(const std::vector<slv::history::Record>& history, const sv::Dictionary* settings)
{
    slv::CatalogueRecords catalogue = settings ? slv::catalogueRecords(*settings) : slv::CatalogueRecords {};
    // The history's records of each application, oldest first, matched to its closes from the
    // newest back: the history keeps only the newest records, and a device played before may
    // hold older ones.
    std::map<std::string, std::vector<const slv::history::Record*>, std::less<>> records;
    for (const auto& record : history)
        records[record.bundleID].push_back(&record);
    std::map<std::string, long, std::less<>> closesOf, seen;
    for (const Close& close : closes_)
        ++closesOf[close.bundleID];
    for (Close& close : closes_) {
        close.label = slv::applicationName(catalogue, close.bundleID);
        long nth = seen[close.bundleID]++;
        auto found = records.find(close.bundleID);
        if (found == records.end())
            continue;
        long index = nth + static_cast<long>(found->second.size()) - closesOf[close.bundleID];
        if (index < 0)
            continue;
        const slv::history::Record& record = *found->second[static_cast<std::size_t>(index)];
        close.label += ": " + record.reason;
        if (record.freeMemory)
            close.label += ", " + std::to_string(*record.freeMemory) + " MB free";
        if (record.reopenedAfter) {
            char back[48];
            std::snprintf(back, sizeof back, ", back after %.0f s", *record.reopenedAfter);
            close.label += back;
        }
    }
}

} // namespace device

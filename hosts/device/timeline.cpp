#include "hosts/device/timeline.h"

#include "hosts/common/scenario.h"

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
            closes_.push_back({ time, std::string(*id), shortName(*id) });
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
    }
}

void Timeline::labelCloses(std::string_view bundleID, const std::vector<std::string>& labels)
{
    std::size_t next = 0;
    for (Close& close : closes_)
        if (close.bundleID == bundleID && next < labels.size())
            close.label = labels[next++];
}

std::string shortName(std::string_view bundleID)
{
    auto dot = bundleID.rfind('.');
    std::string_view tail = dot == std::string_view::npos || dot + 1 == bundleID.size() ? bundleID
                                                                                         : bundleID.substr(dot + 1);
    return std::string(tail);
}

} // namespace device

#include "playback/cost.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace replay {

double Costs::of(const Figures& f) const
{
    return restart * double(f.restarts10min) + lowLaunch * double(f.lowLaunches) + frontKill * double(f.foregroundKills);
}

std::string Costs::text() const
{
    char out[96];
    std::snprintf(out, sizeof out, "restart=%g,low-launch=%g,front-kill=%g", restart, lowLaunch, frontKill);
    return out;
}

std::optional<std::string> parseCosts(std::string_view text, Costs& costs)
{
    while (!text.empty()) {
        std::size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        std::size_t equals = item.find('=');
        std::string_view name = item.substr(0, equals);
        double* slot = name == "restart" ? &costs.restart
            : name == "low-launch"       ? &costs.lowLaunch
            : name == "front-kill"       ? &costs.frontKill
                                         : nullptr;
        if (!slot)
            return "--costs: unknown cost '" + std::string(name) + "' (restart, low-launch, front-kill)";
        std::string_view number = equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
        double value = 0;
        auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (number.empty() || error != std::errc() || end != number.data() + number.size() || !std::isfinite(value)
            || value < 0)
            return "--costs: " + std::string(name) + " takes seconds, a number from 0: '" + std::string(number) + "'";
        *slot = value;
    }
    return std::nullopt;
}

} // namespace replay

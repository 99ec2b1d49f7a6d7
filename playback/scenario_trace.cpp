// The home-screen host's scenarios as days: one day a file.
#include "playback/trace.h"

#include "playback/scenario_words.h"
#include "model/day.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <set>

namespace replay {
namespace {

    void report(const std::string& source, long line, const std::string& why)
    {
        std::fprintf(stderr, "%s: line %ld: %s\n", source.c_str(), line, why.c_str());
    }

} // namespace

Trace readScenario(std::istream& in, const std::string& source)
{
    Trace trace;
    Day day;
    day.label = source;
    double now = 0;
    std::string line;
    static const std::set<std::string, std::less<>> ignored = { "show", "post", "icon", "icons", "free" };
    auto event = [&](Event::Kind kind, AppId app) {
        Event e;
        e.kind = kind;
        e.time = now;
        e.app = app;
        day.events.push_back(e);
        return &day.events.back();
    };
    while (std::getline(in, line)) {
        ++trace.lines;
        auto words = sv::scenario::splitWords(line.substr(0, line.find('#')));
        auto bad = [&](const std::string& why) {
            report(source, trace.lines, why);
            ++trace.badLines;
        };
        if (!words) {
            bad("a quote is left open");
            continue;
        }
        if (words->empty())
            continue;
        const auto& w = *words;
        const std::string& command = w[0];
        if (command == "quit")
            break;
        if (ignored.count(command))
            continue;
        if (command == "wait") {
            auto seconds = w.size() == 2 ? sv::scenario::parseNumber(w[1]) : std::nullopt;
            if (!seconds || *seconds < 0)
                bad("wait takes a number of seconds (0 or more)");
            else
                now += *seconds;
        } else if (command == "app") {
            if (w.size() < 3 || w[1].empty()) {
                bad("app takes <bundle-id> \"<name>\" [mem=<MB>] [flags]");
                continue;
            }
            sv::scenario::AppLine line;
            if (auto why = sv::scenario::readApp(w, line)) {
                bad(*why);
                continue;
            }
            AppId app = day.app(w[2], w[1]);
            day.apps[app].name = w[2];
            if (line.memoryMB)
                day.apps[app].memoryMB = line.memoryMB;
            day.apps[app].flags = std::move(line.flags);
        } else if (command == "launch") {
            if (w.size() != 2 || w[1].empty())
                bad("launch takes one bundle identifier");
            else
                event(Event::Kind::Launch, day.app(w[1], w[1]));
        } else if (command == "home") {
            if (w.size() != 1)
                bad("home takes nothing");
            else
                event(Event::Kind::Home, kNoApp);
        } else if (command == "state") {
            int state = 0;
            auto [end, error] = w.size() == 3 ? std::from_chars(w[2].data(), w[2].data() + w[2].size(), state)
                                              : std::from_chars_result { nullptr, std::errc::invalid_argument };
            if (w.size() != 3 || error != std::errc() || end != w[2].data() + w[2].size())
                bad("state takes <bundle-id> <n>");
            else
                event(Event::Kind::State, day.app(w[1], w[1]))->state = state;
        } else if (command == "call") {
            const auto* words = std::begin(model::kCallWords);
            auto found = w.size() == 2 ? std::find(words, std::end(model::kCallWords), w[1]) : std::end(model::kCallWords);
            if (found == std::end(model::kCallWords))
                bad("call takes active, incoming, outgoing or none");
            else
                event(Event::Kind::Call, kNoApp)->call = static_cast<Call>(found - words);
        } else if (command == "memory") {
            auto options = sv::scenario::parseOptions(w, 1);
            std::string why = options.flags.empty() && !options.values.empty() ? "" : "memory takes total=<MB> and/or base=<MB>";
            std::optional<double> total, base;
            for (const auto& [key, value] : options.values) {
                auto mb = sv::scenario::parseNumber(value);
                if (key != "total" && key != "base")
                    why = "unknown option " + key + "=";
                else if (!mb || *mb < 0)
                    why = key + "= takes megabytes (0 or more)";
                else
                    (key == "total" ? total : base) = mb;
            }
            if (!why.empty()) {
                bad(why);
                continue;
            }
            if (total)
                day.totalMB = total;
            if (base)
                day.baseMB = base;
        } else if (command == "settings") {
            const std::string what = w.size() >= 2 ? w[1] : "";
            // Before the day's first event the lists are the day's own; after it, a change at its moment.
            auto change = [&](auto apply) {
                if (day.events.empty()) {
                    Lists lists { day.never, day.always, day.alwaysKill };
                    apply(lists);
                    day.never = lists.never;
                    day.always = lists.always;
                    day.alwaysKill = lists.alwaysKill;
                    return;
                }
                Lists lists = day.listChanges.empty() ? Lists { day.never, day.always, day.alwaysKill } : day.listChanges.back();
                apply(lists);
                day.listChanges.push_back(std::move(lists));
                event(Event::Kind::Lists, kNoApp)->lists = static_cast<int>(day.listChanges.size() - 1);
            };
            if (what == "never" || what == "always") {
                change([&](Lists& lists) { (what == "never" ? lists.never : lists.always).assign(w.begin() + 2, w.end()); });
            } else if (what == "alwaysKill") {
                if (w.size() != 3 || (w[2] != "on" && w[2] != "off"))
                    bad("settings alwaysKill takes on or off");
                else
                    change([&](Lists& lists) { lists.alwaysKill = w[2] == "on"; });
            } else if (what == "ramValue") {
                // The thresholds come from the command line.
                auto value = w.size() == 3 ? sv::scenario::parseNumber(w[2]) : std::nullopt;
                if (!value || *value != std::trunc(*value))
                    bad("settings ramValue takes a whole number");
            } else if (what == "learnFromUse") {
                // The policy chosen decides: learn-from-use has it on, the others off.
                if (w.size() != 3 || (w[2] != "on" && w[2] != "off"))
                    bad("settings learnFromUse takes on or off");
            } else {
                bad("settings takes never, always, ramValue, alwaysKill or learnFromUse");
            }
        } else {
            bad("unknown command " + command);
        }
    }
    if (!day.events.empty())
        trace.days.push_back(std::move(day));
    return trace;
}

} // namespace replay

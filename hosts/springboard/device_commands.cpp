// Scenario commands that work the device: launch, home, memory, free, call, show, settings.
#include "contract/history_file.h"
#include "contract/diary_file.h"
#include "contract/settings_contract.h"
#include "hosts/springboard/device.h"
#include "hosts/springboard/springboard.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>

namespace sb {
namespace {

    using Words = sv::host::Scenario::Words;
    using Result = std::optional<std::string>;

    // A switch as a scenario stores it: on and off as booleans, a number as the pane may meet it
    // in a hand-edited file: an integer when written as one, else a real (nan and inf included).
    std::optional<sv::Value> switchValue(const std::string& word)
    {
        if (word == "on" || word == "off")
            return sv::Value(word == "on");
        const char* end = word.data() + word.size();
        std::int64_t integer = 0;
        if (auto [at, error] = std::from_chars(word.data(), end, integer); error == std::errc() && at == end)
            return sv::Value(integer);
        double real = 0;
        if (auto [at, error] = std::from_chars(word.data(), end, real); error == std::errc() && at == end)
            return sv::Value(real);
        return std::nullopt;
    }

    std::string number(double value)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }

    // The name scenarios know an application by.
    std::string nameOf(id application)
    {
        const ApplicationState* state = applicationState(application);
        return state ? state->key : std::string("(unknown)");
    }

    Result launch(const Words& words)
    {
        if (words.size() != 2 || words[1].empty())
            return "launch takes one bundle identifier";
        Device::shared().launch(words[1]);
        return std::nullopt;
    }

    Result home(const Words& words)
    {
        if (words.size() != 1)
            return "home takes nothing";
        Device::shared().goHome();
        return std::nullopt;
    }

    Result memory(const Words& words)
    {
        sv::host::Options options = sv::host::parseOptions(words, 1);
        if (!options.flags.empty() || options.values.empty())
            return "memory takes total=<MB> and/or base=<MB>";
        std::optional<double> total, base;
        for (const auto& [key, value] : options.values) {
            auto megabytes = sv::host::parseNumber(value);
            if (!megabytes || *megabytes < 0)
                return key + "= takes megabytes (0 or more)";
            if (key == "total") total = megabytes;
            else if (key == "base") base = megabytes;
            else return "unknown option " + key + "=";
        }
        Device::shared().setMemory(total, base);
        return std::nullopt;
    }

    Result pinFree(const Words& words)
    {
        if (words.size() != 2)
            return "free takes megabytes or auto";
        if (words[1] == "auto") {
            Device::shared().pinFree(std::nullopt);
            return std::nullopt;
        }
        auto megabytes = sv::host::parseNumber(words[1]);
        if (!megabytes || *megabytes < 0)
            return "free takes megabytes (0 or more) or auto";
        Device::shared().pinFree(megabytes);
        return std::nullopt;
    }

    Result call(const Words& words)
    {
        auto found = words.size() == 2 ? std::find(std::begin(kCallWords), std::end(kCallWords), words[1]) : std::end(kCallWords);
        if (found == std::end(kCallWords))
            return "call takes active, incoming, outgoing or none";
        Device::shared().setCall(static_cast<Call>(found - std::begin(kCallWords)));
        return std::nullopt;
    }

    Result show(const Words& words)
    {
        const Device& device = Device::shared();
        // `show diary now`: the library's minute's write first.
        bool now = words.size() == 3 && words[1] == "diary" && words[2] == "now";
        std::string what = words.size() == 2 || now ? words[1] : "";
        std::string line;
        if (what == "suspects") {
            const SuspectList* suspects = device.suspects();
            line = "suspects";
            if (!suspects)
                line += " (unavailable)";
            else if (suspects->empty())
                line += " (none)";
            else
                for (const sv::rt::Ref& app : *suspects)
                    line += " " + nameOf(app.get());
        } else if (what == "switcher") {
            line = "switcher";
            if (device.switcher().empty())
                line += " (empty)";
            for (const std::string& bundleID : device.switcher())
                line += " " + bundleID + (device.top() == bundleID ? "*" : "");
        } else if (what == "memory") {
            line = "memory total=" + number(device.totalMB()) + " base=" + number(device.baseMB())
                + " apps=" + number(device.appsMB()) + " free=" + number(device.freeMB())
                + (device.freePinned() ? " (pinned)" : "");
        } else if (what == "history") {
            device.flushHistory();
            auto records = slv::history::read();
            if (records.empty())
                Springboard::shared().event("history (none)");
            for (const slv::history::Record& record : records)
                Springboard::shared().event("history " + record.bundleID + " \"" + record.reason + "\""
                                            + (record.reopenedAfter ? " reopened " + number(*record.reopenedAfter) : ""));
            return std::nullopt;
        } else if (what == "diary") {
            if (now)
                device.writeDiaryNow();
            device.flushDiary();
            auto bytes = sv::fs::readData(slv::diary::Path, slv::diary::kMaximumSize);
            std::string_view text = bytes ? std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())
                                          : std::string_view {};
            // The header line says what the fields are; each line after it is one event.
            auto header = text.find('\n');
            text = header == std::string_view::npos ? std::string_view {} : text.substr(header + 1);
            if (text.empty())
                Springboard::shared().event("diary (none)");
            for (std::size_t newline; (newline = text.find('\n')) != std::string_view::npos; text.remove_prefix(newline + 1))
                Springboard::shared().event("diary " + std::string(text.substr(0, newline)));
            return std::nullopt;
        } else if (what == "usage") {
            auto usage = device.usage();
            if (!usage || usage->empty())
                Springboard::shared().event(usage ? "usage (none)" : "usage (unavailable)");
            else
                for (const auto& [bundleID, score] : *usage) {
                    char figure[32];
                    std::snprintf(figure, sizeof figure, "%.3f", score);
                    Springboard::shared().event("usage " + bundleID + " " + figure);
                }
            return std::nullopt;
        } else {
            return "show takes suspects, switcher, memory, history, usage or diary";
        }
        Springboard::shared().event(line);
        return std::nullopt;
    }

    // Writes keys of the settings file as the settings pane would.
    Result settings(const Words& words)
    {
        const std::string what = words.size() >= 2 ? words[1] : "";
        std::function<bool(sv::Dictionary&)> change;
        bool offDiary = false;
        if (what == "never" || what == "always") {
            sv::Array entries;
            for (std::size_t i = 2; i < words.size(); ++i)
                entries.push_back(slv::identifierEntry(words[i]));
            std::string key(what == "never" ? slv::key::NeverIdentifiers : slv::key::AlwaysIdentifiers);
            change = [key, entries](sv::Dictionary& settings) {
                settings[key] = entries;
                return true;
            };
        } else if (what == "ramValue") {
            auto value = words.size() == 3 ? sv::host::parseNumber(words[2]) : std::nullopt;
            if (!value || *value != std::trunc(*value) || std::fabs(*value) > 1e9)
                return "settings ramValue takes a whole number";
            change = [value = static_cast<int>(*value)](sv::Dictionary& settings) {
                settings[std::string(slv::key::RamValue)] = value;
                return true;
            };
        } else if (what == "alwaysKill" || what == "learnFromUse") {
            auto stored = words.size() == 3 ? switchValue(words[2]) : std::nullopt;
            if (!stored)
                return "settings " + what + " takes on, off or a number";
            std::string key(what == "alwaysKill" ? slv::key::AlwaysKill : slv::key::LearnFromUse);
            sv::Dictionary saving { { key, *stored } };
            offDiary = what == "learnFromUse" && slv::diary::diarySwitch(&saving) == slv::diary::Switch::Off;
            // As the pane turns it off: what the library handed its writer before is in, then the
            // off stamp moves with the switch, and the diary goes.
            if (offDiary)
                Device::shared().flushDiary();
            change = [key, value = *stored, offDiary](sv::Dictionary& settings) {
                settings[key] = value;
                if (offDiary)
                    settings[std::string(slv::diary::OffsKey)] = slv::diary::nextOffStamp(slv::diary::offStamp(&settings));
                return true;
            };
        } else {
            return "settings takes never, always, ramValue, alwaysKill or learnFromUse";
        }
        auto result = slv::updateSettings(change);
        if (result != sv::plist::UpdateResult::Written && result != sv::plist::UpdateResult::AlreadyCurrent)
            return "the settings file could not be written";
        if (offDiary)
            slv::diary::removeUnderLock();
        return std::nullopt;
    }

} // namespace

void addDeviceCommands(sv::host::Scenario& scenario)
{
    scenario.addCommand("launch", "launch <bundle-id>", launch);
    scenario.addCommand("home", "home", home);
    scenario.addCommand("memory", "memory total=<MB> base=<MB>", memory);
    scenario.addCommand("free", "free <MB> | free auto", pinFree);
    scenario.addCommand("call", "call active|incoming|outgoing|none", call);
    scenario.addCommand("show", "show suspects|switcher|memory|history|usage|diary [now]", show);
    scenario.addCommand("settings",
                        "settings never|always <bundle-id>... | settings ramValue <n> | settings alwaysKill|learnFromUse on|off|<number>",
                        settings);
}

} // namespace sb

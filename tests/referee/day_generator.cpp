#include "tests/referee/day_generator.h"

#include "model/day.h"

#include <algorithm>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

namespace referee {
namespace {

    // One of the identifiers never closed, among the day's applications and on its lists.
    constexpr const char* kPhone = model::kFixedIdentifiers[1];

    struct Generator {
        Random random;
        std::ostringstream out;
        std::vector<std::string> apps;
        std::optional<std::string> top;
        bool inCall = false;
        std::set<std::string> icons;
        // Every eighth day (seeds 4, 12, 20...) is long and short of memory: enough closes to pass
        // the history's bound.
        bool longDay;
        int total = 0;

        explicit Generator(std::uint64_t seed) : random(seed), longDay(seed % 8 == 4) { }

        int base() { return longDay ? random.between(total * 3 / 4, total * 9 / 10) : random.between(100, 900); }

        const std::string& any() { return apps[random.below(static_cast<int>(apps.size()))]; }

        // Waits in tenths of a second, so that the host and the model read the same number.
        void wait(int tenths)
        {
            out << "wait " << tenths / 10 << '.' << tenths % 10 << '\n';
        }

        std::string describe(const std::string& id)
        {
            std::ostringstream line;
            line << "app " << id << " \"" << id.substr(id.rfind('.') + 1) << "\" mem=" << random.between(5, 300);
            if (random.chance(10))
                line << '.' << random.between(1, 9);
            static const std::pair<const char*, int> flags[] = {
                { "audio", 35 }, { "location", 10 }, { "voip", 8 }, { "no-tasks", 12 }, { "playing", 8 },
                { "recording", 4 }, { "sockets", 8 }, { "watchdog", 4 }, { "no-process", 4 }, { "no-id", 3 },
            };
            for (const auto& [flag, percent] : flags)
                if (random.chance(percent))
                    line << ' ' << flag;
            return line.str();
        }

        std::string leaveState()
        {
            static const int states[] = { 2, 2, 2, 3, 3, 3, 3, 1, 0, 5, 8 };
            return std::to_string(states[random.below(11)]);
        }

        void leave()
        {
            if (top)
                out << "state " << *top << ' ' << leaveState() << '\n';
        }

        void open(const std::string& id)
        {
            leave();
            out << "launch " << id << '\n' << "state " << id << " 4\n";
            top = id;
        }

        void goHome()
        {
            out << "home\n";
            leave();
            top.reset();
        }

        std::string someIds(int most)
        {
            std::string ids;
            int count = random.between(0, most);
            for (int i = 0; i < count; ++i)
                ids += " " + any();
            if (random.chance(10))
                ids += std::string(" ") + kPhone;
            return ids;
        }

        void settingsChange()
        {
            switch (random.below(6)) {
            case 0: out << "settings never" << someIds(4) << '\n'; break;
            case 1: out << "settings always" << someIds(3) << '\n'; break;
            case 2: out << "settings alwaysKill " << (random.chance(25) ? "on" : "off") << '\n'; break;
            case 3: out << "settings learnFromUse " << (random.chance(50) ? "on" : "off") << '\n'; break;
            default: out << "settings ramValue " << random.between(0, 12) * 50 + random.below(2) * random.between(1, 49) << '\n';
            }
        }

        void step()
        {
            int roll = random.below(100);
            if (roll < 30) {
                open(any());
                wait(random.between(0, 40));
            } else if (roll < 40) {
                goHome();
                wait(random.between(0, 60));
            } else if (roll < 52) {
                // Leave and come back: within the close's second, within the minute, or after it.
                std::string id = top ? *top : any();
                if (!top)
                    open(id);
                goHome();
                int kind = random.below(4);
                if (kind == 0) wait(random.between(1, 9));
                else if (kind == 1) wait(random.between(10, 60));
                else if (kind == 2) { wait(300); wait(random.between(0, 290)); }
                else { wait(600); wait(random.between(1, 300)); }
                open(id);
            } else if (roll < 60) {
                out << "call " << model::kCallWords[1 + random.below(3)] << '\n';
                inCall = true;
                if (random.chance(40)) {
                    wait(random.between(0, 15));
                    out << "call active\n";
                }
                for (int i = random.between(0, 3); i > 0; --i) {
                    if (random.chance(50)) open(any()); else goHome();
                    wait(random.between(0, 30));
                }
                if (random.chance(80)) {
                    out << "call none\n";
                    inCall = false;
                }
            } else if (roll < 66) {
                if (inCall) {
                    out << "call none\n";
                    inCall = false;
                } else {
                    wait(random.between(0, 100));
                }
            } else if (roll < 74) {
                if (random.chance(30))
                    out << (random.chance(50) ? "free auto\n" : "free " + std::to_string(random.between(0, 600)) + "\n");
                else
                    out << "memory base=" << base() << '\n';
            } else if (roll < 80) {
                settingsChange();
            } else if (roll < 83) {
                out << "post norv.slv.grabapps\n";
                wait(random.between(0, 10));
            } else if (roll < 86) {
                out << "post " << (random.chance(50) ? model::kKillApp : model::kKillTest) << '\n';
                wait(random.between(0, 50));
            } else if (roll < 89) {
                // Installs: a new application, or one described anew.
                std::string id = random.chance(50) ? "com.example.new" + std::to_string(apps.size()) : any();
                if (std::find(apps.begin(), apps.end(), id) == apps.end())
                    apps.push_back(id);
                out << describe(id) << '\n';
            } else if (roll < 91) {
                std::string id = "com.example.icon" + std::to_string(random.below(5));
                if (icons.insert(id).second)
                    out << "icon " << id << " \"Icon\"\n";
                else {
                    out << "icons remove " << id << '\n';
                    icons.erase(id);
                }
            } else if (roll < 96) {
                out << "show suspects\n";
            } else {
                // The diary too: what its minute's write has put in it by now.
                out << "show history\nshow diary\n";
            }
        }

        std::string day()
        {
            total = 512 * random.between(2, 6);
            out << "# a seeded day\nmemory total=" << total << " base="
                << (longDay ? base() : random.between(total / 4, total * 3 / 4)) << '\n';
            int count = random.between(longDay ? 30 : 5, 60);
            for (int i = 0; i < count; ++i)
                apps.push_back("com.example.app" + std::to_string(i));
            if (random.chance(20))
                apps.push_back(kPhone);
            for (const std::string& id : apps)
                out << describe(id) << '\n';
            if (random.chance(70))
                out << "settings ramValue " << random.between(1, 10) * 50 << '\n';
            // Learn From Use both ways: half the days learn from their start.
            if (random.chance(50))
                out << "settings learnFromUse on\n";
            if (random.chance(40))
                settingsChange();
            int steps = longDay ? random.between(700, 900) : random.between(40, 160);
            for (int i = 0; i < steps; ++i)
                step();
            if (inCall)
                out << "call none\n";
            wait(random.between(0, 200));
            // A minute on, the diary holds what was noted (what Learn From Use left of it).
            out << "show suspects\nshow history\nwait 61\nshow diary\n";
            return out.str();
        }
    };

} // namespace

std::string homeScreenDay(std::uint64_t seed)
{
    return Generator(seed).day();
}

} // namespace referee

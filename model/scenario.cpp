#include "model/scenario.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <optional>

namespace model {
namespace {

    using Words = std::vector<std::string>;

    // The model reads scenarios with its own words on purpose, not with the hosts' and the
    // engine's reader (playback/scenario_words.h): a fault in that reader must not hide by
    // agreeing with itself when the referee holds the library to the model.
    // Words split on blanks; "..." keeps blanks.
    std::optional<Words> split(std::string_view line)
    {
        Words words;
        std::size_t i = 0;
        while (i < line.size()) {
            if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
                ++i;
                continue;
            }
            std::string word;
            if (line[i] == '"') {
                std::size_t end = line.find('"', i + 1);
                if (end == std::string_view::npos)
                    return std::nullopt;
                word = std::string(line.substr(i + 1, end - i - 1));
                i = end + 1;
            } else {
                while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                    word += line[i++];
            }
            words.push_back(std::move(word));
        }
        return words;
    }

    std::optional<double> number(const std::string& text)
    {
        if (text.empty())
            return std::nullopt;
        char* end = nullptr;
        double value = std::strtod(text.c_str(), &end);
        return *end ? std::nullopt : std::optional(value);
    }

    // A diary line as the file holds it, without its line break; the timestamp is local time.
    std::string diaryText(const DiaryLine& line)
    {
        std::time_t seconds = static_cast<std::time_t>(line.timeMs / 1000 - (line.timeMs % 1000 < 0 ? 1 : 0));
        std::tm local {};
        char stamp[32] = "";
        if (::localtime_r(&seconds, &local))
            std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
        return "1\t" + std::to_string(line.session) + "\t" + stamp + "\t" + line.app + "\t" + line.kind + "\t"
            + std::to_string(line.timeMs) + "\t" + std::to_string(line.freeMB) + "\t" + line.detail;
    }

    std::string g(double value)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }

} // namespace

std::string formatLine(double time, std::string_view text)
{
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "[%.3f] ", time);
    return stamp + std::string(text);
}

PlayResult playScenario(std::string_view text, double wallOrigin, Usage learned)
{
    PlayResult result;
    Day day(wallOrigin, [&](const Event& event) {
        if (event.kind == Event::Kind::Closed)
            result.lines.push_back(formatLine(event.time, "closed " + event.what));
        else if (event.what.rfind("norv.swr.", 0) == 0)
            result.lines.push_back(formatLine(event.time, "posted " + event.what));
    });
    day.setUsage(std::move(learned));
    auto say = [&](const std::string& line) { result.lines.push_back(formatLine(day.now(), line)); };

    int number_ = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number_;
        if (auto hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        auto words = split(line);
        auto problem = [&](const std::string& what) {
            result.problems.push_back("line " + std::to_string(number_) + ": " + what);
        };
        if (!words) {
            problem("a quoted word is not closed");
            continue;
        }
        if (words->empty())
            continue;
        const Words& w = *words;
        const std::string& command = w[0];
        if (command == "quit")
            break;
        if (command == "app" && w.size() >= 3) {
            App app { .key = w[1] };
            for (std::size_t i = 3; i < w.size(); ++i) {
                const std::string& flag = w[i];
                if (flag.rfind("mem=", 0) == 0)
                    app.memoryMB = number(flag.substr(4)).value_or(0);
                else if (flag == "audio") app.audio = true;
                else if (flag == "location") app.location = true;
                else if (flag == "voip") app.voip = true;
                else if (flag == "no-tasks") app.taskAssertions = false;
                else if (flag == "playing") app.playing = true;
                else if (flag == "recording") app.recording = true;
                else if (flag == "sockets") app.sockets = true;
                else if (flag == "watchdog") app.watchdog = true;
                else if (flag == "no-process") app.hasProcess = false;
                else if (flag == "no-id") app.hasIdentifier = false;
            }
            day.install(app);
        } else if (command == "state" && w.size() == 3) {
            day.stateChanged(w[1], std::atoi(w[2].c_str()));
        } else if (command == "launch" && w.size() == 2) {
            day.launch(w[1]);
        } else if (command == "home") {
            day.home();
        } else if (command == "memory") {
            std::optional<double> total, base;
            for (std::size_t i = 1; i < w.size(); ++i) {
                if (w[i].rfind("total=", 0) == 0) total = number(w[i].substr(6));
                else if (w[i].rfind("base=", 0) == 0) base = number(w[i].substr(5));
            }
            day.memory(total, base);
        } else if (command == "free" && w.size() == 2) {
            day.pinFree(w[1] == "auto" ? std::nullopt : number(w[1]));
        } else if (command == "call" && w.size() == 2) {
            auto found = std::find(std::begin(kCallWords), std::end(kCallWords), w[1]);
            if (found == std::end(kCallWords))
                problem("call takes active, incoming, outgoing or none");
            else
                day.call(static_cast<Call>(found - std::begin(kCallWords)));
        } else if (command == "settings" && w.size() >= 2) {
            if (w[1] == "never" || w[1] == "always") {
                std::vector<std::string> ids(w.begin() + 2, w.end());
                w[1] == "never" ? day.setNever(std::move(ids)) : day.setAlways(std::move(ids));
            } else if (w[1] == "ramValue" && w.size() == 3) {
                // A NaN is no number; any other stays within what a whole number holds.
                std::optional<std::int64_t> stored;
                if (auto value = number(w[2]); value && *value == *value)
                    stored = static_cast<std::int64_t>(std::clamp(*value, -9e18, 9e18));
                day.setThreshold(stored);
            } else if ((w[1] == "alwaysKill" || w[1] == "learnFromUse") && w.size() == 3) {
                // Stored as a boolean (on, off) or as a number.
                auto stored = w[2] == "on" ? std::optional<double>(1) : w[2] == "off" ? std::optional<double>(0) : number(w[2]);
                if (!stored)
                    problem("settings " + w[1] + " takes on, off or a number");
                else
                    w[1] == "alwaysKill" ? day.setAlwaysKill(switchOn(stored)) : day.setLearnFromUse(switchOn(stored), *stored == *stored);
            } else {
                problem("settings: " + w[1]);
            }
        } else if (command == "show" && w.size() == 2 && w[1] == "suspects") {
            std::string out = "suspects";
            auto suspects = day.suspects();
            if (suspects.empty())
                out += " (none)";
            for (const std::string& key : suspects)
                out += " " + key;
            say(out);
        } else if (command == "show" && w.size() == 2 && w[1] == "history") {
            if (day.history().empty())
                say("history (none)");
            for (const HistoryRecord& record : day.history())
                say("history " + record.bundleID + " \"" + record.reason + "\""
                    + (record.reopenedAfter ? " reopened " + g(*record.reopenedAfter) : ""));
        } else if (command == "show" && (w.size() == 2 || (w.size() == 3 && w[2] == "now")) && w[1] == "diary") {
            if (w.size() == 3)
                day.writeDiaryNow();
            if (day.diary().empty())
                say("diary (none)");
            for (const DiaryLine& line : day.diary())
                say("diary " + diaryText(line));
        } else if (command == "wait" && w.size() == 2) {
            day.advance(number(w[1]).value_or(0));
        } else if (command == "post" && w.size() == 2) {
            // A catalogue export writes the settings file (without a threshold).
            if (w[1] == "norv.slv.grabapps")
                day.touchSettings();
            day.post(w[1]);
        }
    }
    return result;
}

} // namespace model

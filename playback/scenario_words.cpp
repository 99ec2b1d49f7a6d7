#include "playback/scenario_words.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace sv::scenario {

std::optional<std::vector<std::string>> splitWords(std::string_view line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= line.size())
            break;
        std::string word;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t' && line[i] != '\r'))) {
            char c = line[i++];
            if (c == '"') {
                quoted = !quoted;
            } else if (quoted && c == '\\' && i < line.size()) {
                word.push_back(line[i++]);
            } else {
                word.push_back(c);
            }
        }
        if (quoted)
            return std::nullopt;
        words.push_back(std::move(word));
    }
    return words;
}

bool Options::has(std::string_view flag) const
{
    for (const auto& f : flags)
        if (f == flag)
            return true;
    return false;
}

Options parseOptions(const std::vector<std::string>& words, std::size_t first)
{
    Options options;
    for (std::size_t i = first; i < words.size(); ++i) {
        auto equals = words[i].find('=');
        if (equals == std::string::npos)
            options.flags.push_back(words[i]);
        else
            options.values[words[i].substr(0, equals)] = words[i].substr(equals + 1);
    }
    return options;
}

std::optional<double> parseNumber(std::string_view text)
{
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string appUsage()
{
    std::string usage = "app <bundle-id> \"<name>\" [mem=<MB>]";
    for (const char* flag : kAppFlags)
        usage += std::string(" [") + flag + "]";
    return usage;
}

std::optional<std::string> readApp(const std::vector<std::string>& words, AppLine& app)
{
    app = AppLine { words[1], words[2], std::nullopt, {} };
    Options options = parseOptions(words, 3);
    for (const auto& [key, value] : options.values) {
        if (key != "mem")
            return "unknown option " + key + "=";
        auto megabytes = parseNumber(value);
        if (!megabytes || *megabytes < 0)
            return "mem= takes megabytes (0 or more)";
        app.memoryMB = megabytes;
    }
    for (const std::string& flag : options.flags)
        if (std::find(std::begin(kAppFlags), std::end(kAppFlags), flag) == std::end(kAppFlags))
            return "unknown flag " + flag;
    app.flags = std::move(options.flags);
    return std::nullopt;
}

} // namespace sv::scenario

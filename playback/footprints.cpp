#include "playback/footprints.h"

#include "playback/printable.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <sstream>

namespace replay {
namespace {

    std::string lower(std::string_view text)
    {
        std::string out(text);
        for (char& c : out)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return out;
    }

    // Resident memory of well-known applications on a phone in use (MB); see docs/replay.md for
    // where the figures come from. Keys are lower case.
    const std::map<std::string, double, std::less<>>& table()
    {
        static const std::map<std::string, double, std::less<>> figures = {
            { "calculator", 35 }, { "calendar", 70 }, { "camera", 150 }, { "chrome", 250 },
            { "clock", 40 }, { "contacts", 60 }, { "facebook", 230 }, { "gallery", 150 },
            { "gmail", 120 }, { "google", 160 }, { "google maps", 200 }, { "instagram", 220 },
            { "mail", 100 }, { "maps", 200 }, { "messages", 80 }, { "messenger", 150 },
            { "music", 120 }, { "netflix", 200 }, { "news", 110 }, { "notes", 60 },
            { "phone", 70 }, { "photos", 150 }, { "play store", 140 }, { "settings", 60 },
            { "snapchat", 250 }, { "spotify", 180 }, { "telegram", 110 }, { "tiktok", 280 },
            { "twitter", 170 }, { "weather", 70 }, { "whatsapp", 120 }, { "youtube", 200 },
        };
        return figures;
    }

    // FNV-1a: the same name gets the same figure whatever else the day holds. (Its basis xor 1
    // keeps the figures earlier runs drew.)
    std::uint64_t hash(std::string_view text)
    {
        std::uint64_t h = 1469598103934665603ull ^ 1u;
        for (unsigned char c : text) {
            h ^= c;
            h *= 1099511628211ull;
        }
        // splitmix64's finaliser, so that names alike give figures apart.
        h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ull;
        h = (h ^ (h >> 27)) * 0x94d049bb133111ebull;
        return h ^ (h >> 31);
    }

    std::string trim(std::string_view text)
    {
        auto begin = text.find_first_not_of(" \t\r");
        if (begin == std::string_view::npos)
            return {};
        auto end = text.find_last_not_of(" \t\r");
        return std::string(text.substr(begin, end - begin + 1));
    }

} // namespace

int Footprints::read(std::istream& in, const std::string& source, double maxMB)
{
    int bad = 0, number = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++number;
        std::string text = trim(line.substr(0, line.find('#')));
        if (text.empty())
            continue;
        auto split = text.find_last_of(" \t");
        std::string name = split == std::string::npos ? "" : trim(text.substr(0, split));
        std::string figure = split == std::string::npos ? text : text.substr(split + 1);
        double megabytes = 0;
        auto [end, error] = std::from_chars(figure.data(), figure.data() + figure.size(), megabytes);
        const char* why = nullptr;
        if (name.empty())
            why = "expected <name> <MB>";
        else if (error != std::errc() || end != figure.data() + figure.size() || !std::isfinite(megabytes))
            why = "the footprint is not a finite number";
        else if (megabytes < 0)
            why = "the footprint is below 0";
        else if (megabytes > maxMB)
            why = "the footprint is over the device's total memory";
        auto earlier = read_.find(lower(name));
        std::string twice;
        if (!why && earlier != read_.end()) {
            // Which of the two was meant is anyone's guess.
            twice = printable(name) + " is given twice (first on line " + std::to_string(earlier->second.line) + ")";
            why = twice.c_str();
        }
        if (why) {
            std::fprintf(stderr, "%s: line %d: %s\n", source.c_str(), number, why);
            ++bad;
            continue;
        }
        given_[lower(name)] = megabytes;
        read_[lower(name)] = { number, name };
    }
    source_ = source;
    return bad;
}

std::vector<std::string> Footprints::unmatched(const std::vector<std::string>& names) const
{
    std::set<std::string, std::less<>> met;
    for (const std::string& name : names)
        met.insert(lower(name));
    std::vector<std::pair<int, std::string>> lines;
    for (const auto& [key, read] : read_)
        if (!met.count(key))
            lines.emplace_back(read.line, source_ + ": line " + std::to_string(read.line) + ": "
                                              + printable(read.name) + " matches no application of the run");
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> said;
    for (auto& line : lines)
        said.push_back(std::move(line.second));
    return said;
}

void Footprints::estimate(const std::string& bundleID, double megabytes, int observations)
{
    estimated_[bundleID] = { megabytes, observations };
}

Footprints::Figure Footprints::figure(const std::string& name, const std::string& bundleID) const
{
    for (const std::string* key : { &name, &bundleID })
        if (auto found = given_.find(lower(*key)); found != given_.end())
            return { found->second, Source::File, 0 };
    if (auto found = estimated_.find(bundleID); found != estimated_.end())
        return { found->second.first, Source::Diary, found->second.second };
    for (const std::string* key : { &name, &bundleID })
        if (auto found = table().find(lower(*key)); found != table().end())
            return { found->second, Source::Table, 0 };
    // A log-normal figure around the median, drawn from the name: two uniform numbers from the
    // hash, one normal by Box-Muller.
    std::uint64_t h = hash(lower(name));
    double u1 = (double((h >> 11) & ((1ull << 26) - 1)) + 0.5) / double(1ull << 26);
    double u2 = (double(h >> 37) + 0.5) / double(1ull << 27);
    double normal = std::sqrt(-2 * std::log(u1)) * std::cos(2 * M_PI * u2);
    return { std::min(kLargestMB, std::round(kMedianMB * std::exp(kSigma * normal))), Source::Drawn, 0 };
}

} // namespace replay

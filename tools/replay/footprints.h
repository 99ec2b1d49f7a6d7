#pragma once
// What each application holds in memory while it runs: a file of `name MB` lines, else a table of
// published figures for well-known applications, else a seeded figure around the published median.

#include <istream>
#include <map>
#include <optional>
#include <string>

namespace replay {

class Footprints {
public:
    explicit Footprints(unsigned seed = 1)
        : seed_(seed)
    {
    }
    // Reads `name MB` lines (the name may hold spaces; # starts a comment). Each bad line is
    // reported on standard error as "<source>: line N: why"; answers how many there were.
    int read(std::istream& in, const std::string& source);
    void set(const std::string& name, double megabytes) { given_[name] = megabytes; }

    // By the name, then the identifier, from the file, the table, or the seeded figure.
    double of(const std::string& name, const std::string& bundleID) const;

    // The seeded figure's median and spread.
    static constexpr double kMedianMB = 90;
    static constexpr double kSigma = 0.55;

private:
    std::optional<double> known(const std::string& key) const;
    unsigned seed_;
    std::map<std::string, double, std::less<>> given_;
};

} // namespace replay

#pragma once
// What each application holds in memory while it runs: a file of `name MB` lines, else what a
// diary's free-memory figures say of it, else a table of figures for well-known applications,
// else a figure drawn from the name alone around the median (the same in every run, whatever the
// seed of synthetic days).

#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace replay {

class Footprints {
public:
    // Reads `name MB` lines (the name may hold spaces; # starts a comment; names compare without
    // case). Each bad line (no name, a figure that is no finite number, below 0 or over maxMB, a
    // name given on an earlier line) is reported on standard error as "<source>: line N: why";
    // answers how many there were.
    int read(std::istream& in, const std::string& source, double maxMB = kNoLimit);
    // The names read that none of the names given (applications' names and identifiers) matches,
    // each as "<source>: line N: ..." in the file's order: a typo, or a name a run never met.
    std::vector<std::string> unmatched(const std::vector<std::string>& names) const;
    void set(const std::string& name, double megabytes) { given_[name] = megabytes; }
    // What a diary says an application (by its identifier) holds, from so many observations.
    void estimate(const std::string& bundleID, double megabytes, int observations);

    enum class Source { File, Diary, Table, Drawn };
    struct Figure {
        double megabytes = 0;
        Source source = Source::Drawn;
        int observations = 0; // Diary: how many
    };
    // By the name, then the identifier, from the file; by the identifier from a diary; by the name,
    // then the identifier, from the table; or the figure drawn from the name.
    Figure figure(const std::string& name, const std::string& bundleID) const;
    double of(const std::string& name, const std::string& bundleID) const { return figure(name, bundleID).megabytes; }

    // The drawn figure's median and spread.
    static constexpr double kMedianMB = 90;
    static constexpr double kSigma = 0.55;
    // ... and its ceiling: no unknown application holds more than the largest the table knows.
    static constexpr double kLargestMB = 280;
    static constexpr double kNoLimit = 1e300;

private:
    std::map<std::string, double, std::less<>> given_;
    struct Read {
        int line;
        std::string name; // as written
    };
    std::map<std::string, Read, std::less<>> read_; // by the name as given_ holds it
    std::string source_;
    std::map<std::string, std::pair<double, int>, std::less<>> estimated_;
};

} // namespace replay

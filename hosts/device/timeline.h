#pragma once
// What a picture of one run shows, gathered from the merged event lines of the hosts: the home
// screen's free memory, the threshold, each close and each call, over the run's time.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace device {

class Timeline {
public:
    struct Point {
        double time = 0;
        double value = 0;
    };
    struct Close {
        double time = 0;
        std::string bundleID;
        std::string label; // what the marker says
    };
    struct Call {
        double start = 0;
        std::optional<double> end; // still going when the run ended
        std::string kind;          // how it began: active, incoming, outgoing
    };

    // One line of a host's output, as the runner tags it ("springboard", "settings"). Lines
    // that are no events, or events of no interest, are passed over.
    void take(std::string_view tag, std::string_view line);

    // Names the closes of bundleID after the fact, oldest first (what the close history knows).
    void labelCloses(std::string_view bundleID, const std::vector<std::string>& labels);

    const std::vector<Point>& freeMemory() const { return free_; }
    const std::vector<Point>& threshold() const { return threshold_; }
    const std::vector<Close>& closes() const { return closes_; }
    const std::vector<Call>& calls() const { return calls_; }
    // The time of the last event of any kind.
    double end() const { return end_; }
    bool empty() const { return free_.empty() && closes_.empty(); }

private:
    std::vector<Point> free_;
    std::vector<Point> threshold_;
    std::vector<Close> closes_;
    std::vector<Call> calls_;
    double end_ = 0;
};

// A short name for a marker: the last part of a dotted identifier.
std::string shortName(std::string_view bundleID);

} // namespace device

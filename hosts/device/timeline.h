#pragma once
// What a picture of one run shows, gathered from the merged event lines of the hosts: the home
// screen's free memory, the threshold, Close Every App, each close and each call, over the run's
// time.

#include "contract/history_file.h"

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
        std::string label; // what the marker says: the identifier until describeCloses names it
    };
    struct Call {
        double start = 0;
        std::optional<double> end; // still going when the run ended
        std::string kind;          // how it began: active, incoming, outgoing
    };

    // One line of a host's output, as the runner tags it ("springboard", "settings"). Lines
    // that are no events, or events of no interest, are passed over.
    void take(std::string_view tag, std::string_view line);

    // Names every close as the pane names the application and says why it happened, from the
    // close history (oldest first) where it has a record: "Mail: Low memory, 124 MB free, back
    // after 9 s". The settings file's catalogue gives the names; without one, the identifiers.
    void describeCloses(const std::vector<slv::history::Record>& history, const sv::Dictionary* settings);

    const std::vector<Point>& freeMemory() const { return free_; }
    const std::vector<Point>& threshold() const { return threshold_; }
    // Close Every App over the run: 1 on, 0 off (off until said otherwise).
    const std::vector<Point>& closeEveryApp() const { return closeEveryApp_; }
    const std::vector<Close>& closes() const { return closes_; }
    const std::vector<Call>& calls() const { return calls_; }
    // The time of the last event of any kind.
    double end() const { return end_; }
    bool empty() const { return free_.empty() && closes_.empty(); }

private:
    std::vector<Point> free_;
    std::vector<Point> threshold_;
    std::vector<Point> closeEveryApp_;
    std::vector<Close> closes_;
    std::vector<Call> calls_;
    double end_ = 0;
};

} // namespace device

#pragma once
// Where the closes' labels go in the picture of a run: in a band of rows above the plot, so that
// no line of the plot runs through them. Each close is labelled on a row with a leader of its own
// down to its marker, on a row from which the leader passes no label below where there is one;
// the closes of a stretch of time too crowded for that are summed on the band's top row ("12
// closes", over a bar from the first to the last).

#include "hosts/device/timeline.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace device {

inline constexpr int kNamedRows = 5;
inline constexpr double kLabelGap = 10; // between two labels on a row
inline constexpr double kLeaderGap = 8; // between the leaders of closes at one moment

struct CloseLayout {
    // A close labelled by name; row 0 is the first row under the sums.
    struct Named {
        std::size_t close = 0; // into the timeline's closes
        double leaderX = 0;    // the leader and the marker; the label starts 4 to its right
        int row = 0;
    };
    // The closes of one stretch, summed.
    struct Sum {
        std::vector<std::size_t> closes;
        double from = 0, to = 0; // the bar, from the first close to the last
        double x = 0, width = 0; // the label
        std::string text;
    };
    std::vector<Named> named;
    std::vector<Sum> sums;
    int namedRows = 0; // rows the named labels use
    // The band's rows: the sums' row (when there are sums), then the named rows.
    int bandRows() const { return (sums.empty() ? 0 : 1) + namedRows; }
};

// Lays out the closes between left and right (picture x), stretch by stretch of stretchSeconds:
// x maps a time to picture x, widthOf measures a label.
CloseLayout layOutCloses(const std::vector<Timeline::Close>& closes, const std::function<double(double)>& x,
                         double left, double right, double stretchSeconds,
                         const std::function<double(const std::string&)>& widthOf);

} // namespace device

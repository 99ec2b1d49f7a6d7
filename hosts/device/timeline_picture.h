#pragma once
// The picture of a run: free memory as a stepped line over time, the threshold as a dashed one,
// each close as a labelled marker and each call as a shaded span. On a long, busy run the
// closes of a crowded stretch of time are summed under one label, and time is read in minutes
// or hours.

#include "hosts/device/timeline.h"

#include <string>
#include <vector>

namespace device {

inline constexpr int kTimelineWidth = 1400;
inline constexpr int kTimelineHeight = 560;

// A text drawn in the picture and the box it takes, in pixels from the top left.
struct TimelineLabel {
    std::string text;
    double x = 0, y = 0, width = 0, height = 0;
};

// Draws the timeline into a PNG file (a host path), written atomically. False when it cannot.
// With labels, every text drawn is put there with its box.
bool writeTimelinePicture(const Timeline& timeline, const std::string& hostPath,
                          std::vector<TimelineLabel>* labels = nullptr);

} // namespace device

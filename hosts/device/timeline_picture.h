#pragma once
// The picture of a run: free memory as a stepped line over time, the threshold as a dashed one
// with its changes marked, each close as a marker labelled above the plot, each call as a shaded
// span and Close Every App as a bar along the bottom while it is on. On a long, busy run the
// closes of a crowded stretch of time are summed under one label, and time is read in minutes or
// hours.

#include "hosts/device/timeline.h"

#include <string>
#include <vector>

namespace device {

inline constexpr int kTimelineWidth = 1400;
inline constexpr int kTimelineHeight = 620;

// A text drawn in the picture and the box it takes, in pixels from the top left.
struct TimelineLabel {
    std::string text;
    double x = 0, y = 0, width = 0, height = 0;
};

// What a picture holds besides its pixels, for those who check it.
struct TimelineLayout {
    std::vector<TimelineLabel> labels; // every text drawn, with its box
    TimelineLabel plot;                // the frame of the plot (no text)
    std::vector<double> leaders;       // the x of each named close's leader
};

// Draws the timeline into a PNG file (a host path), written atomically. False when it cannot.
bool writeTimelinePicture(const Timeline& timeline, const std::string& hostPath, TimelineLayout* layout = nullptr);

} // namespace device

#pragma once
// The picture of a run: free memory as a stepped line over time, the threshold as a dashed one,
// each close as a labelled marker and each call as a shaded span.

#include "hosts/device/timeline.h"

#include <string>

namespace device {

inline constexpr int kTimelineWidth = 1400;
inline constexpr int kTimelineHeight = 560;

// Draws the timeline into a PNG file (a host path), written atomically. False when it cannot.
bool writeTimelinePicture(const Timeline& timeline, const std::string& hostPath);

} // namespace device

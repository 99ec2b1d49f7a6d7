#pragma once
// Plays a day on a simulated device under one policy and one threshold, and counts what it cost.

#include "tools/replay/day.h"
#include "tools/replay/footprints.h"
#include "tools/replay/policy.h"

#include <string>
#include <vector>

namespace replay {

struct DeviceSize {
    double totalMB = 1024;
    double baseMB = 512;
};

// The cost of one policy at one threshold, summed over days.
struct Figures {
    std::string policy;
    int threshold = 0;
    long switches = 0;     // an application left the foreground (each a decision of the rules)
    long launches = 0;     // an application came to the foreground
    long coldLaunches = 0; // ... and had to start anew
    long closes = 0;
    long regretted60s = 0; // closed, then opened again within 60 s
    long regretted10min = 0; // ... within 10 minutes (the 60 s ones included)
    double secondsUnderThreshold = 0;
    double lowestFree = 1e18;

    double per100Switches(long count) const { return switches ? 100.0 * double(count) / double(switches) : 0; }
    void add(const Figures& other);
};

// One close a policy made.
struct Closed {
    double time;
    AppId app;
};

class Replay {
public:
    Replay(DeviceSize device, const Footprints& footprints)
        : device_(device)
        , footprints_(footprints)
    {
    }
    // Plays the day; closes (in order) land in closes when given.
    Figures play(const Day& day, Policy& policy, int threshold, std::vector<Closed>* closes = nullptr) const;

private:
    DeviceSize device_;
    const Footprints& footprints_;
};

// The footprint each application of the day has on this replay's device.
std::vector<double> footprintsOf(const Day& day, const Footprints& footprints);

} // namespace replay

#pragma once
// Holds the parts policy to the real library: a day is written as a scenario, played by the real
// home-screen host on the virtual clock, and every close it prints is compared with the policy's.

#include "playback/replay.h"

#include <string>
#include <vector>

namespace replay {

// The day as a home-screen scenario at one threshold, every application with its footprint.
// With learnFromUse the scenario turns Learn From Use on (the host starts knowing nothing).
std::string scenarioOf(const Day& day, int threshold, const DeviceSize& device, const std::vector<double>& footprints,
                       bool learnFromUse = false);

// A diary's day: the closes its library recorded are these, application and moment (within 2 ms).
bool sameAsRecorded(const Day& day, const std::vector<Closed>& closes);

class LibraryCheck {
public:
    // host: the springboard-host program; library: libSleepwright.so to inject.
    LibraryCheck(std::string host, std::string library);
    ~LibraryCheck();
    LibraryCheck(const LibraryCheck&) = delete;
    LibraryCheck& operator=(const LibraryCheck&) = delete;

    // Plays the day at the threshold on the host and compares its closes with the policy's
    // ("parts", or "learn-from-use" with the switch on and nothing learned before the day).
    // Answers false, with each difference on standard error, when they disagree or the host fails;
    // the day's scenario is then kept in a file of its own, named in the message.
    // The policy's closes land in policyCloses when given.
    bool check(const Day& day, int threshold, const Replay& replay, const DeviceSize& device,
               const Footprints& footprints, long* closes = nullptr, const std::string& policy = kPartsPolicy,
               std::vector<Closed>* policyCloses = nullptr);

private:
    std::string host_, library_;
    std::string root_; // a device root of our own, reset before each day
};

} // namespace replay

#pragma once
// The referee: a scenario played by the real home-screen host and by the model, and the lines
// of both that must agree (`closed`, `posted norv.swr.*`, `suspects`, `history`, `diary`).

#include "model/usage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace referee {

using Lines = std::vector<std::string>;

struct HostRun {
    Lines lines;      // the lines held to the model
    std::string out;  // everything the host printed
    std::string err;
    int status = -1;
};

// Plays the scenario on a fresh device root with the library installed, on the virtual clock.
HostRun playOnHost(const std::string& scenario);
// learned: what the model's Learn From Use knows when the day starts (a new phone's by default).
Lines playOnModel(const std::string& scenario, const model::Usage& learned = model::Usage());

struct Verdict {
    bool agree = true;
    std::string report;    // where they part, with both sides around it
    std::string shortened; // a shorter scenario that still disagrees (empty when they agree)
};

// Plays both; on a disagreement shortens the scenario (at most maxTries more host runs).
Verdict judge(const std::string& scenario, int maxTries = 120);

// Where shortened scenarios of failed seeds are written.
std::string failureFolder();

// A command that plays a scenario file on the host and the model and shows where they part
// (RefereeScenarios.ChosenScenario).
std::string scenarioCommand(const std::string& path);

} // namespace referee

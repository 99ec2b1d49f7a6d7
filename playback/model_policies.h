#pragma once
// The policies the library's model plays: its rules, Learn From Use, and the rules choosing with
// foresight.

#include "model/usage.h"
#include "playback/policy.h"

#include <functional>
#include <memory>
#include <string>

namespace replay {

// How likely an application is to be wanted soon, seen from `now` with the day ahead known:
// where Learn From Use would take the least likely suspect, the lowest answer goes.
using Foresight = std::function<double(const Stage& stage, AppId app, double now)>;

std::unique_ptr<Policy> makePartsPolicy();
std::unique_ptr<Policy> makeLearnFromUsePolicy(const std::string& name, const Knobs& knobs);
// Learn From Use's rule, showing what it has learned to `watch` after each event it is told of
// (at that event's time): the weights' course.
using UsageWatch = std::function<void(double time, const model::Usage& usage)>;
std::unique_ptr<Policy> makeWatchedLearnFromUsePolicy(UsageWatch watch);
std::unique_ptr<Policy> makeForesightPolicy(std::string name, Foresight foresight);

} // namespace replay

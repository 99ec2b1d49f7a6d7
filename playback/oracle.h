#pragma once
// The foresight bound (oracle.cpp says how it plays).

#include "playback/policy.h"

#include <memory>

namespace replay {

std::unique_ptr<Policy> makeOracle();

} // namespace replay

#pragma once
// The policies by name, as the command line and the recommendation ask for them.

#include "playback/policy.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

// The policies known by name: "parts", "largest-first", "oracle", "learn-from-use", and
// "learn-from-use:<knob>=<value>:..." for predictors tried beside it (policyKnobs). Null for
// another name, with the reason in why when given.
std::unique_ptr<Policy> makePolicy(const std::string& name, std::string* why = nullptr);
std::vector<std::string> policyNames();

// The learn-from-use knobs, each once, separated by ':' (half=<uses>, extra=<n>, follow=<weight>,
// window=<uses>, recency, keep=<suspects>, size=<power>). Nothing, with the reason in why, for
// anything else.
std::optional<Knobs> policyKnobs(std::string_view knobs, std::string* why);

} // namespace replay

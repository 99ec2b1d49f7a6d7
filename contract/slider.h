#pragma once
// The threshold slider's range and step (MB), which the pane's slider, the library's reading of
// a stored threshold and the engine's suggestion all go by.

#include <cstdint>

namespace slv {

inline constexpr std::int32_t kMinimumThreshold = 30;
inline constexpr std::int32_t kMaximumThreshold = 300;
inline constexpr std::int32_t kThresholdStep = 5;

} // namespace slv

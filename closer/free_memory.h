#pragma once
// The free-memory probe: free and inactive pages as a bare number in the largest power of 1024
// the amount exceeds. Callers compare its leading integer with the threshold.

#include "platform/kernel/kernel.h"

#include <cstdint>
#include <string>
#include <string_view>

// Receives the host's virtual-memory statistics at every probe.
extern sv::kernel::vm_statistics vmstat;

std::string getFreeMemory();
std::string prettyBytes(std::uint64_t bytes);

// The leading decimal integer of a text ("150.0000" gives 150), saturated to 32 bits; 0 when
// the text does not start with one.
std::int32_t leadingInteger(std::string_view text);

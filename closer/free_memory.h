#pragma once
// The free-memory probe: free and inactive pages, compared with the threshold in mebibytes.

#include "platform/kernel/kernel.h"

#include <cstdint>
#include <string>

// Receives the host's virtual-memory statistics at every probe.
extern sv::kernel::vm_statistics vmstat;

// Free and inactive memory in bytes, as the kernel reports it now.
std::uint64_t freeMemoryBytes();
// That amount as a bare number in the largest power of 1024 it exceeds, without unit.
std::string getFreeMemory();
std::string prettyBytes(std::uint64_t bytes);

// What the close decision compares with "ramValue": the integer part of the mebibytes rounded
// to four decimals (so 174.99995 MiB already reads 175), saturated to 32 bits.
std::int32_t mebibyteFigure(std::uint64_t bytes);
std::int32_t freeMebibytes();

// The free-memory probe.
#include "closer/free_memory.h"

#include "platform/foundation/log.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unistd.h>

sv::kernel::vm_statistics vmstat {};

namespace {

// Used when the page-size query fails, so that the arithmetic below never sees garbage.
std::int32_t fallbackPageSize()
{
    long size = ::sysconf(_SC_PAGESIZE);
    return size > 0 && size <= std::numeric_limits<std::int32_t>::max() ? static_cast<std::int32_t>(size) : 4096;
}

} // namespace

std::string prettyBytes(std::uint64_t bytes)
{
    auto scale = static_cast<std::uint64_t>(std::pow(1024.0, 6));
    for (int i = 0; i < 6; ++i) {
        if (bytes > scale) {
            char text[64];
            std::snprintf(text, sizeof text, "%.4f", static_cast<double>(bytes) / static_cast<double>(scale));
            return text;
        }
        scale >>= 10;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(bytes & 0xffffffffu));
    return text;
}

std::string getFreeMemory()
{
    int name[2] = { sv::kernel::CTL_HW, sv::kernel::HW_PAGESIZE };
    std::int32_t pageSize = 0;
    std::size_t length = sizeof pageSize;
    if (sv::kernel::sysctl(name, 2, &pageSize, &length, nullptr, 0) < 0) {
        sv::log("getting page size");
        pageSize = fallbackPageSize();
    }

    sv::kernel::mach_msg_type_number_t count = sv::kernel::HOST_VM_INFO_COUNT;
    if (sv::kernel::host_statistics(sv::kernel::mach_host_self(), sv::kernel::HOST_VM_INFO, vmstat.words, &count)
        != sv::kernel::KERN_SUCCESS)
        sv::log("Failed to get VM statistics.");

    // Each product in 32 bits, as the device computes it; the sum in double precision.
    auto page = static_cast<std::uint32_t>(pageSize);
    std::uint32_t freeBytes = vmstat.words[0] * page;
    std::uint32_t inactiveBytes = vmstat.words[2] * page;
    double total = static_cast<double>(freeBytes) + static_cast<double>(inactiveBytes);
    return prettyBytes(static_cast<std::uint64_t>(total));
}

std::int32_t leadingInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    constexpr std::int64_t limit = std::int64_t { std::numeric_limits<std::int32_t>::max() } + 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(limit, value * 10 + (text[i] - '0'));
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min(value, limit - 1));
}

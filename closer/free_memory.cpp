// The free-memory probe.
#include "closer/free_memory.h"

#include "platform/foundation/log.h"
#include "platform/foundation/string_number.h"

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

std::uint64_t freeMemoryBytes()
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

    // In 64 bits: a 32-bit product wraps once 4 GiB are free. Two 32-bit counts times a page
    // size below 2^31 cannot overflow the sum.
    if (pageSize <= 0)
        pageSize = fallbackPageSize();
    auto page = static_cast<std::uint64_t>(pageSize);
    return std::uint64_t { vmstat.words[0] } * page + std::uint64_t { vmstat.words[2] } * page;
}

std::string getFreeMemory()
{
    return prettyBytes(freeMemoryBytes());
}

std::int32_t mebibyteFigure(std::uint64_t bytes)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", static_cast<double>(bytes) / static_cast<double>(1 << 20));
    return sv::intValue(text);
}

std::int32_t freeMebibytes()
{
    return mebibyteFigure(freeMemoryBytes());
}

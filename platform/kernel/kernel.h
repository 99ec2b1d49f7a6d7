#pragma once
// The kernel queries the free-memory probe makes: the page size through sysctl and the 15-word
// virtual-memory statistics through host_statistics. On Linux they come from the kernel itself;
// a host that simulates a device installs providers that answer for it instead.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace sv::kernel {

inline constexpr int CTL_HW = 6;
inline constexpr int HW_PAGESIZE = 7;
inline constexpr int HOST_VM_INFO = 2;
inline constexpr int KERN_SUCCESS = 0;
inline constexpr int KERN_FAILURE = 5;
inline constexpr unsigned HOST_VM_INFO_COUNT = 15;

using host_t = unsigned;
using mach_msg_type_number_t = unsigned;

// Word 0 counts free pages, word 2 inactive pages.
struct vm_statistics {
    std::uint32_t words[HOST_VM_INFO_COUNT];
};

// Answers 0 with the value written to oldp, or -1.
int sysctl(const int* name, unsigned nameLength, void* oldp, std::size_t* oldLength, const void* newp,
           std::size_t newLength);
host_t mach_host_self();
int host_statistics(host_t host, int flavor, std::uint32_t* info, mach_msg_type_number_t* count);

// Providers: a page size (nothing: the query fails) and the statistics (false: it fails).
using PageSizeProvider = std::function<std::optional<std::int32_t>()>;
using StatisticsProvider = std::function<bool(vm_statistics&)>;
void setPageSizeProvider(PageSizeProvider provider);
void setStatisticsProvider(StatisticsProvider provider);
// Back to the real kernel.
void resetProviders();

} // namespace sv::kernel

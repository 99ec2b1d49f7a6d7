#include "platform/kernel/kernel.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace sv::kernel {
namespace {

    std::optional<std::int32_t> linuxPageSize()
    {
        long size = ::sysconf(_SC_PAGESIZE);
        if (size <= 0)
            return std::nullopt;
        return static_cast<std::int32_t>(size);
    }

    // Free and inactive memory from /proc/meminfo, as page counts.
    bool linuxStatistics(vm_statistics& statistics)
    {
        std::FILE* file = std::fopen("/proc/meminfo", "re");
        if (!file)
            return false;
        unsigned long long freeKb = 0, inactiveKb = 0;
        bool sawFree = false, sawInactive = false;
        char line[256];
        while (std::fgets(line, sizeof line, file)) {
            unsigned long long kb = 0;
            if (std::sscanf(line, "MemFree: %llu kB", &kb) == 1) {
                freeKb = kb;
                sawFree = true;
            } else if (std::sscanf(line, "Inactive: %llu kB", &kb) == 1) {
                inactiveKb = kb;
                sawInactive = true;
            }
        }
        std::fclose(file);
        auto pageKb = static_cast<unsigned long long>(linuxPageSize().value_or(4096)) / 1024;
        std::memset(&statistics, 0, sizeof statistics);
        statistics.words[0] = static_cast<std::uint32_t>(freeKb / pageKb);
        statistics.words[2] = static_cast<std::uint32_t>(inactiveKb / pageKb);
        return sawFree && sawInactive;
    }

    PageSizeProvider& pageSizeProvider()
    {
        static PageSizeProvider provider = linuxPageSize;
        return provider;
    }

    StatisticsProvider& statisticsProvider()
    {
        static StatisticsProvider provider = linuxStatistics;
        return provider;
    }

} // namespace

int sysctl(const int* name, unsigned nameLength, void* oldp, std::size_t* oldLength, const void*, std::size_t)
{
    if (!name || nameLength != 2 || name[0] != CTL_HW || name[1] != HW_PAGESIZE || !oldp || !oldLength
        || *oldLength < sizeof(std::int32_t))
        return -1;
    auto size = pageSizeProvider() ? pageSizeProvider()() : std::nullopt;
    if (!size)
        return -1;
    std::memcpy(oldp, &*size, sizeof(std::int32_t));
    *oldLength = sizeof(std::int32_t);
    return 0;
}

host_t mach_host_self()
{
    return 1;
}

int host_statistics(host_t, int flavor, std::uint32_t* info, mach_msg_type_number_t* count)
{
    if (flavor != HOST_VM_INFO || !info || !count || *count < HOST_VM_INFO_COUNT)
        return KERN_FAILURE;
    vm_statistics statistics {};
    if (!statisticsProvider() || !statisticsProvider()(statistics))
        return KERN_FAILURE;
    std::memcpy(info, statistics.words, sizeof statistics.words);
    *count = HOST_VM_INFO_COUNT;
    return KERN_SUCCESS;
}

void setPageSizeProvider(PageSizeProvider provider)
{
    pageSizeProvider() = std::move(provider);
}

void setStatisticsProvider(StatisticsProvider provider)
{
    statisticsProvider() = std::move(provider);
}

void resetProviders()
{
    pageSizeProvider() = linuxPageSize;
    statisticsProvider() = linuxStatistics;
}

} // namespace sv::kernel

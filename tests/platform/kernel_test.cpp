#include "platform/kernel/kernel.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace k = sv::kernel;

TEST(Kernel, AnswersThePageSizeAndStatisticsOfThisMachine)
{
    int name[2] = { k::CTL_HW, k::HW_PAGESIZE };
    std::int32_t pageSize = 0;
    std::size_t length = sizeof pageSize;
    ASSERT_EQ(k::sysctl(name, 2, &pageSize, &length, nullptr, 0), 0);
    EXPECT_EQ(pageSize, ::sysconf(_SC_PAGESIZE));

    std::uint32_t words[k::HOST_VM_INFO_COUNT] = {};
    k::mach_msg_type_number_t count = k::HOST_VM_INFO_COUNT;
    ASSERT_EQ(k::host_statistics(k::mach_host_self(), k::HOST_VM_INFO, words, &count), k::KERN_SUCCESS);
    EXPECT_GT(words[0] + words[2], 0u);
}

TEST(Kernel, ProvidersAnswerForASimulatedDeviceAndFailuresAreReported)
{
    k::setPageSizeProvider([] { return std::optional<std::int32_t>(16384); });
    k::setStatisticsProvider([](k::vm_statistics& s) {
        s.words[0] = 10;
        s.words[2] = 20;
        return true;
    });
    int name[2] = { k::CTL_HW, k::HW_PAGESIZE };
    std::int32_t pageSize = 0;
    std::size_t length = sizeof pageSize;
    EXPECT_EQ(k::sysctl(name, 2, &pageSize, &length, nullptr, 0), 0);
    EXPECT_EQ(pageSize, 16384);
    std::uint32_t words[k::HOST_VM_INFO_COUNT] = {};
    k::mach_msg_type_number_t count = k::HOST_VM_INFO_COUNT;
    EXPECT_EQ(k::host_statistics(k::mach_host_self(), k::HOST_VM_INFO, words, &count), k::KERN_SUCCESS);
    EXPECT_EQ(words[0], 10u);
    EXPECT_EQ(words[2], 20u);

    k::setPageSizeProvider([] { return std::optional<std::int32_t>(); });
    k::setStatisticsProvider([](k::vm_statistics&) { return false; });
    EXPECT_EQ(k::sysctl(name, 2, &pageSize, &length, nullptr, 0), -1);
    EXPECT_NE(k::host_statistics(k::mach_host_self(), k::HOST_VM_INFO, words, &count), k::KERN_SUCCESS);
    count = 3;
    k::resetProviders();
    EXPECT_NE(k::host_statistics(k::mach_host_self(), k::HOST_VM_INFO, words, &count), k::KERN_SUCCESS);
}

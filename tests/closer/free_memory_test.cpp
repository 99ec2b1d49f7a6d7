#include "closer/free_memory.h"
#include "tests/closer/closer_fixture.h"

#include <unistd.h>

using sv::test::CloserTest;

TEST(PrettyBytes, WritesTheLargestPowerOf1024ExceededWithoutUnit)
{
    const std::pair<std::uint64_t, const char*> table[] = {
        { 0, "0" },
        { 1024, "1024" },
        { 1025, "1.0010" },
        { 1048576, "1024.0000" },
        { 1048577, "1.0000" },
        { 157286400, "150.0000" },
        { 183500800, "175.0000" },
        { 1073741824, "1024.0000" },
        { 1610612736, "1.5000" },
        { 0xffffffffffffffffull, "16.0000" },
    };
    for (const auto& [bytes, text] : table)
        EXPECT_EQ(prettyBytes(bytes), text) << bytes;
}

TEST(LeadingInteger, ReadsTheIntegerPartAsTheDecisionDoes)
{
    EXPECT_EQ(leadingInteger("150.0000"), 150);
    EXPECT_EQ(leadingInteger("1.5000"), 1);
    EXPECT_EQ(leadingInteger("1024"), 1024);
    EXPECT_EQ(leadingInteger("  -7x"), -7);
    EXPECT_EQ(leadingInteger("abc"), 0);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("99999999999"), 2147483647);
    EXPECT_EQ(leadingInteger("-99999999999"), -2147483647 - 1);
}

namespace {
void provide(std::optional<std::int32_t> pageSize, std::optional<std::pair<std::uint32_t, std::uint32_t>> pages)
{
    sv::kernel::setPageSizeProvider([pageSize] { return pageSize; });
    sv::kernel::setStatisticsProvider([pages](sv::kernel::vm_statistics& statistics) {
        if (!pages)
            return false;
        statistics = {};
        statistics.words[0] = pages->first;
        statistics.words[1] = 999999; // active pages do not count
        statistics.words[2] = pages->second;
        return true;
    });
}
}

TEST_F(CloserTest, ProbeCountsFreeAndInactivePages)
{
    provide(4096, std::pair { 30000u, 14800u }); // 44800 pages of 4 KiB: exactly 175 MiB
    EXPECT_EQ(getFreeMemory(), "175.0000");
    provide(16384, std::pair { 1000u, 0u });
    EXPECT_EQ(getFreeMemory(), "15.6250");
    EXPECT_TRUE(logLines.empty());
}

TEST_F(CloserTest, ProbeKeepsThe32BitProductsOfTheDevice)
{
    // 2^20 pages of 4 KiB is 4 GiB, which wraps to 0 in 32 bits; the other product is 1 GiB.
    provide(4096, std::pair { 1u << 20, 1u << 18 });
    EXPECT_EQ(getFreeMemory(), "1024.0000");
}

TEST_F(CloserTest, ProbeFallsBackToTheMachinePageSizeWhenTheQueryFails)
{
    provide(std::nullopt, std::pair { 256u, 0u });
    std::uint64_t expected = 256ull * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    EXPECT_EQ(getFreeMemory(), prettyBytes(expected));
    EXPECT_EQ(logLines, std::vector<std::string> { "getting page size" });
}

TEST_F(CloserTest, ProbeGoesOnWithTheLastStatisticsWhenTheyCannotBeRead)
{
    provide(4096, std::pair { 25600u, 0u });
    EXPECT_EQ(getFreeMemory(), "100.0000");
    provide(4096, std::nullopt);
    EXPECT_EQ(getFreeMemory(), "100.0000");
    EXPECT_EQ(logLines, std::vector<std::string> { "Failed to get VM statistics." });
}

TEST_F(CloserTest, ProbeSeesTheDeviceModel)
{
    play({ "memory total=1024 base=724", "app com.example.big \"Big\" mem=125", "launch com.example.big" });
    EXPECT_EQ(leadingInteger(getFreeMemory()), 175);
    play({ "free 42.5" });
    EXPECT_EQ(getFreeMemory(), "42.5000");
    play({ "free auto", "home" });
    EXPECT_EQ(leadingInteger(getFreeMemory()), 175);
}

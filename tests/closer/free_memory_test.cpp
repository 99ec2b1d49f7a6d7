#include "closer/free_memory.h"
#include "platform/foundation/string_number.h"
#include "tests/closer/closer_fixture.h"

#include <algorithm>
#include <unistd.h>

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

TEST(MebibyteFigure, ComparesInMebibytesAtEverySize)
{
    constexpr std::uint64_t MiB = 1 << 20;
    const std::pair<std::uint64_t, std::int32_t> table[] = {
        { 0, 0 },
        { 512 * 1024, 0 }, // today 512: the kibibytes of the figure
        { MiB, 1 },        // today 1024
        { 175 * MiB, 175 },
        { 175 * MiB - 52, 175 }, // 174.99995 rounds up before the integer is taken
        { 175 * MiB - 53, 174 },
        { 2048 * MiB, 2048 }, // today 2: the gibibytes of the figure
        { 3584 * MiB, 3584 },
        { 8192 * MiB, 8192 },
        { 0xffffffffffffffffull, 2147483647 },
    };
    for (const auto& [bytes, figure] : table)
        EXPECT_EQ(mebibyteFigure(bytes), figure) << bytes;
}

TEST(MebibyteFigure, EveryFigureFromOneMebibyteToOneGibibyteComparesAsTheTextDid)
{
    // The referee: the integer part of the probe's text, as the threshold was compared before.
    auto before = [](std::uint64_t bytes) { return sv::intValue(prettyBytes(bytes)); };
    constexpr std::uint64_t MiB = 1 << 20, GiB = MiB << 10;
    std::size_t differing = 0;
    auto compare = [&](std::uint64_t bytes) {
        if (mebibyteFigure(bytes) != before(bytes) && ++differing <= 5)
            ADD_FAILURE() << bytes << " bytes: " << mebibyteFigure(bytes) << ", before " << before(bytes);
    };
    for (std::uint64_t pages = MiB / 4096; pages <= GiB / 4096; ++pages) // every 4 KiB page count
        compare(std::max(pages * 4096, MiB + 1));
    for (std::uint64_t mib = 1; mib <= 1024; ++mib) // each side of every whole mebibyte
        for (std::uint64_t offset : { 1, 26, 52, 53, 54 }) {
            compare(std::clamp(mib * MiB - offset, MiB + 1, GiB));
            compare(std::clamp(mib * MiB + offset, MiB + 1, GiB));
        }
    std::uint64_t state = 88172645463325252ull; // xorshift: odd byte counts all over the range
    for (int i = 0; i < 100000; ++i) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        compare(MiB + 1 + state % (GiB - MiB));
    }
    EXPECT_EQ(differing, 0u);
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

TEST_F(CloserTest, ProbeCountsPastFourGibibytes)
{
    // 2^20 pages of 4 KiB is 4 GiB, which 32-bit products would wrap to 0; the other is 1 GiB.
    provide(4096, std::pair { 1u << 20, 1u << 18 });
    EXPECT_EQ(freeMemoryBytes(), 5ull << 30);
    EXPECT_EQ(getFreeMemory(), "5.0000");
    EXPECT_EQ(freeMebibytes(), 5120);
    provide(65536, std::pair { 0xffffffffu, 0xffffffffu });
    EXPECT_EQ(freeMemoryBytes(), 2 * 0xffffffffull * 65536);
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
    EXPECT_EQ(freeMebibytes(), 175);
    play({ "free 42.5" });
    EXPECT_EQ(getFreeMemory(), "42.5000");
    play({ "free auto", "home" });
    EXPECT_EQ(freeMebibytes(), 175);
}

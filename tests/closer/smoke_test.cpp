#include "tests/closer/closer_fixture.h"

using sv::test::CloserTest;

TEST_F(CloserTest, StartsInsideTheHomeScreen)
{
    EXPECT_TRUE(susApp);
}

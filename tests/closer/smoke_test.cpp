#include "platform/runtime/object.h"

#include <gtest/gtest.h>

TEST(Smoke, RootClassExists)
{
    EXPECT_NE(sv::rt::rootClass(), nullptr);
}

#include "platform/foundation/string_number.h"

#include <gtest/gtest.h>

TEST(IntValue, ReadsTheLeadingIntegerAndSaturates)
{
    EXPECT_EQ(sv::intValue("150.0000"), 150);
    EXPECT_EQ(sv::intValue("1.5000"), 1);
    EXPECT_EQ(sv::intValue("+35"), 35);
    EXPECT_EQ(sv::intValue("  -7x"), -7);
    EXPECT_EQ(sv::intValue("abc"), 0);
    EXPECT_EQ(sv::intValue(""), 0);
    EXPECT_EQ(sv::intValue("-"), 0);
    EXPECT_EQ(sv::intValue("- 5"), 0);
    EXPECT_EQ(sv::intValue("2147483647"), 2147483647);
    EXPECT_EQ(sv::intValue("2147483648"), 2147483647);
    EXPECT_EQ(sv::intValue("99999999999999999999999"), 2147483647);
    EXPECT_EQ(sv::intValue("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(sv::intValue("-99999999999"), -2147483647 - 1);
}

TEST(IntValue, SkipsEveryAsciiWhiteSpaceButNothingElse)
{
    EXPECT_EQ(sv::intValue(" \t\n\v\f\r42"), 42);
    EXPECT_EQ(sv::intValue("\x1f" "42"), 0);
    EXPECT_EQ(sv::intValue("\xc2\xa0" "42"), 0); // a no-break space is no white space here
    EXPECT_EQ(sv::intValue(std::string_view("\0" "42", 3)), 0);
    EXPECT_EQ(sv::intValue("4 2"), 4);
}

#include "platform/foundation/string_case.h"

#include <gtest/gtest.h>

namespace {

TEST(StringCase, FirstCharactersTakeTheirTitleCaseByTheUnicodeTables)
{
    EXPECT_EQ(sv::capitalizedString("radar"), "Radar");
    EXPECT_EQ(sv::capitalizedString("\xC3\xA9"), "\xC3\x89");           // é → É
    EXPECT_EQ(sv::capitalizedString("\xC7\x86"), "\xC7\x85");           // dž → Dž, not DŽ
    EXPECT_EQ(sv::capitalizedString("\xCE\xB1\xCE\x92"), "\xCE\x91\xCE\xB2"); // αΒ → Αβ
    EXPECT_EQ(sv::capitalizedString("7 seas"), "7 Seas");
    EXPECT_EQ(sv::capitalizedString("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80"); // no case: as it is
    EXPECT_EQ(sv::capitalizedString("\xFF" "a"), "\xFF" "a");                  // not UTF-8: kept
}

TEST(StringCase, TheFirstCharacterIsOneCodePointOrOneStrayByte)
{
    EXPECT_EQ(sv::firstCharacter("\xC3\xA9" "clair"), "\xC3\xA9");
    EXPECT_EQ(sv::firstCharacter("\xF0\x9F\x98\x80!"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(sv::firstCharacter("\xC3"), "\xC3");   // cut short
    EXPECT_EQ(sv::firstCharacter("\xE0\x80\x80"), "\xE0"); // overlong
    EXPECT_EQ(sv::firstCharacter(""), "");
}

} // namespace

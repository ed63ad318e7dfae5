// How the text of a number field becomes the unsigned number that is stored.
#include <gtest/gtest.h>

#include "unsigned_text.h"

TEST(UnsignedDecimal, DigitsGiveTheirValue)
{
    EXPECT_EQ(ReadUnsignedDecimal("0"), 0u);
    EXPECT_EQ(ReadUnsignedDecimal("75"), 75u);
    EXPECT_EQ(ReadUnsignedDecimal("500"), 500u);
    EXPECT_EQ(ReadUnsignedDecimal("007"), 7u);
}

TEST(UnsignedDecimal, TextWithoutDigitsGivesZero)
{
    EXPECT_EQ(ReadUnsignedDecimal(""), 0u);
    EXPECT_EQ(ReadUnsignedDecimal("abc"), 0u);
    EXPECT_EQ(ReadUnsignedDecimal("   "), 0u);
    EXPECT_EQ(ReadUnsignedDecimal("-5"), 0u);
    EXPECT_EQ(ReadUnsignedDecimal("+5"), 0u);
    EXPECT_EQ(ReadUnsignedDecimal("x12"), 0u);
}

TEST(UnsignedDecimal, LeadingSpacesAreSkippedAndReadingStopsAtTheFirstOtherCharacter)
{
    EXPECT_EQ(ReadUnsignedDecimal("  42"), 42u);
    EXPECT_EQ(ReadUnsignedDecimal("12abc"), 12u);
    EXPECT_EQ(ReadUnsignedDecimal("1 2"), 1u);
    EXPECT_EQ(ReadUnsignedDecimal("60秒"), 60u);
}

TEST(UnsignedDecimal, TheWholeUnsignedRangeIsKept)
{
    EXPECT_EQ(ReadUnsignedDecimal("2147483647"), 2147483647u);
    EXPECT_EQ(ReadUnsignedDecimal("2147483648"), 2147483648u);
    EXPECT_EQ(ReadUnsignedDecimal("4294967295"), 4294967295u);
    EXPECT_EQ(ReadUnsignedDecimal("0000000000000000000000000000000000004294967295"), 4294967295u);
}

TEST(UnsignedDecimal, AValueAbove4294967295GivesZero)
{
    EXPECT_EQ(ReadUnsignedDecimal("4294967296"), 0u);
    EXPECT_EQ(ReadUnsignedDecimal("42949672950"), 0u);
    EXPECT_EQ(ReadUnsignedDecimal("18446744073709551616"), 0u);
    EXPECT_EQ(ReadUnsignedDecimal("999999999999999999999999999999"), 0u);
}

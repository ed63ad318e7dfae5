// The Wine harness must give the program the Japanese ANSI code page it is written for.
#include <windows.h>

#include <gtest/gtest.h>

TEST(Harness, AnsiCodePageIsJapanese)
{
    EXPECT_EQ(GetACP(), 932u);
}

TEST(Harness, Cp932StringsRoundTripThroughTheSystem)
{
    // "設定" as the compiler stored it must be what the system reads as CP932.
    const char text[] = "設定";
    ASSERT_EQ(sizeof(text), 5u);
    wchar_t wide[8] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide, 8), 3);
    EXPECT_EQ(wide[0], 0x8A2D);
    EXPECT_EQ(wide[1], 0x5B9A);
}

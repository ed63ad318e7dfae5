// How the text of a number field becomes the unsigned number that is stored.
#include <gtest/gtest.h>

#include "setting_text.h"
#include "unsigned_text.h"

TEST(UnsignedDecimal, LeadingDigitsAfterSpacesGiveTheValueAndAnythingElseZero)
{
    const struct { const char* text; unsigned value; } readings[] = {
        {"0", 0u}, {"75", 75u}, {"500", 500u}, {"007", 7u},
        // no digits
        {"", 0u}, {"abc", 0u}, {"   ", 0u}, {"-5", 0u}, {"+5", 0u}, {"x12", 0u},
        // leading spaces are skipped; the reading stops at the first other character
        {"  42", 42u}, {"12abc", 12u}, {"1 2", 1u}, {"60秒", 60u},
        // "６０", "９０秒", "1２3" and a full-width "Ａ" in the shift-JIS code page count like plain digits
        {"\x82\x55\x82\x4f", 60u}, {"\x82\x58\x82\x4f\x95\x62", 90u}, {"1\x82\x51" "3", 123u}, {"\x82\x60", 0u},
        {"\x82", 0u},
        // the whole unsigned range is kept; above it gives zero
        {"2147483647", 2147483647u}, {"2147483648", 2147483648u}, {"4294967295", 4294967295u},
        {"0000000000000000000000000000000000004294967295", 4294967295u}, {"4294967296", 0u}, {"42949672950", 0u},
        {"18446744073709551616", 0u}, {"999999999999999999999999999999", 0u},
    };
    for (const auto& reading : readings)
        EXPECT_EQ(ReadUnsignedDecimal(reading.text), reading.value) << '"' << reading.text << '"';
}

TEST(StoredValueText, OnlyAPlainDecimalInRangeIsANumber)
{
    const struct { const char* text; int32_t least, most; bool ok; int32_t value; } rows[] = {
        {"21", 1, 65535, true, 21}, {" 990 ", 1, 65535, true, 990}, {"65535", 1, 65535, true, 65535},
        {"-5", -10, 10, true, -5}, {"-2147483648", INT32_MIN, INT32_MAX, true, INT32_MIN}, {"0", 1, 65535, false, 0},
        {"65536", 1, 65535, false, 0}, {"2147483648", INT32_MIN, INT32_MAX, false, 0}, {"2145abc", 1, 65535, false, 0},
        {"99999999999999999999", 0, 99999, false, 0}, {"", 0, 9, false, 0}, {"-", 0, 9, false, 0},
        {"+5", 0, 9, false, 0}, {"2 1", 0, 99, false, 0}, {"\x82\x52", 0, 9, false, 0},
    };
    for (const auto& row : rows) {
        int32_t value = -7;
        EXPECT_EQ(ReadDecimalInRange(row.text, row.least, row.most, value), row.ok) << row.text;
        EXPECT_EQ(value, row.ok ? row.value : -7) << row.text;
    }
}

TEST(StoredValueText, AWordIsTakenInAnyCaseAndNothingElse)
{
    const char* const words[] = {"none", "explicit", "implicit"};
    const struct { const char* text; int index; } rows[] = {
        {"none", 0}, {"EXPLICIT", 1}, {"Implicit", 2}, {"tls", -1}, {"1", -1}, {"", -1}, {"explicitt", -1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FindWord(row.text, words, 3), row.index) << row.text;
}

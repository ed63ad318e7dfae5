// Number scan, file names, caption text, BMP checks and the test picture, with no window.
#include "capture_core.h"
#include "retention.h"
#include "test_bmp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int32_t Scan(const std::vector<std::string>& names, int32_t startNumber = 0, const char* prefix = "pc")
{
    NumberScan scan(prefix, startNumber);
    for (const std::string& name : names)
        scan.Consider(name.c_str());
    return scan.Next();
}

std::tm FixedTime()
{
    std::tm when = {};
    when.tm_year = 124;  // 2024
    when.tm_mon = 2;
    when.tm_mday = 5;
    when.tm_hour = 7;
    when.tm_min = 9;
    when.tm_sec = 3;
    when.tm_wday = 2;
    when.tm_yday = 64;
    when.tm_isdst = 0;
    return when;
}

std::string Caption(const char* format)
{
    std::tm when = FixedTime();
    char text[kCaptionCapacity];
    std::memset(text, 'x', sizeof(text));
    ExpandCaption(text, format, &when);
    return text;
}

}  // namespace

TEST(NumberedNamePattern, FollowsTheWindowsWildcardRulesWithDoubleByteCharactersAsOne)
{
    const struct {
        const char* name;
        const char* prefix;
        bool matches;
    } cases[] = {
        {"pc00007.jpg", "pc", true},
        {"pc12.jpg", "pc", true},  // fewer than five before the dot
        {"pc12345", "pc", true},   // no extension
        {"pc", "pc", true},
        {"pc1.2.3", "pc", true},
        {"pcabcde.jpg", "pc", true},
        {"pc123456.jpg", "pc", false},  // six before the dot
        {"pc123456", "pc", false},
        {"apc00001.jpg", "pc", false},
        {"p", "pc", false},
        {"PC00020.JPG", "pc", true},  // the prefix without regard to case
        {"pc00020.jpg", "Pc", true},
        {"pd00020.jpg", "pc", false},
        // "ア" is 0x83 0x41 and "ャ" 0x83 0x61: trail bytes that look like "A" and "a".
        {"\x83\x41" "00001.jpg", "\x83\x41", true},
        {"\x83\x61" "00001.jpg", "\x83\x41", false},
        {"pc\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8.jpg", "pc", true},  // five kana
        {"pc\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x82\xa9.jpg", "pc", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesNumberedName(c.name, c.prefix), c.matches) << c.name << " / " << c.prefix;
}

TEST(PrefixNamePart, IsWhatFollowsTheLastFolderSeparator)
{
    EXPECT_STREQ(FileNamePart("pc"), "pc");
    EXPECT_STREQ(FileNamePart("sub\\pc"), "pc");
    EXPECT_STREQ(FileNamePart("a/b\\cam"), "cam");
    EXPECT_STREQ(FileNamePart("c:pc"), "pc");
    EXPECT_STREQ(FileNamePart("sub\\"), "");
    // "ソ" is 0x83 0x5C: its trail byte is not a separator.
    EXPECT_STREQ(FileNamePart("\x83\x5c" "pc"), "\x83\x5c" "pc");
}

TEST(PrefixNames, AreFindableWithoutStreamColonsOrRefusedCharacters)
{
    const struct {
        const char* prefix;
        bool findable;
    } cases[] = {
        {"pc", true}, {"", true}, {"sub\\pc", true}, {"a/b\\cam", true}, {"C:pc", true}, {"c:\\images\\pc", true},
        {"\x83\x5c" "pc", true},    // "ソ": its trail byte is no separator
        {"\x83\x7c" "pc", true},    // a trail byte that looks like "|"
        {"pc:stream", false}, {":pc", false}, {"1:pc", false}, {"sub\\c:pc", false},
        {"p<c", false}, {"p>c", false}, {"p\"c", false}, {"p|c", false}, {"p?c", false}, {"p*c", false},
        {"p\tc", false}, {"p\x1f" "c", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PrefixMakesFindableNames(c.prefix), c.findable) << c.prefix;
}

TEST(NumberField, ReadsUpToFiveCharactersAfterThePrefixLikeAtoi)
{
    EXPECT_EQ(NumberField("pc00042.jpg", 2), 42);
    EXPECT_EQ(NumberField("pc12.jpg", 2), 12);     // "12.jp"
    EXPECT_EQ(NumberField("pcabcde.jpg", 2), 0);
    EXPECT_EQ(NumberField("pc -12.jpg", 2), -12);
    EXPECT_EQ(NumberField("pc", 2), 0);
    EXPECT_EQ(NumberField("p", 2), 0);
    EXPECT_EQ(NumberField("00042", 0), 42);
}

TEST(NumberScan, GivesStartNumberForAnEmptyFolder)
{
    EXPECT_EQ(Scan({}), 0);
    EXPECT_EQ(Scan({}, 5), 5);
}

TEST(NumberScan, GivesOneMoreThanTheLargestNumberWhateverTheExtension)
{
    EXPECT_EQ(Scan({"pc00007.jpg", "pc00012.bmp"}), 13);
    EXPECT_EQ(Scan({"pc00012.bmp", "pc00007.jpg"}), 13);
    EXPECT_EQ(Scan({"pc00007.jpg", "pc00012.bmp"}, 20), 20);
}

TEST(NumberScan, NeverCountsTheFixedSlot)
{
    EXPECT_EQ(Scan({"pc99999.jpg"}), 0);
    EXPECT_EQ(Scan({"pc99999.jpg", "pc00003.jpg"}), 4);
    EXPECT_EQ(Scan({"pc00003.jpg", "pc99999.bmp"}, 99999), 99999);
}

TEST(NumberScan, PastTheLastNumberTakesTheLowestFreeOneAndNeverTheFixedSlot)
{
    std::vector<std::string> all;  // every number 0 to 99998 taken
    for (int n = 0; n < kFixedSlotNumber; ++n) {
        char name[16];
        std::snprintf(name, sizeof(name), "pc%05d.jpg", n);
        all.push_back(name);
    }
    std::vector<std::string> allBut7 = all;
    allBut7.erase(allBut7.begin() + 7);
    std::vector<std::string> allBut0And7 = allBut7;
    allBut0And7.erase(allBut0And7.begin());

    const struct {
        const char* what;
        std::vector<std::string> names;
        int32_t startNumber;
        int32_t next;
    } cases[] = {
        {"below the last number: one more", {"pc99997.jpg"}, 0, 99998},
        {"the last number taken: the lowest free", {"pc99998.jpg"}, 0, 0},
        {"the lowest free after the oldest are gone", {"pc99998.jpg", "pc00000.jpg", "pc00002.bmp"}, 0, 1},
        {"look-alikes count as the scan reads them", {"pc99998.jpg", "pc0.jpg", "pc1"}, 0, 2},
        {"one gap left", allBut7, 0, 7},
        {"one gap below the start number does not count", allBut7, 8, kNoFreeNumber},
        {"the lowest of two gaps", allBut0And7, 0, 0},
        {"none left: no number rather than an overwrite", all, 0, kNoFreeNumber},
        {"the fixed slot stays the fixed slot", all, kFixedSlotNumber, kFixedSlotNumber},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Scan(c.names, c.startNumber), c.next) << c.what;
}

TEST(NumberScan, CountsShortAndNonNumericNamesAndSkipsLongOnes)
{
    EXPECT_EQ(Scan({"pc12.jpg"}), 13);
    EXPECT_EQ(Scan({"pc123456.jpg"}), 0);
    EXPECT_EQ(Scan({"pcabcde.jpg"}), 1);
    EXPECT_EQ(Scan({"PC00020.JPG"}), 21);
    EXPECT_EQ(Scan({"xy00050.jpg", "pc00001.jpg"}), 2);
}

TEST(NumberScan, IgnoresTheFolderSelfAndParentEntriesWithAnEmptyPrefix)
{
    EXPECT_EQ(Scan({".", ".."}, 0, ""), 0);
    EXPECT_EQ(Scan({".", "..", "00004.jpg", "Pelmix.ini"}, 0, ""), 5);
}

TEST(NumberedFileName, IsPrefixFiveDigitsAndExtension)
{
    char name[kFileNameCapacity];
    ASSERT_TRUE(FormatNumberedName(name, "pc", 42, ".jpg"));
    EXPECT_STREQ(name, "pc00042.jpg");
    ASSERT_TRUE(FormatNumberedName(name, "", 99999, ".bmp"));
    EXPECT_STREQ(name, "99999.bmp");
}

TEST(NumberedFileName, RefusesAPrefixThatMakesTheNameLongerThan259)
{
    char name[kFileNameCapacity];
    std::string prefix(250, 'p');
    ASSERT_TRUE(FormatNumberedName(name, prefix.c_str(), 1, ".bmp"));
    EXPECT_EQ(std::strlen(name), 259u);
    prefix += 'p';
    EXPECT_FALSE(FormatNumberedName(name, prefix.c_str(), 1, ".bmp"));
    EXPECT_STREQ(name, "");
}

TEST(CaptionFormatFilter, KeepsTheUnderstoodDirectivesAndText)
{
    const char* all = "%a%A%b%B%c%d%H%I%j%m%M%p%S%U%w%W%x%X%y%Y%z%Z%%";
    EXPECT_EQ(FilterCaptionFormat(all), all);
    EXPECT_EQ(FilterCaptionFormat("[%y/%m/%d %H:%M]"), "[%y/%m/%d %H:%M]");
    EXPECT_EQ(FilterCaptionFormat("撮影 %H時"), "撮影 %H時");
}

TEST(CaptionFormatFilter, KeepsTheHashFlagOnlyOnUnderstoodLetters)
{
    EXPECT_EQ(FilterCaptionFormat("%#d/%#x|%#"), "%#d/%#x|");
    EXPECT_EQ(FilterCaptionFormat("a%#qb%#%c%#\x82\xa0" "d"), "abcd");
}

TEST(CaptionFormatFilter, DropsOtherDirectivesAndATrailingPercent)
{
    EXPECT_EQ(FilterCaptionFormat("a%qb"), "ab");
    EXPECT_EQ(FilterCaptionFormat("%e%n%t%D%T%F%G%E%O"), "");
    EXPECT_EQ(FilterCaptionFormat("x%"), "x");
    EXPECT_EQ(FilterCaptionFormat("%%%"), "%%");
    EXPECT_EQ(FilterCaptionFormat("%\x82\xa0z"), "z");  // a double-byte character goes whole
}

// The default format; "%%" is one percent sign; an unknown directive gives nothing.
TEST(CaptionText, ExpandsTheKnownDirectivesOnly)
{
    const struct { const char* format; const char* text; } cases[] = {
        {"[%y/%m/%d %H:%M]", "[24/03/05 07:09]"}, {"%Y-%j %S", "2024-065 03"}, {"%%", "%"},
        {"%q%#q%", ""}, {"a%qb%#Ec", "abc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Caption(c.format), c.text) << c.format;
}

TEST(CaptionText, HashFlagGivesTheAlternateForm)
{
#ifdef _WIN32
    EXPECT_EQ(Caption("[%#y/%#m/%#d %#H:%#M]"), "[24/3/5 7:9]");
#else
    // The C library of the native build knows the flag but keeps the zeros.
    EXPECT_EQ(Caption("[%#y/%#m/%#d %#H:%#M]"), "[24/03/05 07:09]");
#endif
}

TEST(CaptionText, IsEmptyWhenTheExpansionDoesNotFit)
{
    EXPECT_EQ(Caption(std::string(255, 'a').c_str()), std::string(255, 'a'));
    EXPECT_EQ(Caption(std::string(256, 'a').c_str()), "");
    std::string manyYears;
    for (int i = 0; i < 64; ++i)
        manyYears += "%Y";   // 256 bytes
    EXPECT_EQ(Caption(manyYears.c_str()), "");
    EXPECT_EQ(Caption(manyYears.substr(2).c_str()).size(), 252u);
}

TEST(CaptionText, IsEmptyWithoutATime)
{
    char text[kCaptionCapacity] = "old";
    ExpandCaption(text, "%Y", nullptr);
    EXPECT_STREQ(text, "");
}

namespace {

// Headers only: the masks or colour table and the rows are zeros.
std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0,
                             uint32_t clrUsed = 0)
{
    TestBmp bmp(width, height, bits);
    bmp.compression = compression;
    bmp.clrUsed = clrUsed;
    bmp.pixelsPerMeter = 0;
    bmp.table.assign((compression == 3 ? 12 : 0) + 4 * (bits <= 8 ? (clrUsed ? clrUsed : 1u << bits) : clrUsed), 0);
    return bmp.Bytes();
}

}  // namespace

TEST(BmpView, FindsHeaderAndRowsOfWellFormedFiles)
{
    for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
        std::vector<uint8_t> bmp = MakeBmp(33, 7, bits);
        BmpView view;
        ASSERT_TRUE(ViewBmp(bmp.data(), bmp.size(), view)) << bits;
        EXPECT_EQ(view.info, bmp.data() + 14);
        EXPECT_EQ(view.width, 33);
        EXPECT_EQ(view.height, 7);
        EXPECT_EQ(view.bits - bmp.data(), bmp[10] | (bmp[11] << 8));
    }
    std::vector<uint8_t> fields = MakeBmp(2, 2, 16, 3);
    BmpView view;
    ASSERT_TRUE(ViewBmp(fields.data(), fields.size(), view));
    EXPECT_EQ(view.bits - fields.data(), 66);
    std::vector<uint8_t> topDown = MakeBmp(4, -3, 24);
    ASSERT_TRUE(ViewBmp(topDown.data(), topDown.size(), view));
    EXPECT_EQ(view.height, -3);
}

TEST(BmpView, RefusesWhatLiesOutsideOrCannotBePainted)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bmp;
        size_t at;        // one byte set to value (at 0 with value 'B': left as it is)
        uint8_t value;
        size_t cut;       // bytes left off the end
    };
    const std::vector<uint8_t> plain = MakeBmp(16, 16, 24);
    const Case cases[] = {
        {"a byte short", plain, 0, 'B', 1},
        {"headers cut", plain, 0, 'B', plain.size() - 53},
        {"wrong magic", plain, 0, 'X', 0},
        {"rows past the end", plain, 10, 200, 0},
        {"table past the end", MakeBmp(4, 4, 8, 0, 16), 46, 0, 0},  // now claims 256 colours
        {"width near 2^31", plain, 21, 0x7F, 0},
        {"run-length coded", MakeBmp(4, 4, 8, 1), 0, 'B', 0},
        {"bit fields at 24 bits", MakeBmp(4, 4, 24, 3), 0, 'B', 0},
        {"12 bits", MakeBmp(4, 4, 24), 28, 12, 0},
        {"version 5 header", MakeBmp(4, 4, 24), 14, 124, 0},
        {"zero height", MakeBmp(4, 1, 24), 22, 0, 0},
    };
    BmpView view;
    EXPECT_FALSE(ViewBmp(nullptr, 0, view));
    for (const Case& c : cases) {
        std::vector<uint8_t> bmp = c.bmp;
        bmp[c.at] = c.value;
        EXPECT_FALSE(ViewBmp(bmp.data(), bmp.size() - c.cut, view)) << c.what;
    }
}

TEST(TestPattern, IsA640x480TwentyFourBitBmp)
{
    std::vector<uint8_t> bmp = MakeTestPatternBmp(12 * 3600000 + 34 * 60000 + 56789);
    ASSERT_EQ(bmp.size(), 54u + 640 * 480 * 3);
    BmpView view;
    ASSERT_TRUE(ViewBmp(bmp.data(), bmp.size(), view));
    EXPECT_EQ(view.width, 640);
    EXPECT_EQ(view.height, 480);
    EXPECT_EQ(bmp[28], 24);
    EXPECT_EQ(bmp[2] | (bmp[3] << 8) | (bmp[4] << 16), static_cast<int>(bmp.size()));
}

TEST(TestPattern, DiffersFromOneHundredthOfASecondToTheNext)
{
    EXPECT_EQ(MakeTestPatternBmp(1000), MakeTestPatternBmp(1000));
    EXPECT_NE(MakeTestPatternBmp(1000), MakeTestPatternBmp(1010));
    // Only the clock changes when the bars have come full circle.
    std::vector<uint8_t> a = MakeTestPatternBmp(0);
    std::vector<uint8_t> b = MakeTestPatternBmp(6400);
    EXPECT_NE(a, b);
    const size_t stride = 640 * 3;
    const size_t topHalf = 54 + stride * 240;  // stored bottom-up: these are the upper rows
    EXPECT_TRUE(std::equal(a.begin() + topHalf, a.end(), b.begin() + topHalf));
}

TEST(Retention, OnlyExactlyPrefixFiveDigitsAndBmpOrJpgIsABackup)
{
    const struct {
        const char* name;
        const char* prefix;
        int32_t number;
    } cases[] = {
        {"pc00001.jpg", "pc", 1},         {"PC00042.JPG", "pc", 42},      {"pc99998.bmp", "pc", 99998},
        {"pc99999.jpg", "pc", 99999},     {"cam00003.Bmp", "CAM", 3},     {"00005.jpg", "", 5},
        {"\x83\x41" "00006.jpg", "\x83\x41", 6},
        {"pc0001.jpg", "pc", -1},         {"pc000001.jpg", "pc", -1},     {"pc00001.jpg.txt", "pc", -1},
        {"xpc00001.jpg", "pc", -1},       {"pc00001 (2).jpg", "pc", -1},  {"pc00001.jpeg", "pc", -1},
        {"pc00001.png", "pc", -1},        {"pc00001", "pc", -1},          {"pc0000a.jpg", "pc", -1},
        {"pc-0001.jpg", "pc", -1},        {"pd00001.jpg", "pc", -1},      {"Pelmix.ini", "", -1},
        {"\x83\x61" "00006.jpg", "\x83\x41", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseNumberedPicture(c.name, c.prefix), c.number) << c.name;
}

TEST(Retention, KeepsTheNewestFilesAndDaysAndNeverTheFixedSlot)
{
    const int64_t now = 1800000000;
    const int64_t day = kSecondsPerDay;
    // Numbers ran out and began again at 0: pc00000 and pc00001 are the newest.
    const std::vector<NumberedPicture> folder = {
        {"pc00000.jpg", 0, now - 60},         {"pc00001.jpg", 1, now},
        {"pc99996.jpg", 99996, now - 3 * day}, {"pc99997.jpg", 99997, now - 2 * day},
        {"pc99998.jpg", 99998, now - 120},     {"pc99999.jpg", 99999, now - 30 * day},
        {"pc00005.bmp", 5, now - 120},         // written in the same second as 99998
    };
    // A clock once set years ahead dated two pictures, one set back an hour dated pc00004.
    const std::vector<NumberedPicture> future = {{"pc00001.jpg", 1, now + 400 * day}, {"pc00002.jpg", 2, now + 400 * day},
        {"pc00003.jpg", 3, now - 60}, {"pc00004.jpg", 4, now + 3600}, {"pc00005.jpg", 5, now - 5 * day}};
    using Names = std::vector<std::string>;
    const struct {
        const std::vector<NumberedPicture>& pictures;
        int32_t keepFiles, keepDays;
        const char* justSaved;
        Names deleted;  // oldest first
    } cases[] = {
        {folder, 0, 0, "", {}},
        {folder, -5, -1, "", {}},
        {folder, 10, 0, "", {}},
        {folder, 3, 0, "", {"pc99996.jpg", "pc99997.jpg", "pc00005.bmp"}},
        {folder, 1, 0, "", {"pc99996.jpg", "pc99997.jpg", "pc00005.bmp", "pc99998.jpg", "pc00000.jpg"}},
        {folder, 0, 1, "", {"pc99996.jpg", "pc99997.jpg"}},
        {folder, 0, 2, "", {"pc99996.jpg"}},   // exactly two days old is still within two days
        {folder, 5, 1, "", {"pc99996.jpg", "pc99997.jpg"}},
        {folder, 2, 30, "", {"pc99996.jpg", "pc99997.jpg", "pc00005.bmp", "pc99998.jpg"}},
        // The picture just saved stays, whatever its date says, and counts as the newest.
        {folder, 1, 0, "PC99996.JPG", {"pc99997.jpg", "pc00005.bmp", "pc99998.jpg", "pc00000.jpg", "pc00001.jpg"}},
        {folder, 0, 1, "pc99996.jpg", {"pc99997.jpg"}},
        // Pictures dated beyond a day ahead go first and never outlive the limit.
        {future, 2, 0, "pc00003.jpg", {"pc00001.jpg", "pc00002.jpg", "pc00005.jpg"}},
        {future, 4, 0, "pc00003.jpg", {"pc00001.jpg"}},
        {future, 0, 1, "pc00003.jpg", {"pc00005.jpg"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PicturesToDelete(c.pictures, c.keepFiles, c.keepDays, now, c.justSaved), c.deleted)
            << "keep_files=" << c.keepFiles << " keep_days=" << c.keepDays << " just saved " << c.justSaved;
    }
}

TEST(Retention, OneLogLineNamesTheCountAndTheFirstAndLastPicture)
{
    EXPECT_EQ(DeletionLogLine({}), "");
    EXPECT_EQ(DeletionLogLine({"pc00001.jpg"}), "古いバックアップを1枚削除しました (pc00001.jpg)");
    EXPECT_EQ(DeletionLogLine({"pc00001.jpg", "pc00002.jpg", "pc00007.bmp"}),
              "古いバックアップを3枚削除しました (pc00001.jpg ～ pc00007.bmp)");
}

TEST(CameraTiming, FreshnessLimitIsSeveralIntervalsButNeverUnderFiveSeconds)
{
    const struct {
        uint32_t intervalMs;
        uint32_t limitMs;
    } cases[] = {
        {0, 5000},             // the camera did not say
        {33, 5000},            // 30 fps
        {1000, 5000},          // a frame a second at night
        {1001, 5005},
        {4000, 20000},
        {UINT32_MAX / 5, UINT32_MAX / 5 * 5},
        {UINT32_MAX / 5 + 1, UINT32_MAX},  // saturates instead of wrapping to a short limit
        {UINT32_MAX, UINT32_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FreshnessLimitMs(c.intervalMs), c.limitMs) << "interval " << c.intervalMs;
}

TEST(CameraTiming, ReconnectDelayDoublesFromFiveSecondsUpToAMinute)
{
    const uint32_t expected[] = {5000, 10000, 20000, 40000, 60000, 60000};
    for (uint32_t attempt = 0; attempt < 6; ++attempt)
        EXPECT_EQ(ReconnectDelayMs(attempt), expected[attempt]) << "attempt " << attempt;
    EXPECT_EQ(ReconnectDelayMs(31), 60000u);
    EXPECT_EQ(ReconnectDelayMs(32), 60000u);
    EXPECT_EQ(ReconnectDelayMs(UINT32_MAX), 60000u);
}

TEST(CameraFrame, SizeOfRowsPaddedToFourBytesOrZeroWhenUnusable)
{
    const struct {
        int32_t width, height;
        uint64_t bytes;
    } cases[] = {
        {320, 240, 230400}, {320, -240, 230400}, {3, 2, 24}, {1, 1, 4},
        {0, 10, 0}, {-3, 10, 0}, {10, 0, 0},
        {INT32_MAX, INT32_MAX, 0}, {4096, INT32_MIN, 0},  // past 256 MiB; no overflow
    };
    for (const auto& c : cases)
        EXPECT_EQ(Rgb24FrameBytes(c.width, c.height), c.bytes) << c.width << "x" << c.height;
}

TEST(CameraFrame, BecomesABottomUpBmpWhicheverWayItsRowsCame)
{
    // 3x2 with padded rows: the first row holds 1..9, the second 11..19.
    std::vector<uint8_t> rows(24, 0);
    for (int i = 0; i < 9; ++i) {
        rows[i] = static_cast<uint8_t>(1 + i);
        rows[12 + i] = static_cast<uint8_t>(11 + i);
    }
    for (int32_t height : {2, -2}) {
        std::vector<uint8_t> bmp;
        ASSERT_TRUE(Rgb24FrameToBmp(rows.data(), rows.size(), 3, height, bmp));
        BmpView view;
        ASSERT_TRUE(ViewBmp(bmp.data(), bmp.size(), view));
        EXPECT_EQ(view.width, 3);
        EXPECT_EQ(view.height, 2);  // always bottom-up in the file
        // The file's first row is the bottom one: the frame's second row when the frame was
        // top-down, its first when it was already bottom-up.
        const uint8_t firstInFile = height < 0 ? 11 : 1;
        EXPECT_EQ(view.bits[0], firstInFile) << height;
        EXPECT_EQ(view.bits[12], height < 0 ? 1 : 11) << height;
        EXPECT_EQ(bmp.size(), 54u + 24u);
    }
}

TEST(CameraFrame, ACutShortOrUnusableFrameLeavesTheBmpAsItWas)
{
    std::vector<uint8_t> pixels(24, 7);
    std::vector<uint8_t> bmp = {1, 2, 3};
    EXPECT_FALSE(Rgb24FrameToBmp(pixels.data(), 23, 3, 2, bmp));   // one byte short
    EXPECT_FALSE(Rgb24FrameToBmp(pixels.data(), 24, 0, 2, bmp));
    EXPECT_FALSE(Rgb24FrameToBmp(nullptr, 24, 3, 2, bmp));
    EXPECT_EQ(bmp, (std::vector<uint8_t>{1, 2, 3}));
}

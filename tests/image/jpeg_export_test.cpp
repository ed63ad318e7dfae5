// SaveJpeg: pixel conversion of every depth, row order, decoded results, quality, failures.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>

#include "dib_image.h"
#include "dib_rows.h"
#include "test_bmp.h"
#include "test_jpeg.h"

#ifndef _WIN32
#include "file_size_limit.h"
#endif

namespace {

using Rgb = std::array<int, 3>;

// The samples SaveJpeg hands the library for each pixel of a one-row picture.
std::vector<Rgb> ConvertedRow(const TestBmp& bmp)
{
    std::vector<Rgb> out;
    EXPECT_TRUE(bmp.Write("convert.bmp"));
    DibImage image;
    if (!image.LoadBmp("convert.bmp")) return out;
    DibRowConverter rows;
    if (!rows.Init(image.dib)) return out;
    std::vector<uint8_t> line(size_t(rows.Width()) * 3);
    rows.Convert(0, line.data());
    for (size_t i = 0; i < line.size(); i += 3) out.push_back({line[i], line[i + 1], line[i + 2]});
    return out;
}

std::vector<Rgb> Convert16(std::initializer_list<uint32_t> pixels, bool bitfields, uint32_t rm, uint32_t gm,
                           uint32_t bm)
{
    TestBmp bmp(int32_t(pixels.size()), 1, 16);
    if (bitfields) bmp.SetMasks(rm, gm, bm);
    int32_t x = 0;
    for (uint32_t p : pixels) bmp.Put(x++, 0, p);
    return ConvertedRow(bmp);
}

uint32_t Rgb565(uint32_t r, uint32_t g, uint32_t b) { return r << 11 | g << 5 | b; }
uint32_t Rgb555(uint32_t r, uint32_t g, uint32_t b) { return r << 10 | g << 5 | b; }

// --- Conversion into red, green, blue samples ---

using Row = std::vector<Rgb>;

TEST(JpegConversion, FiveSixFiveFieldsWidenThroughTheTables)
{
    EXPECT_EQ(Convert16({Rgb565(16, 32, 16), 0xFFFF, 0, Rgb565(30, 62, 31), Rgb565(31, 63, 30)}, true, 0xF800,
                        0x07E0, 0x001F),
              (Row{{128, 128, 128}, {255, 255, 255}, {0, 0, 0}, {240, 248, 255}, {255, 255, 240}}));
}

TEST(JpegConversion, PlainSixteenBitsIsAlwaysFiveFiveFive)
{
    // 0x8000: the top bit is ignored; 0xF800: a 5-6-5 red read as 5-5-5.
    EXPECT_EQ(Convert16({Rgb555(31, 31, 31), Rgb555(30, 30, 30), 0x8000, 0xF800, Rgb555(1, 2, 3)}, false, 0, 0, 0),
              (Row{{255, 255, 255}, {240, 240, 240}, {0, 0, 0}, {240, 0, 0}, {8, 16, 24}}));
}

TEST(JpegConversion, FiveFiveFiveBitfieldsReadLikePlainSixteenBits)
{
    EXPECT_EQ(Convert16({Rgb555(31, 0, 0), Rgb555(0, 30, 0), Rgb555(0, 0, 1)}, true, 0x7C00, 0x03E0, 0x001F),
              (Row{{255, 0, 0}, {0, 240, 0}, {0, 0, 8}}));
}

TEST(JpegConversion, UnusualSixteenBitMasksStayInsideTheTables)
{
    // Every field index is cut to its table's width.
    EXPECT_EQ(Convert16({0xFFFF, 0x0000, 0x7BEF}, true, 0xFFFF, 0xFFFF, 0xFFFF),
              (Row{{255, 255, 255}, {0, 0, 0}, {240, 255, 120}}));
}

TEST(JpegConversion, TwentyFourBitsSwapsBlueAndRed)
{
    TestBmp bmp(2, 1, 24);
    bmp.pixels = {10, 20, 30, 200, 100, 0, 0, 0};
    EXPECT_EQ(ConvertedRow(bmp), (Row{{30, 20, 10}, {0, 100, 200}}));
}

TEST(JpegConversion, EightBitsLooksUpTheColourTable)
{
    TestBmp bmp = MakePalettedBmp(3, 1, 0);
    bmp.table[4 * 5 + 0] = 11;  // blue of entry 5
    bmp.table[4 * 5 + 1] = 22;
    bmp.table[4 * 5 + 2] = 33;
    bmp.Put(0, 0, 5);
    bmp.Put(1, 0, 255);  // the last entry of the ramp
    EXPECT_EQ(ConvertedRow(bmp), (Row{{33, 22, 11}, {255, 255, 0}, {0, 0, 255}}));
}

TEST(JpegConversion, EightBitIndexBeyondTheColourCountIsBlack)
{
    TestBmp bmp = MakePalettedBmp(3, 1, 16);
    bmp.Put(0, 0, 15);
    bmp.Put(1, 0, 16);
    bmp.Put(2, 0, 255);
    EXPECT_EQ(ConvertedRow(bmp), (Row{{255, 15, 240}, {0, 0, 0}, {0, 0, 0}}));
}

TEST(JpegConversion, ThirtyTwoBitsPlainIsBlueGreenRedUnused)
{
    TestBmp bmp(2, 1, 32);
    bmp.pixels = {10, 20, 30, 99, 255, 0, 128, 1};
    EXPECT_EQ(ConvertedRow(bmp), (Row{{30, 20, 10}, {128, 0, 255}}));
}

TEST(JpegConversion, ThirtyTwoBitBitfieldsFollowTheirMasks)
{
    TestBmp rgba(1, 1, 32);  // red in the low byte
    rgba.SetMasks(0x000000FF, 0x0000FF00, 0x00FF0000);
    rgba.pixels = {10, 20, 30, 99};
    EXPECT_EQ(ConvertedRow(rgba), (Row{{10, 20, 30}}));

    TestBmp deep(2, 1, 32);  // 10 bits a channel keep their top 8
    deep.SetMasks(0x3FF00000, 0x000FFC00, 0x000003FF);
    deep.Put(0, 0, 0x3FFu << 20 | 0x200u << 10 | 0x003u);
    deep.Put(1, 0, 0xC0000000);
    EXPECT_EQ(ConvertedRow(deep), (Row{{255, 128, 0}, {0, 0, 0}}));

    TestBmp narrow(2, 1, 32);  // 5 bits a channel stretch to full range
    narrow.SetMasks(0x7C00, 0x03E0, 0x001F);
    narrow.Put(0, 0, 0x7FFF);
    narrow.Put(1, 0, 0x0000);
    EXPECT_EQ(ConvertedRow(narrow), (Row{{255, 255, 255}, {0, 0, 0}}));

    TestBmp none(1, 1, 32);  // an empty mask reads as 0
    none.SetMasks(0, 0xFF00, 0xFFFFFFFF);
    none.Put(0, 0, 0xFFFFFFFF);
    EXPECT_EQ(ConvertedRow(none), (Row{{0, 255, 255}}));
}

// --- Decoded JPEG files ---

bool Near(const uint8_t* got, Rgb want, int tolerance)
{
    for (int c = 0; c < 3; ++c)
        if (std::abs(int(got[c]) - want[c]) > tolerance) return false;
    return true;
}

std::string Show(const uint8_t* p)
{
    return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) + ")";
}

bool SaveAsJpeg(const TestBmp& bmp, const char* jpegName, int quality)
{
    if (!bmp.Write("export.bmp")) return false;
    DibImage image;
    return image.LoadBmp("export.bmp") && image.SaveJpeg(jpegName, quality);
}

struct FlatCase {
    const char* name;
    TestBmp bmp;
    Rgb colour;
};

std::vector<FlatCase> FlatCases()
{
    std::vector<FlatCase> cases;
    TestBmp p8 = MakePalettedBmp(37, 23, 16);
    p8.table[4 * 3 + 0] = 50;
    p8.table[4 * 3 + 1] = 100;
    p8.table[4 * 3 + 2] = 200;
    p8.Fill(3);
    cases.push_back({"8-bit", p8, {200, 100, 50}});
    TestBmp p565(37, 23, 16);
    p565.SetMasks(0xF800, 0x07E0, 0x001F);
    p565.Fill(Rgb565(31, 16, 4));
    cases.push_back({"16-bit 5-6-5", p565, {255, 64, 32}});
    TestBmp p555(37, 23, 16);
    p555.Fill(Rgb555(4, 31, 16));
    cases.push_back({"16-bit 5-5-5", p555, {32, 255, 128}});
    TestBmp p24(37, 23, 24);
    p24.Fill(0x1080F0);  // stored blue 0xF0, green 0x80, red 0x10
    cases.push_back({"24-bit", p24, {0x10, 0x80, 0xF0}});
    TestBmp p32(37, 23, 32);
    p32.Fill(0x00C04020);
    cases.push_back({"32-bit", p32, {0xC0, 0x40, 0x20}});
    return cases;
}

TEST(JpegFile, FlatPicturesDecodeToTheirSizeAndColour)
{
    for (const FlatCase& c : FlatCases()) {
        ASSERT_TRUE(SaveAsJpeg(c.bmp, "flat.jpg", 90)) << c.name;
        DecodedJpeg jpeg;
        ASSERT_TRUE(DecodeJpeg("flat.jpg", jpeg)) << c.name;
        EXPECT_EQ(jpeg.width, 37) << c.name;
        EXPECT_EQ(jpeg.height, 23) << c.name;
        for (int y : {0, 11, 22})
            for (int x : {0, 18, 36})
                EXPECT_TRUE(Near(jpeg.At(x, y), c.colour, 3)) << c.name << " at " << x << "," << y << ": "
                                                                << Show(jpeg.At(x, y));
    }
}

TEST(JpegFile, FirstStoredRowEndsAtTheBottom)
{
    // The first 16 stored rows red, the last 16 blue: the picture is blue on top.
    TestBmp bmp(16, 32, 24);
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 16; ++x) bmp.Put(x, y, y < 16 ? 0xFF0000 : 0x0000FF);
    ASSERT_TRUE(SaveAsJpeg(bmp, "rows.jpg", 90));
    DecodedJpeg jpeg;
    ASSERT_TRUE(DecodeJpeg("rows.jpg", jpeg));
    ASSERT_EQ(jpeg.height, 32);
    EXPECT_TRUE(Near(jpeg.At(8, 0), {0, 0, 255}, 8)) << Show(jpeg.At(8, 0));
    EXPECT_TRUE(Near(jpeg.At(8, 31), {255, 0, 0}, 8)) << Show(jpeg.At(8, 31));
}

TEST(JpegFile, QualitiesOneAndHundredReachTheLibrary)
{
    for (int quality : {1, 100}) {
        uint16_t want[2][64], neighbour[2][64];
        QualityTables(quality, want);
        QualityTables(quality == 1 ? 2 : 99, neighbour);
        ASSERT_NE(memcmp(want, neighbour, sizeof want), 0) << "the tables tell the qualities apart";

        ASSERT_TRUE(SaveAsJpeg(TestBmp(16, 16, 24), "quality.jpg", quality));
        DecodedJpeg jpeg;
        ASSERT_TRUE(DecodeJpeg("quality.jpg", jpeg));
        EXPECT_EQ(memcmp(jpeg.quant, want, sizeof want), 0) << "quality " << quality;
    }
}

TEST(JpegFile, ReplacesAnExistingFile)
{
    ASSERT_TRUE(WriteBytes("replace.jpg", std::vector<uint8_t>(100000, 0x55)));
    ASSERT_TRUE(SaveAsJpeg(TestBmp(8, 8, 24), "replace.jpg", 75));
    DecodedJpeg jpeg;
    EXPECT_TRUE(DecodeJpeg("replace.jpg", jpeg));
    EXPECT_LT(ReadBytes("replace.jpg").size(), 100000u);
}

// --- Failures ---

TEST(JpegFailure, UnwritablePathGivesFalseAndNoFile)
{
    EXPECT_FALSE(SaveAsJpeg(TestBmp(8, 8, 24), "no_such_folder/out.jpg", 75));
    EXPECT_TRUE(ReadBytes("no_such_folder/out.jpg").empty());
}

TEST(JpegFailure, EmptyImageWritesNothing)
{
    remove("empty.jpg");
    DibImage image;
    EXPECT_FALSE(image.SaveJpeg("empty.jpg", 75));
    EXPECT_TRUE(ReadBytes("empty.jpg").empty());
}

#ifndef _WIN32
TEST(JpegFailure, LibraryErrorReturnsFalseQuietlyAndRemovesTheFile)
{
    TestBmp bmp(256, 256, 24);
    uint32_t seed = 1;
    for (uint8_t& b : bmp.pixels) b = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
    ASSERT_TRUE(bmp.Write("noise.bmp"));
    DibImage image;
    ASSERT_TRUE(image.LoadBmp("noise.bmp"));
    bool saved;
    std::string printed;
    {
        FileSizeLimit limit(4096);  // the write fails as on a full disk
        testing::internal::CaptureStderr();
        saved = image.SaveJpeg("noise.jpg", 100);
        printed = testing::internal::GetCapturedStderr();
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(printed, "");
    EXPECT_TRUE(ReadBytes("noise.jpg").empty()) << "the partial file is removed";
    EXPECT_TRUE(image.SaveJpeg("noise.jpg", 100)) << "the image is still usable";
}
#endif

}  // namespace

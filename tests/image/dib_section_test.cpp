// DibImage's GDI side under Wine: a section shows the loaded pixels, and text
// drawn into it comes back through ReadBits in the image's own format.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "dib_image.h"
#include "dib_layout.h"
#include "test_bmp.h"
#include "win_handles.h"

namespace {

enum Colour { kBlack, kRed, kGreen, kBlue, kWhite };
const COLORREF kColourRefs[] = {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};

struct Format {
    const char* name;
    uint16_t bits;
    uint32_t masks[3];  // all zero: BI_RGB
    uint32_t values[5];  // black, red, green, blue, white as stored pixels
};

const Format kFormats[] = {
    {"8-bit", 8, {0, 0, 0}, {0, 1, 2, 3, 4}},
    {"16-bit 5-6-5", 16, {0xF800, 0x07E0, 0x001F}, {0, 0xF800, 0x07E0, 0x001F, 0xFFFF}},
    {"16-bit 5-5-5", 16, {0, 0, 0}, {0, 0x7C00, 0x03E0, 0x001F, 0x7FFF}},
    {"24-bit", 24, {0, 0, 0}, {0, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}},
};

TestBmp Blank(const Format& f, int32_t w, int32_t h)
{
    TestBmp bmp(w, h, f.bits);
    if (f.bits == 8) {
        bmp.clrUsed = 16;
        for (COLORREF c : kColourRefs) bmp.AddColor(GetRValue(c), GetGValue(c), GetBValue(c));
        for (int i = 5; i < 16; ++i) bmp.AddColor(uint8_t(i * 8), uint8_t(i * 4), uint8_t(i * 2));
    }
    if (f.masks[0]) bmp.SetMasks(f.masks[0], f.masks[1], f.masks[2]);
    return bmp;
}

// Quadrants of the picture as seen on screen (top row first).
Colour QuadrantAt(int32_t x, int32_t yTop, int32_t w, int32_t h)
{
    bool top = yTop < h / 2, left = x < w / 2;
    return top ? (left ? kBlue : kWhite) : (left ? kRed : kGreen);
}

bool Load(DibImage& image, const TestBmp& bmp, const char* name)
{
    return bmp.Write(name) && image.LoadBmp(name);
}

uint32_t StoredPixel(const DibImage& image, int32_t x, int32_t storedRow)
{
    DibHeader h = DibHeader::Parse(image.dib);
    const uint8_t* p = image.dib + h.PixelOffset() + size_t(h.RowStride()) * storedRow + size_t(x) * (h.bitCount / 8);
    uint32_t v = 0;
    for (int i = 0; i < h.bitCount / 8; ++i) v |= uint32_t(p[i]) << (8 * i);
    return v;
}

TEST(DibSection, ShowsTheLoadedPixels)
{
    WindowDc screen(nullptr);
    MemoryDc memory(screen.get());
    for (const Format& f : kFormats) {
        const int32_t w = 20, h = 14;
        TestBmp bmp = Blank(f, w, h);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) bmp.Put(x, y, f.values[QuadrantAt(x, h - 1 - y, w, h)]);
        DibImage image;
        ASSERT_TRUE(Load(image, bmp, "section.bmp")) << f.name;
        image.CreateSection(screen.get());
        ASSERT_NE(image.section, nullptr) << f.name;
        ASSERT_NE(image.sectionBits, nullptr) << f.name;

        Selection selected(memory.get(), image.section);
        for (int32_t yTop : {0, 6, 7, 13})
            for (int32_t x : {0, 9, 10, 19})
                EXPECT_EQ(GetPixel(memory.get(), x, yTop), kColourRefs[QuadrantAt(x, yTop, w, h)])
                    << f.name << " at " << x << "," << yTop;
    }
}

TEST(DibSection, TextDrawnIntoItComesBackInTheImagesOwnFormat)
{
    WindowDc screen(nullptr);
    MemoryDc memory(screen.get());
    for (const Format& f : kFormats) {
        const int32_t w = 120, h = 60, textRows = 24;
        DibImage image;
        ASSERT_TRUE(Load(image, Blank(f, w, h), "text.bmp")) << f.name;
        DibHeader before = DibHeader::Parse(image.dib);
        std::vector<uint8_t> table(image.dib + 40, image.dib + before.PixelOffset());
        image.CreateSection(screen.get());
        ASSERT_NE(image.section, nullptr) << f.name;
        {
            Selection selected(memory.get(), image.section);
            SetBkMode(memory.get(), TRANSPARENT);
            SetTextColor(memory.get(), RGB(255, 255, 255));
            RECT rect = {0, 0, w, textRows};
            DrawTextA(memory.get(), "Pelmix 2024", -1, &rect, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
            GdiFlush();
        }
        ASSERT_EQ(image.ReadBits(memory.get(), image.section, 0, uint32_t(h)), h) << f.name;

        DibHeader after = DibHeader::Parse(image.dib);
        EXPECT_EQ(after.bitCount, before.bitCount) << f.name;
        EXPECT_EQ(after.compression, before.compression) << f.name;
        EXPECT_EQ(after.clrUsed, before.clrUsed) << f.name;
        EXPECT_EQ(std::vector<uint8_t>(image.dib + 40, image.dib + after.PixelOffset()), table) << f.name;
        EXPECT_EQ(memcmp(image.dib + after.PixelOffset(), image.sectionBits, after.PixelAreaSize()), 0) << f.name;

        // The text is at the top of the picture, so in the last stored rows.
        int white = 0, elsewhere = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint32_t v = StoredPixel(image, x, y);
                if (y >= h - textRows) white += v == f.values[kWhite];
                else elsewhere += v != 0;
            }
        EXPECT_GT(white, 20) << f.name;
        EXPECT_EQ(elsewhere, 0) << f.name;
    }
}

TEST(DibSection, ShortColourTableSurvivesReadBits)
{
    WindowDc screen(nullptr);
    MemoryDc memory(screen.get());
    TestBmp bmp = Blank(kFormats[0], 4, 2);  // 16 colours, 8 bytes of pixels
    for (int32_t x = 0; x < 4; ++x) bmp.Put(x, 0, uint32_t(x + 1));
    DibImage image;
    ASSERT_TRUE(Load(image, bmp, "short_table.bmp"));
    image.CreateSection(screen.get());
    ASSERT_EQ(image.ReadBits(memory.get(), image.section, 0, 2), 2);
    EXPECT_EQ(std::vector<uint8_t>(image.dib + 40, image.dib + 40 + 64), bmp.table);
    EXPECT_EQ(std::vector<uint8_t>(image.dib + 104, image.dib + 112), bmp.pixels);
}

TEST(DibSection, ReadBitsWithoutABitmapKeepsThePixels)
{
    WindowDc screen(nullptr);
    MemoryDc memory(screen.get());
    TestBmp bmp(3, 3, 24);
    bmp.Fill(0x123456);
    DibImage image;
    ASSERT_TRUE(Load(image, bmp, "no_bitmap.bmp"));
    EXPECT_EQ(image.ReadBits(memory.get(), nullptr, 0, 3), 0);
    EXPECT_EQ(std::vector<uint8_t>(image.dib + 40, image.dib + 40 + 36), bmp.pixels);
}

TEST(DibSection, EachSectionIsDeletedOnce)
{
    WindowDc screen(nullptr);
    DibImage image;
    ASSERT_TRUE(Load(image, TestBmp(4, 4, 24), "lifetime.bmp"));
    image.CreateSection(screen.get());
    HBITMAP first = image.section;
    ASSERT_NE(GetObjectType(first), 0u);
    image.CreateSection(screen.get());
    HBITMAP second = image.section;
    EXPECT_EQ(GetObjectType(first), 0u) << "replaced";
    ASSERT_NE(GetObjectType(second), 0u);
    image.Release();
    EXPECT_EQ(GetObjectType(second), 0u) << "released";
    EXPECT_EQ(image.section, nullptr);
    EXPECT_EQ(image.dib, nullptr);
}

}  // namespace

// Turning and scaling at every depth: where each pixel lands, and colours kept by the scaler.
#include <gtest/gtest.h>

#include <string>

#include "dib_layout.h"
#include "dib_transform.h"
#include "test_bmp.h"

TEST(DibTransform, EveryTurnAndMirrorPutsEachPixelInItsPlaceAtEveryDepth)
{
    const struct { int rotate; const char* flip; const char* turned; } cases[] = {
        {0, "none", "ABC/DEF"},         {90, "none", "DA/EB/FC"},     {180, "none", "FED/CBA"},
        {270, "none", "CF/BE/AD"},      {0, "horizontal", "CBA/FED"}, {0, "Vertical", "DEF/ABC"},
        {90, "horizontal", "AD/BE/CF"}, {90, "vertical", "FC/EB/DA"}, {45, "diagonal", "ABC/DEF"},
    };
    for (uint16_t bits : {8, 16, 24, 32}) {
        TestBmp bmp = bits == 8 ? MakePalettedBmp(3, 2, 0) : TestBmp(3, 2, bits);
        for (int i = 0; i < 6; ++i) bmp.Put(i % 3, 1 - i / 3, ('A' + i) * 0x01010101u);
        const std::vector<uint8_t> file = bmp.Bytes();
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(c.rotate) + " " + c.flip);
            std::vector<uint8_t> out;
            ASSERT_TRUE(TurnBmp(file.data(), file.size(), ParseOrientation(c.rotate, c.flip), out));
            EXPECT_EQ(out.size(), ReadLe32(out.data() + 2));
            // The first byte of each pixel, top row first, rows parted by "/".
            const DibHeader h = DibHeader::Parse(out.data() + kBmpFileHeaderSize);
            std::string letters;
            for (int32_t y = h.height - 1; y >= 0; --y, letters += y >= 0 ? "/" : "")
                for (int32_t x = 0; x < h.width; ++x)
                    letters += char(out[ReadLe32(&out[10]) + size_t(y) * h.RowStride() + size_t(x) * bits / 8]);
            EXPECT_EQ(letters, c.turned);
        }
    }
}

TEST(DibTransform, ScaledCopyKeepsAUniformColourAtEveryDepth)
{
    int32_t w = 0, h = 0;
    ScaledSize(9, 7, 3, w, h);
    ASSERT_EQ(h, 2);  // 7 x 3 / 9 rounded
    for (uint16_t bits : {8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        // Pure red: colour 0 of the table made red, 5-5-5 and 8-8-8 red fields.
        TestBmp bmp = bits == 8 ? MakePalettedBmp(9, 7, 0) : TestBmp(9, 7, bits);
        if (bits == 8) bmp.table[0] = bmp.table[1] = 0, bmp.table[2] = 255;
        bmp.Fill(bits == 8 ? 0 : bits == 16 ? 0x7C00 : 0xFF0000);
        const std::vector<uint8_t> file = bmp.Bytes();
        std::vector<uint8_t> out(12 * size_t(h), 7);  // rows of 3 pixels, padded to 12 bytes
        ASSERT_TRUE(ScaleToRgb24(file.data() + 14, file.data() + ReadLe32(file.data() + 10), w, h, out.data()));
        for (int32_t i = 0; i < w * h; ++i) {
            const uint8_t* bgr = &out[size_t(i / w) * 12 + size_t(i % w) * 3];
            EXPECT_TRUE(bgr[0] <= 1 && bgr[1] <= 1 && bgr[2] >= 254) << i;
        }
    }
}

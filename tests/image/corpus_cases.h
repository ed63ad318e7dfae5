// The seed pictures of the BMP fuzz corpus: one small well-formed file of every
// kind LoadBmp accepts, with odd widths so that rows carry padding.
#pragma once
#include <vector>

#include "test_bmp.h"

struct CorpusCase {
    const char* file;
    TestBmp bmp;
};

inline TestBmp CorpusPattern(TestBmp bmp)
{
    uint32_t colours = bmp.bitCount == 8 ? uint32_t(bmp.table.size() / 4) : 0;
    for (int32_t y = 0; y < bmp.height; ++y)
        for (int32_t x = 0; x < bmp.width; ++x) {
            uint32_t v = uint32_t(x * 0x2F1 + y * 0x7A35 + 0x1357);
            bmp.Put(x, y, colours ? v % colours : v);
        }
    bmp.sizeImage = uint32_t(bmp.pixels.size());
    return bmp;
}

inline std::vector<CorpusCase> CorpusCases()
{
    std::vector<CorpusCase> cases;
    cases.push_back({"8bit_256.bmp", CorpusPattern(MakePalettedBmp(5, 3, 0))});
    cases.push_back({"8bit_16.bmp", CorpusPattern(MakePalettedBmp(5, 3, 16))});
    TestBmp b555(5, 3, 16);
    b555.SetMasks(0x7C00, 0x03E0, 0x001F);
    cases.push_back({"16bit_555_bitfields.bmp", CorpusPattern(b555)});
    TestBmp b565(5, 3, 16);
    b565.SetMasks(0xF800, 0x07E0, 0x001F);
    cases.push_back({"16bit_565_bitfields.bmp", CorpusPattern(b565)});
    cases.push_back({"16bit_rgb.bmp", CorpusPattern(TestBmp(5, 3, 16))});
    cases.push_back({"24bit.bmp", CorpusPattern(TestBmp(5, 3, 24))});
    cases.push_back({"32bit_rgb.bmp", CorpusPattern(TestBmp(5, 3, 32))});
    TestBmp b32(5, 3, 32);
    b32.SetMasks(0x00FF0000, 0x0000FF00, 0x000000FF);
    cases.push_back({"32bit_bitfields.bmp", CorpusPattern(b32)});
    return cases;
}

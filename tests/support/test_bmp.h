// Builds BMP files byte by byte for the tests, the seed corpus and the benchmark.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "test_files.h"

struct TestBmp {
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;
    uint32_t headerSize = 40;
    uint32_t pixelsPerMeter = 2835;
    std::vector<uint8_t> table;   // bit masks or colour table, straight after the header
    std::vector<uint8_t> pixels;  // stored rows, bottom row of the picture first

    TestBmp(int32_t w, int32_t h, uint16_t bits) : width(w), height(h), bitCount(bits)
    {
        pixels.assign(size_t(Stride()) * size_t(h < 0 ? -int64_t(h) : h), 0);  // top-down rows count too
    }
    uint32_t Stride() const { return width > 0 ? ((uint32_t(width) * bitCount + 31) & ~31u) / 8 : 0; }

    void SetMasks(uint32_t r, uint32_t g, uint32_t b)
    {
        compression = 3;
        table.clear();
        for (uint32_t m : {r, g, b}) PutLe(table, m, 4);
    }
    void AddColor(uint8_t r, uint8_t g, uint8_t b)
    {
        table.insert(table.end(), {b, g, r, 0});
    }
    // A pixel value of bitCount bits at column x of stored row y (0 = bottom row).
    void Put(int32_t x, int32_t y, uint32_t value)
    {
        size_t at = size_t(y) * Stride() + size_t(x) * (bitCount / 8);
        for (int i = 0; i < bitCount / 8; ++i) pixels[at + i] = uint8_t(value >> (8 * i));
    }
    void Fill(uint32_t value)
    {
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) Put(x, y, value);
    }

    // The whole file; gap extra bytes between the table and the rows.
    std::vector<uint8_t> Bytes(uint32_t gap = 0) const
    {
        std::vector<uint8_t> f;
        uint32_t offBits = 14 + 40 + uint32_t(table.size()) + gap;
        f.push_back('B');
        f.push_back('M');
        PutLe(f, offBits + uint32_t(pixels.size()), 4);
        PutLe(f, 0, 4);
        PutLe(f, offBits, 4);
        PutLe(f, headerSize, 4);
        PutLe(f, uint32_t(width), 4);
        PutLe(f, uint32_t(height), 4);
        PutLe(f, 1, 2);
        PutLe(f, bitCount, 2);
        PutLe(f, compression, 4);
        PutLe(f, sizeImage, 4);
        PutLe(f, pixelsPerMeter, 4);
        PutLe(f, pixelsPerMeter, 4);
        PutLe(f, clrUsed, 4);
        PutLe(f, 0, 4);
        f.insert(f.end(), table.begin(), table.end());
        f.insert(f.end(), gap, 0xEE);
        f.insert(f.end(), pixels.begin(), pixels.end());
        return f;
    }
    bool Write(const std::string& path, uint32_t gap = 0) const { return ::WriteBytes(path, Bytes(gap)); }

    static void PutLe(std::vector<uint8_t>& out, uint32_t v, int n)
    {
        for (int i = 0; i < n; ++i) out.push_back(uint8_t(v >> (8 * i)));
    }
};

// An 8-bit picture with a grey ramp of the given number of colours (0 = 256, biClrUsed 0).
inline TestBmp MakePalettedBmp(int32_t w, int32_t h, uint32_t colors)
{
    TestBmp bmp(w, h, 8);
    bmp.clrUsed = colors;
    uint32_t n = colors ? colors : 256;
    for (uint32_t i = 0; i < n; ++i) bmp.AddColor(uint8_t(i * 255 / (n > 1 ? n - 1 : 1)), uint8_t(i), uint8_t(255 - i));
    return bmp;
}

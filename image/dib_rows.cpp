// Conversion of packed-DIB pixel rows into 8-bit RGB scan lines.
#include "dib_rows.h"

#include <cstddef>

#include "dib_layout.h"

void Fill5BitTable(uint8_t table[32])
{
    for (int i = 0; i < 31; ++i) table[i] = uint8_t(8 * i);
    table[31] = 255;
}

void Fill6BitTable(uint8_t table[64])
{
    for (int i = 0; i < 63; ++i) table[i] = uint8_t(4 * i);
    table[63] = 255;
}

bool DibRowConverter::Init(const uint8_t* dib)
{
    DibHeader h = DibHeader::Parse(dib);
    return h.IsSupported() && Init(dib, dib + h.PixelOffset());
}

bool DibRowConverter::Init(const uint8_t* dib, const uint8_t* pixelRows)
{
    DibHeader h = DibHeader::Parse(dib);
    if (!h.IsSupported() || !pixelRows) return false;
    pixels = pixelRows;
    stride = h.RowStride();
    width = h.width;
    height = h.height;
    bitCount = h.bitCount;

    if (bitCount == 8) {
        // Indices at or above the colour count read as black instead of
        // reaching past the table.
        const uint8_t* quad = dib + kDibHeaderSize;
        for (uint32_t i = 0; i < h.ColorCount(); ++i, quad += 4) {
            palette[i][0] = quad[2];
            palette[i][1] = quad[1];
            palette[i][2] = quad[0];
        }
    } else if (bitCount == 16) {
        Init16(dib);
    } else if (bitCount == 32) {
        Init32(dib);
    }
    return true;
}

void DibRowConverter::Init16(const uint8_t* dib)
{
    Fill5BitTable(t5);
    Fill6BitTable(t6);
    uint32_t rm = 0x7C00, gm = 0x03E0, bm = 0x001F;
    if (DibHeader::Parse(dib).compression == kBiBitfields) {
        rm = ReadLe32(dib + 40) & 0xFFFF;
        gm = ReadLe32(dib + 44) & 0xFFFF;
        bm = ReadLe32(dib + 48) & 0xFFFF;
    }
    // Every index is cut to its table's width (the low 5 or 6 bits); with the
    // usual 5-6-5 and 5-5-5 masks that changes nothing, and unusual masks can
    // never reach past a table.
    bool is565 = gm == 0x07E0;
    redShift = is565 ? 11 : 10;
    redIndexMask = (rm >> redShift) & 0x1F;
    greenTable = is565 ? t6 : t5;
    greenIndexMask = is565 ? 0x3F : (gm >> 5) & 0x1F;
    blueIndexMask = bm & 0x1F;
}

void DibRowConverter::Init32(const uint8_t* dib)
{
    masks[0] = 0x00FF0000;
    masks[1] = 0x0000FF00;
    masks[2] = 0x000000FF;
    if (DibHeader::Parse(dib).compression == kBiBitfields) {
        for (int c = 0; c < 3; ++c) masks[c] = ReadLe32(dib + 40 + 4 * c);
    }
    for (int c = 0; c < 3; ++c) {
        uint32_t m = masks[c];
        if (m == 0) continue;  // the channel stays 0
        int low = 0, high = 31;
        while (!(m >> low & 1)) ++low;
        while (!(m >> high & 1)) --high;
        int bits = high - low + 1;
        // A field wider than 8 bits keeps its top 8; a narrower one is
        // stretched so that its largest value becomes 255.
        shifts[c] = bits > 8 ? high - 7 : low;
        uint32_t top = bits >= 8 ? 255 : (1u << bits) - 1;
        for (uint32_t v = 0; v < 256; ++v) scale[c][v] = uint8_t(v >= top ? 255 : (v * 255 + top / 2) / top);
    }
}

void DibRowConverter::Convert(int32_t y, uint8_t* rgb) const
{
    const uint8_t* row = pixels + size_t(stride) * uint32_t(y);
    switch (bitCount) {
    case 8:  Convert8(row, rgb); break;
    case 16: Convert16(row, rgb); break;
    case 24: Convert24(row, rgb); break;
    case 32: Convert32(row, rgb); break;
    }
}

void DibRowConverter::Convert8(const uint8_t* in, uint8_t* out) const
{
    for (int32_t x = 0; x < width; ++x, out += 3) {
        const uint8_t* c = palette[in[x]];
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
    }
}

void DibRowConverter::Convert16(const uint8_t* in, uint8_t* out) const
{
    for (int32_t x = 0; x < width; ++x, in += 2, out += 3) {
        uint32_t p = uint32_t(in[0] | in[1] << 8);
        out[0] = t5[(p >> redShift) & redIndexMask];
        out[1] = greenTable[(p >> 5) & greenIndexMask];
        out[2] = t5[p & blueIndexMask];
    }
}

void DibRowConverter::Convert24(const uint8_t* in, uint8_t* out) const
{
    for (int32_t x = 0; x < width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
}

void DibRowConverter::Convert32(const uint8_t* in, uint8_t* out) const
{
    for (int32_t x = 0; x < width; ++x, in += 4, out += 3) {
        uint32_t p = ReadLe32(in);
        for (int c = 0; c < 3; ++c) out[c] = scale[c][(p & masks[c]) >> shifts[c]];
    }
}

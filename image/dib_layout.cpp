// Layout arithmetic of a packed DIB and the BMP file header.
#include "dib_layout.h"

DibHeader DibHeader::Parse(const uint8_t* p)
{
    DibHeader h;
    h.size = ReadLe32(p);
    h.width = int32_t(ReadLe32(p + 4));
    h.height = int32_t(ReadLe32(p + 8));
    h.bitCount = ReadLe16(p + 14);
    h.compression = ReadLe32(p + 16);
    h.sizeImage = ReadLe32(p + 20);
    h.clrUsed = ReadLe32(p + 32);
    return h;
}

uint32_t DibHeader::ColorCount() const
{
    if (clrUsed != 0) return clrUsed;
    return bitCount < 16 ? uint32_t(1) << bitCount : 0;
}

uint32_t DibHeader::TableSize() const
{
    uint32_t n = 0;
    if (compression == kBiBitfields) n += kDibMasksSize;
    if (bitCount < 16) n += 4 * ColorCount();
    return n;
}

uint32_t DibHeader::RowStride() const
{
    if (width <= 0) return 0;
    uint64_t bits = uint64_t(width) * bitCount;
    return uint32_t(((bits + 31) & ~uint64_t(31)) / 8);
}

uint32_t DibHeader::PixelAreaSize() const
{
    if (height <= 0) return 0;
    return uint32_t(uint64_t(RowStride()) * uint64_t(height));
}

bool DibHeader::IsSupported() const
{
    if (size != kDibHeaderSize) return false;
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) return false;
    bool bitfieldsAllowed = bitCount == 16 || bitCount == 32;
    if (compression != kBiRgb && !(compression == kBiBitfields && bitfieldsAllowed)) return false;
    if (bitCount >= 16 ? clrUsed != 0 : clrUsed > 256) return false;
    // The side limit keeps every later size computation inside 32 bits.
    return width > 0 && height > 0 && width <= kDibMaxSide && height <= kDibMaxSide;
}

BmpFileLayout ComputeBmpFileLayout(const DibHeader& h)
{
    uint32_t table = h.compression == kBiBitfields ? kDibMasksSize : 0;
    if (h.bitCount == 8) table += 4 * h.ColorCount();
    BmpFileLayout layout;
    layout.dibBytes = kDibHeaderSize + table + h.PixelAreaSize();
    layout.bfSize = layout.dibBytes + kBmpFileHeaderSize;
    layout.bfOffBits = kBmpFileHeaderSize + kDibHeaderSize + table;
    return layout;
}

void FillBmpFileHeader(const BmpFileLayout& layout, uint8_t out[kBmpFileHeaderSize])
{
    WriteLe16(out, kBmpSignature);
    WriteLe32(out + 2, layout.bfSize);
    WriteLe16(out + 6, 0);
    WriteLe16(out + 8, 0);
    WriteLe32(out + 10, layout.bfOffBits);
}

// The BMP format: layout arithmetic, the headers and the check of what each caller takes.
#include "dib_layout.h"

#include <cstring>

DibHeader DibHeader::Parse(const uint8_t* p)
{
    DibHeader h;
    h.size = ReadLe32(p);
    h.width = int32_t(ReadLe32(p + 4));
    h.height = int32_t(ReadLe32(p + 8));
    h.planes = ReadLe16(p + 12);
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

void WritePlainBmpHeaders(uint8_t* out, int32_t width, int32_t height, uint16_t bitCount, uint32_t pixelBytes)
{
    std::memset(out, 0, kBmpHeadersSize);
    FillBmpFileHeader({kDibHeaderSize + pixelBytes, kBmpHeadersSize + pixelBytes, kBmpHeadersSize}, out);
    uint8_t* info = out + kBmpFileHeaderSize;
    WriteLe32(info, kDibHeaderSize);
    WriteLe32(info + 4, uint32_t(width));
    WriteLe32(info + 8, uint32_t(height));
    WriteLe16(info + 12, 1);
    WriteLe16(info + 14, bitCount);
    WriteLe32(info + 20, pixelBytes);
}

namespace {

bool DisplayTakes(const DibHeader& h, uint32_t offBits, uint64_t size)
{
    const int32_t kMaxSide = 32768;
    if (h.size != kDibHeaderSize || h.planes != 1 || h.width <= 0 || h.width > kMaxSide || h.height == 0 ||
        h.height > kMaxSide || h.height < -kMaxSide)
        return false;
    const uint16_t bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const bool bitFields = h.compression == kBiBitfields;
    if (h.compression != kBiRgb && !(bitFields && (bits == 16 || bits == 32))) return false;

    uint64_t colours = h.clrUsed;
    if (bits <= 8) {
        const uint64_t full = uint64_t{1} << bits;
        if (colours == 0) colours = full;
        if (colours > full) return false;
    } else if (colours > 256) {
        return false;
    }
    const uint64_t infoEnd = kBmpHeadersSize + (bitFields ? kDibMasksSize : 0) + 4 * colours;
    const uint64_t stride = ((uint64_t(h.width) * bits + 31) & ~uint64_t{31}) / 8;
    const uint64_t rows = uint64_t(h.height < 0 ? -int64_t(h.height) : h.height);
    return infoEnd <= size && offBits >= infoEnd && offBits + stride * rows <= size;
}

}  // namespace

bool ParseBmpHeaders(const uint8_t* headers, uint64_t size, BmpPolicy policy, BmpHeaders& out)
{
    if (!headers || size < kBmpHeadersSize || ReadLe16(headers) != kBmpSignature) return false;
    const DibHeader h = DibHeader::Parse(headers + kBmpFileHeaderSize);
    const uint32_t offBits = ReadLe32(headers + 10);
    const bool taken = policy == BmpPolicy::Display
                           ? DisplayTakes(h, offBits, size)
                           : h.IsSupported() && EnoughPixelBytes(h, size - kBmpHeadersSize);
    if (!taken) return false;
    out.info = h;
    out.offBits = offBits;
    return true;
}

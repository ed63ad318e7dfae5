// Layout arithmetic of a packed DIB and the BMP file header, read from raw
// little-endian bytes (never by casting a buffer to a header struct).
#pragma once
#include <cstdint>

constexpr uint32_t kBmpFileHeaderSize = 14;
constexpr uint32_t kDibHeaderSize = 40;
constexpr uint32_t kDibMasksSize = 12;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint16_t kBmpSignature = 0x4D42;  // "BM"

// Larger than any camera frame, and small enough that no size computed from
// an accepted header can overflow 32 bits (16384 x 16384 x 4 bytes = 1 GiB).
constexpr int32_t kDibMaxSide = 16384;

inline uint16_t ReadLe16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t ReadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void WriteLe16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void WriteLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// The BITMAPINFOHEADER fields the layout depends on, and the values derived from them.
struct DibHeader {
    uint32_t size = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;

    static DibHeader Parse(const uint8_t* header);  // the 40 header bytes

    uint32_t ColorCount() const;      // only meaningful below 16 bits
    uint32_t TableSize() const;       // masks or colour table that follow the header
    uint32_t PixelOffset() const { return kDibHeaderSize + TableSize(); }
    uint32_t RowStride() const;
    uint32_t PixelAreaSize() const;

    // What LoadBmp accepts; only for accepted headers are the values above exact.
    bool IsSupported() const;
};

// The 14-byte file header SaveBmp writes in front of the packed DIB, and the
// number of packed-DIB bytes that follow it.
struct BmpFileLayout {
    uint32_t dibBytes;  // N: header, masks or colour table, pixel rows
    uint32_t bfSize;
    uint32_t bfOffBits;
};
BmpFileLayout ComputeBmpFileLayout(const DibHeader& h);

// Whether the bytes that follow the info header hold its masks or colour table and
// at least 7/8 of its pixel rows. A picture cut short by a little is taken with its
// last rows reading as zero; one that holds far less is a broken or half-written
// file, and is refused before anything is allocated for what it claims.
inline bool EnoughPixelBytes(const DibHeader& h, uint64_t bytesAfterInfoHeader)
{
    const uint64_t table = h.TableSize();
    return bytesAfterInfoHeader >= table && (bytesAfterInfoHeader - table) * 8 >= uint64_t{h.PixelAreaSize()} * 7;
}
void FillBmpFileHeader(const BmpFileLayout& layout, uint8_t out[kBmpFileHeaderSize]);

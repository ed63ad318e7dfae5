// The BMP format in one place: little-endian byte readers and writers, the file and
// info headers, layout arithmetic of a packed DIB, and the one check of a BMP's headers
// (never by casting a buffer to a header struct).
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint32_t kBmpFileHeaderSize = 14;
constexpr uint32_t kDibHeaderSize = 40;
constexpr uint32_t kDibMasksSize = 12;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint16_t kBmpSignature = 0x4D42;  // "BM"
constexpr uint32_t kBmpHeadersSize = kBmpFileHeaderSize + kDibHeaderSize;

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
    uint16_t planes = 0;
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

    // What LoadBmp and the JPEG export accept (BmpPolicy::Export); only for
    // accepted headers are the values above exact.
    bool IsSupported() const;
};

// Which BMP pictures a caller takes. Two callers, two sets, kept as they are:
// - Display: what the capture window paints and holds as a frame. GDI draws it, so
//   it takes 1, 4, 8, 16, 24 and 32 bits, top-down rows (negative height), sides up
//   to 32768, a colour table of up to 256 entries at any depth (up to 2^n below 16
//   bits), one plane only, and every pixel row must lie inside the bytes, at
//   bfOffBits or later.
// - Export: what LoadBmp, the row converter and the JPEG export take. They read the
//   pixels themselves, so 8, 16, 24 and 32 bits, bottom-up rows only, sides up to
//   16384 (no size computed from a header can then overflow 32 bits), no colour
//   count above 16 bits; the planes field and bfOffBits are not consulted, and a
//   file cut short by at most 1/8 of its rows is still taken (EnoughPixelBytes).
// Both take BI_RGB, and BI_BITFIELDS at 16 and 32 bits, and only the 40-byte header.
enum class BmpPolicy { Display, Export };

// The headers of a BMP as the check found them.
struct BmpHeaders {
    DibHeader info;
    uint32_t offBits = 0;  // where the pixel rows start, counted from the file's start
};

// Checks the file header and info header at the start of a BMP of `size` bytes in all
// (headers holds at least the first min(size, kBmpHeadersSize) of them) against what
// the policy takes, including whether the bytes are enough for the pixel rows.
bool ParseBmpHeaders(const uint8_t* headers, uint64_t size, BmpPolicy policy, BmpHeaders& out);

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

// The file header and info header (kBmpHeadersSize bytes) of a picture without
// masks or colour table whose pixelBytes of rows follow at once.
void WritePlainBmpHeaders(uint8_t* out, int32_t width, int32_t height, uint16_t bitCount, uint32_t pixelBytes);

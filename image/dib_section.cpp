// DibImage's GDI side: a DIB section made from the packed DIB, and its pixels read back.
#include "dib_image.h"

#include <cstring>

#include "dib_layout.h"

void DibImage::CreateSection(HDC dc)
{
    if (section) {
        DeleteObject(section);
        section = nullptr;
    }
    sectionBits = nullptr;
    if (!dib) return;
    UINT usage = colorUsage == 1 ? DIB_PAL_COLORS : DIB_RGB_COLORS;
    void* bits = nullptr;
    section = CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(dib), usage, &bits, nullptr, 0);
    if (!section || !bits) return;
    sectionBits = bits;
    DibHeader h = DibHeader::Parse(dib);
    memcpy(sectionBits, dib + h.PixelOffset(), h.PixelAreaSize());
}

int DibImage::ReadBits(HDC dc, HBITMAP bitmap, unsigned firstLine, unsigned lineCount)
{
    if (!dib) return 0;
    DibHeader h = DibHeader::Parse(dib);
    unsigned height = unsigned(h.height);
    if (firstLine >= height) return 0;
    if (lineCount > height - firstLine) lineCount = height - firstLine;

    // GDI may fill a whole 2^n-entry colour table whatever biClrUsed says, which
    // would overrun a short table in the packed DIB; it gets a full-size copy of
    // the header and table instead, and only the image size it reports comes back.
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info;
    memset(&info, 0, sizeof info);
    memcpy(&info, dib, h.PixelOffset());
    int lines = GetDIBits(dc, bitmap, firstLine, lineCount, dib + h.PixelOffset(),
                          reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    if (lines > 0 && info.header.biSizeImage != 0) WriteLe32(dib + 20, info.header.biSizeImage);
    return lines;
}

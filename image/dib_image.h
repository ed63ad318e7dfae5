// One picture in memory as a packed DIB (info header, masks or colour table,
// bottom-up rows), with its BMP file form, a GDI DIB section for drawing on it,
// and JPEG export.
#pragma once
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
// The native build has no GDI; the section handles are opaque there.
typedef void* HDC;
typedef void* HBITMAP;
#endif

class DibImage {
public:
    DibImage() = default;
    ~DibImage() { Release(); }
    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;

    bool LoadBmp(const char* path);
    bool SaveBmp(const char* path) const;
    bool SaveJpeg(const char* path, int quality) const;
    bool FreePixels();
    void Release();

    // GDI side (Win32 only).
    void CreateSection(HDC dc);
    int ReadBits(HDC dc, HBITMAP bitmap, unsigned firstLine, unsigned lineCount);

    uint8_t* dib = nullptr;          // the packed DIB; null while empty
    int32_t colorUsage = 0;          // 1 = DIB_PAL_COLORS, anything else DIB_RGB_COLORS
    HBITMAP section = nullptr;       // owned
    void* sectionBits = nullptr;     // pixel memory of section, not owned
};

// DibImage: the BMP file form of the packed DIB, and its lifetime.
#include "dib_image.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include <malloc.h>
#endif

#include "dib_layout.h"
#include "simple_file.h"

namespace {

// Blocks start on a page: the kernel's copy from the file into a block that starts a
// few bytes off a page boundary measured several times slower under Wine.
constexpr size_t kPage = 4096;

uint8_t* AllocateBlock(uint32_t size)
{
#ifdef _WIN32
    return static_cast<uint8_t*>(_aligned_malloc(size, kPage));
#else
    void* block = nullptr;
    return posix_memalign(&block, kPage, size) == 0 ? static_cast<uint8_t*>(block) : nullptr;
#endif
}

void FreeBlock(uint8_t* block)
{
#ifdef _WIN32
    _aligned_free(block);
#else
    free(block);
#endif
}

}  // namespace

bool DibImage::LoadBmp(const char* path)
{
    FreePixels();
    SimpleFile file;
    if (!file.OpenRead(path)) return false;

    uint8_t headers[kBmpHeadersSize];
    BmpHeaders parsed;
    if (file.Read(headers, sizeof headers) != sizeof headers) return false;
    if (!ParseBmpHeaders(headers, file.Size(), BmpPolicy::Export, parsed)) return false;
    const DibHeader& h = parsed.info;
    uint8_t* infoHeader = headers + kBmpFileHeaderSize;
    if (h.sizeImage == 0) WriteLe32(infoHeader + 20, h.PixelAreaSize());

    uint32_t rest = h.TableSize() + h.PixelAreaSize();
    uint8_t* block = AllocateBlock(kDibHeaderSize + rest);
    if (!block) return false;
    memcpy(block, infoHeader, kDibHeaderSize);
    // bfOffBits is not consulted: the rows are taken to follow the table directly.
    uint32_t got = file.Read(block + kDibHeaderSize, rest);
    // Whatever a file cut short does not supply reads as zero.
    memset(block + kDibHeaderSize + got, 0, rest - got);
    dib = block;
    return true;
}

bool DibImage::SaveBmp(const char* path) const
{
    if (!dib) return false;
    BmpFileLayout layout = ComputeBmpFileLayout(DibHeader::Parse(dib));
    uint8_t fileHeader[kBmpFileHeaderSize];
    FillBmpFileHeader(layout, fileHeader);

    SimpleFile file;
    if (!file.Create(path)) return false;
    bool written = file.Write(fileHeader, sizeof fileHeader) && file.Write(dib, layout.dibBytes);
    return file.Close() && written;
}

bool DibImage::FreePixels()
{
    if (dib) {
        FreeBlock(dib);
        dib = nullptr;
    }
    return true;
}

void DibImage::Release()
{
    FreePixels();
    if (section) {
#ifdef _WIN32
        DeleteObject(section);
#endif
        section = nullptr;
        sectionBits = nullptr;
    }
}

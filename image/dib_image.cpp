// DibImage: the BMP file form of the packed DIB, and its lifetime.
#include "dib_image.h"

#include <cstdlib>
#include <cstring>

#include "dib_layout.h"
#include "simple_file.h"

bool DibImage::LoadBmp(const char* path)
{
    FreePixels();
    SimpleFile file;
    if (!file.OpenRead(path)) return false;

    uint8_t fileHeader[kBmpFileHeaderSize];
    uint8_t infoHeader[kDibHeaderSize];
    if (file.Read(fileHeader, sizeof fileHeader) != sizeof fileHeader) return false;
    if (ReadLe16(fileHeader) != kBmpSignature) return false;
    if (file.Read(infoHeader, sizeof infoHeader) != sizeof infoHeader) return false;
    DibHeader h = DibHeader::Parse(infoHeader);
    if (!h.IsSupported()) return false;
    if (h.sizeImage == 0) WriteLe32(infoHeader + 20, h.PixelAreaSize());

    // Zeroed, so whatever a short file does not supply reads as zero.
    uint32_t tableSize = h.TableSize();
    auto* block = static_cast<uint8_t*>(calloc(1, kDibHeaderSize + tableSize + h.PixelAreaSize()));
    if (!block) return false;
    memcpy(block, infoHeader, kDibHeaderSize);
    // bfOffBits is not consulted: the rows are taken to follow the table directly.
    if (tableSize != 0) file.Read(block + kDibHeaderSize, tableSize);
    file.Read(block + h.PixelOffset(), h.PixelAreaSize());
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
        free(dib);
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

// libFuzzer target: any bytes as a BMP file through LoadBmp, and what loads
// through SaveBmp and SaveJpeg.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "dib_image.h"
#include "dib_layout.h"

namespace {

std::string g_folder;

bool WriteInput(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

// Pictures LoadBmp would accept but that only cost time and memory here:
// their reading is the same as a small one's.
bool TooBigToBother(const uint8_t* data, size_t size)
{
    if (size < 54) return false;
    int64_t width = int32_t(ReadLe32(data + 18));
    int64_t height = int32_t(ReadLe32(data + 22));
    bool accepted = width > 0 && height > 0 && width <= kDibMaxSide && height <= kDibMaxSide;
    return accepted && width * height > (1 << 20);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/fuzz-bmp-XXXXXX";
    if (!mkdtemp(pattern)) abort();
    g_folder = pattern;
    atexit([] {
        for (const char* name : {"/in.bmp", "/out.bmp", "/out.jpg"}) remove((g_folder + name).c_str());
        rmdir(g_folder.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (TooBigToBother(data, size)) return 0;
    std::string in = g_folder + "/in.bmp";
    if (!WriteInput(in, data, size)) abort();
    DibImage image;
    if (!image.LoadBmp(in.c_str())) {
        if (image.dib) abort();  // a refusal leaves the image empty
        return 0;
    }
    // What was saved loads back as the same packed DIB.
    std::string out = g_folder + "/out.bmp";
    if (!image.SaveBmp(out.c_str())) abort();
    DibImage again;
    if (!again.LoadBmp(out.c_str())) abort();
    DibHeader h = DibHeader::Parse(image.dib);
    if (memcmp(image.dib, again.dib, h.PixelOffset() + h.PixelAreaSize()) != 0) abort();

    if (!image.SaveJpeg((g_folder + "/out.jpg").c_str(), int(size % 100) + 1)) abort();
    return 0;
}

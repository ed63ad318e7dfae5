// libFuzzer target: any bytes as a frame for painting, as a caption format and as
// folder entry names (for the number scan and the backup limits); the painting data that ViewBmp reports must lie inside the bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "capture_core.h"
#include "retention.h"

namespace {

volatile uint8_t g_sink;

void TouchPaintingData(const uint8_t* data, size_t size)
{
    BmpView view;
    if (!ViewBmp(data, size, view))
        return;
    // The last byte of the rows and the header's first byte: ASan flags either if outside.
    uint16_t bitCount = static_cast<uint16_t>(view.info[14] | view.info[15] << 8);
    uint64_t stride = ((static_cast<uint64_t>(view.width) * bitCount + 31) & ~uint64_t{31}) / 8;
    uint64_t rows = view.height < 0 ? -static_cast<int64_t>(view.height) : view.height;
    g_sink = view.info[0];
    g_sink = view.bits[stride * rows - 1];
    if (view.bits < data || view.bits + stride * rows > data + size)
        __builtin_trap();
}

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A frame made from a few fuzzed parameters, its offsets and length set a little
// off the exact ones, so that the checks are tried right at their edges.
void TouchFrameNearTheEdges(const uint8_t* data, size_t size)
{
    if (size < 10)
        return;
    static const uint16_t kDepths[] = {1, 4, 8, 16, 24, 32, 0, 12};
    int32_t width = 1 + (data[0] | data[1] << 8) % 300;
    int32_t height = static_cast<int16_t>(data[2] | data[3] << 8) % 300;
    uint16_t bits = kDepths[data[4] % 8];
    uint32_t compression = data[5] % 5;
    uint32_t clrUsed = (data[6] | data[7] << 8) % 300;
    int offDelta = static_cast<int8_t>(data[8]);
    int sizeDelta = static_cast<int8_t>(data[9]);

    uint64_t colours = bits <= 8 ? (clrUsed ? clrUsed : (1u << bits)) : clrUsed;
    int64_t offBits = 54 + (compression == 3 ? 12 : 0) + 4 * static_cast<int64_t>(colours) + offDelta;
    uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) & ~uint64_t{31}) / 8;
    int64_t total = offBits + static_cast<int64_t>(stride) * (height < 0 ? -height : height) + sizeDelta;
    if (offBits < 0 || total < 0 || total > (1 << 20))
        return;
    size_t length = static_cast<size_t>(total);
    uint8_t* frame = new uint8_t[length > 0 ? length : 1]();
    uint8_t header[54] = {'B', 'M'};
    Put32(header + 10, static_cast<uint32_t>(offBits));
    Put32(header + 14, 40);
    Put32(header + 18, static_cast<uint32_t>(width));
    Put32(header + 22, static_cast<uint32_t>(height));
    header[26] = 1;
    header[28] = static_cast<uint8_t>(bits);
    Put32(header + 30, compression);
    Put32(header + 46, clrUsed);
    std::memcpy(frame, header, std::min<size_t>(length, sizeof(header)));
    TouchPaintingData(frame, length);
    delete[] frame;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TouchPaintingData(data, size);
    // Again with the fixed header fields in place, so that most inputs reach the
    // size arithmetic; an exact-size copy lets ASan see any read past the end.
    if (size >= 54) {
        uint8_t* frame = new uint8_t[size];
        std::memcpy(frame, data, size);
        frame[0] = 'B';
        frame[1] = 'M';
        const uint8_t fixed[] = {40, 0, 0, 0};
        std::memcpy(frame + 14, fixed, sizeof(fixed));
        frame[26] = 1;
        frame[27] = 0;
        TouchPaintingData(frame, size);
        delete[] frame;
    }
    TouchFrameNearTheEdges(data, size);

    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));
    std::tm when = {};
    when.tm_year = 124;
    when.tm_mday = 1;
    char caption[kCaptionCapacity];
    ExpandCaption(caption, text.c_str(), &when);
    if (std::strlen(caption) >= kCaptionCapacity)
        __builtin_trap();

    NumberScan scan(text.substr(0, size % 7).c_str(), 0);
    scan.Consider(text.c_str());
    if (scan.Next() < 0 || scan.Next() > kFixedSlotNumber)
        __builtin_trap();

    const int32_t backup = ParseNumberedPicture(text.c_str(), text.substr(0, size % 7).c_str());
    if (backup < -1 || backup > kFixedSlotNumber)
        __builtin_trap();

    char name[kFileNameCapacity];
    FormatNumberedName(name, text.c_str(), scan.Next(), ".jpg");
    return 0;
}

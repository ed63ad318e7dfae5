// Platform-neutral parts of the capture side: number scan, names, caption text,
// BMP checks for painting and the test picture.
#include "capture_core.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dib_layout.h"

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Captions are code page 932 text: a directive letter that is a lead byte takes its
// trail byte with it, so that no half character is left behind.
bool IsCp932LeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

const char* SkipCharacter(const char* p)
{
    if (!*p)
        return p;
    if (IsCp932LeadByte(static_cast<unsigned char>(*p)) && p[1])
        return p + 2;
    return p + 1;
}

}  // namespace

bool MatchesNumberedName(const char* name, const char* prefix)
{
    while (*prefix) {
        // A double-byte character matches only itself: its trail byte may look like a letter.
        if (IsCp932LeadByte(static_cast<unsigned char>(*prefix)) && prefix[1]) {
            if (name[0] != prefix[0] || name[1] != prefix[1])
                return false;
            name += 2;
            prefix += 2;
            continue;
        }
        if (!*name || LowerAscii(*name) != LowerAscii(*prefix))
            return false;
        ++name;
        ++prefix;
    }
    int count = 0;
    while (count < 5 && *name && *name != '.') {
        name = SkipCharacter(name);
        ++count;
    }
    return *name == '\0' || *name == '.';
}

int32_t NumberField(const char* name, size_t prefixLength)
{
    char field[6] = {};
    size_t length = std::strlen(name);
    if (length > prefixLength)
        std::memcpy(field, name + prefixLength, std::min<size_t>(5, length - prefixLength));
    return std::atoi(field);
}

NumberScan::NumberScan(const char* prefix, int32_t startNumber)
    : prefix_(prefix), start_(startNumber), next_(startNumber), used_(kFixedSlotNumber, false)
{
}

void NumberScan::Consider(const char* entryName)
{
    // The folder's references to itself and its parent are not entries of it.
    if (std::strcmp(entryName, ".") == 0 || std::strcmp(entryName, "..") == 0)
        return;
    if (!MatchesNumberedName(entryName, prefix_.c_str()))
        return;
    int32_t number = NumberField(entryName, prefix_.size());
    if (number >= 0 && number < kFixedSlotNumber)
        used_[static_cast<size_t>(number)] = true;
    if (number != kFixedSlotNumber && number >= next_)
        next_ = number + 1;
}

int32_t NumberScan::Next() const
{
    if (next_ < kFixedSlotNumber || start_ >= kFixedSlotNumber)
        return next_;
    for (int32_t number = start_ < 0 ? 0 : start_; number < kFixedSlotNumber; ++number) {
        if (!used_[static_cast<size_t>(number)])
            return number;
    }
    return kNoFreeNumber;
}

const char* FileNamePart(const char* prefix)
{
    const char* part = prefix;
    for (const char* p = prefix; *p; p = SkipCharacter(p)) {
        if (*p == '\\' || *p == '/' || *p == ':')
            part = p + 1;
    }
    return part;
}

bool PrefixMakesFindableNames(const char* prefix)
{
    for (const char* p = prefix; *p; p = SkipCharacter(p)) {
        const unsigned char c = static_cast<unsigned char>(*p);
        // The second byte of a double-byte character may look like any of these.
        if (IsCp932LeadByte(c) && p[1])
            continue;
        if (c < 0x20 || std::strchr("<>\"|?*", c))
            return false;
        const bool driveColon = p == prefix + 1 && ((prefix[0] | 0x20) >= 'a' && (prefix[0] | 0x20) <= 'z');
        if (c == ':' && !driveColon)
            return false;
    }
    return true;
}

bool FormatNumberedName(char (&name)[kFileNameCapacity], const char* prefix, int32_t number,
                        const char* extension)
{
    int length = std::snprintf(name, sizeof(name), "%s%05d%s", prefix, static_cast<int>(number), extension);
    if (length < 0 || static_cast<size_t>(length) >= sizeof(name)) {
        name[0] = '\0';
        return false;
    }
    return true;
}

std::string FilterCaptionFormat(const char* format)
{
    static const char kLetters[] = "aAbBcdHIjmMpSUwWxXyYzZ";
    auto understood = [](char c) { return c && std::strchr(kLetters, c); };
    std::string filtered;
    const char* p = format;
    while (*p) {
        if (*p != '%') {
            filtered += *p++;
            continue;
        }
        ++p;
        if (*p == '%') {
            filtered += "%%";
            ++p;
        } else if (*p == '#' && understood(p[1])) {
            filtered.append("%#").append(1, p[1]);
            p += 2;
        } else if (understood(*p)) {
            filtered.append("%").append(1, *p++);
        } else {
            // Whatever the runtime does not know could end the process in its
            // invalid-parameter handler, so it never gets there.
            p = SkipCharacter(*p == '#' ? p + 1 : p);
        }
    }
    return filtered;
}

void ExpandCaption(char (&text)[kCaptionCapacity], const char* format, const std::tm* when)
{
    text[0] = '\0';
    if (!when)
        return;
    std::string filtered = FilterCaptionFormat(format);
    if (filtered.empty())
        return;
    // On overflow strftime returns 0 and leaves the buffer undefined.
    if (std::strftime(text, sizeof(text), filtered.c_str(), when) == 0)
        text[0] = '\0';
}

bool ViewBmp(const uint8_t* data, size_t size, BmpView& view)
{
    BmpHeaders headers;
    if (!ParseBmpHeaders(data, size, BmpPolicy::Display, headers))
        return false;
    view.info = data + kBmpFileHeaderSize;
    view.bits = data + headers.offBits;
    view.width = headers.info.width;
    view.height = headers.info.height;
    return true;
}

namespace {

// 5x7 glyphs, one byte per row, bit 4 leftmost.
const uint8_t kDigitGlyphs[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};
const uint8_t kColonGlyph[7] = {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00};
const uint8_t kDotGlyph[7] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C};

const uint8_t* GlyphFor(char c)
{
    if (c >= '0' && c <= '9')
        return kDigitGlyphs[c - '0'];
    return c == ':' ? kColonGlyph : kDotGlyph;
}

struct Rgb { uint8_t r, g, b; };

class PatternCanvas {
public:
    explicit PatternCanvas(std::vector<uint8_t>& bmp) : bmp_(bmp) {}

    // y counts from the top of the picture; rows are stored bottom-up.
    void Set(int x, int y, Rgb colour)
    {
        size_t row = static_cast<size_t>(kTestPatternHeight - 1 - y);
        uint8_t* p = bmp_.data() + kBmpHeadersSize + row * kStride + static_cast<size_t>(x) * 3;
        p[0] = colour.b;
        p[1] = colour.g;
        p[2] = colour.r;
    }

    void Fill(int left, int top, int right, int bottom, Rgb colour)
    {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                Set(x, y, colour);
    }

    void Text(const char* text, int left, int top, int scale, Rgb colour)
    {
        for (int i = 0; text[i]; ++i) {
            const uint8_t* glyph = GlyphFor(text[i]);
            int cellLeft = left + i * 6 * scale;
            for (int gy = 0; gy < 7; ++gy)
                for (int gx = 0; gx < 5; ++gx)
                    if (glyph[gy] & (0x10 >> gx))
                        Fill(cellLeft + gx * scale, top + gy * scale, cellLeft + (gx + 1) * scale,
                             top + (gy + 1) * scale, colour);
        }
    }

    static constexpr size_t kStride = kTestPatternWidth * 3;  // already a multiple of 4

private:
    std::vector<uint8_t>& bmp_;
};

}  // namespace

std::vector<uint8_t> MakeTestPatternBmp(uint32_t millisecondsOfDay)
{
    std::vector<uint8_t> bmp;
    MakeTestPatternBmp(millisecondsOfDay, bmp);
    return bmp;
}

void MakeTestPatternBmp(uint32_t millisecondsOfDay, std::vector<uint8_t>& bmp)
{
    const uint32_t pixelBytes = static_cast<uint32_t>(PatternCanvas::kStride) * kTestPatternHeight;
    // Every pixel is painted below; only the header may hold bytes of an earlier frame.
    bmp.resize(kBmpHeadersSize + pixelBytes);
    WritePlainBmpHeaders(bmp.data(), kTestPatternWidth, kTestPatternHeight, 24, pixelBytes);

    static const Rgb kBars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                 {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    const int kBarWidth = kTestPatternWidth / 8;
    const int kBarsBottom = 360;
    int shift = static_cast<int>((millisecondsOfDay / 10) % kTestPatternWidth);
    PatternCanvas canvas(bmp);
    for (int x = 0; x < kTestPatternWidth; ++x) {
        Rgb colour = kBars[((x + shift) / kBarWidth) % 8];
        for (int y = 0; y < kBarsBottom; ++y)
            canvas.Set(x, y, colour);
    }
    canvas.Fill(0, kBarsBottom, kTestPatternWidth, kTestPatternHeight, {40, 40, 40});

    uint32_t seconds = millisecondsOfDay / 1000 % 86400;
    char clock[16];
    std::snprintf(clock, sizeof(clock), "%02u:%02u:%02u.%02u", seconds / 3600, seconds / 60 % 60,
                  seconds % 60, millisecondsOfDay % 1000 / 10);
    const int kScale = 8;
    int textWidth = static_cast<int>(std::strlen(clock)) * 6 * kScale - kScale;
    int left = (kTestPatternWidth - textWidth) / 2;
    canvas.Fill(left - 16, kBarsBottom + 16, left + textWidth + 16, kBarsBottom + 16 + 7 * kScale + 32, {0, 0, 0});
    canvas.Text(clock, left, kBarsBottom + 32, kScale, {255, 255, 255});
}

uint32_t FreshnessLimitMs(uint32_t frameIntervalMs)
{
    const uint32_t kFloorMs = 5000;
    const uint32_t kIntervals = 5;
    if (frameIntervalMs > UINT32_MAX / kIntervals)
        return UINT32_MAX;
    return std::max(kFloorMs, frameIntervalMs * kIntervals);
}

uint32_t ReconnectDelayMs(uint32_t attempt)
{
    const uint32_t kFirstMs = 5000;
    const uint32_t kLongestMs = 60000;
    // 5 s shifted 4 times already passes a minute; larger shifts would overflow.
    if (attempt >= 4)
        return kLongestMs;
    return std::min(kLongestMs, kFirstMs << attempt);
}

uint64_t Rgb24FrameBytes(int32_t width, int32_t height)
{
    const uint64_t kLargestFrame = 256u << 20;
    if (width <= 0 || height == 0)
        return 0;
    const uint64_t stride = (static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t{3};
    const uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
    const uint64_t bytes = stride * rows;
    return bytes <= kLargestFrame ? bytes : 0;
}

bool Rgb24FrameToBmp(const uint8_t* pixels, uint64_t length, int32_t width, int32_t height,
                     std::vector<uint8_t>& bmp)
{
    const uint64_t pixelBytes = Rgb24FrameBytes(width, height);
    if (pixelBytes == 0 || !pixels || length < pixelBytes)
        return false;
    const size_t stride = static_cast<size_t>(pixelBytes / (height < 0 ? -static_cast<int64_t>(height) : height));
    const size_t rows = static_cast<size_t>(pixelBytes / stride);
    bmp.resize(kBmpHeadersSize + static_cast<size_t>(pixelBytes));
    WritePlainBmpHeaders(bmp.data(), width, static_cast<int32_t>(rows), 24, static_cast<uint32_t>(pixelBytes));
    uint8_t* out = bmp.data() + kBmpHeadersSize;
    if (height > 0) {
        std::copy_n(pixels, static_cast<size_t>(pixelBytes), out);
    } else {
        // Files hold bottom-up rows: a top-down frame is turned over on the way.
        for (size_t row = 0; row < rows; ++row)
            std::copy_n(pixels + row * stride, stride, out + (rows - 1 - row) * stride);
    }
    return true;
}

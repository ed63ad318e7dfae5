// Turning, mirroring and scaling a picture held as BMP bytes or DIB rows.
#include "dib_transform.h"

#include <algorithm>
#include <cstring>

#include "dib_layout.h"
#include "dib_rows.h"
#include "stb_image_resize2.h"

namespace {

bool SameWord(const char* text, const char* word)
{
    for (; *text && *word; ++text, ++word) {
        if ((*text | 0x20) != *word)
            return false;
    }
    return *text == *word;
}

// Where the turned picture's pixel (x, y), counted from its top left, comes from in the
// picture as it was (width x height), also counted from the top left.
void SourceOf(const Orientation& turn, int32_t width, int32_t height, int32_t x, int32_t y, int32_t& sx, int32_t& sy)
{
    const bool sideways = turn.quarterTurns % 2 == 1;
    const int32_t turnedWidth = sideways ? height : width;
    const int32_t turnedHeight = sideways ? width : height;
    if (turn.flip == Flip::Horizontal)
        x = turnedWidth - 1 - x;
    else if (turn.flip == Flip::Vertical)
        y = turnedHeight - 1 - y;
    switch (turn.quarterTurns) {
    case 1:  sx = y;             sy = height - 1 - x; break;
    case 2:  sx = width - 1 - x; sy = height - 1 - y; break;
    case 3:  sx = width - 1 - y; sy = x;              break;
    default: sx = x;             sy = y;              break;
    }
}

template <size_t kBytes>
void CopyRow(const uint8_t* from, ptrdiff_t step, uint8_t* to, int32_t count)
{
    for (int32_t x = 0; x < count; ++x, to += kBytes)
        std::memcpy(to, from + ptrdiff_t(x) * step, kBytes);
}

}  // namespace

Orientation ParseOrientation(int32_t rotateDegrees, const char* flip)
{
    Orientation turn;
    if (rotateDegrees == 90 || rotateDegrees == 180 || rotateDegrees == 270)
        turn.quarterTurns = rotateDegrees / 90;
    if (flip && SameWord(flip, "horizontal"))
        turn.flip = Flip::Horizontal;
    else if (flip && SameWord(flip, "vertical"))
        turn.flip = Flip::Vertical;
    return turn;
}

bool TurnBmp(const uint8_t* bmp, size_t size, const Orientation& turn, std::vector<uint8_t>& out)
{
    BmpHeaders headers;
    if (!ParseBmpHeaders(bmp, size, BmpPolicy::Export, headers))
        return false;
    const DibHeader& h = headers.info;
    const size_t tableEnd = kBmpHeadersSize + h.TableSize();
    // As the picture is loaded: the rows follow the table, and what is missing is zero.
    std::vector<uint8_t> whole;
    const uint8_t* rows = bmp + tableEnd;
    if (size - tableEnd < h.PixelAreaSize()) {
        whole.assign(h.PixelAreaSize(), 0);
        std::memcpy(whole.data(), rows, size - tableEnd);
        rows = whole.data();
    }
    DibHeader turned = h;
    if (turn.quarterTurns % 2 == 1)
        std::swap(turned.width, turned.height);
    const BmpFileLayout layout = ComputeBmpFileLayout(turned);
    // Filled in place: the preview turns every frame into the same buffer.
    std::vector<uint8_t>& file = out;
    file.assign(kBmpFileHeaderSize + layout.dibBytes, 0);
    FillBmpFileHeader(layout, file.data());
    std::memcpy(file.data() + kBmpFileHeaderSize, bmp + kBmpFileHeaderSize, tableEnd - kBmpFileHeaderSize);
    uint8_t* info = file.data() + kBmpFileHeaderSize;
    WriteLe32(info + 4, uint32_t(turned.width));
    WriteLe32(info + 8, uint32_t(turned.height));
    WriteLe32(info + 20, turned.PixelAreaSize());

    // Along a row of the turned picture the source moves by a fixed step, so each row
    // is a strided copy from its first pixel.
    const size_t bytes = h.bitCount / 8;
    const ptrdiff_t stride = h.RowStride();
    auto at = [&](int32_t sx, int32_t sy) {
        return ptrdiff_t(h.height - 1 - sy) * stride + ptrdiff_t(sx) * ptrdiff_t(bytes);
    };
    for (int32_t y = 0; y < turned.height; ++y) {
        int32_t sx, sy, nx, ny;
        SourceOf(turn, h.width, h.height, 0, y, sx, sy);
        const ptrdiff_t first = at(sx, sy);
        ptrdiff_t step = 0;
        if (turned.width > 1) {
            SourceOf(turn, h.width, h.height, 1, y, nx, ny);
            step = at(nx, ny) - first;
        }
        uint8_t* to = file.data() + tableEnd + size_t(turned.height - 1 - y) * turned.RowStride();
        switch (bytes) {
        case 1:  CopyRow<1>(rows + first, step, to, turned.width); break;
        case 2:  CopyRow<2>(rows + first, step, to, turned.width); break;
        case 3:  CopyRow<3>(rows + first, step, to, turned.width); break;
        default: CopyRow<4>(rows + first, step, to, turned.width); break;
        }
    }
    return true;
}

void ScaledSize(int32_t width, int32_t height, int32_t maxWidth, int32_t& scaledWidth, int32_t& scaledHeight)
{
    scaledWidth = std::max(1, std::min(width, maxWidth));
    scaledHeight = std::max<int32_t>(1, int32_t((int64_t(height) * scaledWidth + width / 2) / width));
}

bool ScaleToRgb24(const uint8_t* header, const uint8_t* pixelRows, int32_t scaledWidth, int32_t scaledHeight,
                  uint8_t* out)
{
    const DibHeader h = DibHeader::Parse(header);
    if (!h.IsSupported() || scaledWidth < 1 || scaledHeight < 1)
        return false;
    const int outStride = int(((uint32_t(scaledWidth) * 24 + 31) & ~31u) / 8);
    // Blue, green and red are three channels alike to the filter, so 24-bit rows are
    // scaled as they lie; other depths go through red, green and blue rows first.
    std::vector<uint8_t> rgb;
    const uint8_t* in = pixelRows;
    int inStride = int(h.RowStride());
    if (h.bitCount != 24) {
        DibRowConverter rows;
        if (!rows.Init(header, pixelRows))
            return false;
        inStride = 3 * h.width;
        rgb.resize(size_t(inStride) * size_t(h.height));
        for (int32_t y = 0; y < h.height; ++y)
            rows.Convert(y, rgb.data() + size_t(y) * size_t(inStride));
        in = rgb.data();
    }
    // The box filter averages in linear light: an sRGB picture keeps its brightness.
    if (!stbir_resize(in, h.width, h.height, inStride, out, scaledWidth, scaledHeight, outStride, STBIR_RGB,
                      STBIR_TYPE_UINT8_SRGB, STBIR_EDGE_CLAMP, STBIR_FILTER_BOX))
        return false;
    if (h.bitCount != 24) {
        for (int32_t y = 0; y < scaledHeight; ++y) {
            uint8_t* p = out + size_t(y) * size_t(outStride);
            for (int32_t x = 0; x < scaledWidth; ++x, p += 3)
                std::swap(p[0], p[2]);
        }
    }
    return true;
}

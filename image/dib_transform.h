// Turning and mirroring a picture for a camera that hangs upside down or lies on its
// side, and the smaller copy of a picture that the upload sends.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

enum class Flip { None, Horizontal, Vertical };

// Clockwise quarter turns first, then the mirror, as the turned picture is seen.
struct Orientation {
    int quarterTurns = 0;  // 0 to 3
    Flip flip = Flip::None;
    bool IsNone() const { return quarterTurns == 0 && flip == Flip::None; }
};

// rotate (0, 90, 180 or 270 degrees) and flip ("none", "horizontal" or "vertical", in any
// case) as the settings hold them; any other value counts as if it were absent.
Orientation ParseOrientation(int32_t rotateDegrees, const char* flip);

// The picture of a BMP file (what the export takes: 8, 16, 24 or 32 bits, bottom-up rows)
// turned, as a BMP file whose rows follow its masks or colour table. Rows a short file
// lacks read as zero, as when it is loaded. False, with out untouched, for a file it
// does not take. bmp and out must not overlap.
bool TurnBmp(const uint8_t* bmp, size_t size, const Orientation& turn, std::vector<uint8_t>& out);

// The width and height of a copy at most maxWidth wide with the aspect kept; never
// larger than the picture, never below 1 x 1.
void ScaledSize(int32_t width, int32_t height, int32_t maxWidth, int32_t& scaledWidth, int32_t& scaledHeight);

// A picture's rows (info header with its masks or colour table, and its bottom-up rows)
// scaled to scaledWidth x scaledHeight as 24-bit rows (blue, green, red; bottom-up, each
// row padded to 4 bytes) into out, which holds that many rows. Filtered in linear light
// from sRGB. False for a picture the export does not take or a failed allocation.
bool ScaleToRgb24(const uint8_t* header, const uint8_t* pixelRows, int32_t scaledWidth, int32_t scaledHeight,
                  uint8_t* out);

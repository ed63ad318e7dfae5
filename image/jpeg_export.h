// JPEG export of a picture whose pixel rows need not follow its header in memory,
// such as a DIB section drawn on in place.
#pragma once
#include <cstdint>

// header: the 40-byte info header with its masks or colour table; pixelRows: the
// bottom-up rows it describes, or null when they follow the header (a packed DIB).
// A failed export leaves no file.
bool SaveJpegFile(const char* path, const uint8_t* header, const uint8_t* pixelRows, int quality);

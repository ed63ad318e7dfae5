// The size of a JPEG picture from its bytes, read by libjpeg without decoding it.
#pragma once
#include <cstddef>
#include <cstdint>

// False when the bytes are no JPEG that libjpeg can read the header of.
bool ReadJpegSize(const uint8_t* data, size_t size, int32_t* width, int32_t* height);

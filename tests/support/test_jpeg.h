// Reads JPEG files back with libjpeg's decompressor, and asks the library for the
// quantisation tables a quality gives.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;    // top row first
    uint16_t quant[2][64] = {};  // luminance and chrominance tables, natural order

    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

// False when the file is missing or not a JPEG the library can read.
bool DecodeJpeg(const std::string& path, DecodedJpeg& out);

// The tables jpeg_set_quality makes for a quality, with force-baseline.
void QualityTables(int quality, uint16_t quant[2][64]);

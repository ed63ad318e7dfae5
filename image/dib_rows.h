// Turns the pixel rows of a packed DIB into scan lines of 8-bit red, green and
// blue samples, the form the JPEG encoder takes.
#pragma once
#include <cstdint>

class DibRowConverter {
public:
    // False for a depth or compression that has no conversion. The packed DIB
    // must stay unchanged while rows are converted.
    bool Init(const uint8_t* dib);
    // The same with the pixel rows elsewhere (a DIB section's memory): header is the
    // info header with its masks or colour table.
    bool Init(const uint8_t* header, const uint8_t* pixelRows);

    int32_t Width() const { return width; }
    int32_t Height() const { return height; }
    // Row y of the pixel area (0 is the bottom row of the picture) into
    // 3 x Width() bytes.
    void Convert(int32_t y, uint8_t* rgb) const;

private:
    void Convert8(const uint8_t* in, uint8_t* out) const;
    void Convert16(const uint8_t* in, uint8_t* out) const;
    void Convert24(const uint8_t* in, uint8_t* out) const;
    void Convert32(const uint8_t* in, uint8_t* out) const;
    void Init16(const uint8_t* header);
    void Init32(const uint8_t* header);

    const uint8_t* pixels = nullptr;
    uint32_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;

    uint8_t palette[256][3] = {};  // 8 bits: red, green, blue of each index

    uint8_t t5[32] = {};  // 16 bits: 5- and 6-bit field expansion
    uint8_t t6[64] = {};
    const uint8_t* greenTable = nullptr;
    int redShift = 0;
    uint32_t redIndexMask = 0, greenIndexMask = 0, blueIndexMask = 0;

    uint32_t masks[3] = {};  // 32 bits: red, green, blue field masks,
    int shifts[3] = {};      // the shift that brings each field below 256,
    uint8_t scale[3][256] = {};  // and its widening to 8 bits
};

// The expansion tables: 8 x i (4 x i) with the top entry 255, so that a full
// field becomes full intensity.
void Fill5BitTable(uint8_t table[32]);
void Fill6BitTable(uint8_t table[64]);

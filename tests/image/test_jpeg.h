// Reads JPEG files back with libjpeg's decompressor, and asks the library for
// the quantisation tables a quality gives, for the export tests.
#pragma once
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // top row first
    uint16_t quant[2][64] = {};  // luminance and chrominance tables, natural order

    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

namespace test_jpeg {
struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf escape;
};
inline void Escape(j_common_ptr cinfo) { longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->escape, 1); }
inline void Quiet(j_common_ptr) {}
}  // namespace test_jpeg

// False when the file is missing or not a JPEG the library can read.
inline bool DecodeJpeg(const char* path, DecodedJpeg* out)
{
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    jpeg_decompress_struct cinfo = {};
    test_jpeg::ErrorManager jerr;
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = test_jpeg::Escape;
    jerr.pub.output_message = test_jpeg::Quiet;
    if (setjmp(jerr.escape)) {
        jpeg_destroy_decompress(&cinfo);
        fclose(file);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < 64; ++i)
            out->quant[t][i] = cinfo.quant_tbl_ptrs[t] ? cinfo.quant_tbl_ptrs[t]->quantval[i] : 0;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out->width = int(cinfo.output_width);
    out->height = int(cinfo.output_height);
    out->rgb.assign(size_t(out->width) * out->height * 3, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &out->rgb[size_t(cinfo.output_scanline) * out->width * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    fclose(file);
    return true;
}

// The tables jpeg_set_quality makes for a quality, with force-baseline.
inline void QualityTables(int quality, uint16_t quant[2][64])
{
    jpeg_compress_struct cinfo = {};
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < 64; ++i) quant[t][i] = cinfo.quant_tbl_ptrs[t]->quantval[i];
    jpeg_destroy_compress(&cinfo);
}

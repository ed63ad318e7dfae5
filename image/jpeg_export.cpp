// DibImage::SaveJpeg: the packed DIB as a baseline JPEG file through libjpeg.
#include "jpeg_export.h"

#include "dib_image.h"

#include "dib_rows.h"
#include "jpeg_escape.h"

namespace {

// A library error longjmps back here, so this function holds only plain locals.
bool Compress(FILE* file, const DibRowConverter& rows, int quality)
{
    jpeg_compress_struct cinfo = {};
    JpegEscape jerr;
    cinfo.err = EscapingErrors(jerr);
    if (setjmp(jerr.escape)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }

    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(rows.Width());
    cinfo.image_height = JDIMENSION(rows.Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    // Taken from the library's image pool, so the error path frees it too.
    JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                 JDIMENSION(3 * rows.Width()), 1);
    // The packed DIB holds the bottom row first; the file wants the top row first.
    int32_t y = rows.Height() - 1;
    while (cinfo.next_scanline < cinfo.image_height) {
        rows.Convert(y--, line[0]);
        jpeg_write_scanlines(&cinfo, line, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

bool DibImage::SaveJpeg(const char* path, int quality) const
{
    return dib && SaveJpegFile(path, dib, nullptr, quality);
}

bool SaveJpegFile(const char* path, const uint8_t* header, const uint8_t* pixelRows, int quality)
{
    DibRowConverter rows;
    if (!header || !(pixelRows ? rows.Init(header, pixelRows) : rows.Init(header))) return false;
    FILE* file = fopen(path, "wb");
    if (!file) return false;
    // The library hands over 4 KiB at a time; one system write each costs more than the copy.
    setvbuf(file, nullptr, _IOFBF, 256 * 1024);
    bool written = Compress(file, rows, quality);
    if (fclose(file) != 0) written = false;
    if (!written) remove(path);
    return written;
}

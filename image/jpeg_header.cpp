// A JPEG's header through libjpeg's own marker reader.
#include "jpeg_header.h"

#include "jpeg_escape.h"

// A library error longjmps back here, so this function holds only plain locals.
bool ReadJpegSize(const uint8_t* data, size_t size, int32_t* width, int32_t* height)
{
    if (!data || size == 0 || size > 0x7fffffff)
        return false;
    jpeg_decompress_struct cinfo = {};
    JpegEscape jerr;
    cinfo.err = EscapingErrors(jerr);
    if (setjmp(jerr.escape)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    const bool read = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
    *width = read ? static_cast<int32_t>(cinfo.image_width) : 0;
    *height = read ? static_cast<int32_t>(cinfo.image_height) : 0;
    jpeg_destroy_decompress(&cinfo);
    return read && *width > 0 && *height > 0;
}

// A JPEG's header through libjpeg's own marker reader.
#include "jpeg_header.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct HeaderErrorManager {
    jpeg_error_mgr pub;  // first: the library hands back a pointer to it
    jmp_buf escape;
};

void ReturnToReader(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<HeaderErrorManager*>(cinfo->err)->escape, 1);
}

void DiscardMessage(j_common_ptr) {}

}  // namespace

// A library error longjmps back here, so this function holds only plain locals.
bool ReadJpegSize(const uint8_t* data, size_t size, int32_t* width, int32_t* height)
{
    if (!data || size == 0 || size > 0x7fffffff)
        return false;
    jpeg_decompress_struct cinfo = {};
    HeaderErrorManager jerr;
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = ReturnToReader;
    jerr.pub.output_message = DiscardMessage;
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

// libjpeg reports errors by calling error_exit, which must not return: this one longjmps
// back to the caller's setjmp, and messages are dropped (a windowed program has nowhere to
// show them). The caller holds only plain locals between setjmp and the library's calls.
#pragma once
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

struct JpegEscape {
    jpeg_error_mgr pub;  // first: the library hands back a pointer to it
    jmp_buf escape;
};

// The error manager for cinfo.err, returning through escape.
inline jpeg_error_mgr* EscapingErrors(JpegEscape& errors)
{
    jpeg_std_error(&errors.pub);
    errors.pub.error_exit = [](j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegEscape*>(cinfo->err)->escape, 1); };
    errors.pub.output_message = [](j_common_ptr) {};
    return &errors.pub;
}

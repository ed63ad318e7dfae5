// The smaller copy of a captioned picture that the upload sends instead of it. The
// picture is scaled on a thread of its own while the save exports the full one.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

class UploadCopy {
public:
    // With upload_width set: starts making the copy of the picture (info header with masks
    // or colour table, bottom-up rows, no caption yet): scaled to at most that width, the
    // caption drawn on the smaller picture so that it stays legible, written as a JPEG of
    // upload_quality (0 or absent: archiveQuality) in the upload's temporary folder. The
    // picture is copied first, so the caller may draw on it at once. One copy at a time.
    UploadCopy(const uint8_t* header, const uint8_t* pixelRows, const char* caption, int32_t archiveQuality);
    ~UploadCopy();
    UploadCopy(const UploadCopy&) = delete;
    UploadCopy& operator=(const UploadCopy&) = delete;

    // The copy's full path once it is written; empty without upload_width or when no copy
    // could be made, and the picture itself is then sent.
    std::string Finish();

    // Makes the copy where it is called; the worker thread's part.
    static DWORD WINAPI Make(void* self);

private:
    void Wait();

    std::string caption_;
    int32_t quality_ = 0;
    bool started_ = false;
    bool running_ = false;  // the worker is making this copy
    std::string path_;  // set by the thread
};

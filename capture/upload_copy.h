// The smaller copy of a captioned picture that the upload sends instead of it. The
// picture is scaled on a thread of its own while the save exports the full one.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

class UploadCopy {
public:
    // With upload_width set: starts scaling the picture (info header with masks or colour
    // table, bottom-up rows, no caption yet) to at most that width. The picture is copied
    // first, so the caller may draw on it at once. One copy is made at a time.
    UploadCopy(const uint8_t* header, const uint8_t* pixelRows);
    ~UploadCopy();
    UploadCopy(const UploadCopy&) = delete;
    UploadCopy& operator=(const UploadCopy&) = delete;

    // The caption drawn on the smaller picture, so that it stays legible, written as a
    // JPEG of upload_quality (0 or absent: archiveQuality) in the upload's temporary
    // folder. Its full path; empty without upload_width or when no copy could be made,
    // and the picture itself is then sent.
    std::string Finish(const char* caption, int32_t archiveQuality);

private:
    static DWORD WINAPI Scale(void* self);
    void Wait();

    bool started_ = false;
    bool scaled_ = false;
    HANDLE thread_ = nullptr;
};

// The smaller copy of a picture that the upload sends instead of it. The picture is
// scaled on a thread of its own while the save writes the full one.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// What the copy is written as: what the picture it stands in for is, since it is sent
// under that picture's remote name.
enum class UploadCopyFormat {
    Jpeg,  // of upload_quality
    Bmp,   // 24 bits; only made when it is smaller than the picture
};

class UploadCopy {
public:
    // Whether upload_width asks for copies.
    static bool Asked();

    // With upload_width set: starts making the copy of the picture (info header with masks
    // or colour table, bottom-up rows, no caption yet): scaled to at most that width, the
    // caption (none when null) drawn on the smaller picture so that it stays legible,
    // written in the given format in the upload's temporary folder; a JPEG takes
    // upload_quality (0 or absent: archiveQuality). The picture is copied first, so the
    // caller may draw on it at once. One copy at a time.
    UploadCopy(UploadCopyFormat format, const uint8_t* header, const uint8_t* pixelRows, const char* caption,
               int32_t archiveQuality);
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

    UploadCopyFormat format_;
    bool captioned_ = false;
    std::string caption_;
    int32_t quality_ = 0;
    bool started_ = false;
    bool running_ = false;  // the worker is making this copy
    std::string path_;  // set by the thread
};

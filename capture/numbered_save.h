// The one operation that produces pictures: the current frame as the next numbered
// picture in the image folder. It reports what it made; remembering it is the caller's.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

enum class SaveKind {
    Bmp,            // the frame as the capture window writes it
    CaptionedBmp,   // that file with the caption drawn on it
    CaptionedJpeg,  // the frame, captioned, straight from memory
};

enum class SaveResult {
    Produced,   // the picture is in the image folder
    NoPicture,  // a number was taken, but no frame (or no file) came of it
    NoName,     // the prefix makes no usable name, or every number is in use
};

struct SaveOutcome {
    SaveResult result = SaveResult::NoName;
    // Prefix, number and extension, read against the image folder by PicturePath; empty
    // with NoName. A JPEG whose frame could not be had keeps the frame's ".bmp" name.
    std::string name;
    // The smaller copy the upload sends instead (upload_width), full path; empty when none.
    std::string uploadCopy;
};

// The settings are read at every save. The captioned picture is also shown in
// captionShownIn, beside the live one; with none it is shown nowhere.
SaveOutcome SaveNextNumbered(SaveKind kind, int32_t startNumber, HWND captureWindow, HWND captionShownIn);

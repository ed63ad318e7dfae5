// Our own capture window: a child window that shows a live preview of a video
// source and answers the WM_CAP_* messages (connect, preview, scale, save frame,
// driver dialogs) synchronously, as the Video for Windows capture window does.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Message numbers of the capture window (WM_USER based, as Video for Windows has them).
enum : UINT {
    WM_CAP_DRIVER_CONNECT = WM_USER + 10,       // 1034
    WM_CAP_DRIVER_DISCONNECT = WM_USER + 11,    // 1035
    WM_CAP_FILE_SAVEDIB = WM_USER + 25,         // 1049
    WM_CAP_DLG_VIDEOFORMAT = WM_USER + 41,      // 1065
    WM_CAP_DLG_VIDEOSOURCE = WM_USER + 42,      // 1066
    WM_CAP_DLG_VIDEODISPLAY = WM_USER + 43,     // 1067
    WM_CAP_DLG_VIDEOCOMPRESSION = WM_USER + 46, // 1070
    WM_CAP_SET_PREVIEW = WM_USER + 50,          // 1074
    WM_CAP_SET_PREVIEWRATE = WM_USER + 52,      // 1076
    WM_CAP_SET_SCALE = WM_USER + 53,            // 1077
    // Our own: the current frame handed over in memory (lParam: CapturedFrame*).
    WM_CAP_PELMIX_GET_FRAME = WM_USER + 200,
    // Our own: TRUE while a camera just opened has not sent its first frame yet.
    WM_CAP_PELMIX_STARTING = WM_USER + 201,
};

// A frame just grabbed, as BMP file bytes owned by the capture window. It stays valid
// until the window handles its next message, so the receiver copies what it keeps.
struct CapturedFrame {
    const uint8_t* bmp = nullptr;
    size_t size = 0;
};

// Posted to the parent when the camera is lost (wParam 0) and when it delivers again (1).
#define WM_CAP_PELMIX_CAMERA_STATE (WM_APP + 40)

// Same meaning as capCreateCaptureWindowA: null when the window cannot be made.
HWND CreateCaptureWindow(const char* title, DWORD style, int x, int y, int width, int height,
                         HWND parent, int id);

// Our own capture window: a child window that shows a live preview of a video
// source and answers the WM_CAP_* messages (connect, preview, scale, save frame,
// driver dialogs) synchronously, as the Video for Windows capture window does.
#pragma once
#include <windows.h>

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
};

// Posted to the parent when the camera is lost (wParam 0) and when it delivers again (1).
#define WM_CAP_PELMIX_CAMERA_STATE (WM_APP + 40)

// Same meaning as capCreateCaptureWindowA: null when the window cannot be made.
HWND CreateCaptureWindow(const char* title, DWORD style, int x, int y, int width, int height,
                         HWND parent, int id);

// Recording stand-ins for what the main window calls (capture window, save, upload,
// settings, automatic cycle), so its tests see every call and message in order.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct CaptureMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct CaptureCreation {
    std::string title;
    DWORD style;
    int x, y, width, height;
    HWND parent;
    int id;
    HWND mainWindowAtCreation;  // g_mainWindow as it was when the capture window was made
};

struct Recorder {
    bool refuseCaptureWindow = false;    // CreateCaptureWindow returns null
    bool uploading = false;              // RefuseWhileUploading refuses, recording "refused"
    std::vector<CaptureCreation> creations;
    std::vector<CaptureMessage> captureMessages;
    std::vector<std::string> calls;      // "save jpeg 0", "upload", "auto", "tick", "settings",
                                         // "auto-start", "remember 32777 0"
    HWND settingsOwner = nullptr;
    LPARAM settingsParam = -1;
    std::string localDir = ".";

    void Clear()
    {
        captureMessages.clear();
        calls.clear();
    }
};

extern Recorder g_recorder;

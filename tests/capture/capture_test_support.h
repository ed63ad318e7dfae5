// Shared pieces of the capture tests under Wine: a scratch folder, test frames in
// every depth, a parent window with the capture window in it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_files.h"
#include "test_jpeg.h"

// A fresh folder under the temporary folder, made current for the test's length.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

enum class FrameKind { Palette8, Rgb555, Bitfields565, Rgb24, Rgb32 };
const char* FrameKindName(FrameKind kind);

// A BMP file of the given depth, every pixel the colour (r, g, b) as near as the depth
// allows (the 8-bit frames use a grey palette, so r is taken as the grey level).
std::vector<uint8_t> MakeFrame(FrameKind kind, int width, int height, uint8_t r, uint8_t g, uint8_t b);

bool FileExists(const std::string& path);
std::vector<std::string> FolderEntries(const std::string& folder);  // without "." and ".."
std::string CurrentFolder();
void WriteIni(const char* key, const char* value);   // ./Pelmix.ini, section SETTING


// A visible top-level window standing in for the main window, with a capture window
// as its child. One pair serves the whole test program: under Wine a shown top-level
// window takes seconds to go away.
class TestWindows {
public:
    static TestWindows& Shared();
    // Back to a fresh capture window's state: no driver, no preview, unscaled.
    void Reset();
    HWND parent() const { return parent_; }
    HWND capture() const { return capture_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    TestWindows();
    HWND parent_ = nullptr;
    HWND capture_ = nullptr;
    int width_ = 320;
    int height_ = 240;
};

// Dispatches messages until the condition holds or the time runs out.
template <class Condition>
bool PumpUntil(Condition condition, DWORD timeoutMs = 3000)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(5);
    }
}

void PumpFor(DWORD milliseconds);
COLORREF PixelOf(HWND window, int x, int y);

// The numbered save: the current frame as the next numbered BMP in the image folder,
// or as a JPEG with the caption drawn on it.
#include "numbered_save.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app_state.h"
#include "capture_core.h"
#include "capture_window.h"
#include "dib_image.h"
#include "settings_store.h"

namespace {

class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

class MemoryDc {
public:
    explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDc()
    {
        if (dc_)
            DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// Puts the earlier object back, so that the bitmap is selected nowhere afterwards.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() { Restore(); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    void Restore()
    {
        if (previous_)
            SelectObject(dc_, previous_);
        previous_ = nullptr;
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The process's current folder, made current again when the save ends.
class CurrentFolderKeeper {
public:
    CurrentFolderKeeper()
    {
        DWORD needed = GetCurrentDirectoryA(0, nullptr);
        folder_.resize(needed + 1);
        DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(folder_.size()), folder_.data());
        saved_ = length > 0 && length < folder_.size();
    }
    ~CurrentFolderKeeper()
    {
        if (saved_)
            SetCurrentDirectoryA(folder_.data());
    }
    CurrentFolderKeeper(const CurrentFolderKeeper&) = delete;
    CurrentFolderKeeper& operator=(const CurrentFolderKeeper&) = delete;

private:
    std::vector<char> folder_;
    bool saved_ = false;
};

int32_t HeaderValue(const DibImage& image, size_t offset)
{
    int32_t value;
    std::memcpy(&value, image.dib + offset, sizeof(value));
    return value;
}

// The listing asks for every name that starts with the prefix: the platforms disagree
// on how "?" treats a name that ends early, so the pattern itself is matched here.
// Entry names carry no folder, so a prefix with a folder part is matched by its name part.
int32_t ScanNextNumber(const std::string& prefix, int32_t startNumber)
{
    NumberScan scan(FileNamePart(prefix.c_str()), startNumber);
    std::string pattern = prefix + "*";
    WIN32_FIND_DATAA entry;
    // Only long names are looked at: the basic listing spares the short ones.
    HANDLE listing = FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                      FIND_FIRST_EX_LARGE_FETCH);
    if (listing == INVALID_HANDLE_VALUE)
        return scan.Next();
    do {
        scan.Consider(entry.cFileName);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return scan.Next();
}

void DrawCaption(DibImage& image, const char* text)
{
    const int32_t width = HeaderValue(image, 4);
    const int32_t height = HeaderValue(image, 8);
    WindowDc windowDc(g_mainWindow);
    MemoryDc memoryDc(windowDc.get());
    if (!memoryDc.get())
        return;
    image.CreateSection(windowDc.get());
    Selection selection(memoryDc.get(), image.section);

    RECT area = {8, 8, width - 1, height - 1};
    SetBkMode(memoryDc.get(), TRANSPARENT);
    SetTextColor(memoryDc.get(), RGB(0, 0, 0));
    DrawTextA(memoryDc.get(), text, -1, &area, 0);
    SetTextColor(memoryDc.get(), RGB(255, 255, 255));
    area.left = 6;
    area.top = 6;
    DrawTextA(memoryDc.get(), text, -1, &area, 0);

    // Beside the live picture, which the capture window shows unscaled at the top left.
    if (g_mainWindow)
        BitBlt(windowDc.get(), (width - 1) + 4, 0, width - 1, height - 1, memoryDc.get(), 0, 0, SRCCOPY);

    selection.Restore();
    image.ReadBits(memoryDc.get(), image.section, 0, height > 0 ? static_cast<unsigned>(height) : 0u);
}

// Caption, then the JPEG (the frame file removed) or the BMP written back. On return
// the name buffer holds the name of the file this save meant to produce.
void CaptionFrame(char (&name)[kFileNameCapacity], const std::string& prefix, int32_t number,
                  const std::string& format, int32_t quality, bool jpeg)
{
    DibImage image;
    if (!image.LoadBmp(name))
        return;
    char text[kCaptionCapacity];
    std::time_t now = std::time(nullptr);
    ExpandCaption(text, format.c_str(), std::localtime(&now));
    DrawCaption(image, text);
    if (jpeg) {
        char frameName[kFileNameCapacity];
        std::memcpy(frameName, name, sizeof(frameName));
        FormatNumberedName(name, prefix.c_str(), number, ".jpg");
        image.SaveJpeg(name, std::clamp(quality, 1, 100));
        DeleteFileA(frameName);
    } else {
        image.SaveBmp(name);
    }
    image.Release();
}

}  // namespace

void SaveNumberedImage(bool jpeg, bool caption, int32_t startNumber)
{
    const std::string prefix = ReadSetting(Setting::st);
    const std::string format = ReadSetting(Setting::msg);
    const int32_t quality = ReadSetting(Setting::jpegQ);
    char name[kFileNameCapacity] = "";
    {
        CurrentFolderKeeper folder;
        SetCurrentDirectoryA(ReadSetting(Setting::localDir).c_str());
        // A prefix too long for any name saves nothing and names no file.
        char probe[kFileNameCapacity];
        if (FormatNumberedName(probe, prefix.c_str(), 0, ".bmp")) {
            int32_t number = ScanNextNumber(prefix, startNumber);
            // With every number taken nothing is overwritten, and no file is named.
            if (number != kNoFreeNumber) {
                FormatNumberedName(name, prefix.c_str(), number, ".bmp");
                if (g_captureWindow && IsWindow(g_captureWindow))
                    SendMessageA(g_captureWindow, WM_CAP_FILE_SAVEDIB, 0, reinterpret_cast<LPARAM>(name));
                if (jpeg || caption)
                    CaptionFrame(name, prefix, number, format, quality, jpeg);
            }
        }
    }
    g_lastSavedFileName = name;
}

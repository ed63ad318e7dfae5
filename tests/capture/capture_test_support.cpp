// Scratch folders, test frames, test windows and a JPEG reader for the capture tests.
#include "capture_test_support.h"

#include <cstdio>
#include <cstring>

#include "capture_window.h"
#include "test_bmp.h"
#include "win_handles.h"

namespace {

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    const FindHandle listing(FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (listing) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(listing.get(), &entry));
    }
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(folder.c_str());
}

const char kParentClass[] = "PelmixCaptureTestParent";

}  // namespace

ScratchFolder::ScratchFolder()
{
    static int counter = 0;
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    char name[MAX_PATH];
    std::snprintf(name, sizeof(name), "%spelmix_capture_%lu_%d", temp, GetCurrentProcessId(), ++counter);
    path_ = name;
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
    previous_ = CurrentFolder();
    SetCurrentDirectoryA(path_.c_str());
}

ScratchFolder::~ScratchFolder()
{
    SetCurrentDirectoryA(previous_.c_str());
    RemoveTree(path_);
}

const char* FrameKindName(FrameKind kind)
{
    switch (kind) {
    case FrameKind::Palette8:     return "8-bit";
    case FrameKind::Rgb555:       return "16-bit 5-5-5";
    case FrameKind::Bitfields565: return "16-bit 5-6-5";
    case FrameKind::Rgb24:        return "24-bit";
    case FrameKind::Rgb32:        return "32-bit";
    }
    return "?";
}

std::vector<uint8_t> MakeFrame(FrameKind kind, int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    const uint32_t rgb = uint32_t{r} << 16 | uint32_t{g} << 8 | b;
    uint16_t bits = 24;
    uint32_t value = rgb;
    switch (kind) {
    case FrameKind::Palette8:     bits = 8; value = r; break;
    case FrameKind::Rgb555:       bits = 16; value = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3); break;
    case FrameKind::Bitfields565: bits = 16; value = (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3); break;
    case FrameKind::Rgb24:        break;
    case FrameKind::Rgb32:        bits = 32; break;
    }
    TestBmp bmp(width, height, bits);
    bmp.pixelsPerMeter = 0;
    bmp.sizeImage = static_cast<uint32_t>(bmp.pixels.size());
    if (kind == FrameKind::Palette8) {
        for (int i = 0; i < 256; ++i)
            bmp.AddColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i));
    } else if (kind == FrameKind::Bitfields565) {
        bmp.SetMasks(0xF800, 0x07E0, 0x001F);
    }
    bmp.Fill(value);
    return bmp.Bytes();
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    const FindHandle listing(FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (!listing)
        return names;
    do {
        std::string name = entry.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(listing.get(), &entry));
    return names;
}

std::string CurrentFolder()
{
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(folder), folder);
    return folder;
}

void WriteIni(const char* key, const char* value)
{
    WritePrivateProfileStringA("SETTING", key, value, "./Pelmix.ini");
}

TestWindows& TestWindows::Shared()
{
    static TestWindows windows;
    windows.Reset();
    return windows;
}

TestWindows::TestWindows()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kParentClass;
    RegisterClassExA(&wc);

    parent_ = CreateWindowExA(0, kParentClass, "Pelmix capture test", WS_POPUP | WS_VISIBLE, 0, 0, width_, height_,
                              nullptr, nullptr, instance, nullptr);
    capture_ = CreateCaptureWindow("My Capture Window", WS_CHILD | WS_VISIBLE, 0, 0, width_, height_, parent_, 1);
}

void TestWindows::Reset()
{
    SendMessageA(capture_, WM_CAP_DRIVER_DISCONNECT, 0, 0);
    SendMessageA(capture_, WM_CAP_SET_PREVIEW, 0, 0);
    SendMessageA(capture_, WM_CAP_SET_SCALE, 0, 0);
    SendMessageA(capture_, WM_CAP_SET_PREVIEWRATE, 66, 0);
    SetEnvironmentVariableA("PELMIX_VIDEO_SOURCE", nullptr);
    RedrawWindow(parent_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpFor(0);
}

void PumpFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= milliseconds; }, milliseconds + 1000);
}

COLORREF PixelOf(HWND window, int x, int y)
{
    const WindowDc dc(window);
    return GetPixel(dc.get(), x, y);
}

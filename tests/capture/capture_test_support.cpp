// Scratch folders, test frames, test windows and a JPEG reader for the capture tests.
#include "capture_test_support.h"

#include <cstdio>
#include <cstring>

#include "capture_window.h"
#include "win_handles.h"

namespace {

void PutLe16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

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
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t tableBytes = 0;
    switch (kind) {
    case FrameKind::Palette8:     bits = 8; tableBytes = 1024; break;
    case FrameKind::Rgb555:       bits = 16; break;
    case FrameKind::Bitfields565: bits = 16; compression = 3; tableBytes = 12; break;
    case FrameKind::Rgb24:        bits = 24; break;
    case FrameKind::Rgb32:        bits = 32; break;
    }
    uint32_t stride = ((width * bits + 31) & ~31u) / 8;
    uint32_t offBits = 54 + tableBytes;
    std::vector<uint8_t> bmp(offBits + stride * height);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLe32(bmp, 2, static_cast<uint32_t>(bmp.size()));
    PutLe32(bmp, 10, offBits);
    PutLe32(bmp, 14, 40);
    PutLe32(bmp, 18, static_cast<uint32_t>(width));
    PutLe32(bmp, 22, static_cast<uint32_t>(height));
    PutLe16(bmp, 26, 1);
    PutLe16(bmp, 28, bits);
    PutLe32(bmp, 30, compression);
    PutLe32(bmp, 34, stride * height);
    if (kind == FrameKind::Palette8) {
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c)
                bmp[54 + 4 * i + c] = static_cast<uint8_t>(i);
    } else if (kind == FrameKind::Bitfields565) {
        PutLe32(bmp, 54, 0xF800);
        PutLe32(bmp, 58, 0x07E0);
        PutLe32(bmp, 62, 0x001F);
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bmp.data() + offBits + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            switch (kind) {
            case FrameKind::Palette8:
                row[x] = r;
                break;
            case FrameKind::Rgb555: {
                uint16_t p = static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
                row[2 * x] = static_cast<uint8_t>(p);
                row[2 * x + 1] = static_cast<uint8_t>(p >> 8);
                break;
            }
            case FrameKind::Bitfields565: {
                uint16_t p = static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
                row[2 * x] = static_cast<uint8_t>(p);
                row[2 * x + 1] = static_cast<uint8_t>(p >> 8);
                break;
            }
            case FrameKind::Rgb24:
                row[3 * x] = b;
                row[3 * x + 1] = g;
                row[3 * x + 2] = r;
                break;
            case FrameKind::Rgb32:
                row[4 * x] = b;
                row[4 * x + 1] = g;
                row[4 * x + 2] = r;
                row[4 * x + 3] = 0;
                break;
            }
        }
    }
    return bmp;
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

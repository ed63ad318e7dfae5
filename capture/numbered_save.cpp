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
#include "dib_layout.h"
#include "jpeg_export.h"
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
int32_t ScanNextNumber(const std::string& prefix, int32_t startNumber, bool& aboveTheHighest)
{
    NumberScan scan(FileNamePart(prefix.c_str()), startNumber);
    std::string pattern = prefix + "*";
    WIN32_FIND_DATAA entry;
    // Only long names are looked at: the basic listing spares the short ones.
    HANDLE listing = FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                      FIND_FIRST_EX_LARGE_FETCH);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            scan.Consider(entry.cFileName);
        } while (FindNextFileA(listing, &entry));
        FindClose(listing);
    }
    aboveTheHighest = scan.AboveTheHighest();
    return scan.Next();
}

// The folder the listing looks in: the prefix's folder part, made full.
std::string ListedFolder(const std::string& prefix)
{
    std::string folder(prefix.c_str(), FileNamePart(prefix.c_str()));
    if (folder.empty())
        folder = ".";
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(folder.c_str(), sizeof(full), full, nullptr);
    return length > 0 && length < sizeof(full) ? std::string(full) : std::string();
}

bool FolderWriteTime(const std::string& folder, FILETIME& time)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (folder.empty() || !GetFileAttributesExA(folder.c_str(), GetFileExInfoStandard, &data))
        return false;
    time = data.ftLastWriteTime;
    return true;
}

bool NumberIsFree(const std::string& prefix, int32_t number)
{
    char pattern[kFileNameCapacity];
    if (!FormatNumberedName(pattern, prefix.c_str(), number, ".*"))
        return false;
    WIN32_FIND_DATAA entry;
    HANDLE found = FindFirstFileA(pattern, &entry);
    if (found == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    FindClose(found);
    return false;
}

// What the last save learnt of its folder. A folder's write time moves whenever a
// name in it is added, removed or renamed, so while it stands still the number after
// the last save is still the next free one, and listing thousands of backups again
// would only say the same. One lookup of that number guards against coarse clocks.
struct ScanMemory {
    bool valid = false;
    std::string folder;
    std::string prefix;
    int32_t startNumber = 0;
    int32_t next = 0;
    FILETIME folderTime = {};
};
ScanMemory g_scanMemory;

// rememberable: whether the number is one more than the highest in the folder, which
// is what the memory can vouch for; once the numbers have run out and free ones lower
// down are taken, every save lists the folder.
int32_t NextNumber(const std::string& prefix, int32_t startNumber, const std::string& folder, bool& rememberable)
{
    rememberable = false;
    // No number counts above the fixed slot, so a save that starts there needs no listing.
    if (startNumber == kFixedSlotNumber)
        return kFixedSlotNumber;
    const ScanMemory& memory = g_scanMemory;
    FILETIME now;
    rememberable = true;
    if (memory.valid && memory.folder == folder && memory.prefix == prefix && memory.startNumber == startNumber &&
        FolderWriteTime(folder, now) && CompareFileTime(&now, &memory.folderTime) == 0 &&
        NumberIsFree(prefix, memory.next))
        return memory.next;
    return ScanNextNumber(prefix, startNumber, rememberable);
}

void RememberSave(const std::string& folder, const std::string& prefix, int32_t startNumber, int32_t next,
                  bool rememberable)
{
    ScanMemory& memory = g_scanMemory;
    memory.folder = folder;
    memory.prefix = prefix;
    memory.startNumber = startNumber;
    memory.next = next;
    // Near the fixed slot the full scan decides what comes next.
    memory.valid = rememberable && next >= 0 && next < kFixedSlotNumber && FolderWriteTime(folder, memory.folderTime);
}

// The caption in black, then in white two pixels up and left of it, and the captioned
// picture shown beside the live one, which the capture window shows unscaled at the top left.
void PaintCaption(HDC windowDc, HDC memoryDc, int32_t width, int32_t height, const char* text)
{
    RECT area = {8, 8, width - 1, height - 1};
    SetBkMode(memoryDc, TRANSPARENT);
    SetTextColor(memoryDc, RGB(0, 0, 0));
    DrawTextA(memoryDc, text, -1, &area, 0);
    SetTextColor(memoryDc, RGB(255, 255, 255));
    area.left = 6;
    area.top = 6;
    DrawTextA(memoryDc, text, -1, &area, 0);
    if (g_mainWindow)
        BitBlt(windowDc, (width - 1) + 4, 0, width - 1, height - 1, memoryDc, 0, 0, SRCCOPY);
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
    PaintCaption(windowDc.get(), memoryDc.get(), width, height, text);
    selection.Restore();
    image.ReadBits(memoryDc.get(), image.section, 0, height > 0 ? static_cast<unsigned>(height) : 0u);
}

// The DIB section the JPEG save draws its caption in. It is kept from save to save
// while the frames keep their format, so a save copies the frame's pixels once and
// makes no new section.
class CaptionCanvas {
public:
    CaptionCanvas() = default;
    ~CaptionCanvas() { Release(); }
    CaptionCanvas(const CaptionCanvas&) = delete;
    CaptionCanvas& operator=(const CaptionCanvas&) = delete;

    // The frame's pixels into the section; false when the frame is no picture the
    // JPEG export takes.
    bool Take(const CapturedFrame& frame)
    {
        if (!frame.bmp || frame.size < kBmpFileHeaderSize + kDibHeaderSize || ReadLe16(frame.bmp) != kBmpSignature)
            return false;
        const uint8_t* info = frame.bmp + kBmpFileHeaderSize;
        const DibHeader h = DibHeader::Parse(info);
        if (!h.IsSupported() || !EnoughPixelBytes(h, frame.size - kBmpFileHeaderSize - kDibHeaderSize))
            return false;
        // As a BMP file is loaded: the rows follow the table, whatever bfOffBits says,
        // and what a short file lacks reads as zero.
        const size_t headerBytes = h.PixelOffset();
        const size_t available = frame.size - kBmpFileHeaderSize;
        std::vector<uint8_t> header(headerBytes, 0);
        std::memcpy(header.data(), info, std::min(headerBytes, available));
        if (h.sizeImage == 0)
            WriteLe32(header.data() + 20, h.PixelAreaSize());
        if (!section_ || header != header_) {
            Release();
            void* bits = nullptr;
            section_ = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(header.data()), DIB_RGB_COLORS,
                                        &bits, nullptr, 0);
            if (!section_ || !bits) {
                Release();
                return false;
            }
            bits_ = static_cast<uint8_t*>(bits);
            header_.swap(header);
        }
        const size_t area = h.PixelAreaSize();
        const size_t got = available > headerBytes ? std::min(area, available - headerBytes) : 0;
        std::memcpy(bits_, info + headerBytes, got);
        std::memset(bits_ + got, 0, area - got);
        return true;
    }

    void Release()
    {
        if (section_)
            DeleteObject(section_);
        section_ = nullptr;
        bits_ = nullptr;
        header_.clear();
    }

    HBITMAP Section() const { return section_; }
    const uint8_t* Header() const { return header_.data(); }
    const uint8_t* Pixels() const { return bits_; }
    int32_t Width() const { return DibHeader::Parse(header_.data()).width; }
    int32_t Height() const { return DibHeader::Parse(header_.data()).height; }

private:
    std::vector<uint8_t> header_;  // info header with its masks or colour table
    HBITMAP section_ = nullptr;
    uint8_t* bits_ = nullptr;      // the section's rows, owned by it
};

CaptionCanvas g_canvas;

void DrawCaptionOnCanvas(CaptionCanvas& canvas, const char* text)
{
    WindowDc windowDc(g_mainWindow);
    MemoryDc memoryDc(windowDc.get());
    if (!memoryDc.get())
        return;
    Selection selection(memoryDc.get(), canvas.Section());
    PaintCaption(windowDc.get(), memoryDc.get(), canvas.Width(), canvas.Height(), text);
    selection.Restore();
    // The export reads the section's memory directly: GDI must have finished drawing.
    GdiFlush();
}

// The current frame, captioned, as the numbered JPEG, straight from memory. A frame
// that cannot be had saves nothing, and the name stays the BMP's, as when the frame
// went through a file.
void SaveCaptionedJpeg(char (&name)[kFileNameCapacity], const std::string& prefix, int32_t number,
                       const std::string& format, int32_t quality)
{
    FormatNumberedName(name, prefix.c_str(), number, ".bmp");
    CapturedFrame frame;
    const bool grabbed = g_captureWindow && IsWindow(g_captureWindow) &&
                         SendMessageA(g_captureWindow, WM_CAP_PELMIX_GET_FRAME, 0, reinterpret_cast<LPARAM>(&frame));
    if (!grabbed || !g_canvas.Take(frame)) {
        // An older picture under the frame's name must not pass for this one.
        DeleteFileA(name);
        return;
    }
    char text[kCaptionCapacity];
    std::time_t now = std::time(nullptr);
    ExpandCaption(text, format.c_str(), std::localtime(&now));
    DrawCaptionOnCanvas(g_canvas, text);
    FormatNumberedName(name, prefix.c_str(), number, ".jpg");
    SaveJpegFile(name, g_canvas.Header(), g_canvas.Pixels(), std::clamp(quality, 1, 100));
}

// The caption drawn onto the BMP the capture window has just written.
void CaptionBmpFile(const char* name, const std::string& format)
{
    DibImage image;
    if (!image.LoadBmp(name))
        return;
    char text[kCaptionCapacity];
    std::time_t now = std::time(nullptr);
    ExpandCaption(text, format.c_str(), std::localtime(&now));
    DrawCaption(image, text);
    image.SaveBmp(name);
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
        // A prefix too long for any name, or one whose names the listing could not
        // find again (so that every save would reuse one number), saves nothing and
        // names no file.
        char probe[kFileNameCapacity];
        if (PrefixMakesFindableNames(prefix.c_str()) && FormatNumberedName(probe, prefix.c_str(), 0, ".bmp")) {
            const std::string listed = ListedFolder(prefix);
            bool remembered = false;
            const int32_t number = NextNumber(prefix, startNumber, listed, remembered);
            // With every number taken nothing is overwritten, and no file is named.
            if (number != kNoFreeNumber) {
                if (jpeg) {
                    SaveCaptionedJpeg(name, prefix, number, format, quality);
                } else {
                    FormatNumberedName(name, prefix.c_str(), number, ".bmp");
                    if (g_captureWindow && IsWindow(g_captureWindow))
                        SendMessageA(g_captureWindow, WM_CAP_FILE_SAVEDIB, 0, reinterpret_cast<LPARAM>(name));
                    if (caption)
                        CaptionBmpFile(name, format);
                }
            }
            const bool produced = number != kNoFreeNumber && GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
            RememberSave(listed, prefix, startNumber, produced ? number + 1 : number, remembered);
        }
    }
    g_lastSavedFileName = name;
}

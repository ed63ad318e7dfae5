// The numbered save: the current frame as the next numbered BMP in the image folder,
// or as a JPEG with the caption drawn on it.
#include "numbered_save.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "caption.h"
#include "capture_core.h"
#include "capture_window.h"
#include "dib_image.h"
#include "dib_layout.h"
#include "jpeg_export.h"
#include "picture_path.h"
#include "settings_store.h"
#include "turned_frame.h"
#include "upload_copy.h"
#include "win_handles.h"

namespace {

// The image folder as the names of the save are read against: the prefix, and so every
// name, may carry a folder part of its own, which keeps the meaning it would have with
// the image folder as the current one. The process's current folder is never changed.
class ImageFolder {
public:
    explicit ImageFolder(const std::string& localDir) : full_(ImageFolderPath(localDir)) {}
    std::string PathOf(const std::string& name) const { return PicturePathIn(full_, name); }
    // Where the listing looks: the folder of the prefix's pictures.
    std::string PicturesOf(const std::string& prefix) const { return PictureFolderIn(full_, prefix); }

private:
    std::string full_;
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
int32_t ScanNextNumber(const ImageFolder& folder, const std::string& prefix, int32_t startNumber,
                       bool& aboveTheHighest)
{
    NumberScan scan(FileNamePart(prefix.c_str()), startNumber);
    const std::string pattern = folder.PathOf(prefix + "*");
    WIN32_FIND_DATAA entry;
    // Only long names are looked at: the basic listing spares the short ones.
    const FindHandle listing(FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                              nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (listing) {
        do {
            scan.Consider(entry.cFileName);
        } while (FindNextFileA(listing.get(), &entry));
    }
    aboveTheHighest = scan.AboveTheHighest();
    return scan.Next();
}

bool FolderWriteTime(const std::string& folder, FILETIME& time)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (folder.empty() || !GetFileAttributesExA(folder.c_str(), GetFileExInfoStandard, &data))
        return false;
    time = data.ftLastWriteTime;
    return true;
}

bool NumberIsFree(const ImageFolder& folder, const std::string& prefix, int32_t number)
{
    char pattern[kFileNameCapacity];
    if (!FormatNumberedName(pattern, prefix.c_str(), number, ".*"))
        return false;
    WIN32_FIND_DATAA entry;
    const FindHandle found(FindFirstFileA(folder.PathOf(pattern).c_str(), &entry));
    return !found && GetLastError() == ERROR_FILE_NOT_FOUND;
}

// What the last save learnt of its folder. A folder's write time moves whenever a
// name in it is added, removed or renamed, so while it stands still the number after
// the last save is still the next free one, and listing thousands of backups again
// would only say the same. One lookup of that number guards against coarse clocks.
// Its one instance belongs to SaveNextNumbered and lives for the whole run; only the
// window's thread saves, so it needs no lock.
class ScanMemory {
public:
    // The next number the last save left, while folder, prefix and start number are
    // those it saw and the folder has not changed since; -1 otherwise.
    int32_t Recall(const ImageFolder& imageFolder, const std::string& folder, const std::string& prefix,
                   int32_t startNumber) const
    {
        FILETIME now;
        if (valid_ && folder_ == folder && prefix_ == prefix && startNumber_ == startNumber &&
            FolderWriteTime(folder, now) && CompareFileTime(&now, &folderTime_) == 0 &&
            NumberIsFree(imageFolder, prefix, next_))
            return next_;
        return -1;
    }

    // rememberable: whether next is one more than the highest number in the folder,
    // which is all the memory can vouch for.
    void Remember(const std::string& folder, const std::string& prefix, int32_t startNumber, int32_t next,
                  bool rememberable)
    {
        folder_ = folder;
        prefix_ = prefix;
        startNumber_ = startNumber;
        next_ = next;
        // Near the fixed slot the full scan decides what comes next.
        valid_ = rememberable && next >= 0 && next < kFixedSlotNumber && FolderWriteTime(folder, folderTime_);
    }

private:
    bool valid_ = false;
    std::string folder_;
    std::string prefix_;
    int32_t startNumber_ = 0;
    int32_t next_ = 0;
    FILETIME folderTime_ = {};
};

// rememberable: whether the number is one more than the highest in the folder; once
// the numbers have run out and free ones lower down are taken, every save lists the folder.
int32_t NextNumber(const ScanMemory& memory, const ImageFolder& imageFolder, const std::string& prefix,
                   int32_t startNumber, const std::string& folder, bool& rememberable)
{
    rememberable = false;
    // No number counts above the fixed slot, so a save that starts there needs no listing.
    if (startNumber == kFixedSlotNumber)
        return kFixedSlotNumber;
    rememberable = true;
    const int32_t recalled = memory.Recall(imageFolder, folder, prefix, startNumber);
    return recalled >= 0 ? recalled : ScanNextNumber(imageFolder, prefix, startNumber, rememberable);
}

void DrawCaption(HWND shownIn, DibImage& image, const char* text)
{
    const int32_t width = HeaderValue(image, 4);
    const int32_t height = HeaderValue(image, 8);
    WindowDc windowDc(shownIn);
    MemoryDc memoryDc(windowDc.get());
    if (!memoryDc.get())
        return;
    image.CreateSection(windowDc.get());
    Selection selection(memoryDc.get(), image.section);
    PaintCaption(shownIn, windowDc.get(), memoryDc.get(), width, height, text);
    selection.Restore();
    image.ReadBits(memoryDc.get(), image.section, 0, height > 0 ? static_cast<unsigned>(height) : 0u);
}

// The DIB section the JPEG save draws its caption in. It is kept from save to save
// while the frames keep their format, so a save copies the frame's pixels once and
// makes no new section. Its one instance, g_canvas, is SaveCaptionedJpeg's alone and is
// used on the window's thread only; it lives for the whole run, and its section is
// deleted when the process's statics are destroyed.
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
        BmpHeaders headers;
        if (!frame.bmp || !ParseBmpHeaders(frame.bmp, frame.size, BmpPolicy::Export, headers))
            return false;
        const uint8_t* info = frame.bmp + kBmpFileHeaderSize;
        const DibHeader& h = headers.info;
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

void DrawCaptionOnCanvas(HWND shownIn, CaptionCanvas& canvas, const char* text)
{
    WindowDc windowDc(shownIn);
    MemoryDc memoryDc(windowDc.get());
    if (!memoryDc.get())
        return;
    Selection selection(memoryDc.get(), canvas.Section());
    PaintCaption(shownIn, windowDc.get(), memoryDc.get(), canvas.Width(), canvas.Height(), text);
    selection.Restore();
    // The export reads the section's memory directly: GDI must have finished drawing.
    GdiFlush();
}

// The windows and folder one save works with.
struct SaveTarget {
    HWND captureWindow;
    HWND captionShownIn;
    const ImageFolder& folder;
};

// The current frame, captioned, as the numbered JPEG, straight from memory. A frame
// that cannot be had saves nothing, and the name stays the frame's ".bmp" one.
void SaveCaptionedJpeg(const SaveTarget& target, char (&name)[kFileNameCapacity], const std::string& prefix,
                       int32_t number, const std::string& format, int32_t quality, std::string& uploadCopy)
{
    FormatNumberedName(name, prefix.c_str(), number, ".bmp");
    CapturedFrame frame;
    const HWND capture = target.captureWindow;
    const bool grabbed = capture && IsWindow(capture) &&
                         SendMessageA(capture, WM_CAP_PELMIX_GET_FRAME, 0, reinterpret_cast<LPARAM>(&frame));
    static std::vector<uint8_t> turned;  // kept, as the canvas is: fresh pages cost more than the copy
    if (!grabbed || !g_canvas.Take(TurnedFrame(frame, turned))) {
        // An older picture under the frame's name must not pass for this one.
        DeleteFileA(target.folder.PathOf(name).c_str());
        return;
    }
    char text[kCaptionCapacity];
    std::time_t now = std::time(nullptr);
    ExpandCaption(text, format.c_str(), std::localtime(&now));
    UploadCopy copy(UploadCopyFormat::Jpeg, g_canvas.Header(), g_canvas.Pixels(), text, quality);
    DrawCaptionOnCanvas(target.captionShownIn, g_canvas, text);
    FormatNumberedName(name, prefix.c_str(), number, ".jpg");
    SaveJpegFile(target.folder.PathOf(name).c_str(), g_canvas.Header(), g_canvas.Pixels(), std::clamp(quality, 1, 100));
    uploadCopy = copy.Finish();
}

// The frame as the capture window writes it, with the caption drawn on it if asked.
// The upload's copy is made from the file as written, before the caption.
void SaveBmp(const SaveTarget& target, const char* name, bool caption, const std::string& format,
             std::string& uploadCopy)
{
    const std::string path = target.folder.PathOf(name);
    if (target.captureWindow && IsWindow(target.captureWindow))
        SendMessageA(target.captureWindow, WM_CAP_FILE_SAVEDIB, 0, reinterpret_cast<LPARAM>(path.c_str()));
    TurnSavedBmp(path);
    if (!caption && !UploadCopy::Asked())
        return;
    DibImage image;
    if (!image.LoadBmp(path.c_str()))
        return;
    char text[kCaptionCapacity] = "";
    if (caption) {
        std::time_t now = std::time(nullptr);
        ExpandCaption(text, format.c_str(), std::localtime(&now));
    }
    UploadCopy copy(UploadCopyFormat::Bmp, image.dib, image.dib + DibHeader::Parse(image.dib).PixelOffset(),
                    caption ? text : nullptr, 0);
    if (caption) {
        DrawCaption(target.captionShownIn, image, text);
        image.SaveBmp(path.c_str());
    }
    uploadCopy = copy.Finish();
    image.Release();
}

}  // namespace

SaveOutcome SaveNextNumbered(SaveKind kind, int32_t startNumber, HWND captureWindow, HWND captionShownIn)
{
    const std::string prefix = ReadSetting(Setting::st);
    const std::string format = ReadSetting(Setting::msg);
    const int32_t quality = ReadSetting(Setting::jpegQ);
    const ImageFolder folder(ReadSetting(Setting::localDir));
    const SaveTarget target{captureWindow, captionShownIn, folder};
    SaveOutcome outcome;
    // A prefix too long for any name, or one whose names the listing could not find
    // again (so that every save would reuse one number), saves nothing and names no file.
    char probe[kFileNameCapacity];
    if (!PrefixMakesFindableNames(prefix.c_str()) || !FormatNumberedName(probe, prefix.c_str(), 0, ".bmp"))
        return outcome;
    static ScanMemory memory;
    const std::string listed = folder.PicturesOf(prefix);
    bool remembered = false;
    const int32_t number = NextNumber(memory, folder, prefix, startNumber, listed, remembered);
    // With every number taken nothing is overwritten, and no file is named.
    if (number == kNoFreeNumber) {
        memory.Remember(listed, prefix, startNumber, number, remembered);
        return outcome;
    }
    char name[kFileNameCapacity] = "";
    if (kind == SaveKind::CaptionedJpeg) {
        SaveCaptionedJpeg(target, name, prefix, number, format, quality, outcome.uploadCopy);
    } else {
        FormatNumberedName(name, prefix.c_str(), number, ".bmp");
        SaveBmp(target, name, kind == SaveKind::CaptionedBmp, format, outcome.uploadCopy);
    }
    const bool produced = GetFileAttributesA(folder.PathOf(name).c_str()) != INVALID_FILE_ATTRIBUTES;
    memory.Remember(listed, prefix, startNumber, produced ? number + 1 : number, remembered);
    outcome.result = produced ? SaveResult::Produced : SaveResult::NoPicture;
    if (!produced)
        outcome.uploadCopy.clear();
    outcome.name = name;
    return outcome;
}

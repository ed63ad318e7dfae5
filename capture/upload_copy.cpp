// The upload's smaller copy: scaled first, captioned on the smaller picture, a JPEG or a
// BMP as the picture is; all of it beside the save's own export.
#include "upload_copy.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <vector>

#include "caption.h"
#include "dib_layout.h"
#include "dib_transform.h"
#include "jpeg_export.h"
#include "settings_store.h"
#include "simple_file.h"
#include "upload_core.h"
#include "upload_folder.h"
#include "win_handles.h"

namespace {

// What a copy works with, kept from save to save as the save keeps its canvas: fresh
// pages cost more under Wine than the copy into them.
struct Kept {
    ~Kept()
    {
        if (section)
            DeleteObject(section);
    }
    std::vector<uint8_t> header;  // the picture's info header, masks or colour table
    std::vector<uint8_t> rows;    // and its rows, as they were before the caption
    uint8_t info[kDibHeaderSize] = {};  // the copy's: 24 bits, width x height
    int32_t width = 0;
    int32_t height = 0;
    HBITMAP section = nullptr;
    uint8_t* bits = nullptr;  // the section's rows, owned by it
};
Kept g_kept;

// The kept section for a copy of that size; false when none can be made.
bool KeepSection(Kept& kept, int32_t width, int32_t height)
{
    if (kept.section && kept.width == width && kept.height == height)
        return true;
    if (kept.section)
        DeleteObject(kept.section);
    kept.section = nullptr;
    kept.bits = nullptr;
    uint8_t headers[kBmpHeadersSize];
    WritePlainBmpHeaders(headers, width, height, 24, 0);
    std::copy(headers + kBmpFileHeaderSize, headers + kBmpHeadersSize, kept.info);
    void* bits = nullptr;
    kept.section = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(kept.info), DIB_RGB_COLORS, &bits,
                                    nullptr, 0);
    if (!kept.section || !bits)
        return false;
    kept.bits = static_cast<uint8_t*>(bits);
    kept.width = width;
    kept.height = height;
    return true;
}

// The kept section's picture as a 24-bit BMP file; one cut short is removed.
bool SaveBmpCopy(const char* path, const Kept& kept)
{
    const uint32_t pixelBytes = DibHeader::Parse(kept.info).PixelAreaSize();
    uint8_t headers[kBmpHeadersSize];
    WritePlainBmpHeaders(headers, kept.width, kept.height, 24, pixelBytes);
    SimpleFile file;
    bool written = file.Create(path) && file.Write(headers, sizeof headers) && file.Write(kept.bits, pixelBytes);
    written = file.Close() && written;
    if (!written)
        DeleteFileA(path);
    return written;
}

// The thread that makes the copies, one at a time, for the rest of the process. A thread
// made for each save cost that save more than the copy itself: under Wine it began 3 to 4 ms
// late (a new thread attaches to every DLL first) and slowed the save's own export meanwhile.
struct CopyWorker {
    HANDLE go = nullptr;    // auto-reset: a copy is to be made
    HANDLE done = nullptr;  // auto-reset: it is made
    UploadCopy* job = nullptr;
};

DWORD WINAPI RunCopyWorker(void* parameter)
{
    auto& worker = *static_cast<CopyWorker*>(parameter);
    for (;;) {
        WaitForSingleObject(worker.go, INFINITE);
        UploadCopy::Make(worker.job);
        SetEvent(worker.done);
    }
}

// Made at the first copy, by the window's thread; null when no thread could be had.
CopyWorker* TheCopyWorker()
{
    static CopyWorker* worker = [] {
        auto* made = new (std::nothrow) CopyWorker;
        if (!made)
            return static_cast<CopyWorker*>(nullptr);
        made->go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        made->done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        const HANDLE thread = made->go && made->done ? CreateThread(nullptr, 0, RunCopyWorker, made, 0, nullptr) : nullptr;
        if (!thread) {
            if (made->go)
                CloseHandle(made->go);
            if (made->done)
                CloseHandle(made->done);
            delete made;
            return static_cast<CopyWorker*>(nullptr);
        }
        CloseHandle(thread);
        return made;
    }();
    return worker;
}

}  // namespace

bool UploadCopy::Asked() { return ReadSetting(Setting::uploadWidth) > 0; }

UploadCopy::UploadCopy(UploadCopyFormat format, const uint8_t* header, const uint8_t* pixelRows, const char* caption,
                       int32_t archiveQuality)
    : format_(format)
{
    const int32_t maxWidth = ReadSetting(Setting::uploadWidth);
    const DibHeader picture = DibHeader::Parse(header);
    if (maxWidth <= 0 || !picture.IsSupported())
        return;
    const int32_t stored = ReadSetting(Setting::uploadQuality);
    quality_ = std::clamp(stored != 0 ? stored : archiveQuality, 1, 100);
    int32_t width, height;
    ScaledSize(picture.width, picture.height, maxWidth, width, height);
    // A BMP of the picture's own size has no quality of its own to take: it would be the
    // picture again, so the picture itself is sent.
    if (format == UploadCopyFormat::Bmp && width == picture.width)
        return;
    if (!KeepSection(g_kept, width, height))
        return;
    g_kept.header.assign(header, header + picture.PixelOffset());
    g_kept.rows.assign(pixelRows, pixelRows + picture.PixelAreaSize());
    captioned_ = caption != nullptr;
    caption_ = captioned_ ? caption : "";
    started_ = true;
    // Without the worker the copy is made when it is asked for.
    CopyWorker* worker = TheCopyWorker();
    if (worker) {
        worker->job = this;
        SetEvent(worker->go);
        running_ = true;
    }
}

UploadCopy::~UploadCopy() { Wait(); }

// Touches no setting and no window: only the kept picture, the caption and the copy's file.
DWORD WINAPI UploadCopy::Make(void* self)
{
    UploadCopy& copy = *static_cast<UploadCopy*>(self);
    if (!ScaleToRgb24(g_kept.header.data(), g_kept.rows.data(), g_kept.width, g_kept.height, g_kept.bits))
        return 0;
    if (copy.captioned_) {
        const MemoryDc memoryDc(nullptr);
        if (memoryDc.get()) {
            Selection selection(memoryDc.get(), g_kept.section);
            PaintCaption(nullptr, nullptr, memoryDc.get(), g_kept.width, g_kept.height, copy.caption_.c_str());
        }
    }
    // The export reads the section's memory directly: GDI must have finished drawing.
    GdiFlush();
    const bool bmp = copy.format_ == UploadCopyFormat::Bmp;
    const std::string path = UploadFolderFile(bmp ? UploadScaledBmpCopyName : UploadScaledCopyName);
    if (!path.empty() && (bmp ? SaveBmpCopy(path.c_str(), g_kept)
                              : SaveJpegFile(path.c_str(), g_kept.info, g_kept.bits, copy.quality_)))
        copy.path_ = path;
    return 0;
}

void UploadCopy::Wait()
{
    if (!running_)
        return;
    WaitForSingleObject(TheCopyWorker()->done, INFINITE);
    running_ = false;
}

std::string UploadCopy::Finish()
{
    if (running_)
        Wait();
    else if (started_)
        Make(this);
    return path_;
}

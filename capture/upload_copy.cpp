// The upload's smaller copy: scaled first, captioned on the smaller picture, JPEG.
#include "upload_copy.h"

#include <windows.h>

#include <algorithm>

#include "caption.h"
#include "dib_layout.h"
#include "dib_transform.h"
#include "jpeg_export.h"
#include "settings_store.h"
#include "upload_core.h"
#include "win_handles.h"

namespace {

// In the upload's own folder under the temporary one, never beside the pictures; empty
// when there is none.
std::string UploadCopyPath()
{
    char temp[MAX_PATH];
    char current[MAX_PATH];
    const DWORD tempLength = GetTempPathA(sizeof(temp), temp);
    const DWORD currentLength = GetCurrentDirectoryA(sizeof(current), current);
    if (tempLength == 0 || tempLength >= sizeof(temp) || currentLength == 0 || currentLength >= sizeof(current))
        return "";
    const std::string folder = std::string(temp) + "Pelmix upload";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\" + UploadScaledCopyName(current);
}

}  // namespace

std::string MakeUploadCopy(const uint8_t* header, const uint8_t* pixelRows, const char* caption,
                           int32_t archiveQuality)
{
    const int32_t maxWidth = ReadSetting(Setting::uploadWidth);
    if (maxWidth <= 0)
        return "";
    const int32_t stored = ReadSetting(Setting::uploadQuality);
    const DibHeader picture = DibHeader::Parse(header);
    int32_t width, height;
    ScaledSize(picture.width, picture.height, maxWidth, width, height);
    uint8_t headers[kBmpHeadersSize];
    WritePlainBmpHeaders(headers, width, height, 24, 0);
    const uint8_t* info = headers + kBmpFileHeaderSize;
    void* bits = nullptr;
    const GdiObject<HBITMAP> section(
        CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section || !bits || !ScaleToRgb24(header, pixelRows, width, height, static_cast<uint8_t*>(bits)))
        return "";
    {
        const WindowDc screenDc(nullptr);
        const MemoryDc memoryDc(screenDc.get());
        if (memoryDc.get()) {
            Selection selection(memoryDc.get(), section.get());
            PaintCaption(nullptr, screenDc.get(), memoryDc.get(), width, height, caption);
        }
    }
    // The export reads the section's memory directly: GDI must have finished drawing.
    GdiFlush();
    const std::string path = UploadCopyPath();
    const int32_t quality = std::clamp(stored != 0 ? stored : archiveQuality, 1, 100);
    return !path.empty() && SaveJpegFile(path.c_str(), info, static_cast<const uint8_t*>(bits), quality) ? path : "";
}

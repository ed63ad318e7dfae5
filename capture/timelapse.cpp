// The daily timelapse on AVIFile: each JPEG file becomes one key frame, byte for byte.
#include "timelapse.h"

#include <windows.h>
#include <vfw.h>

#include <cstdio>

#include "capture_core.h"
#include "jpeg_header.h"
#include "picture_listing.h"
#include "picture_path.h"
#include "timelapse_plan.h"

namespace {

bool HasJpegExtension(const std::string& name)
{
    return name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".jpg") == 0;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes->clear();
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size > 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes->resize(static_cast<size_t>(size));
        ok = std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
    }
    std::fclose(file);
    return ok;
}

std::string Reason(const char* step, HRESULT result)
{
    char text[80];
    snprintf(text, sizeof(text), "%s 0x%08lx", step, static_cast<unsigned long>(result));
    return text;
}

// AVIFile's interfaces are released in the reverse order of their making.
struct AviSession {
    AviSession() { AVIFileInit(); }
    ~AviSession()
    {
        if (stream)
            AVIStreamRelease(stream);
        if (file)
            AVIFileRelease(file);
        AVIFileExit();
    }
    AviSession(const AviSession&) = delete;
    AviSession& operator=(const AviSession&) = delete;

    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
};

bool StartStream(AviSession& avi, const std::string& path, int32_t fps, int32_t width, int32_t height,
                 std::string* why)
{
    HRESULT result = AVIFileOpenA(&avi.file, path.c_str(), OF_CREATE | OF_WRITE, nullptr);
    if (FAILED(result)) {
        *why = Reason("AVIFileOpen", result);
        return false;
    }
    AVISTREAMINFOA info = {};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = mmioFOURCC('M', 'J', 'P', 'G');
    info.dwScale = 1;
    info.dwRate = static_cast<DWORD>(fps);
    info.dwQuality = static_cast<DWORD>(-1);
    SetRect(&info.rcFrame, 0, 0, width, height);
    result = AVIFileCreateStreamA(avi.file, &avi.stream, &info);
    if (FAILED(result)) {
        *why = Reason("AVIFileCreateStream", result);
        return false;
    }
    BITMAPINFOHEADER format = {};
    format.biSize = sizeof(format);
    format.biWidth = width;
    format.biHeight = height;
    format.biPlanes = 1;
    format.biBitCount = 24;
    format.biCompression = mmioFOURCC('M', 'J', 'P', 'G');
    format.biSizeImage = static_cast<DWORD>(int64_t{width} * height * 3);
    result = AVIStreamSetFormat(avi.stream, 0, &format, sizeof(format));
    if (FAILED(result)) {
        *why = Reason("AVIStreamSetFormat", result);
        return false;
    }
    return true;
}

}  // namespace

int32_t LocalDateOf(const FILETIME& utc)
{
    SYSTEMTIME universal;
    SYSTEMTIME local;
    if (!FileTimeToSystemTime(&utc, &universal))
        return 0;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        local = universal;
    return local.wYear * 10000 + local.wMonth * 100 + local.wDay;
}

bool WriteMjpegAvi(const std::string& path, const std::vector<std::string>& jpegPaths, int32_t fps,
                   size_t* framesWritten, std::string* why)
{
    *framesWritten = 0;
    AviSession avi;
    std::vector<uint8_t> frame;
    int32_t width = 0;
    int32_t height = 0;
    for (const std::string& jpegPath : jpegPaths) {
        int32_t frameWidth = 0;
        int32_t frameHeight = 0;
        if (!ReadWholeFile(jpegPath, &frame) || !ReadJpegSize(frame.data(), frame.size(), &frameWidth, &frameHeight))
            continue;
        if (!avi.stream) {
            width = frameWidth;
            height = frameHeight;
            if (!StartStream(avi, path, fps, width, height, why))
                return false;
        }
        // A camera changed during the day: its pictures would not fit the video's frame.
        if (frameWidth != width || frameHeight != height)
            continue;
        const HRESULT result = AVIStreamWrite(avi.stream, static_cast<LONG>(*framesWritten), 1, frame.data(),
                                              static_cast<LONG>(frame.size()), AVIIF_KEYFRAME, nullptr, nullptr);
        if (FAILED(result)) {
            *why = Reason("AVIStreamWrite", result);
            return false;
        }
        ++*framesWritten;
    }
    if (*framesWritten == 0)
        *why = "no readable JPEG";
    return *framesWritten > 0;
}

TimelapseOutcome MakeDailyTimelapse(const TimelapseJob& job)
{
    TimelapseOutcome outcome;
    std::vector<DayPicture> pictures;
    for (const ListedPicture& p : ListNumberedPictures(job.imageFolder, job.prefix)) {
        // The fixed slot holds only the latest automatic picture of whichever day.
        if (p.number != kFixedSlotNumber && HasJpegExtension(p.name))
            pictures.push_back({p.path, p.number, LocalDateOf(p.writeTime), UnixSecondsOf(p.writeTime)});
    }
    outcome.day = TimelapseDay(pictures, job.today);
    if (outcome.day == 0)
        return outcome;
    // Beside the pictures, and named as the save names them: the prefix's folder part first.
    const size_t folderPart = job.prefix.size() - PictureNamePart(job.prefix).size();
    outcome.name = job.prefix.substr(0, folderPart) + TimelapseFileName(outcome.day);
    const std::string folder = PictureFolderIn(job.imageFolder, job.prefix);
    const std::string path = folder + TimelapseFileName(outcome.day);
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return outcome;
    const std::string part = folder + TimelapsePartName(outcome.day);
    const std::vector<std::string> frames = TimelapseFrames(pictures, outcome.day, job.maxFrames);
    DeleteFileA(part.c_str());
    bool written = WriteMjpegAvi(part, frames, job.fps, &outcome.frames, &outcome.why);
    if (written && !MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        outcome.why = Reason("MoveFileEx", HRESULT_FROM_WIN32(GetLastError()));
        written = false;
    }
    if (!written) {
        DeleteFileA(part.c_str());
        outcome.result = TimelapseResult::Failed;
        return outcome;
    }
    outcome.result = TimelapseResult::Made;
    return outcome;
}

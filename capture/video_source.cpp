// Source choice, the test picture and the frame file.
#include "video_source.h"

#include <cstring>
#include <string>

#include "capture_core.h"
#include "win_handles.h"

namespace {

class TestPatternSource : public VideoSource {
public:
    bool GrabFrame(std::vector<uint8_t>& bmp) override
    {
        SYSTEMTIME now;
        GetLocalTime(&now);
        uint32_t ms = ((now.wHour * 60u + now.wMinute) * 60u + now.wSecond) * 1000u + now.wMilliseconds;
        MakeTestPatternBmp(ms, bmp);
        return true;
    }
};

// Read afresh at every request, so that other programs (a snapshot tool, a script,
// a test) can feed Pelmix by rewriting the file. Such a file is often caught half
// written, so a frame is handed out only when it is whole.
class FrameFileSource : public VideoSource {
public:
    explicit FrameFileSource(std::string path) : path_(std::move(path)) {}

    // A file being rewritten is read again a few times, within about 200 ms, before
    // the request fails.
    bool GrabFrame(std::vector<uint8_t>& bmp) override
    {
        const int kAttempts = 3;
        const DWORD kPauseMs = 60;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (attempt > 0)
                Sleep(kPauseMs);
            if (ReadWholeFrame(bmp))
                return true;
        }
        return false;
    }

    bool GrabPreviewFrame(std::vector<uint8_t>& bmp) override { return ReadWholeFrame(bmp); }

private:
    // The file in one read, taken only when its length and write time were the same
    // before and after, it did not grow meanwhile, and it is a BMP holding every
    // pixel row its header claims.
    bool ReadWholeFrame(std::vector<uint8_t>& bytes) const
    {
        const uint64_t kLargestFrame = 256 << 20;
        KernelHandle opened(CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!opened)
            return false;
        const HANDLE file = opened.get();
        BY_HANDLE_FILE_INFORMATION before, after;
        bool whole = GetFileInformationByHandle(file, &before) && before.nFileSizeHigh == 0 &&
                     before.nFileSizeLow <= kLargestFrame;
        if (whole) {
            const DWORD size = before.nFileSizeLow;
            // One byte more than the file had: getting it means the file grew.
            bytes.resize(size_t{size} + 1);
            DWORD got = 0;
            whole = ReadFile(file, bytes.data(), size + 1, &got, nullptr) && got == size &&
                    GetFileInformationByHandle(file, &after) && after.nFileSizeLow == size &&
                    after.nFileSizeHigh == 0 &&
                    CompareFileTime(&after.ftLastWriteTime, &before.ftLastWriteTime) == 0;
            bytes.resize(size);
        }
        BmpView view;
        return whole && ViewBmp(bytes.data(), bytes.size(), view);
    }

    std::string path_;
};

}  // namespace

std::unique_ptr<VideoSource> OpenTestPatternSource()
{
    return std::make_unique<TestPatternSource>();
}

std::unique_ptr<VideoSource> OpenFrameFileSource(const char* path)
{
    // Frames are requested while the image folder is current: pin the path to the
    // folder that was current when the driver was connected.
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, sizeof(full), full, nullptr);
    if (length == 0 || length >= sizeof(full))
        return nullptr;
    return std::make_unique<FrameFileSource>(full);
}

std::unique_ptr<VideoSource> OpenVideoSource(unsigned driverIndex)
{
    if (driverIndex == 0) {
        char choice[MAX_PATH + 16];
        DWORD length = GetEnvironmentVariableA("PELMIX_VIDEO_SOURCE", choice, sizeof(choice));
        if (length >= sizeof(choice))
            return nullptr;
        if (length > 0) {
            if (std::strcmp(choice, "testpattern") == 0)
                return OpenTestPatternSource();
            if (std::strncmp(choice, "file:", 5) == 0 && choice[5])
                return OpenFrameFileSource(choice + 5);
            return nullptr;  // a misspelt choice must not silently open a camera
        }
    }
    CameraIdentity camera;
    camera.index = driverIndex;
    return OpenCameraSource(camera);
}

bool IsCameraDriver(unsigned driverIndex)
{
    // Read as OpenVideoSource reads it: an empty value leaves the camera.
    char first[2];
    return driverIndex != 0 || GetEnvironmentVariableA("PELMIX_VIDEO_SOURCE", first, sizeof(first)) == 0;
}

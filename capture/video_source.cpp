// Source choice, the test picture and the frame file.
#include "video_source.h"

#include <cstring>
#include <string>

#include "capture_core.h"

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

// Read afresh at every request, so that a test can change the frame between saves.
class FrameFileSource : public VideoSource {
public:
    explicit FrameFileSource(std::string path) : path_(std::move(path)) {}

    bool GrabFrame(std::vector<uint8_t>& bmp) override
    {
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        bool ok = ReadAll(file, bmp);
        CloseHandle(file);
        return ok;
    }

private:
    static bool ReadAll(HANDLE file, std::vector<uint8_t>& bytes)
    {
        const LONGLONG kLargestFrame = 256 << 20;
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file, &size) || size.QuadPart > kLargestFrame)
            return false;
        bytes.resize(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD got = 0;
            if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr) || got == 0)
                return false;
            done += got;
        }
        return true;
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

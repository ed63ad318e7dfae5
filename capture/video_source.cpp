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

// Looked at afresh at every request, so that other programs (a snapshot tool, a
// script, a test) can feed Pelmix by rewriting the file. Such a file is often caught half
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
            if (CurrentFrame(bmp))
                return true;
        }
        return false;
    }

    bool GrabPreviewFrame(std::vector<uint8_t>& bmp) override { return CurrentFrame(bmp); }

private:
    // What tells one state of the file from another without reading it.
    struct FileStamp {
        uint64_t size = 0;
        FILETIME created = {};
        FILETIME written = {};
        bool operator==(const FileStamp& other) const
        {
            return size == other.size && CompareFileTime(&created, &other.created) == 0 &&
                   CompareFileTime(&written, &other.written) == 0;
        }
    };

    // A file that stands still is not read again at every preview tick and save: the
    // frame read last is handed out while the file's length and times stay as they were
    // then. Only a file that had not been written for a while when it was read is kept
    // so: a writer could change it again within one tick of a coarse clock (FAT keeps
    // write times to 2 s), leaving the same stamp on other bytes.
    bool CurrentFrame(std::vector<uint8_t>& bytes)
    {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &data))
            return false;
        FileStamp now;
        now.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        now.created = data.ftCreationTime;
        now.written = data.ftLastWriteTime;
        if (!still_.empty() && now == stillStamp_) {
            bytes.assign(still_.begin(), still_.end());
            return true;
        }
        FileStamp read;
        if (!ReadWholeFrame(bytes, read))
            return false;
        if (StoodStill(read)) {
            still_.assign(bytes.begin(), bytes.end());
            stillStamp_ = read;
        } else {
            still_.clear();
        }
        return true;
    }

    static bool StoodStill(const FileStamp& stamp)
    {
        const uint64_t kStillFor = 3 * 10000000ull;  // in the 100-ns units of FILETIME
        FILETIME clock;
        GetSystemTimeAsFileTime(&clock);
        const uint64_t now = (uint64_t{clock.dwHighDateTime} << 32) | clock.dwLowDateTime;
        const uint64_t written = (uint64_t{stamp.written.dwHighDateTime} << 32) | stamp.written.dwLowDateTime;
        return written <= now && now - written >= kStillFor;
    }

    // The file in one read, taken only when its length and write time were the same
    // before and after, it did not grow meanwhile, and it is a BMP holding every
    // pixel row its header claims.
    bool ReadWholeFrame(std::vector<uint8_t>& bytes, FileStamp& stamp) const
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
            stamp.size = size;
            stamp.created = before.ftCreationTime;
            stamp.written = before.ftLastWriteTime;
        }
        BmpView view;
        return whole && ViewBmp(bytes.data(), bytes.size(), view);
    }

    std::vector<uint8_t> still_;  // the last frame read from a file that stood still
    FileStamp stillStamp_;
    std::string path_;
};

// PELMIX_VIDEO_SOURCE, false when it is unset or empty. It is taken from the whole
// environment block: Wine's GetEnvironmentVariableA cuts a value after as many bytes as
// it has characters, so a path with Japanese characters would lose its end.
bool SourceVariable(std::string& value)
{
    static const char kName[] = "PELMIX_VIDEO_SOURCE=";
    const size_t nameLength = sizeof(kName) - 1;
    char* const block = GetEnvironmentStringsA();
    if (!block)
        return false;
    value.clear();
    for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) {
        if (_strnicmp(entry, kName, nameLength) == 0) {
            value = entry + nameLength;
            break;
        }
    }
    FreeEnvironmentStringsA(block);
    return !value.empty();
}

}  // namespace

std::unique_ptr<VideoSource> OpenTestPatternSource()
{
    return std::make_unique<TestPatternSource>();
}

std::unique_ptr<VideoSource> OpenFrameFileSource(const char* path)
{
    // A relative path is read once, against the folder current at the connection.
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, sizeof(full), full, nullptr);
    if (length == 0 || length >= sizeof(full))
        return nullptr;
    return std::make_unique<FrameFileSource>(full);
}

std::unique_ptr<VideoSource> OpenVideoSource(unsigned driverIndex)
{
    std::string choice;
    if (driverIndex == 0 && SourceVariable(choice)) {
        if (choice == "testpattern")
            return OpenTestPatternSource();
        if (choice.compare(0, 5, "file:") == 0 && choice.size() > 5)
            return OpenFrameFileSource(choice.c_str() + 5);
        return nullptr;  // a misspelt choice must not silently open a camera
    }
    CameraIdentity camera;
    camera.index = driverIndex;
    return OpenCameraSource(camera);
}

bool IsCameraDriver(unsigned driverIndex)
{
    // Read as OpenVideoSource reads it: an empty value leaves the camera.
    std::string choice;
    return driverIndex != 0 || !SourceVariable(choice);
}

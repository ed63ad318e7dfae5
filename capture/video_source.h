// Where the capture window's frames come from: a camera, the built-in test picture,
// or a frame file. Each source hands out the current frame as the bytes of a BMP file.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class SourceDialog { Source, Format, Display, Compression };

// Whether a source's frames are current. Only a camera can be anything but Fresh.
enum class SourceHealth {
    Fresh,     // a new frame came within the freshness limit
    Starting,  // just opened, the first frame is still on its way
    Stale,     // nothing new for longer than the limit, or the device is gone
};

// A camera to find again after a loss: by its name where it has one, else by its place
// in the device list.
struct CameraIdentity {
    unsigned index = 0;
    std::wstring name;
};

class VideoSource {
public:
    VideoSource() = default;
    VideoSource(const VideoSource&) = delete;
    VideoSource& operator=(const VideoSource&) = delete;
    virtual ~VideoSource() = default;  // releases the device

    // The current frame as BMP file bytes; false when there is none.
    virtual bool GrabFrame(std::vector<uint8_t>& bmp) = 0;
    // The same for the preview, which must never wait: a frame missed there is
    // simply shown at the next tick.
    virtual bool GrabPreviewFrame(std::vector<uint8_t>& bmp) { return GrabFrame(bmp); }
    // The driver's own modal dialog; false at once when it has none.
    virtual bool ShowDialog(SourceDialog, HWND) { return false; }
    virtual SourceHealth Health() { return SourceHealth::Fresh; }
    // Filled in, and true, for a camera.
    virtual bool Identify(CameraIdentity&) const { return false; }
};

// Driver 0 is the source that PELMIX_VIDEO_SOURCE names ("testpattern" or
// "file:PATH"); without it, and for every other driver, the n-th camera.
std::unique_ptr<VideoSource> OpenVideoSource(unsigned driverIndex);

std::unique_ptr<VideoSource> OpenTestPatternSource();
std::unique_ptr<VideoSource> OpenFrameFileSource(const char* path);
std::unique_ptr<VideoSource> OpenCameraSource(const CameraIdentity& camera);
// Whether OpenVideoSource(driverIndex) means a camera.
bool IsCameraDriver(unsigned driverIndex);

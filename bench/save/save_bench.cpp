// Benchmark: from the save command to the JPEG on disk (number, frame request, copy,
// caption, display, export), beside SaveJpeg alone on the same frame.
//   save_bench [runs] [files already in the image folder]   (works in the current folder)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture_window.h"
#include "dib_image.h"
#include "dib_transform.h"
#include "jpeg_export.h"
#include "numbered_save.h"
#include "settings_store.h"
#include "test_bmp.h"
#include "win_handles.h"

namespace {

HWND g_mainWindow = nullptr;
HWND g_captureWindow = nullptr;

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A 24-bit frame with smooth gradients and some texture, closer to a camera picture
// than a flat colour.
std::vector<uint8_t> MakeFrame(int width, int height)
{
    TestBmp bmp(width, height, 24);
    bmp.pixelsPerMeter = 0;
    bmp.sizeImage = static_cast<uint32_t>(bmp.pixels.size());
    uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int grain = static_cast<int>((noise >> 16) & 15) - 8;
            const uint32_t blue = std::clamp(x * 255 / width + grain, 0, 255);
            const uint32_t green = std::clamp(y * 255 / height + grain, 0, 255);
            const uint32_t red = std::clamp(((x + y) / 8 % 2) * 160 + 40 + grain, 0, 255);
            bmp.Put(x, y, red << 16 | green << 8 | blue);
        }
    }
    return bmp.Bytes();
}

// The frame file as a snapshot left standing: the source then keeps its frame in
// memory, as a camera's frame is, instead of reading the file at every request.
void DateBack(const char* path)
{
    HANDLE file = CreateFileA(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FILETIME time;
    GetSystemTimeAsFileTime(&time);
    ULARGE_INTEGER value = {{time.dwLowDateTime, time.dwHighDateTime}};
    value.QuadPart -= 60 * 10000000ull;
    time = {value.LowPart, value.HighPart};
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

// What a save asks of the folder when it remembers the next number: that the image
// folder is one, its full path, its write time and one lookup of that number.
void ConfirmRememberedNumber()
{
    GetFileAttributesA("images");
    char full[MAX_PATH];
    GetFullPathNameA("images", sizeof(full), full, nullptr);
    WIN32_FILE_ATTRIBUTE_DATA data;
    GetFileAttributesExA(full, GetFileExInfoStandard, &data);
    WIN32_FIND_DATAA entry;
    const FindHandle found(FindFirstFileA("images\\pc77777.*", &entry));
}

struct Result {
    double save;
    double export_;
};

// A DIB section kept from run to run, as the save keeps its own.
struct KeptSection {
    HBITMAP section = nullptr;
    uint8_t* bits = nullptr;
};

// The same road step by step, to show where the time of a save goes.
enum Stage { kSettings, kScan, kFrame, kCopy, kCaption, kShow, kExport, kStages };
const char* const kStageNames[kStages] = {"settings", "scan", "frame", "copy", "caption", "show", "SaveJpeg"};

void MeasureStages(int width, int height, int runs, double (&medians)[kStages])
{
    std::vector<double> times[kStages];
    KeptSection kept;
    for (int run = 0; run < runs; ++run) {
        double mark[kStages + 1];
        mark[0] = Now();
        ReadSetting(Setting::st);
        ReadSetting(Setting::msg);
        ReadSetting(Setting::jpegQ);
        ReadSetting(Setting::localDir);
        mark[1] = Now();
        ConfirmRememberedNumber();
        mark[2] = Now();
        CapturedFrame frame;
        SendMessageA(g_captureWindow, WM_CAP_PELMIX_GET_FRAME, 0, reinterpret_cast<LPARAM>(&frame));
        mark[3] = Now();
        const uint8_t* header = frame.bmp + 14;
        if (!kept.section) {
            void* bits = nullptr;
            kept.section = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS,
                                            &bits, nullptr, 0);
            kept.bits = static_cast<uint8_t*>(bits);
        }
        std::memcpy(kept.bits, frame.bmp + 54, frame.size - 54);
        mark[4] = Now();
        {
            const WindowDc windowDc(g_mainWindow);
            const MemoryDc memoryDc(windowDc.get());
            const Selection selection(memoryDc.get(), kept.section);
            RECT area = {8, 8, width - 1, height - 1};
            SetBkMode(memoryDc.get(), TRANSPARENT);
            DrawTextA(memoryDc.get(), "[24/03/05 07:09]", -1, &area, 0);
            area.left = area.top = 6;
            SetTextColor(memoryDc.get(), RGB(255, 255, 255));
            DrawTextA(memoryDc.get(), "[24/03/05 07:09]", -1, &area, 0);
            mark[5] = Now();
            BitBlt(windowDc.get(), width + 3, 0, width - 1, height - 1, memoryDc.get(), 0, 0, SRCCOPY);
        }
        GdiFlush();
        mark[6] = Now();
        SaveJpegFile("images\\stage.jpg", header, kept.bits, 75);
        mark[7] = Now();
        for (int stage = 0; stage < kStages; ++stage)
            times[stage].push_back(mark[stage + 1] - mark[stage]);
        Pump();
    }
    DeleteObject(kept.section);
    for (int stage = 0; stage < kStages; ++stage)
        medians[stage] = Median(times[stage]);
}

// What the platform alone charges for the calls every save must make, with none of
// our work around them: the four settings reads, the image folder's check, full path
// and write time and one lookup, one copy of the frame into a kept DIB section, and the
// copy onto the window. No implementation of the save can cost less than this plus
// SaveJpeg.
double MeasureRequiredCalls(int width, int height, int runs)
{
    const std::vector<uint8_t> frame = MakeFrame(width, height);
    const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(frame.data() + 14);
    const size_t pixelBytes = frame.size() - 54;
    void* bits = nullptr;
    const GdiObject<HBITMAP> section(CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0));
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double start = Now();
        char text[256];
        GetPrivateProfileStringA("SETTING", "st", "pc", text, sizeof(text), "./Pelmix.ini");
        GetPrivateProfileStringA("SETTING", "msg", "", text, sizeof(text), "./Pelmix.ini");
        GetPrivateProfileIntA("SETTING", "jpeg_q", 75, "./Pelmix.ini");
        GetPrivateProfileStringA("SETTING", "local_dir", ".", text, sizeof(text), "./Pelmix.ini");
        ConfirmRememberedNumber();
        if (bits)
            std::memcpy(bits, frame.data() + 54, pixelBytes);
        {
            const WindowDc windowDc(g_mainWindow);
            const MemoryDc memoryDc(windowDc.get());
            const Selection selection(memoryDc.get(), section.get());
            BitBlt(windowDc.get(), width + 3, 0, width - 1, height - 1, memoryDc.get(), 0, 0, SRCCOPY);
        }
        times.push_back(Now() - start);
        Pump();
    }
    return Median(times);
}

Result Measure(int width, int height, int runs)
{
    WriteBytes("frame.bmp", MakeFrame(width, height));
    DateBack("frame.bmp");
    std::vector<double> saves, exports;
    for (int run = 0; run < runs; ++run) {
        // Backup numbering: every save adds a picture, as the folder fills in a long run.
        double start = Now();
        SaveNextNumbered(SaveKind::CaptionedJpeg, 0, g_captureWindow, g_mainWindow);
        saves.push_back(Now() - start);
        Pump();

        DibImage image;
        image.LoadBmp("frame.bmp");
        start = Now();
        image.SaveJpeg("images\\alone.jpg", 75);
        exports.push_back(Now() - start);
    }
    return {Median(saves), Median(exports)};
}

// The save that also makes the upload's 640-pixel copy beside the save without it, in
// turns on the same 1920x1080 frame.
void MeasureUploadCopy(int runs)
{
    WriteBytes("frame.bmp", MakeFrame(1920, 1080));
    DateBack("frame.bmp");
    std::vector<double> times[2];
    for (int run = 0; run < runs; ++run) {
        for (int copy = 0; copy < 2; ++copy) {
            WritePrivateProfileStringA("SETTING", "upload_width", copy ? "640" : nullptr, "./Pelmix.ini");
            const double start = Now();
            SaveNextNumbered(SaveKind::CaptionedJpeg, 0, g_captureWindow, g_mainWindow);
            times[copy].push_back(Now() - start);
            Pump();
        }
    }
    WritePrivateProfileStringA("SETTING", "upload_width", nullptr, "./Pelmix.ini");
    // The scaling alone, on the same frame.
    const std::vector<uint8_t> frame = MakeFrame(1920, 1080);
    std::vector<uint8_t> scaled(640 * 3 * 360);
    std::vector<double> scaling;
    for (int run = 0; run < runs; ++run) {
        const double start = Now();
        ScaleToRgb24(frame.data() + 14, frame.data() + 54, 640, 360, scaled.data());
        scaling.push_back(Now() - start);
    }
    std::printf("           scaling alone (1920x1080 to 640x360) %.2f ms\n", Median(scaling) * 1000);
    const double plain = Median(times[0]), withCopy = Median(times[1]);
    std::printf("1920x1080  save %7.2f ms   with upload_width=640 %7.2f ms   ratio %.2f\n", plain * 1000,
                withCopy * 1000, withCopy / plain);
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const int existing = argc > 2 ? std::max(0, std::atoi(argv[2])) : 500;

    g_settings.filePath = "./Pelmix.ini";
    WritePrivateProfileStringA("SETTING", "local_dir", "images", "./Pelmix.ini");
    CreateDirectoryA("images", nullptr);
    for (int i = 0; i < existing; ++i) {
        char name[64];
        std::snprintf(name, sizeof(name), "images\\pc%05d.jpg", i);
        WriteBytes(name, {});
    }

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PelmixSaveBench";
    RegisterClassExA(&wc);
    g_mainWindow = CreateWindowExA(0, "PelmixSaveBench", "save bench", WS_POPUP | WS_VISIBLE, 0, 0, 1280, 720, nullptr,
                                   nullptr, wc.hInstance, nullptr);
    g_captureWindow = CreateCaptureWindow("My Capture Window", WS_CHILD | WS_VISIBLE, 0, 0, 1280, 720, g_mainWindow, 1);
    SetEnvironmentVariableA("PELMIX_VIDEO_SOURCE", "file:frame.bmp");
    SendMessageA(g_captureWindow, WM_CAP_DRIVER_CONNECT, 0, 0);
    Pump();

    std::printf("numbered JPEG save (quality 75, %d files in the folder), median of %d runs\n", existing, runs);
    const int sizes[][2] = {{640, 480}, {1920, 1080}};
    for (const auto& size : sizes) {
        Result result = Measure(size[0], size[1], runs);
        std::printf("%4dx%-4d  save %7.2f ms   SaveJpeg alone %7.2f ms   ratio %.2f\n", size[0], size[1],
                    result.save * 1000, result.export_ * 1000, result.save / result.export_);
        double stages[kStages];
        MeasureStages(size[0], size[1], runs, stages);
        std::printf("           by stage (ms):");
        for (int stage = 0; stage < kStages; ++stage)
            std::printf(" %s %.2f", kStageNames[stage], stages[stage] * 1000);
        std::printf("\n");
        const double required = MeasureRequiredCalls(size[0], size[1], runs);
        std::printf("           required platform calls alone %.2f ms: floor of the ratio %.2f\n", required * 1000,
                    (required + result.export_) / result.export_);
    }
    MeasureUploadCopy(runs);
    std::fflush(stdout);
    // Leave without tearing the windows down: under Wine that waits on the display.
    ExitProcess(0);
}

// The capture window under Wine: creation, the frame-file and test-picture sources,
// the no-camera path, and what the preview paints.
#include <windows.h>

#include <gtest/gtest.h>

#include "capture_core.h"
#include "capture_test_support.h"
#include "capture_window.h"
#include "dib_image.h"

namespace {

const FrameKind kAllKinds[] = {FrameKind::Palette8, FrameKind::Rgb555, FrameKind::Bitfields565, FrameKind::Rgb24,
                               FrameKind::Rgb32};

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendMessageA(window, message, wParam, lParam);
}

LRESULT SaveDib(HWND window, const char* name)
{
    return Send(window, WM_CAP_FILE_SAVEDIB, 0, reinterpret_cast<LPARAM>(name));
}

class CaptureWindowTest : public ::testing::Test {
protected:
    void TearDown() override { windows.Reset(); }

    void ConnectFrameFile(const char* path = "frame.bmp")
    {
        std::string choice = std::string("file:") + path;
        SetEnvironmentVariableA("PELMIX_VIDEO_SOURCE", choice.c_str());
        ASSERT_EQ(Send(windows.capture(), WM_CAP_DRIVER_CONNECT, 0), TRUE);
    }

    // Connects to frame.bmp holding this frame and starts the preview every 20 ms.
    void PreviewFrame(const std::vector<uint8_t>& frame)
    {
        ASSERT_TRUE(WriteBytes("frame.bmp", frame));
        ConnectFrameFile();
        Send(windows.capture(), WM_CAP_SET_PREVIEWRATE, 20);
        Send(windows.capture(), WM_CAP_SET_PREVIEW, 1);
    }

    ScratchFolder folder;
    TestWindows& windows = TestWindows::Shared();
};

}  // namespace

TEST(CaptureWindowCreation, MakesAChildWithTheGivenTitleIdPositionAndSize)
{
    HWND parent = TestWindows::Shared().parent();
    HWND capture = CreateCaptureWindow("Second Capture", WS_CHILD | WS_VISIBLE, 10, 20, 300, 200, parent, 7);
    ASSERT_NE(capture, nullptr);
    EXPECT_EQ(GetParent(capture), parent);
    EXPECT_EQ(GetDlgCtrlID(capture), 7);
    char title[64] = "";
    GetWindowTextA(capture, title, sizeof(title));
    EXPECT_STREQ(title, "Second Capture");
    RECT area;
    GetWindowRect(capture, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ(area.left, 10);
    EXPECT_EQ(area.top, 20);
    EXPECT_EQ(area.right - area.left, 300);
    EXPECT_EQ(area.bottom - area.top, 200);
    EXPECT_TRUE(DestroyWindow(capture));
}

TEST(CaptureWindowCreation, GivesNoWindowForAChildWithoutParent)
{
    EXPECT_EQ(CreateCaptureWindow("My Capture Window", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, nullptr, 1), nullptr);
}

TEST_F(CaptureWindowTest, FrameFileIsWrittenUnchangedWhateverItsDepth)
{
    ConnectFrameFile();
    for (FrameKind kind : kAllKinds) {
        std::vector<uint8_t> frame = MakeFrame(kind, 37, 21, 200, 100, 50);
        ASSERT_TRUE(WriteBytes("frame.bmp", frame));
        EXPECT_EQ(SaveDib(windows.capture(), "out.bmp"), TRUE) << FrameKindName(kind);
        std::vector<uint8_t> written;
        ASSERT_TRUE(ReadBytes("out.bmp", written));
        EXPECT_EQ(written, frame) << FrameKindName(kind);
    }
}

// A frame file that is not a whole picture is no frame: neither a save nor the
// frame handed over in memory gets anything, and an older file under the name goes.
TEST_F(CaptureWindowTest, BrokenFrameFileIsNoFrameAndWritesNothing)
{
    const std::vector<uint8_t> whole = MakeFrame(FrameKind::Rgb24, 64, 48, 1, 2, 3);
    std::vector<uint8_t> huge = MakeFrame(FrameKind::Rgb32, 2, 2, 1, 2, 3);
    const uint8_t side[4] = {0x00, 0x40, 0, 0};  // 16384
    std::copy(side, side + 4, huge.begin() + 18);
    std::copy(side, side + 4, huge.begin() + 22);
    huge.resize(4096);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"two bytes", {'B', 'M'}},
        {"file header only", std::vector<uint8_t>(whole.begin(), whole.begin() + 14)},
        {"headers only", std::vector<uint8_t>(whole.begin(), whole.begin() + 54)},
        {"half the rows", std::vector<uint8_t>(whole.begin(), whole.begin() + 54 + (whole.size() - 54) / 2)},
        {"one row short", std::vector<uint8_t>(whole.begin(), whole.end() - 64 * 3)},
        {"16384 x 16384 claimed in 4 KB", huge},
    };
    ConnectFrameFile();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteBytes("frame.bmp", c.bytes));
        ASSERT_TRUE(WriteBytes("out.bmp", whole));
        EXPECT_EQ(SaveDib(windows.capture(), "out.bmp"), FALSE);
        EXPECT_FALSE(FileExists("out.bmp"));
        CapturedFrame frame;
        EXPECT_EQ(Send(windows.capture(), WM_CAP_PELMIX_GET_FRAME, 0, reinterpret_cast<LPARAM>(&frame)), FALSE);
        EXPECT_EQ(frame.bmp, nullptr);
    }
}

// A file that has stood still may be handed out again unread, but every rewrite of
// it, of the same length, is seen: whether written now or dated back (as a copy
// that keeps its times is).
TEST_F(CaptureWindowTest, FrameFileIsReadAfreshAtEveryChange)
{
    const auto backdate = [](const char* path, int seconds) {
        HANDLE file = CreateFileA(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME time;
        GetSystemTimeAsFileTime(&time);
        ULARGE_INTEGER value = {{time.dwLowDateTime, time.dwHighDateTime}};
        value.QuadPart -= seconds * 10000000ull;
        time = {value.LowPart, value.HighPart};
        const bool set = SetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
        return set;
    };
    const int ages[][2] = {{0, 0}, {10, 0}, {10, 20}};  // seconds the first and second file are dated back
    ConnectFrameFile();
    std::vector<uint8_t> first = MakeFrame(FrameKind::Rgb24, 8, 8, 10, 10, 10);
    std::vector<uint8_t> second = MakeFrame(FrameKind::Rgb24, 8, 8, 90, 90, 90);
    std::vector<uint8_t> written;
    for (const auto& age : ages) {
        SCOPED_TRACE(age[0]);
        ASSERT_TRUE(WriteBytes("frame.bmp", first));
        ASSERT_TRUE(backdate("frame.bmp", age[0]));
        SaveDib(windows.capture(), "a.bmp");
        SaveDib(windows.capture(), "a2.bmp");
        ASSERT_TRUE(WriteBytes("frame.bmp", second));
        ASSERT_TRUE(backdate("frame.bmp", age[1]));
        SaveDib(windows.capture(), "b.bmp");
        ASSERT_TRUE(ReadBytes("a.bmp", written));
        EXPECT_EQ(written, first);
        ASSERT_TRUE(ReadBytes("a2.bmp", written));
        EXPECT_EQ(written, first);
        ASSERT_TRUE(ReadBytes("b.bmp", written));
        EXPECT_EQ(written, second);
    }
}

TEST_F(CaptureWindowTest, RelativeFramePathMeansTheFolderCurrentAtConnect)
{
    ASSERT_TRUE(WriteBytes("frame.bmp", MakeFrame(FrameKind::Rgb24, 4, 4, 1, 2, 3)));
    ConnectFrameFile("frame.bmp");
    CreateDirectoryA("images", nullptr);
    SetCurrentDirectoryA("images");
    EXPECT_EQ(SaveDib(windows.capture(), "out.bmp"), TRUE);
    SetCurrentDirectoryA("..");
    EXPECT_TRUE(FileExists("images\\out.bmp"));
}

TEST_F(CaptureWindowTest, MissingFrameFileWritesNothing)
{
    ConnectFrameFile("no-such-frame.bmp");
    EXPECT_EQ(SaveDib(windows.capture(), "out.bmp"), FALSE);
    EXPECT_FALSE(FileExists("out.bmp"));
}

TEST_F(CaptureWindowTest, DisconnectedWindowWritesNothing)
{
    ASSERT_TRUE(WriteBytes("frame.bmp", MakeFrame(FrameKind::Rgb24, 4, 4, 1, 2, 3)));
    ConnectFrameFile();
    EXPECT_EQ(Send(windows.capture(), WM_CAP_DRIVER_DISCONNECT), TRUE);
    EXPECT_EQ(SaveDib(windows.capture(), "out.bmp"), FALSE);
    EXPECT_FALSE(FileExists("out.bmp"));
}

TEST_F(CaptureWindowTest, FrameSourcesHaveNoDialogs)
{
    ConnectFrameFile();
    for (UINT dialog : {WM_CAP_DLG_VIDEOSOURCE, WM_CAP_DLG_VIDEOFORMAT, WM_CAP_DLG_VIDEODISPLAY,
                        WM_CAP_DLG_VIDEOCOMPRESSION})
        EXPECT_EQ(Send(windows.capture(), dialog), FALSE);
}

TEST_F(CaptureWindowTest, UnknownSourceNameConnectsNothing)
{
    SetEnvironmentVariableA("PELMIX_VIDEO_SOURCE", "testpatern");
    EXPECT_EQ(Send(windows.capture(), WM_CAP_DRIVER_CONNECT, 0), FALSE);
    EXPECT_EQ(SaveDib(windows.capture(), "out.bmp"), FALSE);
    EXPECT_FALSE(FileExists("out.bmp"));
}

TEST_F(CaptureWindowTest, TestPictureIsA640x480FrameThatLoadsAndMoves)
{
    SetEnvironmentVariableA("PELMIX_VIDEO_SOURCE", "testpattern");
    ASSERT_EQ(Send(windows.capture(), WM_CAP_DRIVER_CONNECT, 0), TRUE);
    ASSERT_EQ(SaveDib(windows.capture(), "a.bmp"), TRUE);
    Sleep(30);
    ASSERT_EQ(SaveDib(windows.capture(), "b.bmp"), TRUE);

    DibImage image;
    ASSERT_TRUE(image.LoadBmp("a.bmp"));
    int32_t header[3];
    memcpy(header, image.dib, sizeof(header));
    EXPECT_EQ(header[1], 640);
    EXPECT_EQ(header[2], 480);
    EXPECT_EQ(image.dib[14], 24);
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(ReadBytes("a.bmp", a));
    ASSERT_TRUE(ReadBytes("b.bmp", b));
    EXPECT_NE(a, b);
}

// Under Wine there is no camera: the DirectShow path must fail cleanly.
TEST_F(CaptureWindowTest, WithoutACameraConnectFailsAndNothingIsWritten)
{
    SetEnvironmentVariableA("PELMIX_VIDEO_SOURCE", nullptr);
    EXPECT_EQ(Send(windows.capture(), WM_CAP_DRIVER_CONNECT, 0), FALSE);
    Send(windows.capture(), WM_CAP_SET_PREVIEWRATE, 66);
    Send(windows.capture(), WM_CAP_SET_PREVIEW, 1);
    EXPECT_EQ(SaveDib(windows.capture(), "out.bmp"), FALSE);
    EXPECT_FALSE(FileExists("out.bmp"));
    for (UINT dialog : {WM_CAP_DLG_VIDEOSOURCE, WM_CAP_DLG_VIDEOFORMAT, WM_CAP_DLG_VIDEODISPLAY,
                        WM_CAP_DLG_VIDEOCOMPRESSION})
        EXPECT_EQ(Send(windows.capture(), dialog), FALSE);
    PumpFor(100);
    EXPECT_EQ(PixelOf(windows.capture(), 10, 10), RGB(0, 0, 0));
    EXPECT_TRUE(IsWindow(windows.capture()));
}

TEST_F(CaptureWindowTest, PreviewShowsTheFrameUnscaledAtTheTopLeft)
{
    PreviewFrame(MakeFrame(FrameKind::Rgb24, 64, 48, 255, 0, 0));
    EXPECT_TRUE(PumpUntil([&] { return PixelOf(windows.capture(), 10, 10) == RGB(255, 0, 0); }));
    EXPECT_EQ(PixelOf(windows.capture(), 63, 47), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(windows.capture(), 64, 10), RGB(0, 0, 0));
    EXPECT_EQ(PixelOf(windows.capture(), 200, 150), RGB(0, 0, 0));
}

TEST_F(CaptureWindowTest, SmallerFrameLeavesNothingOfTheLargerOneBehind)
{
    PreviewFrame(MakeFrame(FrameKind::Rgb24, 128, 96, 255, 0, 0));
    ASSERT_TRUE(PumpUntil([&] { return PixelOf(windows.capture(), 100, 80) == RGB(255, 0, 0); }));
    ASSERT_TRUE(WriteBytes("frame.bmp", MakeFrame(FrameKind::Rgb24, 64, 48, 0, 0, 255)));
    EXPECT_TRUE(PumpUntil([&] { return PixelOf(windows.capture(), 100, 80) == RGB(0, 0, 0); }));
    EXPECT_EQ(PixelOf(windows.capture(), 10, 10), RGB(0, 0, 255));
}

TEST_F(CaptureWindowTest, ScaleStretchesTheFrameToTheWindowAndBack)
{
    ASSERT_TRUE(WriteBytes("frame.bmp", MakeFrame(FrameKind::Bitfields565, 64, 48, 0, 255, 0)));
    ConnectFrameFile();
    Send(windows.capture(), WM_CAP_SET_PREVIEW, 1);
    Send(windows.capture(), WM_CAP_SET_SCALE, 1);
    EXPECT_TRUE(PumpUntil([&] { return PixelOf(windows.capture(), 300, 220) == RGB(0, 255, 0); }));
    Send(windows.capture(), WM_CAP_SET_SCALE, 0);
    EXPECT_TRUE(PumpUntil([&] { return PixelOf(windows.capture(), 300, 220) == RGB(0, 0, 0); }));
    EXPECT_EQ(PixelOf(windows.capture(), 10, 10), RGB(0, 255, 0));
}

TEST_F(CaptureWindowTest, PreviewFollowsTheSourceAtTheRateAndStopsWhenOff)
{
    PreviewFrame(MakeFrame(FrameKind::Palette8, 64, 48, 255, 255, 255));
    ASSERT_TRUE(PumpUntil([&] { return PixelOf(windows.capture(), 10, 10) == RGB(255, 255, 255); }));
    ASSERT_TRUE(WriteBytes("frame.bmp", MakeFrame(FrameKind::Rgb555, 64, 48, 0, 0, 255)));
    EXPECT_TRUE(PumpUntil([&] { return PixelOf(windows.capture(), 10, 10) == RGB(0, 0, 255); }));

    Send(windows.capture(), WM_CAP_SET_PREVIEW, 0);
    ASSERT_TRUE(WriteBytes("frame.bmp", MakeFrame(FrameKind::Rgb32, 64, 48, 0, 255, 0)));
    PumpFor(150);
    EXPECT_EQ(PixelOf(windows.capture(), 10, 10), RGB(0, 0, 255));

    Send(windows.capture(), WM_CAP_SET_PREVIEW, 1);
    EXPECT_TRUE(PumpUntil([&] { return PixelOf(windows.capture(), 10, 10) == RGB(0, 255, 0); }));
}

TEST_F(CaptureWindowTest, PreviewLeavesAnUnpaintableFrameBlack)
{
    PreviewFrame({'B', 'M', 0, 0});
    PumpFor(100);
    EXPECT_EQ(PixelOf(windows.capture(), 10, 10), RGB(0, 0, 0));
    EXPECT_TRUE(IsWindow(windows.capture()));
}

// The numbered save under Wine, fed by the frame-file source: numbering over the real
// folder listing, plain and captioned BMP saves, JPEG saves of every frame depth,
// folders, and the failure paths.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "capture_test_support.h"
#include "capture_window.h"
#include "dib_image.h"
#include "numbered_save.h"
#include "settings_store.h"
#include "test_bmp.h"

namespace {

const int kWidth = 160;
const int kHeight = 120;
const uint8_t kGrey = 128;

bool Near(int value, int expected, int tolerance) { return value >= expected - tolerance && value <= expected + tolerance; }

struct CaptionInk {
    int white = 0;
    int black = 0;
    int whiteTop = 1 << 30, blackTop = 1 << 30;
    int whiteLeft = 1 << 30, blackLeft = 1 << 30;
    int stray = 0;  // pixels far from the frame colour outside the caption band
};

// Near-white and near-black pixels of a decoded picture whose frame was uniform grey
// but for marks of up to cornerMarks pixels in its bottom corners.
CaptionInk InkOf(const DecodedJpeg& jpeg, uint8_t frameGrey = kGrey, int cornerMarks = 0)
{
    CaptionInk ink;
    for (int y = 0; y < jpeg.height; ++y) {
        for (int x = 0; x < jpeg.width; ++x) {
            const uint8_t* p = jpeg.At(x, y);
            int low = std::min({p[0], p[1], p[2]});
            int high = std::max({p[0], p[1], p[2]});
            if (y >= 40) {
                if (y >= jpeg.height - cornerMarks && (x < cornerMarks || x >= jpeg.width - cornerMarks))
                    continue;
                if (!Near(low, frameGrey, 24) || !Near(high, frameGrey, 24))
                    ++ink.stray;
                continue;
            }
            if (low > 200) {
                ++ink.white;
                ink.whiteTop = std::min(ink.whiteTop, y);
                ink.whiteLeft = std::min(ink.whiteLeft, x);
            } else if (high < 50) {
                ++ink.black;
                ink.blackTop = std::min(ink.blackTop, y);
                ink.blackLeft = std::min(ink.blackLeft, x);
            }
        }
    }
    return ink;
}

// A grey frame with 16-pixel marks in its corners: red top left, then clockwise green,
// blue and yellow.
std::vector<uint8_t> CornerFrame()
{
    TestBmp bmp(kWidth, kHeight, 24);
    bmp.Fill(kGrey * 0x010101u);
    for (int i = 0; i < 16 * 16; ++i) {
        bmp.Put(i % 16, kHeight - 1 - i / 16, 0xDC2828), bmp.Put(kWidth - 1 - i % 16, kHeight - 1 - i / 16, 0x28DC28);
        bmp.Put(kWidth - 1 - i % 16, i / 16, 0x2828DC), bmp.Put(i % 16, i / 16, 0xDCDC28);
    }
    return bmp.Bytes();
}

// The marks a picture shows at its corners, top left first and clockwise ("?": none);
// colour(x, y) is the pixel counted from the top left.
template <class Colour>
std::string Corners(int w, int h, Colour colour)
{
    std::string corners;
    for (const auto& at : {std::array<int, 2>{2, 2}, {w - 3, 2}, {w - 3, h - 3}, {2, h - 3}}) {
        const COLORREF c = colour(at[0], at[1]);
        const bool red = GetRValue(c) > 150, green = GetGValue(c) > 150;
        corners += red && green ? 'Y' : red ? 'R' : green ? 'G' : GetBValue(c) > 150 ? 'B' : '?';
    }
    return corners;
}

// The pixel rows of a BMP file written by the save, as a flat byte run.
std::vector<uint8_t> PixelRows(const std::vector<uint8_t>& bmp)
{
    uint32_t offBits = bmp[10] | bmp[11] << 8 | bmp[12] << 16 | static_cast<uint32_t>(bmp[13]) << 24;
    return std::vector<uint8_t>(bmp.begin() + offBits, bmp.end());
}

// What the caption should look like on a grey 24-bit frame: the text drawn by the
// same platform calls into a section of our own.
std::vector<uint8_t> ReferenceCaptionRows(HWND shownIn, const char* text)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    HDC windowDc = GetDC(shownIn);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const size_t size = static_cast<size_t>(((kWidth * 24 + 31) & ~31) / 8) * kHeight;
    std::memset(bits, kGrey, size);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HGDIOBJ previous = SelectObject(memoryDc, section);
    RECT area = {8, 8, kWidth - 1, kHeight - 1};
    SetBkMode(memoryDc, TRANSPARENT);
    SetTextColor(memoryDc, RGB(0, 0, 0));
    DrawTextA(memoryDc, text, -1, &area, 0);
    SetTextColor(memoryDc, RGB(255, 255, 255));
    area.left = area.top = 6;
    DrawTextA(memoryDc, text, -1, &area, 0);
    GdiFlush();
    std::vector<uint8_t> rows(static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + size);
    SelectObject(memoryDc, previous);
    DeleteDC(memoryDc);
    DeleteObject(section);
    ReleaseDC(shownIn, windowDc);
    return rows;
}

class NumberedSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_settings.filePath = "./Pelmix.ini";
        CreateDirectoryA("images", nullptr);
        WriteIni("local_dir", "images");
        ASSERT_TRUE(WriteFrame(MakeFrame(FrameKind::Rgb24, kWidth, kHeight, kGrey, kGrey, kGrey)));
        ConnectFrameFile("frame.bmp");
    }

    void TearDown() override { windows.Reset(); }

    void ConnectFrameFile(const char* path)
    {
        SetEnvironmentVariableA("PELMIX_VIDEO_SOURCE", (std::string("file:") + path).c_str());
        ASSERT_EQ(SendMessageA(windows.capture(), WM_CAP_DRIVER_CONNECT, 0, 0), TRUE);
    }

    bool WriteFrame(const std::vector<uint8_t>& frame) { return WriteBytes(folder.path() + "\\frame.bmp", frame); }

    // As the program records it: the name the save reports, file or no file.
    void Save(SaveKind kind, int32_t startNumber = 0)
    {
        lastSaved = SaveNextNumbered(kind, startNumber, captureWindow, windows.parent()).name;
    }
    static std::string Image(const std::string& name) { return "images\\" + name; }
    static void Touch(const std::string& name) { WriteBytes(Image(name), {}); }
    static std::vector<std::string> Images()
    {
        std::vector<std::string> names = FolderEntries("images");
        std::sort(names.begin(), names.end());
        return names;
    }

    ScratchFolder folder;
    TestWindows& windows = TestWindows::Shared();
    HWND captureWindow = windows.capture();
    std::string lastSaved = "before";
};

using Names = std::vector<std::string>;

// The names a folder reports as added, changed or removed from its making on.
class FolderWatch {
public:
    explicit FolderWatch(const std::string& folder)
        : folder_(CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr))
    {
        overlapped_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        Arm();
    }
    ~FolderWatch()
    {
        CancelIo(folder_);
        CloseHandle(folder_);
        CloseHandle(overlapped_.hEvent);
    }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Every name reported until `last` has been seen and the folder has been quiet a while.
    Names NamesUntil(const std::string& last)
    {
        Names names;
        bool seen = false;
        while (WaitForSingleObject(overlapped_.hEvent, seen ? 300 : 5000) == WAIT_OBJECT_0) {
            DWORD bytes = 0;
            if (!GetOverlappedResult(folder_, &overlapped_, &bytes, FALSE) || bytes == 0)
                break;
            for (DWORD at = 0;;) {
                const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer_ + at);
                std::string name;
                for (DWORD i = 0; i < record->FileNameLength / sizeof(WCHAR); ++i)
                    name += static_cast<char>(record->FileName[i]);
                if (std::find(names.begin(), names.end(), name) == names.end())
                    names.push_back(name);
                seen = seen || name == last;
                if (record->NextEntryOffset == 0)
                    break;
                at += record->NextEntryOffset;
            }
            ResetEvent(overlapped_.hEvent);
            Arm();
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    void Arm()
    {
        ReadDirectoryChangesW(folder_, buffer_, sizeof(buffer_), FALSE,
                              FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
                                  FILE_NOTIFY_CHANGE_LAST_WRITE,
                              nullptr, &overlapped_, nullptr);
    }

    HANDLE folder_;
    OVERLAPPED overlapped_ = {};
    alignas(DWORD) BYTE buffer_[16384];
};

}  // namespace

// --- Numbering over the real folder listing ---

TEST_F(NumberedSaveTest, EmptyFolderGivesNumberZeroForABmpAndAJpeg)
{
    for (SaveKind kind : {SaveKind::Bmp, SaveKind::CaptionedJpeg}) {
        const std::string name = kind == SaveKind::Bmp ? "pc00000.bmp" : "pc00000.jpg";
        Save(kind);
        EXPECT_EQ(lastSaved, name);
        EXPECT_EQ(Images(), Names({name}));
        DeleteFileA(Image(name).c_str());
    }
}

TEST_F(NumberedSaveTest, NextNumberFollowsTheLargestWhateverTheExtension)
{
    Touch("pc00007.jpg");
    Touch("pc00012.bmp");
    Save(SaveKind::Bmp);
    EXPECT_EQ(lastSaved, "pc00013.bmp");
    Save(SaveKind::CaptionedJpeg);
    EXPECT_EQ(lastSaved, "pc00014.jpg");
}

TEST_F(NumberedSaveTest, ASingleExistingNameCountsByItsFiveCharacterNumber)
{
    const struct { const char* existing; const char* saved; } cases[] = {
        {"pc99999.jpg", "pc00000.bmp"},   // the fixed slot alone
        {"pc12.jpg", "pc00013.bmp"},      // a short name counts by its leading digits
        {"pc123456.jpg", "pc00000.bmp"},  // six digits do not count
        {"pcabcde.jpg", "pc00001.bmp"},   // no digits count as zero
        {"PC00020.JPG", "pc00021.bmp"},   // the prefix matches without regard to case
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.existing);
        Touch(c.existing);
        Save(SaveKind::Bmp);
        EXPECT_EQ(lastSaved, c.saved);
        DeleteFileA(Image(c.existing).c_str());
        DeleteFileA(Image(c.saved).c_str());
        ASSERT_EQ(Images(), Names{});
    }
}

TEST_F(NumberedSaveTest, FoldersCountLikeFiles)
{
    CreateDirectoryA(Image("pc00030").c_str(), nullptr);
    Touch("xy00040.jpg");
    Save(SaveKind::Bmp);
    EXPECT_EQ(lastSaved, "pc00031.bmp");
}

TEST_F(NumberedSaveTest, EmptyPrefixGivesBareNumbersFromZero)
{
    WriteIni("st", "");
    Save(SaveKind::Bmp);
    EXPECT_EQ(lastSaved, "00000.bmp");
    Save(SaveKind::Bmp);
    EXPECT_EQ(lastSaved, "00001.bmp");
}

TEST_F(NumberedSaveTest, PrefixWithAFolderPartCountsTheNamesInThatFolder)
{
    CreateDirectoryA(Image("sub").c_str(), nullptr);
    Touch("sub\\pc00004.jpg");
    WriteIni("st", "sub\\pc");
    Save(SaveKind::Bmp);
    EXPECT_EQ(lastSaved, "sub\\pc00005.bmp");
    EXPECT_TRUE(FileExists(Image("sub\\pc00005.bmp")));
    // The current folder of the image folder's own drive is the image folder.
    WriteIni("st", "C:sub\\pc");
    Save(SaveKind::Bmp);
    EXPECT_TRUE(FileExists(Image("sub\\pc00006.bmp"))) << lastSaved;
}

TEST_F(NumberedSaveTest, StartNumberIsTheLowestNumberUsed)
{
    Touch("pc00003.jpg");
    Save(SaveKind::Bmp, 10);
    EXPECT_EQ(lastSaved, "pc00010.bmp");
}

TEST_F(NumberedSaveTest, FixedSlotStartAlwaysGivesTheSlotAndReplacesThePreviousPicture)
{
    Touch("pc00005.jpg");
    ASSERT_TRUE(WriteFrame(MakeFrame(FrameKind::Rgb24, kWidth, kHeight, 40, 40, 40)));
    Save(SaveKind::CaptionedJpeg, 99999);
    EXPECT_EQ(lastSaved, "pc99999.jpg");
    ASSERT_TRUE(WriteFrame(MakeFrame(FrameKind::Rgb24, kWidth, kHeight, 200, 200, 200)));
    Save(SaveKind::CaptionedJpeg, 99999);
    EXPECT_EQ(lastSaved, "pc99999.jpg");
    EXPECT_EQ(Images(), Names({"pc00005.jpg", "pc99999.jpg"}));
    DecodedJpeg jpeg;
    ASSERT_TRUE(DecodeJpeg(Image("pc99999.jpg"), jpeg));
    EXPECT_TRUE(Near(jpeg.At(kWidth / 2, kHeight - 10)[0], 200, 6));
}

// --- Plain and captioned BMP saves ---

TEST_F(NumberedSaveTest, PlainBmpSaveLeavesTheFrameByteForByte)
{
    for (FrameKind kind : {FrameKind::Palette8, FrameKind::Rgb555, FrameKind::Bitfields565, FrameKind::Rgb24,
                           FrameKind::Rgb32}) {
        std::vector<uint8_t> frame = MakeFrame(kind, kWidth, kHeight, 10, 200, 90);
        ASSERT_TRUE(WriteFrame(frame));
        Save(SaveKind::Bmp);
        std::vector<uint8_t> written;
        ASSERT_TRUE(ReadBytes(Image(lastSaved), written)) << FrameKindName(kind);
        EXPECT_EQ(written, frame) << FrameKindName(kind);
    }
}

TEST_F(NumberedSaveTest, PlainBmpSaveDrawsNothingOnTheMainWindow)
{
    PumpFor(30);
    const int besideX = (kWidth - 1) + 4 + kWidth / 2;
    ASSERT_EQ(PixelOf(windows.parent(), besideX, kHeight / 2), RGB(0, 0, 0));
    Save(SaveKind::Bmp);
    EXPECT_EQ(PixelOf(windows.parent(), besideX, kHeight / 2), RGB(0, 0, 0));
}

TEST_F(NumberedSaveTest, JpegSaveShowsTheCaptionedPictureBesideTheLiveOne)
{
    PumpFor(30);
    const int besideX = (kWidth - 1) + 4 + kWidth / 2;
    ASSERT_EQ(PixelOf(windows.parent(), besideX, kHeight / 2), RGB(0, 0, 0));
    SendMessageA(windows.capture(), WM_CAP_SET_PREVIEWRATE, 10, 0);
    SendMessageA(windows.capture(), WM_CAP_SET_PREVIEW, TRUE, 0);
    Save(SaveKind::CaptionedJpeg);
    EXPECT_EQ(PixelOf(windows.parent(), besideX, kHeight / 2), RGB(kGrey, kGrey, kGrey));
    // The live picture goes on being repainted without wiping the copy beside it.
    PumpFor(100);
    EXPECT_EQ(PixelOf(windows.parent(), besideX, kHeight / 2), RGB(kGrey, kGrey, kGrey));
}

TEST_F(NumberedSaveTest, CaptionedBmpSaveWritesTheExpandedCaptionIntoTheBmp)
{
    std::string manyYears;
    for (int i = 0; i < 127; ++i)
        manyYears += "%Y";  // 254 bytes that expand to 508
    const struct { std::string format; const char* drawn; } cases[] = {
        {"Pelmix", "Pelmix"},
        {"%%", "%"},               // one percent sign
        {manyYears, ""},           // too long to expand: no text
        {"%q%#q%E%", ""},          // unknown directives draw nothing
        {"A%qB%#EC", "ABC"},
    };
    // The oracle tells one percent sign from two and from none.
    ASSERT_NE(ReferenceCaptionRows(windows.parent(), "%"), ReferenceCaptionRows(windows.parent(), "%%"));
    ASSERT_NE(ReferenceCaptionRows(windows.parent(), "%"), ReferenceCaptionRows(windows.parent(), ""));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        WriteIni("msg", c.format.c_str());
        Save(SaveKind::CaptionedBmp);
        std::vector<uint8_t> written;
        ASSERT_TRUE(ReadBytes(Image(lastSaved), written));
        EXPECT_EQ(PixelRows(written), ReferenceCaptionRows(windows.parent(), c.drawn));
    }
    EXPECT_EQ(lastSaved, "pc00004.bmp");
}

// --- JPEG saves ---

TEST_F(NumberedSaveTest, JpegSaveOfEveryDepthLeavesACaptionedJpegAndNoBmp)
{
    for (FrameKind kind : {FrameKind::Palette8, FrameKind::Rgb555, FrameKind::Bitfields565, FrameKind::Rgb24,
                           FrameKind::Rgb32}) {
        SCOPED_TRACE(FrameKindName(kind));
        ASSERT_TRUE(WriteFrame(MakeFrame(kind, kWidth, kHeight, kGrey, kGrey, kGrey)));
        Save(SaveKind::CaptionedJpeg);
        const std::string jpegName = lastSaved;
        ASSERT_EQ(jpegName.size(), 11u);
        EXPECT_EQ(jpegName.substr(7), ".jpg");
        EXPECT_FALSE(FileExists(Image(jpegName.substr(0, 7) + ".bmp")));
        DecodedJpeg jpeg;
        ASSERT_TRUE(DecodeJpeg(Image(jpegName), jpeg));
        EXPECT_EQ(jpeg.width, kWidth);
        EXPECT_EQ(jpeg.height, kHeight);
        CaptionInk ink = InkOf(jpeg);
        EXPECT_GT(ink.white, 20);
        EXPECT_GT(ink.black, 20);
        // The shadow stands 2 pixels right of and below the white text.
        EXPECT_LT(ink.whiteTop, ink.blackTop);
        EXPECT_LT(ink.whiteLeft, ink.blackLeft);
        EXPECT_EQ(ink.stray, 0);
    }
    EXPECT_EQ(Images().size(), 5u);
}

TEST_F(NumberedSaveTest, EmptyCaptionFormatDrawsNoTextButStillExports)
{
    WriteIni("msg", "");
    Save(SaveKind::CaptionedJpeg);
    DecodedJpeg jpeg;
    ASSERT_TRUE(DecodeJpeg(Image("pc00000.jpg"), jpeg));
    CaptionInk ink = InkOf(jpeg);
    EXPECT_EQ(ink.white, 0);
    EXPECT_EQ(ink.black, 0);
    EXPECT_TRUE(Near(jpeg.At(10, 10)[1], kGrey, 4));
}

TEST_F(NumberedSaveTest, QualityIsClampedToOneToHundred)
{
    WriteIni("jpeg_q", "0");
    Save(SaveKind::CaptionedJpeg);
    WriteIni("jpeg_q", "250");
    Save(SaveKind::CaptionedJpeg);
    WriteIni("jpeg_q", nullptr);
    Save(SaveKind::CaptionedJpeg);

    DecodedJpeg lowest, highest, standard;
    ASSERT_TRUE(DecodeJpeg(Image("pc00000.jpg"), lowest));
    ASSERT_TRUE(DecodeJpeg(Image("pc00001.jpg"), highest));
    ASSERT_TRUE(DecodeJpeg(Image("pc00002.jpg"), standard));
    // Quality 1 scales every baseline entry to its ceiling, 100 every entry to 1.
    EXPECT_TRUE(std::all_of(std::begin(lowest.quant[0]), std::end(lowest.quant[0]), [](unsigned q) { return q == 255; }));
    EXPECT_TRUE(std::all_of(std::begin(highest.quant[0]), std::end(highest.quant[0]), [](unsigned q) { return q == 1; }));
    EXPECT_EQ(standard.quant[0][0], 8u);  // 75: half the standard table's 16
}

// The captioned BMP still goes through a file; exported, it must give the very bytes
// that the JPEG save makes from memory.
TEST_F(NumberedSaveTest, JpegFromMemoryHasTheBytesOfTheRouteThroughAFile)
{
    WriteIni("msg", "Pelmix 12:34");
    for (FrameKind kind : {FrameKind::Palette8, FrameKind::Rgb555, FrameKind::Bitfields565, FrameKind::Rgb24,
                           FrameKind::Rgb32}) {
        SCOPED_TRACE(FrameKindName(kind));
        ASSERT_TRUE(WriteFrame(MakeFrame(kind, kWidth + 1, kHeight + 1, 90, 140, 200)));
        Save(SaveKind::CaptionedBmp);
        const std::string viaFileBmp = Image(lastSaved);
        Save(SaveKind::CaptionedJpeg);
        DibImage viaFile;
        ASSERT_TRUE(viaFile.LoadBmp(viaFileBmp.c_str()));
        ASSERT_TRUE(viaFile.SaveJpeg("via-file.jpg", 75));
        std::vector<uint8_t> expected, made;
        ASSERT_TRUE(ReadBytes("via-file.jpg", expected));
        ASSERT_TRUE(ReadBytes(Image(lastSaved), made));
        EXPECT_TRUE(made == expected) << lastSaved;
    }
}

TEST_F(NumberedSaveTest, JpegSaveWritesNoOtherFileIntoTheFolder)
{
    Save(SaveKind::CaptionedJpeg);
    FolderWatch watch("images");
    Save(SaveKind::CaptionedJpeg);
    ASSERT_EQ(lastSaved, "pc00001.jpg");
    EXPECT_EQ(watch.NamesUntil("pc00001.jpg"), Names({"pc00001.jpg"}));
}

// A save after a save takes its number from what it remembers while the folder stays
// as it left it; each of these changes must lead to what a full listing gives.
TEST_F(NumberedSaveTest, RememberedNumberGivesWayToEveryChangeInTheFolder)
{
    struct Case {
        const char* change;
        void (*apply)();
        const char* expected;
    };
    const Case cases[] = {
        {"none", [] {}, "pc00002.jpg"},
        {"a higher number added", [] { Touch("pc00040.bmp"); }, "pc00041.jpg"},
        {"a short number added", [] { Touch("pc7.jpg"); }, "pc00008.jpg"},
        {"the last picture deleted", [] { DeleteFileA(Image("pc00001.jpg").c_str()); }, "pc00001.jpg"},
        {"the last picture renamed higher",
         [] { MoveFileA(Image("pc00001.jpg").c_str(), Image("pc00030.jpg").c_str()); }, "pc00031.jpg"},
        {"a folder takes the next number", [] { CreateDirectoryA(Image("pc00002").c_str(), nullptr); },
         "pc00003.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        for (const std::string& name : Images())
            DeleteFileA(Image(name).c_str()) || RemoveDirectoryA(Image(name).c_str());
        ASSERT_TRUE(Images().empty());
        Save(SaveKind::CaptionedJpeg);
        Save(SaveKind::CaptionedJpeg);
        ASSERT_EQ(lastSaved, "pc00001.jpg");
        c.apply();
        Save(SaveKind::CaptionedJpeg);
        EXPECT_EQ(lastSaved, c.expected);
    }
}

// Past 99998 the lowest free number is taken, save after save, and no picture is replaced.
TEST_F(NumberedSaveTest, WhenTheNumbersRunOutTheLowestFreeOnesAreTakenInTurn)
{
    for (const char* name : {"pc00000.jpg", "pc00001.jpg", "pc00003.jpg", "pc99998.jpg"})
        Touch(name);
    Names saved;
    for (int i = 0; i < 3; ++i) {
        Save(SaveKind::CaptionedJpeg);
        saved.push_back(lastSaved);
    }
    EXPECT_EQ(saved, Names({"pc00002.jpg", "pc00004.jpg", "pc00005.jpg"}));
    EXPECT_EQ(Images().size(), 7u);
}

// Every save and the preview show the frame turned; the caption stays upright at the top.
TEST_F(NumberedSaveTest, TurnedFrameHasItsCornersWhereTheyBelongAndTheCaptionUpright)
{
    const struct { const char* rotate; const char* flip; const char* corners; } cases[] = {
        {"90", "none", "YRGB"}, {"180", nullptr, "BYRG"}, {"270", "horizontal", "BGRY"}, {"0", "vertical", "YBGR"},
    };
    ASSERT_TRUE(WriteFrame(CornerFrame()));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.rotate) + " " + (c.flip ? c.flip : "(absent)"));
        WriteIni("rotate", c.rotate);
        WriteIni("flip", c.flip);
        const bool sideways = c.rotate[0] == '9' || c.rotate[0] == '2';
        const int w = sideways ? kHeight : kWidth, h = sideways ? kWidth : kHeight;
        Save(SaveKind::CaptionedJpeg);
        DecodedJpeg jpeg;
        ASSERT_TRUE(DecodeJpeg(Image(lastSaved), jpeg));
        ASSERT_EQ(jpeg.width * 1000 + jpeg.height, w * 1000 + h);
        EXPECT_EQ(Corners(w, h, [&](int x, int y) { return RGB(jpeg.At(x, y)[0], jpeg.At(x, y)[1], jpeg.At(x, y)[2]); }),
                  c.corners);
        const CaptionInk ink = InkOf(jpeg, kGrey, 24);  // the shadow right of and below the text: upright
        EXPECT_TRUE(ink.white > 20 && ink.whiteTop < ink.blackTop && ink.whiteLeft < ink.blackLeft && !ink.stray);
        PumpFor(30);
        EXPECT_EQ(Corners(w, h, [&](int x, int y) { return PixelOf(windows.capture(), x, y); }), c.corners) << "preview";
        Save(SaveKind::Bmp);
        const std::vector<uint8_t> bmp = ReadBytes(Image(lastSaved));
        ASSERT_EQ(bmp.size(), 54 + size_t(h) * ((w * 3 + 3) & ~3));
        EXPECT_EQ(Corners(w, h, [&](int x, int y) {
                      const uint8_t* p = &bmp[54 + size_t(h - 1 - y) * ((w * 3 + 3) & ~3) + size_t(x) * 3];
                      return RGB(p[2], p[1], p[0]);
                  }), c.corners) << "BMP";
    }
}

// The copy is scaled (never enlarged), of its own quality, captioned; the archive is the same.
TEST_F(NumberedSaveTest, UploadCopyIsASmallerCaptionedJpegAndTheArchiveStaysAsItWas)
{
    WriteIni("msg", "Pelmix 12:34");
    Save(SaveKind::CaptionedJpeg);
    const std::vector<uint8_t> archive = ReadBytes(Image(lastSaved));
    const struct { const char* width; const char* quality; int w, h, q; } cases[] = {
        {"80", nullptr, 80, 60, 75}, {"100", "40", 100, 75, 40}, {"1000", "90", kWidth, kHeight, 90},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        WriteIni("upload_width", c.width);
        WriteIni("upload_quality", c.quality);
        const SaveOutcome outcome = SaveNextNumbered(SaveKind::CaptionedJpeg, 0, captureWindow, windows.parent());
        EXPECT_EQ(ReadBytes(Image(outcome.name)), archive);
        EXPECT_NE(outcome.uploadCopy.find("\\Pelmix upload\\"), std::string::npos) << outcome.uploadCopy;
        DecodedJpeg copy;
        ASSERT_TRUE(DecodeJpeg(outcome.uploadCopy, copy));
        EXPECT_EQ(copy.width * 1000 + copy.height, c.w * 1000 + c.h);
        EXPECT_TRUE(c.w == kWidth || ReadBytes(outcome.uploadCopy).size() < archive.size());
        uint16_t tables[2][64];
        QualityTables(c.q, tables);
        EXPECT_TRUE(std::equal(std::begin(tables[0]), std::end(tables[0]), copy.quant[0]));
        const CaptionInk ink = InkOf(copy);
        EXPECT_TRUE(ink.white > 20 && ink.whiteTop < ink.blackTop);
    }
    WriteIni("upload_width", "0");
    EXPECT_EQ(SaveNextNumbered(SaveKind::CaptionedJpeg, 0, captureWindow, windows.parent()).uploadCopy, "");
}

// --- Folders ---

// A missing image folder, or none set, saves into the current folder; no save changes it.
TEST_F(NumberedSaveTest, WithoutAnImageFolderTheCurrentFolderTakesThePictureAndStaysAsItIs)
{
    const std::string before = CurrentFolder();
    Save(SaveKind::CaptionedJpeg);
    EXPECT_EQ(CurrentFolder(), before);
    WriteIni("local_dir", "nowhere");
    Save(SaveKind::CaptionedJpeg);
    EXPECT_EQ(lastSaved, "pc00000.jpg");
    EXPECT_TRUE(FileExists("pc00000.jpg"));
    EXPECT_FALSE(FileExists("pc00000.bmp"));
    EXPECT_EQ(Images(), Names({"pc00000.jpg"}));  // the first save's, in the image folder
    EXPECT_EQ(CurrentFolder(), before);
    WriteIni("local_dir", nullptr);
    Save(SaveKind::Bmp);
    EXPECT_EQ(lastSaved, "pc00001.bmp");
    EXPECT_TRUE(FileExists("pc00001.bmp"));
    EXPECT_EQ(CurrentFolder(), before);
}

// --- Failures ---

TEST_F(NumberedSaveTest, UnreadableFrameCreatesNothingAndNamesTheBmp)
{
    ConnectFrameFile("no-such-frame.bmp");
    Save(SaveKind::CaptionedJpeg);
    EXPECT_TRUE(Images().empty());
    EXPECT_EQ(lastSaved, "pc00000.bmp");
}

TEST_F(NumberedSaveTest, OldPictureInTheFixedSlotIsNotTakenForAFrameThatFailed)
{
    Save(SaveKind::Bmp, 99999);
    ASSERT_EQ(Images(), Names({"pc99999.bmp"}));
    ConnectFrameFile("no-such-frame.bmp");
    Save(SaveKind::CaptionedJpeg, 99999);
    EXPECT_TRUE(Images().empty());
    EXPECT_EQ(lastSaved, "pc99999.bmp");
}

// Neither save makes a picture of a frame that is not a whole one, and a header that
// claims a huge picture in a small file costs no memory for what it claims.
TEST_F(NumberedSaveTest, FramesThatAreNotWholePicturesLeaveNoFile)
{
    std::vector<uint8_t> huge = MakeFrame(FrameKind::Rgb32, 2, 2, 1, 2, 3);
    const uint8_t side[4] = {0x00, 0x40, 0, 0};  // 16384
    std::copy(side, side + 4, huge.begin() + 18);
    std::copy(side, side + 4, huge.begin() + 22);
    huge.resize(4096);
    const std::vector<uint8_t> whole = MakeFrame(FrameKind::Rgb24, kWidth, kHeight, kGrey, kGrey, kGrey);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } frames[] = {
        {"not a bmp", {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'}},
        {"cut in its file header", {'B', 'M', 0, 0, 0}},
        {"half the rows", std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2)},
        {"16384 x 16384 claimed in 4 KB", huge},
    };
    for (const auto& frame : frames) {
        SCOPED_TRACE(frame.what);
        ASSERT_TRUE(WriteFrame(frame.bytes));
        Save(SaveKind::Bmp);
        EXPECT_EQ(lastSaved, "pc00000.bmp");
        Save(SaveKind::CaptionedJpeg);
        EXPECT_EQ(lastSaved, "pc00000.bmp");
        EXPECT_TRUE(Images().empty());
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory)));
    EXPECT_LT(memory.PeakPagefileUsage, SIZE_T{256} << 20);
}

// Tools that feed the frame file rewrite it in place: truncate, then write in chunks.
// Whatever moment a save catches, it makes a picture of one whole frame or nothing.
TEST_F(NumberedSaveTest, FrameFileRewrittenWhileSavesRunGivesOnlyWholePictures)
{
    const int kSide = 256;
    const std::vector<uint8_t> frames[2] = {MakeFrame(FrameKind::Rgb24, kSide, kSide, 60, 60, 60),
                                            MakeFrame(FrameKind::Rgb24, kSide, kSide, 200, 200, 200)};
    struct Rewriter {
        std::string path;
        const std::vector<uint8_t>* frames;
        volatile LONG stop = 0;
        static DWORD WINAPI Run(void* self)
        {
            auto& r = *static_cast<Rewriter*>(self);
            for (int round = 0; !r.stop; ++round) {
                const std::vector<uint8_t>& frame = r.frames[round % 2];
                HANDLE file = CreateFileA(r.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
                for (size_t at = 0; file != INVALID_HANDLE_VALUE && at < frame.size(); at += 65536) {
                    DWORD written = 0;
                    WriteFile(file, frame.data() + at, static_cast<DWORD>(std::min<size_t>(65536, frame.size() - at)),
                              &written, nullptr);
                    Sleep(1);
                }
                if (file != INVALID_HANDLE_VALUE)
                    CloseHandle(file);
                Sleep(round % 3 == 0 ? 30 : 2);
            }
            return 0;
        }
    } rewriter{folder.path() + "\\frame.bmp", frames};
    ASSERT_TRUE(WriteFrame(frames[0]));
    HANDLE thread = CreateThread(nullptr, 0, Rewriter::Run, &rewriter, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    for (int i = 0; i < 16; ++i) {
        Save(SaveKind::Bmp);
        Save(SaveKind::CaptionedJpeg);
    }
    InterlockedExchange(&rewriter.stop, 1);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);

    int pictures = 0;
    for (const std::string& name : Images()) {
        SCOPED_TRACE(name);
        ++pictures;
        if (name.substr(7) == ".bmp") {
            std::vector<uint8_t> saved;
            ASSERT_TRUE(ReadBytes(Image(name), saved));
            EXPECT_TRUE(saved == frames[0] || saved == frames[1]);
            continue;
        }
        DecodedJpeg jpeg;
        ASSERT_TRUE(DecodeJpeg(Image(name), jpeg));
        const uint8_t grey = jpeg.At(kSide / 2, kSide - 1)[0];
        EXPECT_TRUE(Near(grey, 60, 8) || Near(grey, 200, 8)) << int(grey);
        EXPECT_EQ(InkOf(jpeg, grey).stray, 0);
    }
    EXPECT_GT(pictures, 0);
}

// Root ignores a read-only folder under Wine, so the JPEG's place is taken by a folder.
TEST_F(NumberedSaveTest, UnwritableJpegStillDeletesTheBmpAndNamesTheJpeg)
{
    ASSERT_TRUE(CreateDirectoryA(Image("pc99999.jpg").c_str(), nullptr));
    Save(SaveKind::CaptionedJpeg, 99999);
    EXPECT_EQ(lastSaved, "pc99999.jpg");
    EXPECT_FALSE(FileExists(Image("pc99999.bmp")));
    EXPECT_EQ(Images(), Names({"pc99999.jpg"}));
}

// A stream of a file, or a name longer than a file name may be.
TEST_F(NumberedSaveTest, PrefixThatCannotNameAFileSavesNothingAndNamesNoFile)
{
    Save(SaveKind::Bmp);
    ASSERT_EQ(lastSaved, "pc00000.bmp");
    for (const std::string& prefix : {std::string("pc:stream"), std::string(251, 'p')}) {
        WriteIni("st", prefix.c_str());
        for (SaveKind kind : {SaveKind::Bmp, SaveKind::CaptionedJpeg}) {
            Save(kind);
            EXPECT_EQ(lastSaved, "") << prefix;
        }
        EXPECT_EQ(Images(), Names({"pc00000.bmp"}));
    }
}

TEST_F(NumberedSaveTest, WithoutCaptureWindowNothingIsWritten)
{
    captureWindow = nullptr;
    Save(SaveKind::Bmp);
    EXPECT_EQ(lastSaved, "pc00000.bmp");
    Save(SaveKind::CaptionedJpeg);
    EXPECT_EQ(lastSaved, "pc00000.bmp");
    EXPECT_TRUE(Images().empty());
}

TEST_F(NumberedSaveTest, WithoutAnySourceASaveWritesNothingAndTheWindowLives)
{
    SetEnvironmentVariableA("PELMIX_VIDEO_SOURCE", nullptr);
    EXPECT_EQ(SendMessageA(windows.capture(), WM_CAP_DRIVER_CONNECT, 0, 0), FALSE);
    Save(SaveKind::CaptionedJpeg);
    Save(SaveKind::Bmp);
    EXPECT_TRUE(Images().empty());
    EXPECT_EQ(lastSaved, "pc00000.bmp");
    EXPECT_TRUE(IsWindow(windows.capture()));
}

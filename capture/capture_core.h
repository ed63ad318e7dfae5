// Platform-neutral parts of the capture side: the number scan over a folder listing,
// numbered file names, the caption text, a check of BMP bytes for painting, and the
// built-in test picture.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// The slot that the automatic cycle without backup overwrites; the scan never counts it.
constexpr int32_t kFixedSlotNumber = 99999;
constexpr size_t kFileNameCapacity = 260;   // 259 characters and the terminator
constexpr size_t kCaptionCapacity = 256;    // 255 characters and the terminator

// Whether an entry name matches prefix + "?????.*" by the Windows rules: the prefix
// (ASCII letters without regard to case), up to five characters that are not dots,
// then the end of the name or a dot followed by anything. Names are code page 932
// text: a double-byte character counts as one.
bool MatchesNumberedName(const char* name, const char* prefix);

// The number that a name carries: atoi of the (at most five) characters that follow
// its first prefixLength bytes.
int32_t NumberField(const char* name, size_t prefixLength);

// What the scan gives when every number a save may take is in use.
constexpr int32_t kNoFreeNumber = -1;

// Finds the next free number while the entries of a folder listing stream past: one more
// than the highest number found. When that would reach the fixed slot, the lowest number
// from the start number on that no file has is taken instead (the oldest backups are gone
// by then when a limit on backups is set), and kNoFreeNumber when there is none: numbering
// never overwrites a picture. A start number of kFixedSlotNumber always gives that slot.
class NumberScan {
public:
    NumberScan(const char* prefix, int32_t startNumber);
    void Consider(const char* entryName);
    int32_t Next() const;
    // Whether Next() is one more than the highest number found (or the fixed slot
    // asked for), not a free number lower down.
    bool AboveTheHighest() const { return next_ < kFixedSlotNumber || start_ >= kFixedSlotNumber; }

private:
    std::string prefix_;
    int32_t start_;
    int32_t next_;
    std::vector<bool> used_;  // numbers 0 to 99998 seen in the listing
};

// The part of a prefix that entry names start with: what follows its last folder
// separator ("\\", "/" or a drive's ":"), read as code page 932 text.
const char* FileNamePart(const char* prefix);

// Whether the names a prefix makes can be found again by the folder listing: no
// character the file system refuses or reads otherwise (< > " | ? * and control
// characters), and no ":" but a drive's, right after its letter, since anything
// after another colon names a stream of a file that the listing never shows.
bool PrefixMakesFindableNames(const char* prefix);

// Prefix, five-digit number and extension (".bmp" or ".jpg") into a file name buffer.
// False, with an empty name, when the result would not fit.
bool FormatNumberedName(char (&name)[kFileNameCapacity], const char* prefix, int32_t number,
                        const char* extension);

// The caption format with every directive that the runtime might reject removed: only
// %a %A %b %B %c %d %H %I %j %m %M %p %S %U %w %W %x %X %y %Y %z %Z, the same letters
// with the "#" flag (the alternate form, e.g. no leading zeros) and %% are kept;
// anything else after a "%" (and a "%" at the end) drops out.
std::string FilterCaptionFormat(const char* format);

// The caption text for the time given; empty when the expansion would not fit in 255
// bytes or there is no time.
void ExpandCaption(char (&text)[kCaptionCapacity], const char* format, const std::tm* when);

// Where the painting data of a BMP file lies within its bytes, after checking that
// the header, masks, colour table and pixel rows are all inside them.
struct BmpView {
    const uint8_t* info = nullptr;   // BITMAPINFO: 40-byte header, then masks or colours
    const uint8_t* bits = nullptr;   // the pixel rows
    int32_t width = 0;
    int32_t height = 0;              // as in the header: negative for top-down rows
};
bool ViewBmp(const uint8_t* data, size_t size, BmpView& view);

// The built-in test picture as BMP file bytes: 640x480, 24 bits, colour bars that
// move with the time, and a clock showing the time of day to the hundredth.
constexpr int32_t kTestPatternWidth = 640;
constexpr int32_t kTestPatternHeight = 480;
std::vector<uint8_t> MakeTestPatternBmp(uint32_t millisecondsOfDay);
// The same into a buffer kept from frame to frame.
void MakeTestPatternBmp(uint32_t millisecondsOfDay, std::vector<uint8_t>& bmp);

// How long a camera may deliver no new frame before its picture counts as stale: several
// frame intervals, and never under 5 s, so that a slow camera at night (a frame a second)
// still counts as live. An interval of 0 means the camera did not say.
uint32_t FreshnessLimitMs(uint32_t frameIntervalMs);

// The wait before the n-th attempt (counted from 0) to reconnect a lost camera: 5 s at
// first, doubling, at most a minute.
uint32_t ReconnectDelayMs(uint32_t attempt);

// Bytes of one 24-bit frame of that size with rows padded to 4 bytes (a negative height:
// rows top first); 0 when the size is not one a camera frame can have (at most 256 MiB).
uint64_t Rgb24FrameBytes(int32_t width, int32_t height);

// A camera's 24-bit frame as BMP file bytes with bottom-up rows. False, leaving bmp as it
// was, when the size is unusable or the pixels are fewer than the size needs.
bool Rgb24FrameToBmp(const uint8_t* pixels, uint64_t length, int32_t width, int32_t height,
                     std::vector<uint8_t>& bmp);

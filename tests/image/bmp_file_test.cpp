// DibImage's BMP side: layout values, file headers, load/save identity, short files, refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dib_image.h"
#include "dib_layout.h"
#include "corpus_cases.h"
#include "test_bmp.h"

#ifndef _WIN32
#include "file_size_limit.h"
#endif

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return ReadLe32(&b[at]); }

// Random-looking bytes, so that every pixel and padding byte is checked.
void Scribble(TestBmp& bmp, uint32_t seed)
{
    for (uint8_t& b : bmp.pixels) {
        seed = seed * 1103515245 + 12345;
        b = uint8_t(seed >> 16);
    }
}

TestBmp WellFormed(TestBmp bmp)
{
    bmp.sizeImage = uint32_t(bmp.pixels.size());
    Scribble(bmp, uint32_t(bmp.width * 31 + bmp.bitCount));
    return bmp;
}

DibHeader LoadedHeader(const TestBmp& bmp, const char* name, DibImage& image)
{
    EXPECT_TRUE(bmp.Write(name));
    EXPECT_TRUE(image.LoadBmp(name));
    return image.dib ? DibHeader::Parse(image.dib) : DibHeader();
}

// --- Layout values derived from the header ---

TEST(DibLayout, EightBitsHasItsCountedColoursOrAFullTable)
{
    const struct { int32_t width; uint32_t clrUsed, colours, stride; } cases[] = {{5, 0, 256, 8}, {4, 16, 16, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE("clrUsed " + std::to_string(c.clrUsed));
        DibImage image;
        DibHeader h = LoadedHeader(MakePalettedBmp(c.width, 2, c.clrUsed), "layout8.bmp", image);
        EXPECT_EQ(h.ColorCount(), c.colours);
        EXPECT_EQ(h.PixelOffset(), 40u + 4 * c.colours);
        EXPECT_EQ(h.RowStride(), c.stride);
    }
}

TEST(DibLayout, RowStrideRoundsUpToWholeWords)
{
    struct { int32_t width; uint16_t bits; uint32_t stride; } cases[] = {
        {1, 24, 4}, {3, 24, 12}, {2, 16, 4}, {3, 16, 8}, {1, 8, 4}, {5, 8, 8}, {3, 32, 12},
    };
    for (const auto& c : cases) {
        DibImage image;
        TestBmp bmp(c.width, 2, c.bits);
        if (c.bits == 8) bmp = MakePalettedBmp(c.width, 2, 0);
        DibHeader h = LoadedHeader(bmp, "stride.bmp", image);
        EXPECT_EQ(h.RowStride(), c.stride) << c.width << " pixels at " << c.bits << " bits";
        EXPECT_EQ(h.PixelAreaSize(), c.stride * 2);
    }
}

TEST(DibLayout, BitfieldsKeepTheirMasksBeforeTheRows)
{
    TestBmp bmp(3, 2, 16);
    bmp.SetMasks(0xF800, 0x07E0, 0x001F);
    bmp.Put(0, 0, 0x1234);
    DibImage image;
    DibHeader h = LoadedHeader(bmp, "layout_bf.bmp", image);
    ASSERT_NE(image.dib, nullptr);
    EXPECT_EQ(h.PixelOffset(), 52u);
    EXPECT_EQ(ReadLe32(image.dib + 40), 0xF800u);
    EXPECT_EQ(ReadLe32(image.dib + 44), 0x07E0u);
    EXPECT_EQ(ReadLe32(image.dib + 48), 0x001Fu);
    EXPECT_EQ(ReadLe16(image.dib + 52), 0x1234u);
}

TEST(DibLayout, ZeroImageSizeBecomesThePixelAreaSize)
{
    TestBmp bmp(320, 240, 24);
    ASSERT_EQ(bmp.sizeImage, 0u);
    DibImage image;
    DibHeader h = LoadedHeader(bmp, "size0.bmp", image);
    EXPECT_EQ(h.sizeImage, 230400u);
    ASSERT_TRUE(image.SaveBmp("size0_out.bmp"));
    EXPECT_EQ(Le32(ReadBytes("size0_out.bmp"), 14 + 20), 230400u);
}

TEST(DibLayout, NonZeroImageSizeIsKeptAsItIs)
{
    TestBmp bmp(4, 4, 24);
    bmp.sizeImage = 50;  // some writers count padding of their own
    DibImage image;
    EXPECT_EQ(LoadedHeader(bmp, "size50.bmp", image).sizeImage, 50u);
}

// --- The file header SaveBmp writes ---

struct SavedHeader {
    uint32_t bfSize, bfOffBits, fileLength;
};

SavedHeader SaveAndReadHeader(const TestBmp& bmp)
{
    DibImage image;
    EXPECT_TRUE(bmp.Write("hdr_in.bmp"));
    EXPECT_TRUE(image.LoadBmp("hdr_in.bmp"));
    EXPECT_TRUE(image.SaveBmp("hdr_out.bmp"));
    std::vector<uint8_t> out = ReadBytes("hdr_out.bmp");
    if (out.size() < 54) return {0, 0, uint32_t(out.size())};
    EXPECT_EQ(out[0], 'B');
    EXPECT_EQ(out[1], 'M');
    EXPECT_EQ(Le32(out, 6), 0u) << "reserved words";
    return {Le32(out, 2), Le32(out, 10), uint32_t(out.size())};
}

TEST(BmpFileHeader, RowsStartAfterTheHeadersAndTheColourTable)
{
    const struct { const char* name; TestBmp bmp; uint32_t offBits, rowBytes; } cases[] = {
        {"8 bits, full table", MakePalettedBmp(8, 3, 0), 1078, 8 * 3},
        {"8 bits, 16 colours", MakePalettedBmp(8, 3, 16), 118, 8 * 3},
        {"24 bits", TestBmp(3, 5, 24), 54, 12 * 5},
        {"plain 16 bits", TestBmp(3, 5, 16), 54, 8 * 5},
        {"32 bits", TestBmp(3, 5, 32), 54, 12 * 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SavedHeader s = SaveAndReadHeader(c.bmp);
        EXPECT_EQ(s.bfOffBits, c.offBits);
        EXPECT_EQ(s.bfSize, c.offBits + c.rowBytes);
        EXPECT_EQ(s.fileLength, s.bfSize);
    }
}

TEST(BmpFileHeader, BitfieldsStartRowsAt66)
{
    TestBmp bmp(2, 2, 16);
    bmp.SetMasks(0xF800, 0x07E0, 0x001F);
    SavedHeader s = SaveAndReadHeader(bmp);
    EXPECT_EQ(s.bfOffBits, 66u);
    EXPECT_EQ(s.bfSize, 66u + 4 * 2);
    std::vector<uint8_t> out = ReadBytes("hdr_out.bmp");
    ASSERT_GE(out.size(), 66u);
    EXPECT_EQ(Le32(out, 54), 0xF800u);
    EXPECT_EQ(Le32(out, 58), 0x07E0u);
    EXPECT_EQ(Le32(out, 62), 0x001Fu);
}

// --- Load then save ---

class BmpRoundTrip : public testing::TestWithParam<int> {};

TestBmp RoundTripCase(int kind)
{
    switch (kind) {
    case 0: return WellFormed(MakePalettedBmp(7, 5, 0));
    case 1: return WellFormed(MakePalettedBmp(7, 5, 16));
    case 2: { TestBmp b(7, 5, 16); b.SetMasks(0xF800, 0x07E0, 0x001F); return WellFormed(b); }
    case 3: { TestBmp b(7, 5, 16); b.SetMasks(0x7C00, 0x03E0, 0x001F); return WellFormed(b); }
    case 4: return WellFormed(TestBmp(7, 5, 16));
    case 5: return WellFormed(TestBmp(7, 5, 24));
    case 6: return WellFormed(TestBmp(7, 5, 32));
    default: { TestBmp b(7, 5, 32); b.SetMasks(0xFF0000, 0xFF00, 0xFF); return WellFormed(b); }
    }
}

TEST_P(BmpRoundTrip, ReproducesAWellFormedFileByteForByte)
{
    std::vector<uint8_t> in = RoundTripCase(GetParam()).Bytes();
    ASSERT_TRUE(WriteBytes("trip_in.bmp", in));
    DibImage image;
    ASSERT_TRUE(image.LoadBmp("trip_in.bmp"));
    ASSERT_TRUE(image.SaveBmp("trip_out.bmp"));
    EXPECT_EQ(ReadBytes("trip_out.bmp"), in);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, BmpRoundTrip, testing::Range(0, 8));

TEST(BmpSave, ReplacesALongerExistingFile)
{
    ASSERT_TRUE(WriteBytes("replace.bmp", std::vector<uint8_t>(5000, 0x55)));
    TestBmp bmp = WellFormed(TestBmp(2, 2, 24));
    ASSERT_TRUE(bmp.Write("replace_in.bmp"));
    DibImage image;
    ASSERT_TRUE(image.LoadBmp("replace_in.bmp"));
    ASSERT_TRUE(image.SaveBmp("replace.bmp"));
    EXPECT_EQ(ReadBytes("replace.bmp"), bmp.Bytes());
}

TEST(BmpSave, ReportsAFileThatCannotBeCreated)
{
    DibImage image;
    ASSERT_TRUE(TestBmp(2, 2, 24).Write("ok.bmp"));
    ASSERT_TRUE(image.LoadBmp("ok.bmp"));
    EXPECT_FALSE(image.SaveBmp("no_such_folder/out.bmp"));
}

TEST(BmpSave, AnEmptyImageSavesNothing)
{
    DibImage image;
    remove("empty_out.bmp");
    EXPECT_FALSE(image.SaveBmp("empty_out.bmp"));
    EXPECT_TRUE(ReadBytes("empty_out.bmp").empty());
}

#ifndef _WIN32
TEST(BmpSave, ReportsAWriteThatStopsShort)
{
    TestBmp bmp = WellFormed(TestBmp(100, 100, 24));
    ASSERT_TRUE(bmp.Write("big_in.bmp"));
    DibImage image;
    ASSERT_TRUE(image.LoadBmp("big_in.bmp"));
    FileSizeLimit limit(1000);
    EXPECT_FALSE(image.SaveBmp("short_out.bmp"));
}
#endif

// --- Files that end early, and gaps ---

// A file cut off in its last rows loads with zeroes for what is missing; one that
// holds much less than its header claims is a broken or half-written file.
TEST(BmpLoad, ShortFilesLoadOnlyWhenLittleOfThePixelsIsMissing)
{
    TestBmp picture(4, 4, 24);  // 48 pixel bytes
    picture.Fill(0xABCDEF);
    std::vector<uint8_t> huge = TestBmp(2, 2, 32).Bytes();
    WriteLe32(&huge[18], 16384);
    WriteLe32(&huge[22], 16384);
    huge.resize(4096, 0x55);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool loads;
    };
    const std::vector<uint8_t> whole = picture.Bytes();
    const std::vector<uint8_t> paletted = MakePalettedBmp(4, 4, 16).Bytes();
    const Case cases[] = {
        {"cut inside the last row", std::vector<uint8_t>(whole.begin(), whole.begin() + 54 + 44), true},
        {"cut after 7/8 of the rows", std::vector<uint8_t>(whole.begin(), whole.begin() + 54 + 42), true},
        {"one row and 5 bytes", std::vector<uint8_t>(whole.begin(), whole.begin() + 54 + 17), false},
        {"headers only", std::vector<uint8_t>(whole.begin(), whole.begin() + 54), false},
        {"cut inside the colour table", std::vector<uint8_t>(paletted.begin(), paletted.begin() + 54 + 10), false},
        {"16384 x 16384 claimed in 4 KB", huge, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteBytes("short.bmp", c.bytes));
        DibImage image;
        ASSERT_EQ(image.LoadBmp("short.bmp"), c.loads);
        if (!c.loads) {
            EXPECT_EQ(image.dib, nullptr);
            continue;
        }
        const size_t got = c.bytes.size() - 54;
        EXPECT_EQ(memcmp(image.dib + 40, &c.bytes[54], got), 0);
        for (size_t i = got; i < 48; ++i) EXPECT_EQ(image.dib[40 + i], 0) << "byte " << i;
    }
}

TEST(BmpLoad, GapBeforeTheRowsIsTakenAsTheFirstPixels)
{
    TestBmp bmp(2, 2, 24);
    bmp.Fill(0x112233);
    ASSERT_TRUE(bmp.Write("gap.bmp", 4));
    DibImage image;
    ASSERT_TRUE(image.LoadBmp("gap.bmp"));
    const uint8_t* rows = image.dib + 40;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(rows[i], 0xEE);
    EXPECT_EQ(rows[4], 0x33);
    EXPECT_EQ(rows[5], 0x22);
}

// --- Refusals: false, and the image stays empty ---

void ExpectRefused(const std::vector<uint8_t>& bytes, const char* why)
{
    ASSERT_TRUE(WriteBytes("refused.bmp", bytes));
    DibImage image;
    EXPECT_FALSE(image.LoadBmp("refused.bmp")) << why;
    EXPECT_EQ(image.dib, nullptr) << why;
}

void ExpectRefused(const TestBmp& bmp, const char* why) { ExpectRefused(bmp.Bytes(), why); }

TEST(BmpRefusal, MissingFile)
{
    remove("missing.bmp");
    DibImage image;
    EXPECT_FALSE(image.LoadBmp("missing.bmp"));
    EXPECT_EQ(image.dib, nullptr);
}

TEST(BmpRefusal, NotABmpFile)
{
    ExpectRefused(std::vector<uint8_t>{}, "empty file");
    std::vector<uint8_t> jpeg = TestBmp(2, 2, 24).Bytes();
    jpeg[0] = 0xFF;
    jpeg[1] = 0xD8;
    ExpectRefused(jpeg, "JPEG signature");
}

TEST(BmpRefusal, FileShorterThanItsHeaders)
{
    std::vector<uint8_t> bytes = TestBmp(2, 2, 24).Bytes();
    for (size_t n : {53, 30, 14, 2}) {
        bytes.resize(n);
        ExpectRefused(bytes, "short file");
    }
}

TEST(BmpRefusal, InfoHeaderOtherThan40Bytes)
{
    for (uint32_t size : {12u, 39u, 41u, 108u, 124u}) {
        TestBmp bmp(2, 2, 24);
        bmp.headerSize = size;
        ExpectRefused(bmp, "header size");
    }
}

TEST(BmpRefusal, UnsupportedDepths)
{
    for (uint16_t bits : {0, 1, 2, 4, 15, 48, 64}) {
        TestBmp bmp(2, 2, 24);
        bmp.bitCount = bits;
        ExpectRefused(bmp, "depth");
    }
}

TEST(BmpRefusal, CompressionOtherThanRgbOrBitfields)
{
    struct { uint16_t bits; uint32_t compression; } cases[] = {
        {8, 1}, {8, 2}, {8, 3}, {24, 3}, {24, 4}, {24, 5}, {32, 6}, {16, 1},
    };
    for (const auto& c : cases) {
        TestBmp bmp = c.bits == 8 ? MakePalettedBmp(2, 2, 0) : TestBmp(2, 2, c.bits);
        bmp.compression = c.compression;
        ExpectRefused(bmp, "compression");
    }
}

TEST(BmpRefusal, ColourTableAtSixteenBitsOrMore)
{
    for (uint16_t bits : {16, 24, 32}) {
        TestBmp bmp(2, 2, bits);
        bmp.clrUsed = 1;
        bmp.AddColor(1, 2, 3);
        ExpectRefused(bmp, "colour table");
    }
}

TEST(BmpRefusal, MoreThan256Colours)
{
    TestBmp bmp = MakePalettedBmp(2, 2, 0);
    bmp.clrUsed = 257;
    ExpectRefused(bmp, "257 colours");
    bmp.clrUsed = 0xFFFFFFFF;
    ExpectRefused(bmp, "huge colour count");
}

TEST(BmpRefusal, EmptyOrTopDownDimensions)
{
    for (int32_t w : {0, -1, INT32_MIN}) {
        TestBmp bmp(2, 2, 24);
        bmp.width = w;
        ExpectRefused(bmp, "width");
    }
    for (int32_t h : {0, -2, INT32_MIN}) {
        TestBmp bmp(2, 2, 24);
        bmp.height = h;
        ExpectRefused(bmp, "height");
    }
}

TEST(BmpRefusal, SidesBeyondTheLimit)
{
    struct { int32_t w, h; uint16_t bits; } cases[] = {
        {kDibMaxSide + 1, 1, 24}, {1, kDibMaxSide + 1, 24},
        {0x7FFFFFFF, 0x7FFFFFFF, 32}, {0x40000000, 4, 32}, {65536, 65536, 8},
    };
    for (const auto& c : cases) {
        TestBmp bmp(1, 1, c.bits);
        if (c.bits == 8) bmp = MakePalettedBmp(1, 1, 0);
        bmp.width = c.w;
        bmp.height = c.h;
        ExpectRefused(bmp, "size");
    }
}

TEST(BmpLoad, SidesAtTheLimitLoad)
{
    for (bool wide : {true, false}) {
        TestBmp bmp(wide ? kDibMaxSide : 1, wide ? 1 : kDibMaxSide, 32);
        ASSERT_TRUE(bmp.Write("limit.bmp"));
        DibImage image;
        EXPECT_TRUE(image.LoadBmp("limit.bmp"));
    }
}

// --- The fuzz seed corpus ---

TEST(BmpSeedCorpus, CheckedInFilesAreCurrentAndLoad)
{
    for (const CorpusCase& c : CorpusCases()) {
        std::string path = std::string(PELMIX_BMP_CORPUS "/") + c.file;
        EXPECT_EQ(ReadBytes(path), c.bmp.Bytes()) << c.file << ": run bmp_corpus to refresh it";
        DibImage image;
        EXPECT_TRUE(image.LoadBmp(path.c_str())) << c.file;
    }
}

}  // namespace

// Reads the resources back out of the built pelmix.exe and compares them with what
// the program and its users rely on: menu, accelerators, About box, strings, icons.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "resource.h"
#include "test_resources.h"

namespace {

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// Little-endian reader over one resource's bytes; reading past the end fails the test.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint16_t Word()
    {
        if (!Need(2)) return 0;
        uint16_t value = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return value;
    }
    uint32_t Dword()
    {
        uint32_t low = Word();
        return low | static_cast<uint32_t>(Word()) << 16;
    }
    int16_t Short() { return static_cast<int16_t>(Word()); }
    uint8_t Byte()
    {
        if (!Need(1)) return 0;
        return data_[pos_++];
    }
    std::wstring Text()
    {
        std::wstring text;
        while (uint16_t c = Word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    // A name or ordinal field of a dialog template: "#n" for an ordinal.
    std::wstring TextOrOrdinal()
    {
        if (Peek() != 0xFFFF)
            return Text();
        Word();
        return L"#" + std::to_wstring(Word());
    }
    void AlignDword() { pos_ = (pos_ + 3) & ~size_t{3}; }
    bool AtEnd() const { return pos_ >= size_; }
    size_t Position() const { return pos_; }

private:
    uint16_t Peek()
    {
        size_t saved = pos_;
        uint16_t value = Word();
        pos_ = saved;
        return value;
    }
    bool Need(size_t count)
    {
        if (pos_ + count <= size_) return true;
        ADD_FAILURE() << "resource ends early at byte " << pos_;
        pos_ = size_;
        return false;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

class PelmixResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module_ = LoadLibraryExA(PELMIX_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot open " << PELMIX_EXE_PATH; }

    // The bytes of a resource in the Japanese language; empty when there is none.
    static std::vector<uint8_t> Bytes(LPCSTR type, WORD id) { return ResourceBytes(module_, type, id); }

    static HMODULE module_;
};

HMODULE PelmixResources::module_ = nullptr;

// ---- Menu bar 109 ----

struct MenuEntry {
    int depth;
    uint16_t flags;        // MF_* without MF_END
    uint16_t id;           // 0 for popups and separators
    std::wstring text;
};

void ReadMenuLevel(Reader& reader, int depth, std::vector<MenuEntry>& out)
{
    for (;;) {
        uint16_t flags = reader.Word();
        MenuEntry entry{depth, static_cast<uint16_t>(flags & ~MF_END), 0, L""};
        if (!(flags & MF_POPUP))
            entry.id = reader.Word();
        entry.text = reader.Text();
        out.push_back(entry);
        if (flags & MF_POPUP)
            ReadMenuLevel(reader, depth + 1, out);
        if ((flags & MF_END) || reader.AtEnd())
            return;
    }
}

std::vector<MenuEntry> ParseMenu(const std::vector<uint8_t>& bytes)
{
    Reader reader(bytes.data(), bytes.size());
    EXPECT_EQ(reader.Word(), 0) << "a plain menu template (version 0)";
    EXPECT_EQ(reader.Word(), 0) << "with no header extension";
    std::vector<MenuEntry> entries;
    ReadMenuLevel(reader, 0, entries);
    return entries;
}

TEST_F(PelmixResources, MenuBarHasEveryPopupItemAndSeparatorInOrder)
{
    const std::vector<MenuEntry> expected = {
        {0, MF_POPUP, 0, L"ﾌｧｲﾙ(&F)"},
        {1, 0, 32771, L"画像設定"},
        {1, 0, 32775, L"ファイル/FTP設定"},
        {1, 0, 32792, L"FTP接続設定 (ポート・TLS)"},
        {1, 0, 32781, L"画像保存フォルダを開く"},
        {1, 0, 32791, L"ログを開く"},
        {1, 0, 0, L""},
        {1, 0, 105, L"終了(&X)"},
        {0, MF_POPUP, 0, L"処理(&O)"},
        {1, 0, 32774, L"自動処理 (メッセージ付き保存＆アップロード)"},
        {1, 0, 32780, L"自動アップロード時のバックアップ"},
        {1, MF_CHECKED, 32777, L"自動処理でアップロードする"},
        {1, 0, 32790, L"起動時に自動撮影を開始"},
        {1, 0, 0, L""},
        {1, 0, 32772, L"メッセージ付きJPEG保存(&S)\tCtrl+S"},
        {1, 0, 32778, L"番号付きBMP保存\tスペース"},
        {1, 0, 32779, L"番号付きJPG保存\tEnter"},
        {1, 0, 32773, L"アップロード(&U)\tCtrl+U"},
        {0, MF_POPUP, 0, L"表示(&V)"},
        {1, 0, 32776, L"画像をウインドウサイズに引き伸ばし"},
        {0, MF_POPUP, 0, L"ﾍﾙﾌﾟ(&H)"},
        {1, 0, 104, L"ﾊﾞｰｼﾞｮﾝ情報(&A) ..."},
    };
    std::vector<uint8_t> bytes = Bytes(RT_MENU, IDC_PELMIX);
    ASSERT_FALSE(bytes.empty()) << "no Japanese menu 109";
    std::vector<MenuEntry> actual = ParseMenu(bytes);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("menu entry " + std::to_string(i));
        EXPECT_EQ(actual[i].depth, expected[i].depth);
        EXPECT_EQ(actual[i].flags, expected[i].flags) << "no item greyed, disabled or checked but 32777";
        EXPECT_EQ(actual[i].id, expected[i].id);
        EXPECT_TRUE(actual[i].text == expected[i].text);
    }
}

TEST_F(PelmixResources, MenuTextsReachTheProgramAsCodePage932)
{
    HMENU menu = LoadMenuA(module_, MAKEINTRESOURCEA(IDC_PELMIX));
    ASSERT_NE(menu, nullptr);
    char text[256] = "";
    GetMenuStringA(menu, IDM_AUTO, text, sizeof(text), MF_BYCOMMAND);
    // The full-width ampersand stays a character: this item has no mnemonic.
    EXPECT_STREQ(text, "自動処理 (メッセージ付き保存＆アップロード)");
    GetMenuStringA(menu, IDM_SAVE_BMP, text, sizeof(text), MF_BYCOMMAND);
    EXPECT_STREQ(text, "番号付きBMP保存\tスペース");
    GetMenuStringA(menu, 0, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "ﾌｧｲﾙ(&F)");
    EXPECT_EQ(GetMenuState(menu, IDM_AUTO_UPLOAD, MF_BYCOMMAND) & MF_CHECKED, UINT{MF_CHECKED});
    for (UINT id : {IDM_AUTO, IDM_STRETCH, IDM_AUTO_BACKUP})
        EXPECT_EQ(GetMenuState(menu, id, MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED | MF_DISABLED), 0u) << id;
    DestroyMenu(menu);
}

// ---- Accelerator table 109 ----

TEST_F(PelmixResources, AcceleratorsAreAltSlashAltQuestionCtrlSCtrlU)
{
    std::vector<uint8_t> bytes = Bytes(RT_ACCELERATOR, IDC_PELMIX);
    ASSERT_EQ(bytes.size(), 4u * 8u) << "four entries of eight bytes";
    struct Entry { uint16_t flags, key, command; };
    const Entry expected[] = {
        {FALT | FNOINVERT, '/', IDM_ABOUT},
        {FALT | FNOINVERT, '?', IDM_ABOUT},
        {FVIRTKEY | FCONTROL | FNOINVERT, 'S', IDM_SAVE_CAPTIONED},
        {FVIRTKEY | FCONTROL | FNOINVERT, 'U', IDM_UPLOAD},
    };
    Reader reader(bytes.data(), bytes.size());
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("accelerator " + std::to_string(i));
        uint16_t flags = reader.Word();
        EXPECT_EQ(flags & ~0x80, expected[i].flags);
        EXPECT_EQ((flags & 0x80) != 0, i == 3) << "only the last entry ends the table";
        EXPECT_EQ(reader.Word(), expected[i].key);
        EXPECT_EQ(reader.Word(), expected[i].command);
        reader.Word();
    }
}

// ---- About box 103 ----

TEST_F(PelmixResources, AboutBoxTemplateHasItsStylesPlaceFontAndThreeControls)
{
    std::vector<uint8_t> bytes = Bytes(RT_DIALOG, IDD_ABOUTBOX);
    ASSERT_FALSE(bytes.empty()) << "no Japanese dialog 103";
    Reader reader(bytes.data(), bytes.size());
    ASSERT_NE(bytes.size() >= 4 ? bytes[2] | bytes[3] << 8 : 0, 0xFFFF) << "a plain dialog template";

    EXPECT_EQ(reader.Dword(), DWORD{DS_MODALFRAME | DS_SETFONT | WS_CAPTION | WS_SYSMENU}) << "no WS_POPUP";
    EXPECT_EQ(reader.Dword(), 0u) << "no extended style";
    const uint16_t count = reader.Word();
    EXPECT_EQ(count, 3);
    EXPECT_EQ(reader.Short(), 22);
    EXPECT_EQ(reader.Short(), 17);
    EXPECT_EQ(reader.Short(), 231);
    EXPECT_EQ(reader.Short(), 61);
    EXPECT_TRUE(reader.TextOrOrdinal().empty()) << "no menu";
    EXPECT_TRUE(reader.TextOrOrdinal().empty()) << "the standard dialog class";
    EXPECT_TRUE(reader.Text() == L"ﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(reader.Word(), 9) << "point size";
    EXPECT_TRUE(reader.Text() == L"ＭＳ Ｐゴシック");

    struct Control {
        DWORD style;
        short x, y, cx, cy;
        uint16_t id;
        std::wstring className, text;
    };
    const Control expected[] = {
        {WS_CHILD | WS_VISIBLE | SS_ICON, 14, 19, 20, 20, 2, L"#130", L"#107"},
        {WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 54, 35, 119, 8, 0xFFFF, L"#130", L""},
        {WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, 195, 6, 30, 11, IDOK, L"#128", L"OK"},
    };
    for (int i = 0; i < count && i < 3; ++i) {
        SCOPED_TRACE("control " + std::to_string(i));
        reader.AlignDword();
        EXPECT_EQ(reader.Dword(), expected[i].style);
        EXPECT_EQ(reader.Dword(), 0u);
        EXPECT_EQ(reader.Short(), expected[i].x);
        EXPECT_EQ(reader.Short(), expected[i].y);
        EXPECT_EQ(reader.Short(), expected[i].cx);
        EXPECT_EQ(reader.Short(), expected[i].cy);
        EXPECT_EQ(reader.Word(), expected[i].id);
        EXPECT_TRUE(reader.TextOrOrdinal() == expected[i].className);
        std::wstring text = reader.TextOrOrdinal();
        if (i == 1)
            EXPECT_FALSE(text.empty()) << "the About box's line of text";
        else
            EXPECT_TRUE(text == expected[i].text);
        uint16_t extra = reader.Word();
        for (uint16_t b = 0; b < extra; ++b) reader.Byte();
    }
}

// ---- Strings ----

TEST_F(PelmixResources, StringsAreTheTitleAndTheClassName)
{
    char text[100] = "";
    EXPECT_EQ(LoadStringA(module_, IDS_APP_TITLE, text, sizeof(text)), 6);
    EXPECT_STREQ(text, "Pelmix");
    EXPECT_EQ(LoadStringA(module_, IDC_PELMIX, text, sizeof(text)), 6);
    EXPECT_STREQ(text, "PELMIX");
    // Both live in block 7 (ids 96..111) of the string table, in Japanese.
    EXPECT_NE(FindResourceExA(module_, RT_STRING, MAKEINTRESOURCEA(IDS_APP_TITLE / 16 + 1), kJapanese), nullptr);
}

// ---- Icons ----

struct IconImage { int width, height, colours, bits; };

// The directory entries of an icon group, each checked against the image it names.
std::vector<IconImage> ReadIconGroup(const std::vector<uint8_t>& group,
                                     std::vector<uint8_t> (*imageBytes)(WORD))
{
    std::vector<IconImage> out;
    Reader reader(group.data(), group.size());
    EXPECT_EQ(reader.Word(), 0);
    EXPECT_EQ(reader.Word(), 1) << "an icon group, not a cursor group";
    const uint16_t count = reader.Word();
    for (uint16_t i = 0; i < count; ++i) {
        IconImage entry{reader.Byte(), reader.Byte(), reader.Byte(), 0};
        reader.Byte();
        reader.Word();  // planes
        entry.bits = reader.Word();
        reader.Dword();
        const std::vector<uint8_t> bytes = imageBytes(reader.Word());
        Reader header(bytes.data(), bytes.size());
        EXPECT_EQ(header.Dword(), 40u);
        EXPECT_EQ(static_cast<int>(header.Dword()), entry.width);
        EXPECT_EQ(static_cast<int>(header.Dword()), entry.height * 2) << "colour and mask rows";
        header.Word();
        EXPECT_EQ(header.Word(), entry.bits);
        out.push_back(entry);
    }
    return out;
}

class PelmixIcons : public PelmixResources {
protected:
    static std::vector<uint8_t> Image(WORD id) { return Bytes(RT_ICON, id); }
};

TEST_F(PelmixIcons, Group107Has32And16PixelsAnd108Has16PixelsAllIn16Colours)
{
    const struct {
        WORD id;
        std::vector<int> sizes;
    } groups[] = {{IDI_PELMIX, {32, 16}}, {IDI_SMALL, {16}}};
    for (const auto& expected : groups) {
        SCOPED_TRACE("icon group " + std::to_string(expected.id));
        std::vector<uint8_t> group = Bytes(RT_GROUP_ICON, expected.id);
        ASSERT_FALSE(group.empty()) << "no Japanese icon group";
        std::vector<IconImage> images = ReadIconGroup(group, Image);
        ASSERT_EQ(images.size(), expected.sizes.size());
        for (size_t i = 0; i < images.size(); ++i) {
            EXPECT_EQ(images[i].width, expected.sizes[i]);
            EXPECT_EQ(images[i].height, expected.sizes[i]);
            EXPECT_EQ(images[i].colours, 16);
            EXPECT_EQ(images[i].bits, 4);
        }
    }
}

TEST_F(PelmixIcons, TheSystemLoadsBothGroupsAtTheirSizes)
{
    for (WORD id : {IDI_PELMIX, IDI_SMALL}) {
        HICON icon = static_cast<HICON>(LoadImageA(module_, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
        EXPECT_NE(icon, nullptr) << id;
        if (icon) DestroyIcon(icon);
    }
    HICON big = static_cast<HICON>(LoadImageA(module_, MAKEINTRESOURCEA(IDI_PELMIX), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(big, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(big, &info));
    BITMAP colour = {};
    GetObjectA(info.hbmColor, sizeof(colour), &colour);
    EXPECT_EQ(colour.bmWidth, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(big);
}

}  // namespace

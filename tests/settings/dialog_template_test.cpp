// Dialog 129 as it is built into pelmix.exe, read back from the exe's resources and
// parsed byte by byte: header, font, and every control in template (= tab) order.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resource.h"
#include "test_resources.h"

namespace {

struct Name {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::u16string text;
};

// Little-endian reader over the template bytes; any read past the end marks it broken.
class TemplateReader {
public:
    TemplateReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint16_t Word()
    {
        if (position_ + 2 > size_) {
            broken_ = true;
            return 0;
        }
        uint16_t value = static_cast<uint16_t>(data_[position_] | (data_[position_ + 1] << 8));
        position_ += 2;
        return value;
    }

    uint32_t Dword()
    {
        uint32_t low = Word();
        return low | (static_cast<uint32_t>(Word()) << 16);
    }

    int16_t Short() { return static_cast<int16_t>(Word()); }

    Name ReadName()
    {
        Name name;
        uint16_t first = Word();
        if (first == 0xFFFF) {
            name.isOrdinal = true;
            name.ordinal = Word();
            return name;
        }
        for (uint16_t c = first; c != 0 && !broken_; c = Word())
            name.text.push_back(static_cast<char16_t>(c));
        return name;
    }

    void AlignToDword() { position_ = (position_ + 3) & ~static_cast<size_t>(3); }
    bool broken() const { return broken_; }
    size_t position() const { return position_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    bool broken_ = false;
};

struct DialogHeader {
    uint32_t style = 0, exStyle = 0;
    uint16_t count = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    Name menu, windowClass, caption;
    uint16_t pointSize = 0;
    Name font;
};

struct Control {
    uint32_t style = 0, exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint16_t id = 0;
    Name windowClass, text;
    uint16_t extraBytes = 0;
};

struct ParsedDialog {
    bool extended = false;
    DialogHeader header;
    std::vector<Control> controls;
    bool broken = false;
    size_t used = 0;
};

ParsedDialog ParseDialog(const uint8_t* data, size_t size)
{
    ParsedDialog dialog;
    TemplateReader reader(data, size);
    if (size >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF) {
        dialog.extended = true;
        return dialog;
    }
    DialogHeader& header = dialog.header;
    header.style = reader.Dword();
    header.exStyle = reader.Dword();
    header.count = reader.Word();
    header.x = reader.Short();
    header.y = reader.Short();
    header.cx = reader.Short();
    header.cy = reader.Short();
    header.menu = reader.ReadName();
    header.windowClass = reader.ReadName();
    header.caption = reader.ReadName();
    if (header.style & DS_SETFONT) {
        header.pointSize = reader.Word();
        header.font = reader.ReadName();
    }
    for (uint16_t i = 0; i < header.count && !reader.broken(); ++i) {
        reader.AlignToDword();
        Control control;
        control.style = reader.Dword();
        control.exStyle = reader.Dword();
        control.x = reader.Short();
        control.y = reader.Short();
        control.cx = reader.Short();
        control.cy = reader.Short();
        control.id = reader.Word();
        control.windowClass = reader.ReadName();
        control.text = reader.ReadName();
        control.extraBytes = reader.Word();
        for (uint16_t b = 0; b < control.extraBytes; b += 2)
            reader.Word();
        dialog.controls.push_back(control);
    }
    dialog.broken = reader.broken();
    dialog.used = reader.position();
    return dialog;
}

struct TemplateBytes {
    std::vector<uint8_t> bytes;
    bool found = false;
};

TemplateBytes LoadDialog129(HMODULE module)
{
    TemplateBytes result;
    result.bytes = ResourceBytes(module, reinterpret_cast<LPCSTR>(RT_DIALOG), IDD_SETTINGS);
    result.found = !result.bytes.empty();
    return result;
}

// pelmix.exe loaded as a data file: its resources only, no code run.
class PelmixExeResources {
public:
    PelmixExeResources()
    {
        std::string path = std::string("Z:") + PELMIX_EXE_PATH;
        for (char& c : path)
            if (c == '/')
                c = '\\';
        module_ = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~PelmixExeResources()
    {
        if (module_)
            FreeLibrary(module_);
    }
    PelmixExeResources(const PelmixExeResources&) = delete;
    PelmixExeResources& operator=(const PelmixExeResources&) = delete;

    HMODULE module() const { return module_; }

private:
    HMODULE module_ = nullptr;
};

constexpr uint16_t kButton = 0x0080;
constexpr uint16_t kEdit = 0x0081;

// Dialog 129 must stay exactly as it is; this is the 64-bit FNV-1a of its compiled
// template, taken from a good build. A deliberate change to the .rc updates it.
constexpr size_t kReferenceSize = 898;
constexpr uint64_t kReferenceHash = 0x49a88dac3e8c63deull;

uint64_t Fnv1a(const std::vector<uint8_t>& bytes)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t byte : bytes)
        hash = (hash ^ byte) * 0x100000001b3ull;
    return hash;
}

// The fields the settings code reads and writes by id.
const int kFieldIds[] = {IDC_ST, IDC_MSG, IDC_LOCAL_DIR, IDC_SERVER, IDC_ID,
                         IDC_PASS, IDC_DUT_JPG, IDC_DIR, IDC_JPEG_Q, IDC_TIMER};

class SettingsDialogTemplate : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(exe_.module(), nullptr) << "cannot load " << PELMIX_EXE_PATH;
        bytes_ = LoadDialog129(exe_.module());
        ASSERT_TRUE(bytes_.found) << "no Japanese dialog 129 in pelmix.exe";
        dialog_ = ParseDialog(bytes_.bytes.data(), bytes_.bytes.size());
        ASSERT_FALSE(dialog_.extended) << "expected a plain DLGTEMPLATE";
        ASSERT_FALSE(dialog_.broken) << "template ends early";
    }

    PelmixExeResources exe_;
    TemplateBytes bytes_;
    ParsedDialog dialog_;
};

const Control* FindControl(const std::vector<Control>& controls, int id)
{
    for (const Control& control : controls)
        if (control.id == static_cast<uint16_t>(id))
            return &control;
    return nullptr;
}

bool Inside(const Control& inner, const Control& outer)
{
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.cx <= outer.x + outer.cx &&
           inner.y + inner.cy <= outer.y + outer.cy;
}

}  // namespace

TEST_F(SettingsDialogTemplate, HasItsCaptionFontAndStyles)
{
    const DialogHeader& header = dialog_.header;
    EXPECT_EQ(header.style, static_cast<uint32_t>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_TRUE(!header.menu.isOrdinal && header.menu.text.empty()) << "no menu";
    EXPECT_TRUE(!header.windowClass.isOrdinal && header.windowClass.text.empty()) << "the standard dialog class";
    EXPECT_FALSE(header.caption.isOrdinal);
    EXPECT_EQ(header.caption.text, u"設定");
    EXPECT_EQ(header.pointSize, 9);
    EXPECT_FALSE(header.font.isOrdinal);
    EXPECT_EQ(header.font.text, u"ＭＳ Ｐゴシック");
    EXPECT_EQ(dialog_.used, bytes_.bytes.size()) << "nothing after the last control";
}

TEST_F(SettingsDialogTemplate, IsByteForByteTheReferenceTemplate)
{
    EXPECT_EQ(bytes_.bytes.size(), kReferenceSize);
    EXPECT_EQ(Fnv1a(bytes_.bytes), kReferenceHash) << std::hex << "0x" << Fnv1a(bytes_.bytes);
}

TEST_F(SettingsDialogTemplate, EveryFieldTheCodeUsesIsOneTabStopEditInsideTheDialog)
{
    Control whole;
    whole.cx = dialog_.header.cx;
    whole.cy = dialog_.header.cy;
    for (const Control& control : dialog_.controls) {
        EXPECT_TRUE(Inside(control, whole)) << control.id;
        EXPECT_TRUE(control.windowClass.isOrdinal) << control.id;
        if (control.id != static_cast<uint16_t>(IDC_STATIC)) {
            EXPECT_EQ(FindControl(dialog_.controls, control.id), &control) << "duplicate id " << control.id;
        }
    }
    for (int id : kFieldIds) {
        const Control* field = FindControl(dialog_.controls, id);
        ASSERT_NE(field, nullptr) << id;
        EXPECT_EQ(field->windowClass.ordinal, kEdit) << id;
        EXPECT_EQ(field->style & (WS_TABSTOP | WS_VISIBLE | WS_DISABLED), static_cast<DWORD>(WS_TABSTOP | WS_VISIBLE)) << id;
        EXPECT_EQ((field->style & ES_PASSWORD) != 0, id == IDC_PASS) << id;
    }
    for (int id : {IDOK, IDCANCEL}) {
        const Control* button = FindControl(dialog_.controls, id);
        ASSERT_NE(button, nullptr) << id;
        EXPECT_EQ(button->windowClass.ordinal, kButton) << id;
        EXPECT_EQ(button->style & 0xF, static_cast<DWORD>(id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)) << id;
    }
}

TEST_F(SettingsDialogTemplate, TheGroupBoxFramesExactlyTheFiveUploadFields)
{
    const Control* group = nullptr;
    for (const Control& control : dialog_.controls)
        if ((control.style & 0xF) == BS_GROUPBOX && control.windowClass.ordinal == kButton)
            group = &control;
    ASSERT_NE(group, nullptr);
    for (int id : {IDC_SERVER, IDC_ID, IDC_PASS, IDC_DUT_JPG, IDC_DIR}) {
        const Control* field = FindControl(dialog_.controls, id);
        ASSERT_NE(field, nullptr);
        EXPECT_TRUE(Inside(*field, *group)) << id;
    }
    for (int id : {IDC_ST, IDC_MSG, IDC_LOCAL_DIR, IDC_JPEG_Q, IDC_TIMER, IDOK, IDCANCEL}) {
        const Control* field = FindControl(dialog_.controls, id);
        ASSERT_NE(field, nullptr);
        EXPECT_FALSE(Inside(*field, *group)) << id;
    }
}

TEST_F(SettingsDialogTemplate, FieldsFromTheTopFollowTheirReadingOrder)
{
    auto top = [this](int id) { return FindControl(dialog_.controls, id)->y; };
    std::vector<int> outside = {IDC_MSG, IDC_ST, IDC_LOCAL_DIR, IDC_JPEG_Q, IDC_TIMER};
    std::vector<int> inside = {IDC_SERVER, IDC_ID, IDC_PASS, IDC_DUT_JPG, IDC_DIR};
    for (const auto& column : {outside, inside})
        for (size_t i = 1; i < column.size(); ++i)
            EXPECT_LT(top(column[i - 1]), top(column[i])) << column[i];
}

TEST_F(SettingsDialogTemplate, TheTestProgramsUseTheSameTemplateAsPelmixExe)
{
    TemplateBytes own = LoadDialog129(GetModuleHandleA(nullptr));
    ASSERT_TRUE(own.found);
    EXPECT_EQ(own.bytes, bytes_.bytes);
}

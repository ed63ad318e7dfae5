// The real settings dialog (its template compiled into this program from res/), opened
// modally and used as a user would, with the real INI file behind it.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "connection_dialog.h"
#include "resource.h"
#include "settings_store.h"
#include "settings_test_support.h"

namespace {

const char kDefaultsFile[] =
    "[SETTING]\r\n"
    "st=pc\r\n"
    "msg=[%y/%m/%d %H:%M]\r\n"
    "local_dir=.\r\n"
    "server=\r\n"
    "id=\r\n"
    "pass=\r\n"
    "dut_jpg=\r\n"
    "dir=\r\n"
    "jpeg_q=75\r\n"
    "timer=60\r\n";

const int kAllFields[] = {IDC_ST,   IDC_MSG,  IDC_LOCAL_DIR, IDC_SERVER,  IDC_ID,
                          IDC_PASS, IDC_DIR,  IDC_JPEG_Q,    IDC_DUT_JPG, IDC_TIMER};

// Clears a field and types the text into it, the way a user replaces a value.
DialogStep Type(int controlId, const std::string& text)
{
    return [controlId, text](HWND dialog) {
        HWND control = GetDlgItem(dialog, controlId);
        SetFocus(control);
        SendMessageA(control, EM_SETSEL, 0, -1);
        PostMessageA(control, WM_CHAR, VK_BACK, 1);
        TypeText(control, text);
    };
}

DialogStep SetText(int controlId, const std::string& text)
{
    return [controlId, text](HWND dialog) { SetDlgItemTextA(dialog, controlId, text.c_str()); };
}

DialogStep Click(int buttonId)
{
    return [buttonId](HWND dialog) { ClickButton(dialog, buttonId); };
}

DialogStep Key(WPARAM virtualKey)
{
    return [virtualKey](HWND dialog) { PressKey(dialog, virtualKey); };
}

// Records what the fields show, so the test can look at it after the dialog is gone.
DialogStep Capture(std::vector<std::string>* shown)
{
    return [shown](HWND dialog) {
        shown->clear();
        for (int id : kAllFields)
            shown->push_back(FieldText(dialog, id));
    };
}

// Opens the dialog, notes what its fields show and cancels it.
std::vector<std::string> FieldsShownOnOpening()
{
    std::vector<std::string> shown;
    EXPECT_EQ(RunSettingsDialog({Capture(&shown), Click(IDCANCEL)}), IDCANCEL);
    return shown;
}

std::string Line(const std::string& key, const std::string& value)
{
    return key + "=" + value + "\r\n";
}

}  // namespace

using SettingsDialogOpening = IniFolderTest;

TEST_F(SettingsDialogOpening, WithoutAFileTheFieldsShowTheDefaults)
{
    std::vector<std::string> shown = FieldsShownOnOpening();
    // Field order of kAllFields: st, msg, local_dir, server, id, pass, dir, jpeg_q, dut_jpg, timer.
    EXPECT_EQ(shown, (std::vector<std::string>{"pc", "[%y/%m/%d %H:%M]", ".", "", "", "", "", "75", "", "60"}));
    EXPECT_FALSE(FileExists(kIni));
}

TEST_F(SettingsDialogOpening, TheFieldsShowTheFileAsItStandsAtEachOpening)
{
    WriteFileBytes(kIni,
                   "[SETTING]\r\nst=cam\r\nmsg=%H:%M\r\nlocal_dir=C:\\img\r\nserver=ftp.example\r\nid=me\r\n"
                   "pass=pw\r\ndut_jpg=live.jpg\r\ndir=/www\r\njpeg_q=90\r\ntimer=300\r\n");
    std::vector<std::string> shown = FieldsShownOnOpening();
    EXPECT_EQ(shown, (std::vector<std::string>{"cam", "%H:%M", "C:\\img", "ftp.example", "me", "pw", "/www", "90",
                                               "live.jpg", "300"}));

    // Edited by hand while the program runs: the next opening shows the new text.
    WriteFileBytes(kIni, "[SETTING]\r\nst=door\r\ntimer=5\r\n");
    AgeFileTimeForward(kIni);
    shown = FieldsShownOnOpening();
    EXPECT_EQ(shown[0], "door");
    EXPECT_EQ(shown[1], "[%y/%m/%d %H:%M]");
    EXPECT_EQ(shown[9], "5");
}

TEST_F(SettingsDialogOpening, ANegativeNumberIsShownAsItsUnsignedValue)
{
    WriteFileBytes(kIni, "[SETTING]\r\njpeg_q=-1\r\ntimer=-2147483648\r\n");
    std::vector<std::string> shown = FieldsShownOnOpening();
    EXPECT_EQ(shown[7], "4294967295");
    EXPECT_EQ(shown[9], "2147483648");
}

TEST_F(SettingsDialogOpening, AValueLongerThan255CharactersIsShownCutTo255)
{
    std::string value(300, 'q');
    WriteFileBytes(kIni, "[SETTING]\r\n" + Line("msg", value));
    std::vector<std::string> shown = FieldsShownOnOpening();
    EXPECT_EQ(shown[1], value.substr(0, 255));
}

TEST_F(SettingsDialogOpening, TheFocusStartsOnOkAndTabFollowsTheTemplateOrder)
{
    std::vector<int> order;
    RunSettingsDialog({[&order](HWND dialog) {
                           HWND control = GetFocus();
                           for (int i = 0; i < 13 && control; ++i) {
                               order.push_back(GetDlgCtrlID(control));
                               control = GetNextDlgTabItem(dialog, control, FALSE);
                           }
                       },
                       Click(IDCANCEL)});
    EXPECT_EQ(order, (std::vector<int>{IDOK, IDCANCEL, IDC_ST, IDC_MSG, IDC_LOCAL_DIR, IDC_SERVER, IDC_ID, IDC_PASS,
                                       IDC_DIR, IDC_DUT_JPG, IDC_JPEG_Q, IDC_TIMER, IDOK}));
}

TEST_F(SettingsDialogOpening, TabKeysMoveTheFocusThroughTheFields)
{
    std::vector<int> focused;
    auto record = [&focused](HWND) { focused.push_back(GetDlgCtrlID(GetFocus())); };
    RunSettingsDialog({record, Key(VK_TAB), record, Key(VK_TAB), record, Key(VK_TAB), record, Click(IDCANCEL)});
    EXPECT_EQ(focused, (std::vector<int>{IDOK, IDCANCEL, IDC_ST, IDC_MSG}));
}

TEST_F(SettingsDialogOpening, ThePasswordIsMaskedOnScreen)
{
    WriteFileBytes(kIni, "[SETTING]\r\npass=secret\r\n");
    LONG style = 0;
    LRESULT maskCharacter = 0;
    std::vector<std::string> shown;
    RunSettingsDialog({[&](HWND dialog) {
                           style = GetWindowLongA(GetDlgItem(dialog, IDC_PASS), GWL_STYLE);
                           maskCharacter = SendDlgItemMessageA(dialog, IDC_PASS, EM_GETPASSWORDCHAR, 0, 0);
                       },
                       Capture(&shown), Click(IDCANCEL)});
    EXPECT_TRUE(style & ES_PASSWORD);
    EXPECT_NE(maskCharacter, 0);
    EXPECT_EQ(shown[5], "secret");
}

BOOL CALLBACK CollectText(HWND control, LPARAM param)
{
    char text[260] = "";
    GetWindowTextA(control, text, sizeof(text));
    reinterpret_cast<std::vector<std::string>*>(param)->push_back(text);
    return TRUE;
}

TEST_F(SettingsDialogOpening, TheJapaneseTextsReachTheProgramAsCodePage932)
{
    std::string caption;
    std::vector<std::string> texts;
    RunSettingsDialog({[&](HWND dialog) {
                           char text[64] = "";
                           GetWindowTextA(dialog, text, sizeof(text));
                           caption = text;
                           EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&texts));
                       },
                       Click(IDCANCEL)});
    // These literals are compiled to code page 932 bytes.
    EXPECT_EQ(caption, "設定");
    ASSERT_EQ(texts.size(), 23u);
    EXPECT_EQ(texts[1], "キャンセル");
    EXPECT_EQ(texts[4], "FTPのアップロードのための設定");
    EXPECT_EQ(texts[17], "画像名：");
    EXPECT_EQ(std::string("設定"), "\x90\xdd\x92\xe8");
}

using SettingsDialogOk = IniFolderTest;

TEST_F(SettingsDialogOk, WithoutAFileOkCreatesItWithAllTenKeysInOrder)
{
    EXPECT_EQ(RunSettingsDialog({Click(IDOK)}), IDOK);
    EXPECT_EQ(ReadFileBytes(kIni), kDefaultsFile);
}

TEST_F(SettingsDialogOk, TypedValuesAreStoredAndReadBackByTheRestOfTheProgram)
{
    EXPECT_EQ(RunSettingsDialog({Type(IDC_ST, "cam"), Type(IDC_SERVER, "127.0.0.1"), Type(IDC_ID, "user"),
                                 Type(IDC_PASS, "p@ss word"), Type(IDC_DUT_JPG, "live.jpg"), Type(IDC_DIR, "/pub"),
                                 Type(IDC_JPEG_Q, "90"), Type(IDC_TIMER, "120"), Click(IDOK)}),
              IDOK);
    EXPECT_EQ(ReadFileBytes(kIni), "[SETTING]\r\nst=cam\r\nmsg=[%y/%m/%d %H:%M]\r\nlocal_dir=.\r\n"
                                   "server=127.0.0.1\r\nid=user\r\npass=p@ss word\r\ndut_jpg=live.jpg\r\n"
                                   "dir=/pub\r\njpeg_q=90\r\ntimer=120\r\n");
    EXPECT_EQ(ReadSetting(Setting::st), "cam");
    EXPECT_EQ(ReadSetting(Setting::pass), "p@ss word");
    EXPECT_EQ(ReadSetting(Setting::jpegQ), 90);
    EXPECT_EQ(ReadSetting(Setting::timer), 120);
}

TEST_F(SettingsDialogOk, TheEnterKeyIsOk)
{
    EXPECT_EQ(RunSettingsDialog({Type(IDC_ST, "cam"), Key(VK_RETURN)}), IDOK);
    EXPECT_EQ(ReadSetting(Setting::st), "cam");
    EXPECT_EQ(ReadSetting(Setting::timer), 60);
}

TEST_F(SettingsDialogOk, OkWithoutEditingKeepsValuesAddsMissingKeysAndCutsLongOnes)
{
    std::string longValue(300, 'z');
    WriteFileBytes(kIni, "[SETTING]\r\ntimer=5\r\nst=cam\r\nmsg=" + longValue + "\r\n");
    EXPECT_EQ(RunSettingsDialog({Click(IDOK)}), IDOK);
    EXPECT_EQ(ReadFileBytes(kIni), "[SETTING]\r\ntimer=5\r\nst=cam\r\n" + Line("msg", longValue.substr(0, 255)) +
                                       "local_dir=.\r\nserver=\r\nid=\r\npass=\r\ndut_jpg=\r\ndir=\r\njpeg_q=75\r\n");
}

TEST_F(SettingsDialogOk, AnEmptyFieldIsStoredEmptyAndReadsBackEmpty)
{
    RunSettingsDialog({SetText(IDC_ST, ""), SetText(IDC_LOCAL_DIR, ""), Click(IDOK)});
    std::string file = ReadFileBytes(kIni);
    EXPECT_NE(file.find("\r\nst=\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("\r\nlocal_dir=\r\n"), std::string::npos) << file;
    EXPECT_EQ(ReadSetting(Setting::st), "");
    EXPECT_EQ(ReadSetting(Setting::localDir), "");

    std::vector<std::string> shown = FieldsShownOnOpening();
    EXPECT_EQ(shown[0], "");
    EXPECT_EQ(shown[2], "");
}

TEST_F(SettingsDialogOk, TextIsWrittenUnchangedUpTo259Characters)
{
    std::string full(259, 'a');
    full[0] = 'S';
    full[258] = 'E';
    std::string tooLong = full + "XYZ";
    std::string japanese = "撮影 %Y年%m月%d日";
    RunSettingsDialog({SetText(IDC_MSG, full), SetText(IDC_DIR, tooLong), SetText(IDC_ST, japanese), Click(IDOK)});
    std::string file = ReadFileBytes(kIni);
    EXPECT_NE(file.find(Line("msg", full)), std::string::npos);
    EXPECT_NE(file.find(Line("dir", full)), std::string::npos) << "a longer text is cut to 259 characters";
    EXPECT_NE(file.find(Line("st", japanese)), std::string::npos);
}

TEST_F(SettingsDialogOk, ALongDoubleByteTextIsCutBeforeAHalfCharacter)
{
    // 130 two-byte characters do not fit in 259 bytes; the 130th must go whole.
    RunSettingsDialog({SetText(IDC_MSG, Kanji(130)), Click(IDOK)});
    EXPECT_NE(ReadFileBytes(kIni).find(Line("msg", Kanji(129))), std::string::npos);
}

TEST_F(SettingsDialogOk, ThePasswordIsStoredAsPlainTextExactlyAsTyped)
{
    RunSettingsDialog({Type(IDC_PASS, "pa=ss; #1\"x"), Click(IDOK)});
    EXPECT_NE(ReadFileBytes(kIni).find(Line("pass", "pa=ss; #1\"x")), std::string::npos);
    EXPECT_EQ(ReadSetting(Setting::pass), "pa=ss; #1\"x");
}

struct NumberCase {
    const char* typed;
    const char* stored;
};

void PrintTo(const NumberCase& number, std::ostream* out)
{
    *out << "\"" << number.typed << "\" stored as " << number.stored;
}

class SettingsDialogNumbers : public IniFolderTest, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(SettingsDialogNumbers, AreReadUnsignedAndStoredAsSignedText)
{
    const NumberCase& number = GetParam();
    RunSettingsDialog({SetText(IDC_JPEG_Q, number.typed), SetText(IDC_TIMER, number.typed), Click(IDOK)});
    std::string file = ReadFileBytes(kIni);
    EXPECT_NE(file.find(Line("jpeg_q", number.stored) + Line("timer", number.stored)), std::string::npos) << file;
}

INSTANTIATE_TEST_SUITE_P(
    Typed, SettingsDialogNumbers,
    ::testing::Values(NumberCase{"0", "0"}, NumberCase{"500", "500"}, NumberCase{"", "0"}, NumberCase{"abc", "0"},
                      NumberCase{"-5", "0"}, NumberCase{"2147483647", "2147483647"},
                      NumberCase{"2147483648", "-2147483648"}, NumberCase{"4294967295", "-1"},
                      NumberCase{"4294967296", "0"}, NumberCase{"99999999999999999999", "0"},
                      NumberCase{"0000000000000000000000000000000030", "30"}));

TEST_F(SettingsDialogOk, A4294967295AfterAnOverflowIsStillMinusOne)
{
    RunSettingsDialog({SetText(IDC_JPEG_Q, "99999999999999999999"), SetText(IDC_TIMER, "4294967295"), Click(IDOK)});
    std::string file = ReadFileBytes(kIni);
    EXPECT_NE(file.find("jpeg_q=0\r\ntimer=-1\r\n"), std::string::npos) << file;
}

TEST_F(SettingsDialogOk, StoredNumbersOutsideTheSignedRangeSurviveAnotherOk)
{
    WriteFileBytes(kIni, "[SETTING]\r\njpeg_q=-1\r\ntimer=-2147483648\r\n");
    RunSettingsDialog({Click(IDOK)});
    EXPECT_EQ(ReadSetting(Setting::jpegQ), -1);
    EXPECT_EQ(ReadSetting(Setting::timer), INT32_MIN);
}

TEST_F(SettingsDialogOk, AReadOnlyFileIsLeftUntouchedAndTheDialogStillCloses)
{
    WriteFileBytes(kIni, kDefaultsFile);
    ASSERT_TRUE(SetFileAttributesA(kIni, FILE_ATTRIBUTE_READONLY));
    FILETIME before = LastWriteTime(kIni);
    EXPECT_EQ(RunSettingsDialog({Type(IDC_ST, "cam"), Type(IDC_TIMER, "5"), Click(IDOK)}), IDOK);
    EXPECT_EQ(ReadFileBytes(kIni), kDefaultsFile);
    FILETIME after = LastWriteTime(kIni);
    EXPECT_EQ(CompareFileTime(&before, &after), 0);
    EXPECT_EQ(ReadSetting(Setting::st), "pc");
    EXPECT_EQ(ReadSetting(Setting::timer), 60);
}

using SettingsDialogCancel = IniFolderTest;

TEST_F(SettingsDialogCancel, CancelAfterEditingLeavesTheFileUntouched)
{
    const std::string before = "[SETTING]\r\nst=cam\r\ntimer=30\r\n";
    WriteFileBytes(kIni, before);
    FILETIME stamp = LastWriteTime(kIni);
    EXPECT_EQ(RunSettingsDialog({Type(IDC_ST, "other"), Type(IDC_TIMER, "5"), SetText(IDC_SERVER, "x"),
                                 Click(IDCANCEL)}),
              IDCANCEL);
    EXPECT_EQ(ReadFileBytes(kIni), before);
    FILETIME after = LastWriteTime(kIni);
    EXPECT_EQ(CompareFileTime(&stamp, &after), 0);
}

TEST_F(SettingsDialogCancel, CancelWithoutAFileCreatesNone)
{
    EXPECT_EQ(RunSettingsDialog({Type(IDC_ST, "cam"), Click(IDCANCEL)}), IDCANCEL);
    EXPECT_FALSE(FileExists(kIni));
}

TEST_F(SettingsDialogCancel, TheEscapeKeyIsCancel)
{
    WriteFileBytes(kIni, kDefaultsFile);
    FILETIME stamp = LastWriteTime(kIni);
    EXPECT_EQ(RunSettingsDialog({Type(IDC_ST, "cam"), Key(VK_ESCAPE)}), IDCANCEL);
    EXPECT_EQ(ReadFileBytes(kIni), kDefaultsFile);
    FILETIME after = LastWriteTime(kIni);
    EXPECT_EQ(CompareFileTime(&stamp, &after), 0);
}

TEST_F(SettingsDialogCancel, TheCloseBoxIsCancel)
{
    EXPECT_EQ(RunSettingsDialog({Type(IDC_ST, "cam"),
                                 [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }}),
              IDCANCEL);
    EXPECT_FALSE(FileExists(kIni));
}

TEST_F(SettingsDialogCancel, OtherCommandsLeaveTheDialogOpen)
{
    bool stillOpen = false;
    INT_PTR result = RunSettingsDialog(
        {[](HWND dialog) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ST, EN_CHANGE), 0); },
         [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, 3, 0); },
         [&stillOpen](HWND dialog) { stillOpen = IsWindowVisible(dialog) != FALSE; }, Click(IDCANCEL)});
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(FileExists(kIni));
}

namespace {

struct ConnectionShown {
    std::string port;
    LRESULT mode, tls;
    UINT atomic, insecure;
    bool operator==(const ConnectionShown& o) const
    {
        return port == o.port && mode == o.mode && tls == o.tls && atomic == o.atomic && insecure == o.insecure;
    }
};

DialogStep CaptureConnection(ConnectionShown* shown)
{
    return [shown](HWND dialog) {
        *shown = {FieldText(dialog, IDC_FTP_PORT), SendDlgItemMessageA(dialog, IDC_FTP_MODE, CB_GETCURSEL, 0, 0),
                  SendDlgItemMessageA(dialog, IDC_FTP_TLS, CB_GETCURSEL, 0, 0),
                  IsDlgButtonChecked(dialog, IDC_FTP_ATOMIC), IsDlgButtonChecked(dialog, IDC_FTP_TLS_INSECURE)};
    };
}

DialogStep Choose(int comboId, int index)
{
    return [comboId, index](HWND dialog) { SendDlgItemMessageA(dialog, comboId, CB_SETCURSEL, index, 0); };
}

BOOL CALLBACK FindOwnedBox(HWND window, LPARAM param)
{
    char className[16] = "";
    GetClassNameA(window, className, sizeof(className));
    if (strcmp(className, "#32770") == 0 && GetWindow(window, GW_OWNER)) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

INT_PTR RunConnectionDialog(const std::vector<DialogStep>& steps)
{
    ConnectionValues values;
    const INT_PTR result = RunDialog(IDD_CONNECTION, ConnectionDialogProc, steps, reinterpret_cast<LPARAM>(&values));
    if (result == IDOK)
        StoreConnection(values);
    return result;
}

}  // namespace

using ConnectionDialog = IniFolderTest;

TEST_F(ConnectionDialog, ShowsTheKeysAsTheUploadWouldUseThem)
{
    const struct {
        const char* file;
        ConnectionShown shown;
    } rows[] = {
        {nullptr, {"21", 0, 0, BST_UNCHECKED, BST_UNCHECKED}},
        {"[SETTING]\r\nftp_port=990\r\nftp_mode=auto\r\nftp_tls=implicit\r\nftp_atomic=1\r\nftp_tls_insecure=1\r\n",
         {"990", 2, 2, BST_CHECKED, BST_CHECKED}},
        {"[SETTING]\r\nftp_port=2121\r\nftp_mode=passive\r\nftp_tls=explicit\r\n",
         {"2121", 1, 1, BST_UNCHECKED, BST_UNCHECKED}},
        // A hand-edited file: a port the upload does not take shows the default it uses;
        // a word it refuses shows no choice.
        {"[SETTING]\r\nftp_port=2145abc\r\nftp_mode=pasv\r\nftp_tls=yes\r\n", {"21", -1, -1, BST_UNCHECKED, BST_UNCHECKED}},
    };
    for (const auto& row : rows) {
        if (row.file)
            WriteFileBytes(kIni, row.file);
        ConnectionShown shown{};
        EXPECT_EQ(RunConnectionDialog({CaptureConnection(&shown), Click(IDCANCEL)}), IDCANCEL);
        EXPECT_TRUE(shown == row.shown) << (row.file ? row.file : "no file") << " shows port " << shown.port;
    }
}

TEST_F(ConnectionDialog, OkWritesItsOwnKeysAndNoOther)
{
    WriteFileBytes(kIni, "[SETTING]\r\nserver=ftp.example\r\ntimer=30\r\n");
    EXPECT_EQ(RunConnectionDialog({SetText(IDC_FTP_PORT, "2121"), Choose(IDC_FTP_MODE, 1), Choose(IDC_FTP_TLS, 1),
                                   Click(IDC_FTP_ATOMIC), Choose(IDC_PROTOCOL, 1), SetText(IDC_SSH_KEY, "C:\\k"),
                                   SetText(IDC_SSH_HOSTKEY, "SHA256:abc"), Click(IDOK)}),
              IDOK);
    EXPECT_EQ(ReadFileBytes(kIni),
              "[SETTING]\r\nserver=ftp.example\r\ntimer=30\r\nftp_port=2121\r\nftp_mode=passive\r\n"
              "ftp_atomic=1\r\nftp_tls=explicit\r\nftp_tls_insecure=0\r\nprotocol=sftp\r\n"
              "ssh_key=C:\\k\r\nssh_hostkey=SHA256:abc\r\n");
    EXPECT_EQ(ReadSetting(Setting::ftpPort), 2121);
    EXPECT_EQ(ReadSetting(Setting::ftpMode).text, "passive");
}

TEST_F(ConnectionDialog, OkLeavesAWordItDoesNotKnowAsItIs)
{
    WriteFileBytes(kIni, "[SETTING]\r\nftp_tls=tls\r\nprotocol=scp\r\n");
    LRESULT shown = 0;
    EXPECT_EQ(RunConnectionDialog({[&shown](HWND dialog) {
                                       shown = SendDlgItemMessageA(dialog, IDC_PROTOCOL, CB_GETCURSEL, 0, 0);
                                   },
                                   Click(IDOK)}),
              IDOK);
    EXPECT_EQ(shown, CB_ERR);
    EXPECT_EQ(ReadSetting(Setting::ftpTls).text, "tls");
    EXPECT_EQ(ReadSetting(Setting::protocol).text, "scp");
}

TEST_F(ConnectionDialog, ABadPortIsExplainedAndNothingIsWritten)
{
    const std::string before = "[SETTING]\r\nftp_port=21\r\n";
    for (const char* bad : {"0", "65536", "", "99999999999"}) {
        WriteFileBytes(kIni, before);
        std::string boxTitle;
        bool stayedOpen = false;
        INT_PTR result = RunConnectionDialog(
            {SetText(IDC_FTP_PORT, bad), Click(IDC_FTP_ATOMIC), Click(IDOK),
             [&boxTitle](HWND) {
                 HWND box = nullptr;
                 EnumThreadWindows(GetCurrentThreadId(), FindOwnedBox, reinterpret_cast<LPARAM>(&box));
                 if (!box)
                     return;
                 char title[64] = "";
                 GetWindowTextA(box, title, sizeof(title));
                 boxTitle = title;
                 PostMessageA(box, WM_COMMAND, IDOK, 0);
             },
             [&stayedOpen](HWND dialog) { stayedOpen = IsWindowVisible(dialog) != FALSE; }, Click(IDCANCEL)});
        EXPECT_EQ(boxTitle, "FTP接続設定") << "no message for port \"" << bad << "\"";
        EXPECT_TRUE(stayedOpen) << bad;
        EXPECT_EQ(result, IDCANCEL) << bad;
        EXPECT_EQ(ReadFileBytes(kIni), before) << bad;
    }
}

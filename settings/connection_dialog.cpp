// The connection dialog: shows the connection keys as the upload would use them
// and, on OK, hands them back to its caller. A port outside 1..65535 is refused with a
// message, and then nothing is handed back.
#include "connection_dialog.h"

#include <commdlg.h>

#include <cstdio>

#include "resource.h"
#include "setting_text.h"
#include "settings_store.h"

namespace {

// In the order of the settings' words: the selection index is the word's.
const char* const kModeTexts[] = {"アクティブ", "パッシブ", "自動 (パッシブ、だめならアクティブ)"};
const char* const kTlsTexts[] = {"なし", "明示的 (AUTH TLS)", "暗黙的 (最初からTLS、普通はポート990)"};
const char* const kProtocolTexts[] = {"FTP / FTPS", "SFTP (SSH)"};

void FillChoices(HWND dialog, int controlId, const char* const* texts, int count, int selected)
{
    for (int i = 0; i < count; ++i)
        SendDlgItemMessageA(dialog, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
    SendDlgItemMessageA(dialog, controlId, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// -1 when nothing is chosen: a stored value the dialog does not know stays as it is.
int Choice(HWND dialog, int controlId)
{
    const LRESULT selected = SendDlgItemMessageA(dialog, controlId, CB_GETCURSEL, 0, 0);
    return selected < 0 ? -1 : static_cast<int>(selected);
}

INT_PTR OnInitDialog(HWND dialog, LPARAM values)
{
    SetWindowLongPtrA(dialog, DWLP_USER, values);
    SetDlgItemInt(dialog, IDC_FTP_PORT, static_cast<UINT>(ReadSetting(Setting::ftpPort)), FALSE);
    FillChoices(dialog, IDC_FTP_MODE, kModeTexts, 3, ReadSetting(Setting::ftpMode).index);
    FillChoices(dialog, IDC_FTP_TLS, kTlsTexts, 3, ReadSetting(Setting::ftpTls).index);
    CheckDlgButton(dialog, IDC_FTP_ATOMIC, ReadSetting(Setting::ftpAtomic) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_FTP_TLS_INSECURE, ReadSetting(Setting::ftpTlsInsecure) ? BST_CHECKED : BST_UNCHECKED);
    // A word the upload does not know selects nothing: OK then keeps it, and the upload
    // goes on refusing it, rather than the dialog turning it into FTP unseen.
    const int protocol = ReadSetting(Setting::protocol).index;
    FillChoices(dialog, IDC_PROTOCOL, kProtocolTexts, Setting::protocol.count, protocol);
    if (protocol == 1)
        SetDlgItemInt(dialog, IDC_FTP_PORT, static_cast<UINT>(ReadSetting(Setting::sftpPort)), FALSE);
    SetDlgItemTextA(dialog, IDC_SSH_KEY, ReadSetting(Setting::sshKey).c_str());
    SetDlgItemTextA(dialog, IDC_SSH_HOSTKEY, ReadSetting(Setting::sshHostKey).c_str());
    return TRUE;
}

std::string FieldText(HWND dialog, int controlId)
{
    char text[260] = {};
    GetDlgItemTextA(dialog, controlId, text, sizeof(text));
    return text;
}

// The key file through the system's file-open dialog, into the field.
void OnBrowseKey(HWND dialog)
{
    char path[MAX_PATH] = {};
    const std::string current = FieldText(dialog, IDC_SSH_KEY);
    snprintf(path, sizeof(path), "%s", current.c_str());
    OPENFILENAMEA open = {};
    open.lStructSize = sizeof(open);
    open.hwndOwner = dialog;
    open.lpstrFilter = "すべてのファイル (*.*)\0*.*\0";
    open.lpstrFile = path;
    open.nMaxFile = sizeof(path);
    open.lpstrTitle = "SSH 秘密鍵ファイル";
    open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (GetOpenFileNameA(&open))
        SetDlgItemTextA(dialog, IDC_SSH_KEY, path);
}

// The fields as values; false (after saying why) when the port is not a port.
bool TakeValues(HWND dialog, ConnectionValues& values, const char* notDone)
{
    char text[32] = {};
    GetDlgItemTextA(dialog, IDC_FTP_PORT, text, sizeof(text));
    int32_t port = 0;
    if (!ReadDecimalInRange(text, Setting::ftpPort.least, Setting::ftpPort.most, port)) {
        char message[200];
        snprintf(message, sizeof(message), "ポート番号は 1 から 65535 までの数で入れてください。\n%s", notDone);
        MessageBoxA(dialog, message, "FTP接続設定", MB_OK | MB_ICONWARNING);
        SetFocus(GetDlgItem(dialog, IDC_FTP_PORT));
        SendDlgItemMessageA(dialog, IDC_FTP_PORT, EM_SETSEL, 0, -1);
        return false;
    }
    values.port = port;
    values.mode = Choice(dialog, IDC_FTP_MODE);
    values.atomic = IsDlgButtonChecked(dialog, IDC_FTP_ATOMIC) == BST_CHECKED;
    values.tls = Choice(dialog, IDC_FTP_TLS);
    values.tlsInsecure = IsDlgButtonChecked(dialog, IDC_FTP_TLS_INSECURE) == BST_CHECKED;
    values.protocol = Choice(dialog, IDC_PROTOCOL);
    values.sshKey = FieldText(dialog, IDC_SSH_KEY);
    values.sshHostKey = FieldText(dialog, IDC_SSH_HOSTKEY);
    return true;
}

INT_PTR OnOk(HWND dialog)
{
    auto* values = reinterpret_cast<ConnectionValues*>(GetWindowLongPtrA(dialog, DWLP_USER));
    ConnectionValues taken;
    if (!TakeValues(dialog, taken, "設定は保存していません。"))
        return TRUE;
    if (values) {
        taken.tester = values->tester;
        *values = taken;
    }
    EndDialog(dialog, IDOK);
    return TRUE;
}

// The connection test runs on a thread of its own with a copy of the values, so the
// dialog keeps answering; its report comes back as a posted message. Should the dialog
// be gone by then, the thread drops the report itself.
constexpr UINT kProbeDone = WM_APP + 1;

struct ProbeJob {
    HWND dialog;
    ConnectionValues values;
    ConnectionTestResult result;
};

DWORD WINAPI ProbeThread(void* param)
{
    auto* job = static_cast<ProbeJob*>(param);
    try {
        job->result = job->values.tester(job->values);
    } catch (...) {
        job->result.sentence = "接続テストを最後までできませんでした。";
    }
    if (!PostMessageA(job->dialog, kProbeDone, 0, reinterpret_cast<LPARAM>(job)))
        delete job;
    return 0;
}

void OnConnectTest(HWND dialog)
{
    auto* values = reinterpret_cast<ConnectionValues*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!values || !values->tester)
        return;
    auto* job = new ProbeJob{dialog, {}, {}};
    job->values.tester = values->tester;
    if (!TakeValues(dialog, job->values, "接続テストはしていません。")) {
        delete job;
        return;
    }
    job->values.server = ReadSetting(Setting::server);
    job->values.user = ReadSetting(Setting::id);
    job->values.password = ReadSetting(Setting::pass);
    job->values.dir = ReadSetting(Setting::dir);
    EnableWindow(GetDlgItem(dialog, IDC_CONNECT_TEST), FALSE);
    SetDlgItemTextA(dialog, IDC_TEST_RESULT, "接続しています...");
    HANDLE thread = CreateThread(nullptr, 0, ProbeThread, job, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return;
    }
    delete job;
    EnableWindow(GetDlgItem(dialog, IDC_CONNECT_TEST), TRUE);
    SetDlgItemTextA(dialog, IDC_TEST_RESULT, "接続テストを始められませんでした。");
}

// The sentence; for a host key not yet trusted (or changed), the question whether to
// trust it: yes stores it as ssh_hostkey at once and puts it in the field.
void OnProbeDone(HWND dialog, ProbeJob* job)
{
    const ConnectionTestResult& result = job->result;
    EnableWindow(GetDlgItem(dialog, IDC_CONNECT_TEST), TRUE);
    SetDlgItemTextA(dialog, IDC_TEST_RESULT, result.sentence.c_str());
    if (!result.fingerprint.empty()) {
        char question[600];
        snprintf(question, sizeof(question),
                 "%sサーバーのホスト鍵は次のとおりです。\n\n種類: %s\n指紋: %s\n\n"
                 "サーバーで ssh-keygen -lf を使って表示した指紋と同じなら、この鍵を信頼して登録しますか？",
                 result.keyChanged ? "ホスト鍵が登録されたものと違います。\n" : "", result.keyType.c_str(),
                 result.fingerprint.c_str());
        if (MessageBoxA(dialog, question, "接続テスト", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
            SetDlgItemTextA(dialog, IDC_SSH_HOSTKEY, result.fingerprint.c_str());
            const bool stored = g_settings.SelectKey(Setting::sshHostKey.key).WriteString(result.fingerprint.c_str());
            SetDlgItemTextA(dialog, IDC_TEST_RESULT,
                            stored ? "ホスト鍵を登録しました。もう一度接続テストができます。" : kSettingsNotWritten);
        }
    }
    delete job;
}

}  // namespace

INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may unwind through the system's frames (only running out of memory throws).
    try {
        switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog, lParam);
        case kProbeDone:
            OnProbeDone(dialog, reinterpret_cast<ProbeJob*>(lParam));
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDOK:
                return OnOk(dialog);
            case IDC_SSH_KEY_BROWSE:
                OnBrowseKey(dialog);
                return TRUE;
            case IDC_CONNECT_TEST:
                OnConnectTest(dialog);
                return TRUE;
            case IDCANCEL:
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        }
    } catch (...) {
    }
    return FALSE;
}

bool StoreConnection(const ConnectionValues& values)
{
    bool written = WriteSetting(Setting::ftpPort, values.port);
    if (values.mode >= 0)
        written &= WriteSetting(Setting::ftpMode, values.mode);
    written &= WriteSetting(Setting::ftpAtomic, values.atomic);
    if (values.tls >= 0)
        written &= WriteSetting(Setting::ftpTls, values.tls);
    written &= WriteSetting(Setting::ftpTlsInsecure, values.tlsInsecure);
    if (values.protocol >= 0)
        written &= WriteSetting(Setting::protocol, values.protocol);
    written &= g_settings.SelectKey(Setting::sshKey.key).WriteString(values.sshKey.c_str());
    written &= g_settings.SelectKey(Setting::sshHostKey.key).WriteString(values.sshHostKey.c_str());
    return written;
}

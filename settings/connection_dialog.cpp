// The connection dialog: shows the five connection keys as the upload would use them
// and, on OK, hands them back to its caller. A port outside 1..65535 is refused with a
// message, and then nothing is handed back.
#include "connection_dialog.h"

#include <commdlg.h>

#include <cstdio>

#include "resource.h"
#include "settings_store.h"
#include "sftp_core.h"

namespace {

// In the order of the enums: the selection index is the value.
const char* const kModeTexts[] = {"アクティブ", "パッシブ", "自動 (パッシブ、だめならアクティブ)"};
const char* const kTlsTexts[] = {"なし", "明示的 (AUTH TLS)", "暗黙的 (最初からTLS、普通はポート990)"};
// The words of protocol=, in the order of the list.
const char* const kProtocolWords[] = {"ftp", "sftp"};
const char* const kProtocolTexts[] = {"FTP / FTPS", "SFTP (SSH)"};

void FillChoices(HWND dialog, int controlId, const char* const* texts, int count, int selected)
{
    for (int i = 0; i < count; ++i)
        SendDlgItemMessageA(dialog, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
    SendDlgItemMessageA(dialog, controlId, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int Choice(HWND dialog, int controlId)
{
    const LRESULT selected = SendDlgItemMessageA(dialog, controlId, CB_GETCURSEL, 0, 0);
    return selected < 0 ? 0 : static_cast<int>(selected);
}

INT_PTR OnInitDialog(HWND dialog, LPARAM values)
{
    SetWindowLongPtrA(dialog, DWLP_USER, values);
    SetDlgItemInt(dialog, IDC_FTP_PORT, static_cast<UINT>(UsableFtpPort(ReadSetting(Setting::ftpPort))), FALSE);
    FillChoices(dialog, IDC_FTP_MODE, kModeTexts, 3, static_cast<int>(ParseFtpMode(ReadSetting(Setting::ftpMode))));
    FillChoices(dialog, IDC_FTP_TLS, kTlsTexts, 3, static_cast<int>(ParseFtpTls(ReadSetting(Setting::ftpTls))));
    CheckDlgButton(dialog, IDC_FTP_ATOMIC, ReadSetting(Setting::ftpAtomic) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_FTP_TLS_INSECURE, ReadSetting(Setting::ftpTlsInsecure) ? BST_CHECKED : BST_UNCHECKED);
    // A word the upload does not know selects nothing: OK then keeps it, and the upload
    // goes on refusing it, rather than the dialog turning it into FTP unseen.
    const UploadProtocol protocol = ParseUploadProtocol(ReadSetting(Setting::protocol));
    FillChoices(dialog, IDC_PROTOCOL, kProtocolTexts, 2, protocol == UploadProtocol::unknown ? -1 : static_cast<int>(protocol));
    if (protocol == UploadProtocol::sftp)
        SetDlgItemInt(dialog, IDC_FTP_PORT, static_cast<UINT>(UsableSftpPort(ReadSetting(Setting::sftpPort))), FALSE);
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
    int port = 0;
    if (!ParseFtpPort(text, port)) {
        char message[200];
        snprintf(message, sizeof(message), "ポート番号は 1 から 65535 までの数で入れてください。\n%s", notDone);
        MessageBoxA(dialog, message, "FTP接続設定", MB_OK | MB_ICONWARNING);
        SetFocus(GetDlgItem(dialog, IDC_FTP_PORT));
        SendDlgItemMessageA(dialog, IDC_FTP_PORT, EM_SETSEL, 0, -1);
        return false;
    }
    values.port = port;
    values.mode = static_cast<FtpMode>(Choice(dialog, IDC_FTP_MODE));
    values.atomic = IsDlgButtonChecked(dialog, IDC_FTP_ATOMIC) == BST_CHECKED;
    values.tls = static_cast<FtpTls>(Choice(dialog, IDC_FTP_TLS));
    values.tlsInsecure = IsDlgButtonChecked(dialog, IDC_FTP_TLS_INSECURE) == BST_CHECKED;
    const LRESULT protocol = SendDlgItemMessageA(dialog, IDC_PROTOCOL, CB_GETCURSEL, 0, 0);
    values.protocol = protocol >= 0 && protocol < 2 ? kProtocolWords[protocol] : ReadSetting(Setting::protocol);
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
    ProbeReport report;
};

DWORD WINAPI ProbeThread(void* param)
{
    auto* job = static_cast<ProbeJob*>(param);
    try {
        job->report = job->values.tester(job->values);
    } catch (...) {
        job->report.verdict = ProbeVerdict::failed;
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
    const ProbeReport& report = job->report;
    EnableWindow(GetDlgItem(dialog, IDC_CONNECT_TEST), TRUE);
    std::string sentence = ProbeSentence(report);
    if (!report.subject.empty())
        sentence += "\n証明書: " + report.subject + " (発行者: " + report.issuer + ")";
    SetDlgItemTextA(dialog, IDC_TEST_RESULT, sentence.c_str());
    if (report.verdict == ProbeVerdict::unknownHostKey || report.verdict == ProbeVerdict::hostKeyChanged) {
        char question[600];
        snprintf(question, sizeof(question),
                 "%sサーバーのホスト鍵は次のとおりです。\n\n種類: %s\n指紋: %s\n\n"
                 "サーバーで ssh-keygen -lf を使って表示した指紋と同じなら、この鍵を信頼して登録しますか？",
                 report.verdict == ProbeVerdict::hostKeyChanged ? "ホスト鍵が登録されたものと違います。\n" : "",
                 report.keyType.c_str(), report.fingerprint.c_str());
        if (MessageBoxA(dialog, question, "接続テスト", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
            g_settings.SelectKey(Setting::sshHostKey.key).WriteString(report.fingerprint.c_str());
            SetDlgItemTextA(dialog, IDC_SSH_HOSTKEY, report.fingerprint.c_str());
            SetDlgItemTextA(dialog, IDC_TEST_RESULT, "ホスト鍵を登録しました。もう一度接続テストができます。");
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

void StoreConnection(const ConnectionValues& values)
{
    g_settings.SelectKey(Setting::ftpPort.key).WriteInt(values.port);
    g_settings.SelectKey(Setting::ftpMode.key).WriteString(FtpModeName(values.mode));
    g_settings.SelectKey(Setting::ftpAtomic.key).WriteInt(values.atomic);
    g_settings.SelectKey(Setting::ftpTls.key).WriteString(FtpTlsName(values.tls));
    g_settings.SelectKey(Setting::ftpTlsInsecure.key).WriteInt(values.tlsInsecure);
    g_settings.SelectKey(Setting::protocol.key).WriteString(values.protocol.c_str());
    g_settings.SelectKey(Setting::sshKey.key).WriteString(values.sshKey.c_str());
    g_settings.SelectKey(Setting::sshHostKey.key).WriteString(values.sshHostKey.c_str());
}

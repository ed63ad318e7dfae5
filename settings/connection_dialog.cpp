// The connection dialog: shows the five connection keys as the upload would use them
// and, on OK, hands them back to its caller. A port outside 1..65535 is refused with a
// message, and then nothing is handed back.
#include "connection_dialog.h"

#include "resource.h"
#include "setting_text.h"
#include "settings_store.h"

namespace {

// In the order of the settings' words: the selection index is the word's.
const char* const kModeTexts[] = {"アクティブ", "パッシブ", "自動 (パッシブ、だめならアクティブ)"};
const char* const kTlsTexts[] = {"なし", "明示的 (AUTH TLS)", "暗黙的 (最初からTLS、普通はポート990)"};

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
    return TRUE;
}

INT_PTR OnOk(HWND dialog)
{
    char text[32] = {};
    GetDlgItemTextA(dialog, IDC_FTP_PORT, text, sizeof(text));
    int32_t port = 0;
    if (!ReadDecimalInRange(text, Setting::ftpPort.least, Setting::ftpPort.most, port)) {
        MessageBoxA(dialog, "ポート番号は 1 から 65535 までの数で入れてください。\n設定は保存していません。",
                    "FTP接続設定", MB_OK | MB_ICONWARNING);
        SetFocus(GetDlgItem(dialog, IDC_FTP_PORT));
        SendDlgItemMessageA(dialog, IDC_FTP_PORT, EM_SETSEL, 0, -1);
        return TRUE;
    }
    auto* values = reinterpret_cast<ConnectionValues*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (values) {
        values->port = port;
        values->mode = Choice(dialog, IDC_FTP_MODE);
        values->atomic = IsDlgButtonChecked(dialog, IDC_FTP_ATOMIC) == BST_CHECKED;
        values->tls = Choice(dialog, IDC_FTP_TLS);
        values->tlsInsecure = IsDlgButtonChecked(dialog, IDC_FTP_TLS_INSECURE) == BST_CHECKED;
    }
    EndDialog(dialog, IDOK);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may unwind through the system's frames (only running out of memory throws).
    try {
        switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog, lParam);
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDOK:
                return OnOk(dialog);
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
    return written;
}

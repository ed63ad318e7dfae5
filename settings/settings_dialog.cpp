// The settings dialog: shows the ten settings as they stand in the file and, on OK,
// hands every field back to its caller, which stores them.
#include "settings_dialog.h"

#include "ansi_text.h"
#include "resource.h"
#include "settings_store.h"
#include "unsigned_text.h"

namespace {

struct StringField {
    int controlId;
    const StringSetting* setting;
    std::string SettingsValues::*value;
};

struct IntField {
    int controlId;
    const IntSetting* setting;
    int32_t SettingsValues::*value;
};

// In the order the fields are filled and written.
const StringField kStringFields[] = {
    {IDC_ST, &Setting::st, &SettingsValues::st},
    {IDC_MSG, &Setting::msg, &SettingsValues::msg},
    {IDC_LOCAL_DIR, &Setting::localDir, &SettingsValues::localDir},
    {IDC_SERVER, &Setting::server, &SettingsValues::server},
    {IDC_ID, &Setting::id, &SettingsValues::id},
    {IDC_PASS, &Setting::pass, &SettingsValues::pass},
    {IDC_DUT_JPG, &Setting::dutJpg, &SettingsValues::dutJpg},
    {IDC_DIR, &Setting::dir, &SettingsValues::dir},
};

const IntField kIntFields[] = {
    {IDC_JPEG_Q, &Setting::jpegQ, &SettingsValues::jpegQ},
    {IDC_TIMER, &Setting::timer, &SettingsValues::timer},
};

struct FieldText {
    char text[260] = {};
};

FieldText ReadField(HWND dialog, int controlId)
{
    FieldText field;
    GetDlgItemTextA(dialog, controlId, field.text, sizeof(field.text));
    // The edit cuts a long text at 259 bytes, which may split a double-byte character.
    field.text[WholeCharacterLength(field.text)] = '\0';
    return field;
}

INT_PTR OnInitDialog(HWND dialog, LPARAM values)
{
    SetWindowLongPtrA(dialog, DWLP_USER, values);
    for (const StringField& field : kStringFields)
        SetDlgItemTextA(dialog, field.controlId, ReadSetting(*field.setting).c_str());
    for (const IntField& field : kIntFields)
        SetDlgItemInt(dialog, field.controlId, static_cast<UINT>(ReadSetting(*field.setting)), FALSE);
    return TRUE;
}

INT_PTR OnOk(HWND dialog)
{
    auto* values = reinterpret_cast<SettingsValues*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (values) {
        for (const StringField& field : kStringFields)
            (*values).*field.value = ReadField(dialog, field.controlId).text;
        // Parsed here rather than by GetDlgItemInt, whose Wine version cuts the text at
        // 29 characters and may turn 4294967295 into 0.
        for (const IntField& field : kIntFields) {
            const uint32_t value = ReadUnsignedDecimal(ReadField(dialog, field.controlId).text);
            (*values).*field.value = static_cast<int32_t>(value);
        }
    }
    EndDialog(dialog, IDOK);
    return TRUE;
}

INT_PTR OnCancel(HWND dialog)
{
    EndDialog(dialog, IDCANCEL);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may unwind through the system's frames (only running out of memory throws).
    try {
        switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog, lParam);
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDOK:     return OnOk(dialog);
            case IDCANCEL: return OnCancel(dialog);
            }
            break;
        }
    } catch (...) {
    }
    return FALSE;
}

bool StoreSettings(const SettingsValues& values)
{
    bool written = true;
    for (const StringField& field : kStringFields)
        written &= g_settings.SelectKey(field.setting->key).WriteString((values.*field.value).c_str());
    for (const IntField& field : kIntFields)
        written &= g_settings.SelectKey(field.setting->key).WriteInt(values.*field.value);
    return written;
}

// The settings dialog: shows the ten settings as they stand in the file and, on OK,
// writes every field back. The field texts are its only state.
#include "settings_dialog.h"

#include "ansi_text.h"
#include "resource.h"
#include "settings_store.h"
#include "unsigned_text.h"

namespace {

struct StringField {
    int controlId;
    const StringSetting* setting;
};

struct IntField {
    int controlId;
    const IntSetting* setting;
};

// In the order the fields are filled and written.
const StringField kStringFields[] = {
    {IDC_ST, &Setting::st},         {IDC_MSG, &Setting::msg},       {IDC_LOCAL_DIR, &Setting::localDir},
    {IDC_SERVER, &Setting::server}, {IDC_ID, &Setting::id},         {IDC_PASS, &Setting::pass},
    {IDC_DUT_JPG, &Setting::dutJpg}, {IDC_DIR, &Setting::dir},
};

const IntField kIntFields[] = {
    {IDC_JPEG_Q, &Setting::jpegQ},
    {IDC_TIMER, &Setting::timer},
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

INT_PTR OnInitDialog(HWND dialog)
{
    for (const StringField& field : kStringFields)
        SetDlgItemTextA(dialog, field.controlId, ReadSetting(*field.setting).c_str());
    for (const IntField& field : kIntFields)
        SetDlgItemInt(dialog, field.controlId, static_cast<UINT>(ReadSetting(*field.setting)), FALSE);
    return TRUE;
}

INT_PTR OnOk(HWND dialog)
{
    for (const StringField& field : kStringFields)
        g_settings.SelectKey(field.setting->key).WriteString(ReadField(dialog, field.controlId).text);
    // Parsed here rather than by GetDlgItemInt, whose Wine version cuts the text at
    // 29 characters and may turn 4294967295 into 0.
    for (const IntField& field : kIntFields) {
        uint32_t value = ReadUnsignedDecimal(ReadField(dialog, field.controlId).text);
        g_settings.SelectKey(field.setting->key).WriteInt(static_cast<int32_t>(value));
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

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    // Nothing may unwind through the system's frames (only running out of memory throws).
    try {
        switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog);
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

// Opens the real settings dialog on its own in the current folder, stores what it
// took, and exits with its result, for the tests that type into it through the X server.
#include <windows.h>

#include <cstdio>

#include "resource.h"
#include "settings_dialog.h"
#include "settings_store.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    PointSettingsAtIniFile();
    SettingsValues values;
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, SettingsDialogProc,
                                     reinterpret_cast<LPARAM>(&values));
    // As the program does: what the dialog took is stored once it has closed with OK.
    if (result == IDOK)
        StoreSettings(values);
    // Told on stderr so that a failing test can show where the dialog ended.
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(folder), folder);
    fprintf(stderr, "settings dialog result %d in %s, Pelmix.ini %s\n", static_cast<int>(result), folder,
            GetFileAttributesA("Pelmix.ini") == INVALID_FILE_ATTRIBUTES ? "absent" : "present");
    return static_cast<int>(result);
}

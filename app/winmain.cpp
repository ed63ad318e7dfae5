// Entry point: point the settings at ./Pelmix.ini, make the main window, then run the
// message loop (with accelerator table 109) until the window is gone.
#include <windows.h>

#include "app_state.h"
#include "main_window.h"
#include "resource.h"
#include "settings_store.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    PointSettingsAtIniFile();
    LoadStringA(instance, IDS_APP_TITLE, g_appTitle, sizeof(g_appTitle));
    LoadStringA(instance, IDC_PELMIX, g_windowClass, sizeof(g_windowClass));
    RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance, showCommand))
        return 0;

    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_PELMIX));
    MSG msg = {};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

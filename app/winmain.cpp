// Entry point: set up the settings file, the window class and the main window,
// then run the message loop until the window is gone.
#include <windows.h>

#include "app_state.h"
#include "main_window.h"
#include "resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    LoadStringA(instance, IDS_APP_TITLE, g_appTitle, sizeof(g_appTitle));
    LoadStringA(instance, IDC_PELMIX, g_windowClass, sizeof(g_windowClass));
    RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance, showCommand))
        return 0;

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

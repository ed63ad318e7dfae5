// Entry point: point the settings at ./Pelmix.ini, make the main window, then run the
// message loop (with accelerator table 109) until the window is gone.
#include <windows.h>

#include <string>

#include "app_state.h"
#include "auto_cycle.h"
#include "event_log.h"
#include "launch_options.h"
#include "main_window.h"
#include "resource.h"
#include "settings_store.h"
#include "single_instance.h"

namespace {

// Beside Pelmix.ini, by its full path taken at start: the log stays there whatever
// later changes the current folder or the image folder.
std::string LogPathBesideSettings()
{
    char path[MAX_PATH];
    const DWORD length = GetFullPathNameA("Pelmix.log", sizeof(path), path, nullptr);
    return length > 0 && length < sizeof(path) ? std::string(path) : std::string();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand)
{
    PointSettingsAtIniFile();
    FolderInstance folderInstance;
    if (!folderInstance.Claim())
        return 0;
    SetEventLogPath(LogPathBesideSettings());
    LogEvent("起動しました");

    LoadStringA(instance, IDS_APP_TITLE, g_appTitle, sizeof(g_appTitle));
    LoadStringA(instance, IDC_PELMIX, g_windowClass, sizeof(g_windowClass));
    RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance, showCommand)) {
        LogEvent("終了しました (ウインドウを作れません)");
        return 0;
    }
    folderInstance.Publish(g_mainWindow);
    ResumeAutoAtLaunch(HasAutoSwitch(commandLine));

    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_PELMIX));
    MSG msg = {};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    LogEvent("終了しました");
    return static_cast<int>(msg.wParam);
}

// Menu commands, accelerators and the Space and Enter keys of the main window.
#include "menu_commands.h"

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "app_state.h"
#include "auto_cycle.h"
#include "capture_window.h"
#include "event_log.h"
#include "connection_dialog.h"
#include "main_window.h"
#include "menu_check.h"
#include "picture_commands.h"
#include "resource.h"
#include "settings_dialog.h"
#include "settings_store.h"
#include "upload_plan.h"
#include "win_handles.h"

namespace {

void SendToCaptureWindow(UINT message, WPARAM wParam)
{
    if (IsWindow(g_captureWindow))
        SendMessageA(g_captureWindow, message, wParam, 0);
}

void OnAbout(HWND window)
{
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUTBOX), window, AboutDialogProc, 0);
}

// The dialogs hand back what was typed; storing it is the command's.
void OnSettings(HWND window)
{
    SettingsValues values;
    if (DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_SETTINGS), window, SettingsDialogProc,
                        reinterpret_cast<LPARAM>(&values)) != IDOK)
        return;
    LogEvent(StoreSettings(values) ? "設定を変更しました" : kSettingsNotWritten);
}

void OnConnectionSettings(HWND window)
{
    ConnectionValues values;
    values.tester = TestConnection;
    if (DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_CONNECTION), window, ConnectionDialogProc,
                        reinterpret_cast<LPARAM>(&values)) != IDOK)
        return;
    LogEvent(StoreConnection(values) ? "設定を変更しました" : kSettingsNotWritten);
}

// The driver's own dialogs, each modal: every send returns when its dialog is closed.
void OnCaptureDialogs()
{
    SendToCaptureWindow(WM_CAP_DLG_VIDEOSOURCE, 0);
    SendToCaptureWindow(WM_CAP_DLG_VIDEOFORMAT, 0);
    SendToCaptureWindow(WM_CAP_DLG_VIDEODISPLAY, 0);
    SendToCaptureWindow(WM_CAP_DLG_VIDEOCOMPRESSION, 0);
}

// Without a capture window the check mark stays, so it never disagrees with the preview.
void OnStretch()
{
    if (!IsWindow(g_captureWindow))
        return;
    const bool stretched = ToggleMenuCheck(IDM_STRETCH);
    SendMessageA(g_captureWindow, WM_CAP_SET_SCALE, stretched ? 1 : 0, 0);
}

std::string FullPath(const std::string& path)
{
    const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return "";
    std::string full(needed, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), needed, &full[0], nullptr);
    full.resize(length < needed ? length : 0);
    return full;
}

// Only a folder is opened: "open" on a file would run it, and local_dir comes from the
// settings file, which may name anything. The folder goes by its full path, since the
// shell takes a bare name such as "ftp" for the program of that name first.
void OnOpenFolder()
{
    const std::string folder = FullPath(ReadSetting(Setting::localDir));
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (folder.empty() || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    ShellExecuteA(nullptr, "open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Notepad, not the shell's "open": the log is a plain text file whatever the system
// associates with ".log", and a log not written yet opens as an empty new file.
void OnOpenLog()
{
    const std::string& path = EventLogPath();
    if (path.empty())
        return;
    char commandLine[MAX_PATH + 32];
    const int length = snprintf(commandLine, sizeof(commandLine), "notepad.exe \"%s\"", path.c_str());
    if (length < 0 || static_cast<size_t>(length) >= sizeof(commandLine))
        return;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        // Notepad lives on by itself: its handles are only let go.
        const KernelHandle thread(process.hThread);
        const KernelHandle notepad(process.hProcess);
    }
}

void OnSwitchToRemember(UINT itemId)
{
    RememberAutoSwitch(itemId, ToggleMenuCheck(itemId));
}

// While an upload runs nothing else is saved or uploaded, as a cycle is skipped while one
// runs: the picture being sent stays what was asked for, and one upload runs at a time.
void Save(SaveKind kind)
{
    if (!RefuseWhileUploading())
        SaveNumberedImage(kind);
}

void Upload()
{
    if (!RefuseWhileUploading())
        UploadLastImage();
}

}  // namespace

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDM_ABOUT:           OnAbout(window); break;
    case IDM_EXIT:            DestroyWindow(window); break;
    case IDM_CAPTURE_DIALOGS: OnCaptureDialogs(); break;
    case IDM_SAVE_CAPTIONED:  Save(SaveKind::CaptionedJpeg); break;
    case IDM_UPLOAD:          Upload(); break;
    case IDM_AUTO:            OnAutoCommand(); break;
    case IDM_SETTINGS:        OnSettings(window); break;
    case IDM_STRETCH:         OnStretch(); break;
    case IDM_AUTO_UPLOAD:     OnSwitchToRemember(IDM_AUTO_UPLOAD); break;
    case IDM_SAVE_BMP:        Save(SaveKind::Bmp); break;
    case IDM_SAVE_JPG:        Save(SaveKind::CaptionedJpeg); break;
    case IDM_AUTO_BACKUP:     OnSwitchToRemember(IDM_AUTO_BACKUP); break;
    case IDM_OPEN_FOLDER:     OnOpenFolder(); break;
    case IDM_OPEN_LOG:        OnOpenLog(); break;
    case IDM_AUTO_START:      OnAutoStartCommand(); break;
    case IDM_CONNECTION:      OnConnectionSettings(window); break;
    default:                  return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
    }
    return 0;
}

LRESULT OnKeyDown(WPARAM key)
{
    // Not accelerators: every key-down, auto-repeats included, saves one more picture.
    if (key == VK_SPACE)
        Save(SaveKind::Bmp);
    else if (key == VK_RETURN)
        Save(SaveKind::CaptionedJpeg);
    return 0;
}

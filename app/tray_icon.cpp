// The notification-area icon: Shell_NotifyIconA with the tooltip rebuilt when it changes.
#include "tray_icon.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "app_state.h"
#include "menu_check.h"
#include "picture_path.h"
#include "resource.h"
#include "schedule_gate.h"
#include "settings_store.h"
#include "tray_tip.h"

namespace {

constexpr UINT kTrayIconId = 1;

struct TrayState {
    HWND window = nullptr;
    bool shown = false;
    TrayStatus status;  // the last save and upload; the next cycle is read when the tip is made
    std::string tip;  // as the shell has it
    bool failedIcon = false;
};
TrayState g_tray;

std::string ClockNow(int32_t laterMs = 0)
{
    const std::time_t when = std::time(nullptr) + laterMs / 1000;
    char text[16] = "";
    if (const std::tm* local = std::localtime(&when))
        std::strftime(text, sizeof(text), "%H:%M:%S", local);
    return text;
}

std::string TipText()
{
    TrayStatus status = g_tray.status;
    if (!IsMenuChecked(IDM_AUTO)) {
        status.next = NextCycle::ModeOff;
    } else if (!ScheduleResumeText().empty()) {
        status.next = NextCycle::Paused;
        status.nextText = ScheduleResumeText();
    } else if (g_cycleBusy) {
        status.next = NextCycle::Busy;
    } else {
        status.next = NextCycle::CountingDown;
        status.nextText = ClockNow(g_countdown > 0 ? g_countdown : 0);
    }
    return TrayTipText(status);
}

NOTIFYICONDATAA IconData(HWND window)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = kTrayIconId;
    return data;
}

// The whole icon to the shell: picture, tooltip and callback.
bool SendIcon(DWORD action)
{
    NOTIFYICONDATAA data = IconData(g_tray.window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_PELMIX_TRAY;
    data.hIcon = LoadIconA(g_instance, MAKEINTRESOURCEA(g_tray.failedIcon ? IDI_UPLOAD_FAILED : IDI_SMALL));
    // TrayTipText keeps to kTrayTipBytes; the buffer's terminating zero stays all the same.
    memcpy(data.szTip, g_tray.tip.data(), std::min(g_tray.tip.size(), sizeof(data.szTip) - 1));
    return Shell_NotifyIconA(action, &data) != FALSE;
}

void AddTrayIcon(HWND window)
{
    if (ReadSetting(Setting::tray) != 1)
        return;
    g_tray.window = window;
    g_tray.tip = TipText();
    g_tray.shown = SendIcon(NIM_ADD);
}

void RemoveTrayIcon()
{
    if (!g_tray.shown)
        return;
    NOTIFYICONDATAA data = IconData(g_tray.window);
    Shell_NotifyIconA(NIM_DELETE, &data);
    g_tray.shown = false;
}

bool IsTaskbarCreatedMessage(UINT message)
{
    static const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    return message != 0 && message == taskbarCreated;
}

LRESULT OnIconMouse(HWND window, LPARAM mouseMessage)
{
    if (mouseMessage == WM_MOUSEMOVE) {
        RefreshTrayIcon();
    } else if (mouseMessage == WM_LBUTTONDBLCLK) {
        ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(window);
    }
    return 0;
}

}  // namespace

bool OnTrayWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    *result = 0;
    switch (message) {
    case WM_CREATE:
        AddTrayIcon(window);
        return false;
    case WM_DESTROY:
        RemoveTrayIcon();
        return false;
    case WM_SIZE:
        // Minimised with tray=1 the window leaves the taskbar; the icon brings it back.
        if (wParam != SIZE_MINIMIZED || !g_tray.shown || ReadSetting(Setting::tray) != 1)
            return false;
        ShowWindow(window, SW_HIDE);
        return true;
    case WM_PELMIX_TRAY:
        *result = OnIconMouse(window, lParam);
        return true;
    default:
        if (!g_tray.shown || !IsTaskbarCreatedMessage(message))
            return false;
        SendIcon(NIM_ADD);
        return false;
    }
}

void NoteSaveForTray(const std::string& name)
{
    g_tray.status.saveTime = ClockNow();
    g_tray.status.saveName = PictureNamePart(name);
    RefreshTrayIcon();
}

void NoteUploadForTray(bool sent)
{
    g_tray.status.uploadTime = ClockNow();
    g_tray.status.uploadFailed = !sent;
    RefreshTrayIcon();
}

void RefreshTrayIcon()
{
    if (!g_tray.shown)
        return;
    const std::string tip = TipText();
    if (tip == g_tray.tip && g_tray.failedIcon == g_tray.status.uploadFailed)
        return;
    g_tray.tip = tip;
    g_tray.failedIcon = g_tray.status.uploadFailed;
    SendIcon(NIM_MODIFY);
}


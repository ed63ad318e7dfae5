// The notification-area icon: Shell_NotifyIconA with the tooltip rebuilt when it changes.
#include "tray_icon.h"

#include <shellapi.h>

#include <cstdio>
#include <ctime>

#include "app_state.h"
#include "menu_check.h"
#include "resource.h"
#include "schedule_gate.h"
#include "settings_store.h"

namespace {

constexpr UINT kTrayIconId = 1;

struct TrayState {
    HWND window = nullptr;
    bool shown = false;
    std::string saveTime;  // "HH:MM:SS", empty before the first save
    std::string saveName;
    std::string uploadTime;
    bool uploadFailed = false;
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
    std::string tip = "Pelmix\n保存: ";
    tip += g_tray.saveTime.empty() ? "まだありません"
                                   : g_tray.saveTime + " " + (g_tray.saveName.empty() ? "失敗" : g_tray.saveName);
    tip += "\nアップロード: ";
    tip += g_tray.uploadTime.empty() ? "まだありません"
                                     : g_tray.uploadTime + (g_tray.uploadFailed ? " 失敗" : " 成功");
    tip += "\n次の撮影: ";
    if (!IsMenuChecked(IDM_AUTO))
        tip += "自動処理は停止中";
    else if (const char* pause = SchedulePauseText(); *pause)
        tip += pause;
    else
        tip += g_cycleBusy ? "撮影中" : ClockNow(g_countdown > 0 ? g_countdown : 0);
    return tip;
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
    // The tooltip holds 127 bytes; a cut must not split a double-byte character.
    const std::string tip = g_tray.tip.substr(0, sizeof(data.szTip) - 1);
    size_t length = 0;
    while (length < tip.size()) {
        const size_t step = IsDBCSLeadByte(static_cast<BYTE>(tip[length])) ? 2 : 1;
        if (length + step > tip.size())
            break;
        length += step;
    }
    memcpy(data.szTip, tip.data(), length);
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
    g_tray.saveTime = ClockNow();
    g_tray.saveName = name;
    RefreshTrayIcon();
}

void NoteUploadForTray(bool sent)
{
    g_tray.uploadTime = ClockNow();
    g_tray.uploadFailed = !sent;
    RefreshTrayIcon();
}

void RefreshTrayIcon()
{
    if (!g_tray.shown)
        return;
    const std::string tip = TipText();
    if (tip == g_tray.tip && g_tray.failedIcon == g_tray.uploadFailed)
        return;
    g_tray.tip = tip;
    g_tray.failedIcon = g_tray.uploadFailed;
    SendIcon(NIM_MODIFY);
}


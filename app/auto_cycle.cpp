// The automatic mode: a one-second window timer counts the countdown down and, at zero,
// saves a captioned JPEG and has it uploaded.
#include "auto_cycle.h"

#include <windows.h>

#include "app_state.h"
#include "countdown.h"
#include "menu_check.h"
#include "numbered_save.h"
#include "resource.h"
#include "settings_store.h"

namespace {

constexpr UINT_PTR kCycleTimerId = 10;
constexpr UINT kTickMs = 1000;
// Without backup numbering every automatic picture replaces the one in this slot.
constexpr int32_t kFixedSlot = 99999;

// The upload runs inside the window procedure like a menu command would; the time it
// takes comes off the next period.
uint32_t UploadAndTime()
{
    const DWORD start = GetTickCount();
    SendMessageA(g_mainWindow, WM_COMMAND, IDM_UPLOAD, 0);
    return UploadTime(start, GetTickCount());
}

void RunCycle()
{
    g_cycleBusy = true;
    KillTimer(g_mainWindow, kCycleTimerId);
    const int32_t startNumber = MenuCheck(IDM_AUTO_BACKUP, false) ? 0 : kFixedSlot;
    uint32_t uploadTime = 0;
    // Running out of memory ends this cycle, not the mode: the next one is still timed.
    try {
        SaveNumberedImage(true, true, startNumber);
        uploadTime = MenuCheck(IDM_AUTO_UPLOAD, false) ? UploadAndTime() : 0;
    } catch (...) {
    }
    g_countdown = CountdownAfterCycle(ReadSetting(Setting::timer), uploadTime);
    SetTimer(g_mainWindow, kCycleTimerId, kTickMs, nullptr);
    g_cycleBusy = false;
}

void ShowCountdown()
{
    char title[kCountdownTitleSize];
    FormatCountdownTitle(title, sizeof(title), g_countdown, g_appTitle);
    SetWindowTextA(g_mainWindow, title);
}

}  // namespace

void OnAutoCommand()
{
    if (MenuCheck(IDM_AUTO, true)) {
        // The posted tick, not the timer, takes the first picture: at once, not a period later.
        PostMessageA(g_mainWindow, WM_TIMER, kCycleTimerId, 0);
        g_countdown = 0;
    } else {
        KillTimer(g_mainWindow, kCycleTimerId);
        SetWindowTextA(g_mainWindow, g_appTitle);
    }
}

void OnCycleTick()
{
    g_countdown = CountdownAfterTick(g_countdown);
    if (!g_cycleBusy && CycleDue(g_countdown))
        RunCycle();
    ShowCountdown();
}

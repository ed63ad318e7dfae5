// The automatic mode: a one-second window timer counts the countdown down and, at zero,
// saves a captioned JPEG and has it uploaded.
#include "auto_cycle.h"

#include <windows.h>

#include "app_state.h"
#include "backup_retention.h"
#include "countdown.h"
#include "event_log.h"
#include "menu_check.h"
#include "capture_core.h"
#include "picture_commands.h"
#include "resource.h"
#include "schedule_gate.h"
#include "season_hooks.h"
#include "settings_store.h"
#include "tray_icon.h"

namespace {

constexpr UINT_PTR kCycleTimerId = 10;
constexpr UINT kTickMs = 1000;

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
    const bool backup = IsMenuChecked(IDM_AUTO_BACKUP);
    uint32_t uploadTime = 0;
    // Running out of memory ends this cycle, not the mode: the next one is still timed.
    try {
        // keep_free_mb: a drive without room takes no picture, and the old one is not sent again.
        if (MakeRoomForAutomaticSave()) {
            // Without backup numbering every automatic picture replaces the one in the fixed slot.
            SaveNumberedImage(SaveKind::CaptionedJpeg, backup ? 0 : kFixedSlotNumber);
            if (g_lastSavedFileName.empty())
                LogEvent("撮影を保存できませんでした (空いている番号がないか、接頭辞が長すぎます)");
            if (backup)
                ApplyRetentionLimits();
            uploadTime = IsMenuChecked(IDM_AUTO_UPLOAD) ? UploadAndTime() : 0;
        }
    } catch (...) {
    }
    g_countdown = CountdownAfterCycle(ReadSetting(Setting::timer), uploadTime);
    SetTimer(g_mainWindow, kCycleTimerId, kTickMs, nullptr);
    g_cycleBusy = false;
}

void SetCheck(UINT itemId, bool on)
{
    if (IsMenuChecked(itemId) != on)
        ToggleMenuCheck(itemId);
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
    if (ToggleMenuCheck(IDM_AUTO)) {
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
    // Beside the cycle, also while the hours of the day hold it: the day's timelapse, the tray's tooltip.
    CheckDailyTimelapse();
    RefreshTrayIcon();
    // Outside the hours of the day: no picture, the title says when; the countdown runs
    // on, so the first tick inside them takes a picture at once.
    if (HoldCycleForSchedule()) {
        // The first tick after switching on is a posted one: the timer must run for the next.
        SetTimer(g_mainWindow, kCycleTimerId, kTickMs, nullptr);
        return;
    }
    if (CycleDue(g_countdown)) {
        // Only a tick dispatched by a loop nested inside the running cycle gets here.
        if (g_cycleBusy)
            LogEvent("撮影を飛ばしました (前回の保存かアップロードがまだ終わっていません)");
        else
            RunCycle();
    }
    ShowCountdown();
}

void ResumeAutoAtLaunch(bool askedOnCommandLine)
{
    const bool stored = ReadSetting(Setting::autoStart) != 0;
    if (stored) {
        SetCheck(IDM_AUTO_START, true);
        SetCheck(IDM_AUTO_UPLOAD, ReadSetting(Setting::autoUpload) != 0);
        SetCheck(IDM_AUTO_BACKUP, ReadSetting(Setting::autoBackup) != 0);
    }
    if (!stored && !askedOnCommandLine)
        return;
    if (!IsMenuChecked(IDM_AUTO))
        OnAutoCommand();
    LogEvent(askedOnCommandLine ? "自動撮影を起動時に開始しました (/auto)" : "自動撮影を起動時に開始しました");
}

void OnAutoStartCommand()
{
    const bool on = ToggleMenuCheck(IDM_AUTO_START);
    WriteSetting(Setting::autoStart, on ? 1 : 0);
    // The switches as they are now: the next launch starts with what the user sees.
    if (on) {
        WriteSetting(Setting::autoUpload, IsMenuChecked(IDM_AUTO_UPLOAD) ? 1 : 0);
        WriteSetting(Setting::autoBackup, IsMenuChecked(IDM_AUTO_BACKUP) ? 1 : 0);
    }
    LogEvent(on ? "設定を変更しました (起動時に自動撮影を開始: 入)" : "設定を変更しました (起動時に自動撮影を開始: 切)");
}

void RememberAutoSwitch(UINT itemId, bool on)
{
    if (!IsMenuChecked(IDM_AUTO_START))
        return;
    WriteSetting(itemId == IDM_AUTO_UPLOAD ? Setting::autoUpload : Setting::autoBackup, on ? 1 : 0);
}

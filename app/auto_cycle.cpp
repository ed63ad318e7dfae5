// The automatic mode: a one-second window timer counts the countdown down and, at zero,
// saves a captioned JPEG and has it uploaded. The upload runs beside the window; the
// cycle ends when its end arrives.
#include "auto_cycle.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "app_state.h"
#include "backup_retention.h"
#include "countdown.h"
#include "event_log.h"
#include "ftp_upload.h"
#include "menu_check.h"
#include "capture_core.h"
#include "capture_window.h"
#include "picture_commands.h"
#include "resource.h"
#include "retention.h"
#include "schedule_gate.h"
#include "season_hooks.h"
#include "settings_store.h"
#include "tray_icon.h"

namespace {

constexpr UINT_PTR kCycleTimerId = 10;
constexpr UINT kTickMs = 1000;

const char kBusyLine[] = "撮影を飛ばしました (前回の保存かアップロードがまだ終わっていません)";

// The cycle whose upload runs beside the window: it stays busy, its timer off, until the
// upload's end arrives. Window's thread only, for the whole run.
bool g_awaitingUpload = false;
DWORD g_uploadAskedAt = 0;

// A run of cycles that produced nothing: the line that began it (empty: no such run) and
// how many cycles it has had. One line when it begins (or its reason changes), one when
// it ends, however long it lasts. Window's thread only, for the whole run.
std::string g_emptyLine;
uint32_t g_emptyCycles = 0;

void NoteCycle(const std::string& emptyLine)
{
    if (!emptyLine.empty()) {
        if (emptyLine != g_emptyLine)
            LogEvent(emptyLine.c_str());
        g_emptyLine = emptyLine;
        if (g_emptyCycles < UINT32_MAX)
            ++g_emptyCycles;
        return;
    }
    if (g_emptyLine.empty())
        return;
    char line[160];
    snprintf(line, sizeof(line), "自動撮影が元に戻りました (画像のない周期 %lu 回の後)",
             static_cast<unsigned long>(g_emptyCycles));
    LogEvent(line);
    g_emptyLine.clear();
    g_emptyCycles = 0;
}

// Why a save made no picture; empty when it made one.
std::string EmptySaveLine(const SaveOutcome& saved)
{
    switch (saved.result) {
    case SaveResult::Produced:
        return "";
    case SaveResult::NoName:
        return "撮影を保存できませんでした (空いている番号がないか、接頭辞から名前が作れません)";
    case SaveResult::NoPicture:
        break;
    }
    // A JPEG save that got no frame keeps the BMP's name; a ".jpg" name with no file is
    // one that could not be written.
    const std::string& name = saved.name;
    const bool jpegName = name.size() >= 4 && name.compare(name.size() - 4, 4, ".jpg") == 0;
    return jpegName ? "撮影を保存できませんでした (画像保存フォルダに書き込めません)"
                    : "撮影を保存できませんでした (カメラから画像が来ません)";
}

// A camera just opened sends its first frame within moments; the frame request does not
// wait for it on the window's thread, so the cycle waits for it tick by tick instead.
bool CameraStarting()
{
    return IsWindow(g_captureWindow) && SendMessageA(g_captureWindow, WM_CAP_PELMIX_STARTING, 0, 0);
}

// The title belongs to a picture's upload while it runs; the timelapse's shows none.
bool PictureUploadRunning()
{
    return UploadRunning() && !TimelapseUploadRunning();
}

void ShowCountdown()
{
    char title[kCountdownTitleSize];
    FormatCountdownTitle(title, sizeof(title), g_countdown, g_appTitle);
    SetWindowTextA(g_mainWindow, title);
}

// The timer runs again, unless the mode was switched off meanwhile (an upload runs beside
// the window, so that can happen while a cycle waits for it).
void KeepTicking()
{
    if (IsMenuChecked(IDM_AUTO))
        SetTimer(g_mainWindow, kCycleTimerId, kTickMs, nullptr);
}

// The time the upload took comes off the next period.
void EndCycle(uint32_t uploadTime)
{
    g_countdown = CountdownAfterCycle(ReadSetting(Setting::timer), uploadTime);
    KeepTicking();
    g_cycleBusy = false;
}

void RunCycle()
{
    g_cycleBusy = true;
    KillTimer(g_mainWindow, kCycleTimerId);
    const bool backup = IsMenuChecked(IDM_AUTO_BACKUP);
    std::string emptyLine;
    DWORD uploadStart = GetTickCount();
    // Running out of memory ends this cycle, not the mode: the next one is still timed.
    try {
        // keep_free_mb: a drive without room takes no picture, and the old one is not sent again.
        emptyLine = MakeRoomForAutomaticSave();
        if (!emptyLine.empty()) {
            NoteCycle(emptyLine);
            EndCycle(0);
            return;
        }
        // Without backup numbering every automatic picture replaces the one in the fixed slot.
        emptyLine = EmptySaveLine(SaveNumberedImage(SaveKind::CaptionedJpeg, backup ? 0 : kFixedSlotNumber));
        if (backup) {
            const std::string deleted = DeletionLogLine(ApplyRetentionLimits(g_lastSavedFileName));
            if (!deleted.empty())
                LogEvent(deleted.c_str());
        }
        // A cycle that made no picture sends none: the server keeps the last real one.
        if (emptyLine.empty() && IsMenuChecked(IDM_AUTO_UPLOAD)) {
            // The upload goes through the window procedure like the menu command.
            uploadStart = GetTickCount();
            SendMessageA(g_mainWindow, WM_COMMAND, IDM_UPLOAD, 0);
            if (!UploadNotStartedWhy()) {
                g_awaitingUpload = true;
                g_uploadAskedAt = uploadStart;
                NoteCycle("");
                return;
            }
            emptyLine = std::string("アップロードを始めませんでした (") + UploadNotStartedWhy() + ")";
        }
    } catch (...) {
    }
    NoteCycle(emptyLine);
    EndCycle(UploadTime(uploadStart, GetTickCount()));
}

void SetCheck(UINT itemId, bool on)
{
    if (IsMenuChecked(itemId) != on)
        ToggleMenuCheck(itemId);
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
        // A picture's upload still running keeps its title until it ends.
        if (!PictureUploadRunning())
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
    // on, so the first tick inside them takes a picture at once. The first tick after
    // switching on is a posted one: the timer must run for the next.
    if (HoldCycleForSchedule()) {
        KeepTicking();
        return;
    }
    if (CycleDue(g_countdown)) {
        // An upload runs (a manual one, or the cycle's own when the mode was switched off
        // and on again meanwhile), or a camera just opened has no frame yet: this tick takes
        // no picture, the next one tries again. The timer runs for it, since the posted
        // first tick may be the only one.
        const bool busy = g_cycleBusy || UploadRunning();
        const bool cameraStarting = !busy && CameraStarting();
        if (busy || cameraStarting)
            KeepTicking();
        if (busy)
            NoteCycle(kBusyLine);
        else if (!cameraStarting)
            RunCycle();
    }
    if (!PictureUploadRunning())
        ShowCountdown();
}

void OnCycleUploadEnded()
{
    if (!g_awaitingUpload)
        return;
    g_awaitingUpload = false;
    EndCycle(UploadTime(g_uploadAskedAt, GetTickCount()));
    if (IsMenuChecked(IDM_AUTO))
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
    // The switches as they are now: the next launch starts with what the user sees.
    const bool written = WriteSetting(Setting::autoStart, on ? 1 : 0) &&
                         (!on || (WriteSetting(Setting::autoUpload, IsMenuChecked(IDM_AUTO_UPLOAD) ? 1 : 0) &&
                                  WriteSetting(Setting::autoBackup, IsMenuChecked(IDM_AUTO_BACKUP) ? 1 : 0)));
    if (!written) {
        // The check mark is only true once it is in the file: the next launch reads the file.
        ToggleMenuCheck(IDM_AUTO_START);
        LogEvent(kSettingsNotWritten);
        return;
    }
    LogEvent(on ? "設定を変更しました (起動時に自動撮影を開始: 入)" : "設定を変更しました (起動時に自動撮影を開始: 切)");
}

void RememberAutoSwitch(UINT itemId, bool on)
{
    if (!IsMenuChecked(IDM_AUTO_START))
        return;
    if (!WriteSetting(itemId == IDM_AUTO_UPLOAD ? Setting::autoUpload : Setting::autoBackup, on ? 1 : 0))
        LogEvent(kSettingsNotWritten);
}

// The save and the upload between the windows and state of the program and the layers
// that do the work.
#include "picture_commands.h"

#include <windows.h>

#include <cstdio>

#include "app_state.h"
#include "capture_window.h"
#include "countdown.h"
#include "event_log.h"
#include "ftp_upload.h"
#include "settings_store.h"
#include "tray_icon.h"
#include "upload_plan.h"

namespace {

constexpr DWORD kExitWaitMs = 900;

// Why the last upload command started nothing (null: it started one), and whether a
// refused command was logged during the upload that runs. Window's thread only, for the
// whole run.
const char* g_notStartedWhy = nullptr;
bool g_refusalLogged = false;

void SetPreview(bool on)
{
    if (IsWindow(g_captureWindow))
        SendMessageA(g_captureWindow, WM_CAP_SET_PREVIEW, on ? 1 : 0, 0);
}

// Nothing is shown to the user; a failure goes to the log with the server's address,
// its last reply and what went wrong.
void LogUploadFailure(const UploadOutcome& outcome)
{
    char line[700];
    if (!outcome.lastReply.empty())
        snprintf(line, sizeof(line), "アップロードに失敗しました (サーバー %s, %s; %s)", outcome.server.c_str(),
                 outcome.lastReply.c_str(), outcome.why.c_str());
    else
        snprintf(line, sizeof(line), "アップロードに失敗しました (サーバー %s, %s)", outcome.server.c_str(),
                 outcome.why.c_str());
    LogEvent(line);
}

// The title last: whoever watches the title sees the upload's end once the rest is done.
void RestoreAfterUpload()
{
    g_countdown = CountdownForPeriod(ReadSetting(Setting::timer));
    SetPreview(true);
    SetWindowTextA(g_mainWindow, g_appTitle);
}

}  // namespace

SaveOutcome SaveNumberedImage(SaveKind kind, int32_t startNumber)
{
    SaveOutcome outcome = SaveNextNumbered(kind, startNumber, g_captureWindow, g_mainWindow);
    g_lastSavedFileName = outcome.name;
    g_lastUploadCopy = outcome.uploadCopy;
    NoteSaveForTray(outcome.result == SaveResult::Produced ? outcome.name : std::string());
    return outcome;
}

void UploadLastImage()
{
    if (UploadRunning()) {
        g_notStartedWhy = "前のアップロードがまだ終わっていません";
        return;
    }
    g_notStartedWhy = "アップロードの準備ができません";
    g_refusalLogged = false;
    // Running out of memory starts nothing, as any failure to start: title, countdown and
    // preview are restored all the same.
    try {
        SetWindowTextA(g_mainWindow, UploadTitle(g_appTitle).c_str());
        UploadPlan plan = PlanUpload(g_lastSavedFileName);
        // The smaller copy the save made for the web page goes in the picture's place.
        if (!g_lastUploadCopy.empty() && GetFileAttributesA(g_lastUploadCopy.c_str()) != INVALID_FILE_ATTRIBUTES)
            plan.localPath = g_lastUploadCopy;
        SetPreview(false);
        if (StartUpload(plan, g_mainWindow, WM_PELMIX_UPLOAD_ENDED)) {
            g_notStartedWhy = nullptr;
            return;
        }
    } catch (...) {
    }
    // The automatic cycle logs its own empty cycles, once for a run of them.
    if (!g_cycleBusy) {
        char line[200];
        snprintf(line, sizeof(line), "アップロードを始めませんでした (%s)", g_notStartedWhy);
        LogEvent(line);
    }
    RestoreAfterUpload();
}

const char* UploadNotStartedWhy() { return g_notStartedWhy; }

void OnUploadEnded()
{
    if (!UploadRunning())
        return;
    const UploadOutcome outcome = FinishUpload();
    NoteUploadForTray(outcome.result == UploadResult::Sent);
    if (outcome.result == UploadResult::Failed)
        LogUploadFailure(outcome);
    RestoreAfterUpload();
}

bool RefuseWhileUploading()
{
    if (!UploadRunning())
        return false;
    // Held keys repeat: one line says it for the whole upload.
    if (!g_refusalLogged)
        LogEvent("保存もアップロードもしませんでした (アップロード中です)");
    g_refusalLogged = true;
    return true;
}

void EndUploadForExit() { AbandonUpload(kExitWaitMs); }

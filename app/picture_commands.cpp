// The save and the upload between the windows and state of the program and the layers
// that do the work.
#include "picture_commands.h"

#include <windows.h>

#include <cstdio>

#include "app_state.h"
#include "capture_window.h"
#include "connection_probe.h"
#include "countdown.h"
#include "event_log.h"
#include "ftp_upload.h"
#include "settings_store.h"

namespace {

void SetPreview(bool on)
{
    if (IsWindow(g_captureWindow))
        SendMessageA(g_captureWindow, WM_CAP_SET_PREVIEW, on ? 1 : 0, 0);
}

// Nothing is shown to the user; a failure goes to the log with the server's address,
// its last reply and what went wrong.
void LogUploadFailure(const UploadPlan& plan, const UploadOutcome& outcome)
{
    char line[700];
    if (!outcome.lastReply.empty())
        snprintf(line, sizeof(line), "アップロードに失敗しました (サーバー %s, %s; %s)", plan.server.c_str(),
                 outcome.lastReply.c_str(), outcome.why.c_str());
    else
        snprintf(line, sizeof(line), "アップロードに失敗しました (サーバー %s, %s)", plan.server.c_str(),
                 outcome.why.c_str());
    LogEvent(line);
}

}  // namespace

void SaveNumberedImage(SaveKind kind, int32_t startNumber)
{
    g_lastSavedFileName = SaveNextNumbered(kind, startNumber, g_captureWindow, g_mainWindow).name;
}

void UploadLastImage()
{
    // Running out of memory ends the upload as any failure does: title, countdown and
    // preview are restored all the same.
    try {
        SetWindowTextA(g_mainWindow, UploadTitle(g_appTitle).c_str());
        const UploadPlan plan = PlanUpload(g_lastSavedFileName);
        SetPreview(false);
        const UploadOutcome outcome = SendPicture(plan);
        if (outcome.result == UploadResult::Failed)
            LogUploadFailure(plan, outcome);
    } catch (...) {
    }

    SetWindowTextA(g_mainWindow, g_appTitle);
    g_countdown = CountdownForPeriod(ReadSetting(Setting::timer));
    SetPreview(true);
}

ProbeReport TestConnection(const ConnectionValues& values)
{
    UploadPlan plan;
    plan.server = values.server;
    plan.user = values.user;
    plan.password = values.password;
    plan.dir = values.dir;
    plan.port = values.port;
    plan.mode = values.mode;
    plan.tls = values.tls;
    plan.insecure = values.tlsInsecure;
    plan.protocolText = values.protocol;
    plan.protocol = ParseUploadProtocol(values.protocol);
    plan.sshKey = values.sshKey;
    plan.sshHostKey = values.sshHostKey;
    return ProbeConnection(plan);
}

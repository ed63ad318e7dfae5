// Recording stand-ins linked instead of the real capture window, save, upload,
// settings dialog and automatic cycle.
#include "recording_stubs.h"

#include <cstdio>

#include "app_state.h"
#include "auto_cycle.h"
#include "capture_window.h"
#include "picture_commands.h"
#include "connection_dialog.h"
#include "settings_dialog.h"
#include "settings_store.h"
#include "upload_plan.h"

Recorder g_recorder;

namespace {

LRESULT CALLBACK RecordingCaptureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER && message < WM_USER + 100) {
        g_recorder.captureMessages.push_back({message, wParam, lParam});
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND CreateCaptureWindow(const char* title, DWORD style, int x, int y, int width, int height,
                         HWND parent, int id)
{
    g_recorder.creations.push_back({title, style, x, y, width, height, parent, id, g_mainWindow});
    if (g_recorder.refuseCaptureWindow)
        return nullptr;
    static ATOM registered = 0;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RecordingCaptureProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "RecordingCapture";
        registered = RegisterClassA(&wc);
    }
    return CreateWindowExA(0, "RecordingCapture", title, style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

SaveOutcome SaveNumberedImage(SaveKind kind, int32_t startNumber)
{
    const char* const kinds[] = {"bmp", "captioned-bmp", "jpeg"};
    char text[64];
    snprintf(text, sizeof(text), "save %s %ld", kinds[static_cast<int>(kind)], static_cast<long>(startNumber));
    g_recorder.calls.push_back(text);
    return SaveOutcome();
}

void UploadLastImage() { g_recorder.calls.push_back("upload"); }
void OnUploadEnded() { g_recorder.calls.push_back("upload ended"); }
void OnCycleUploadEnded() { g_recorder.calls.push_back("cycle upload ended"); }
void EndUploadForExit() { g_recorder.calls.push_back("end upload"); }

bool RefuseWhileUploading()
{
    if (g_recorder.uploading)
        g_recorder.calls.push_back("refused");
    return g_recorder.uploading;
}
void OnAutoCommand() { g_recorder.calls.push_back("auto"); }
void OnCycleTick() { g_recorder.calls.push_back("tick"); }
bool OnTrayWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT*) { return false; }
bool OnTimelapseUploadEnded() { return false; }
void OnAutoStartCommand() { g_recorder.calls.push_back("auto-start"); }

void RememberAutoSwitch(UINT itemId, bool on)
{
    char text[64];
    snprintf(text, sizeof(text), "remember %u %d", itemId, on ? 1 : 0);
    g_recorder.calls.push_back(text);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    g_recorder.calls.push_back("settings");
    g_recorder.settingsOwner = GetWindow(dialog, GW_OWNER);
    g_recorder.settingsParam = lParam;
    EndDialog(dialog, IDCANCEL);
    return TRUE;
}

bool StoreSettings(const SettingsValues&) { g_recorder.calls.push_back("store settings"); return true; }
bool StoreConnection(const ConnectionValues&) { g_recorder.calls.push_back("store connection"); return true; }
ConnectionTestResult TestConnection(const ConnectionValues&) { return ConnectionTestResult(); }

INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    g_recorder.calls.push_back("connection");
    EndDialog(dialog, IDCANCEL);
    return TRUE;
}

std::string ReadSetting(const StringSetting& setting)
{
    g_recorder.calls.push_back(std::string("read ") + setting.key);
    return g_recorder.localDir;
}

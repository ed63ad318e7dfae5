// The main window's life: class, creation with the capture window, resizing, closing.
#include "main_window.h"

#include "app_state.h"
#include "auto_cycle.h"
#include "capture_window.h"
#include "event_log.h"
#include "menu_commands.h"
#include "picture_commands.h"
#include "resource.h"
#include "season_hooks.h"
#include "tray_icon.h"

namespace {

LRESULT OnCreate(HWND window)
{
    // Set before anything else: code running while the window is still being made uses it.
    g_mainWindow = window;
    RECT client;
    GetClientRect(window, &client);
    g_captureWindow = CreateCaptureWindow("My Capture Window", WS_CHILD | WS_VISIBLE, 0, 0,
                                          client.right, client.bottom, window, 1);
    SendMessageA(g_captureWindow, WM_CAP_DRIVER_CONNECT, 0, 0);
    if (IsWindow(g_captureWindow))
        SendMessageA(g_captureWindow, WM_CAP_SET_PREVIEWRATE, 66, 0);
    if (IsWindow(g_captureWindow))
        SendMessageA(g_captureWindow, WM_CAP_SET_PREVIEW, 1, 0);
    return 1;
}

LRESULT OnSize(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    MoveWindow(g_captureWindow, 0, 0, client.right, client.bottom, TRUE);
    return 0;
}

LRESULT OnClose(HWND window)
{
    // Only the close box releases the driver; the menu's exit command goes straight out.
    if (IsWindow(g_captureWindow))
        SendMessageA(g_captureWindow, WM_CAP_DRIVER_DISCONNECT, 0, 0);
    DestroyWindow(window);
    return 0;
}

LRESULT OnDestroy()
{
    EndUploadForExit();
    PostQuitMessage(0);
    return 0;
}

LRESULT OnTimer()
{
    OnCycleTick();
    return 0;
}

// The capture window tells its parent when the camera goes away (0) and comes back (1).
LRESULT OnCameraState(WPARAM found)
{
    LogEvent(found ? "カメラが戻りました" : "カメラが見つかりません");
    return 0;
}

// The upload's worker has ended: the daily video's is its own; for a picture's, first what
// the upload shows, then the cycle that waited.
LRESULT OnUploadEndedMessage()
{
    if (OnTimelapseUploadEnded())
        return 0;
    OnUploadEnded();
    OnCycleUploadEnded();
    return 0;
}

}  // namespace

void RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PELMIX));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDC_PELMIX);
    wc.lpszClassName = g_windowClass;
    wc.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
    RegisterClassExA(&wc);
}

bool CreateMainWindow(HINSTANCE instance, int showCommand)
{
    g_instance = instance;
    HWND window = CreateWindowExA(WS_EX_CLIENTEDGE, g_windowClass, g_appTitle, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (!window)
        return false;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may unwind through the system's frames (only running out of memory throws).
    try {
        // The notification-area icon (tray=1) sees the window's messages first.
        LRESULT trayResult = 0;
        if (OnTrayWindowMessage(window, message, wParam, lParam, &trayResult))
            return trayResult;
        switch (message) {
        case WM_CREATE:  return OnCreate(window);
        case WM_SIZE:    return OnSize(window);
        case WM_CLOSE:   return OnClose(window);
        case WM_DESTROY: return OnDestroy();
        case WM_KEYDOWN: return OnKeyDown(wParam);
        case WM_COMMAND: return OnCommand(window, wParam, lParam);
        case WM_TIMER:   return OnTimer();
        case WM_CAP_PELMIX_CAMERA_STATE: return OnCameraState(wParam);
        case WM_PELMIX_UPLOAD_ENDED: return OnUploadEndedMessage();
        default:         return DefWindowProcA(window, message, wParam, lParam);
        }
    } catch (...) {
        return 0;
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

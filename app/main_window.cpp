#include "main_window.h"

#include "app_state.h"

namespace {

LRESULT OnCreate(HWND window)
{
    g_mainWindow = window;
    return 1;
}

LRESULT OnDestroy()
{
    PostQuitMessage(0);
    return 0;
}

}  // namespace

void RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = g_windowClass;
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
    switch (message) {
    case WM_CREATE:  return OnCreate(window);
    case WM_DESTROY: return OnDestroy();
    default:         return DefWindowProcA(window, message, wParam, lParam);
    }
}

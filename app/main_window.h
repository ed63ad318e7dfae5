// The main window: class registration, creation, its window procedure and the About box.
#pragma once
#include <windows.h>

void RegisterMainWindowClass(HINSTANCE instance);
// Stores the instance, creates and shows the main window; false when it could not be made.
bool CreateMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What the main window does with menu commands, accelerators and the Space and Enter keys.
#pragma once
#include <windows.h>

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnKeyDown(WPARAM key);

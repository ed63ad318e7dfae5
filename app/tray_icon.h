// The notification-area icon with tray=1: a tooltip with the last save, the last upload
// and the next cycle, a second picture after a failed upload, and the window hidden while
// minimised (a double click on the icon brings it back).
#pragma once
#include <windows.h>

#include <string>

// The icon's messages to the main window.
constexpr UINT WM_PELMIX_TRAY = WM_APP + 26;

// Called first for every message of the main window: adds the icon at WM_CREATE (with
// tray=1), removes it at WM_DESTROY, puts it back when the shell starts again, hides the
// window when minimised and handles the icon's own clicks. True when the message is
// handled, with *result to return; false lets the window handle it as ever.
bool OnTrayWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

// What the tooltip tells. A save with an empty name made no picture.
void NoteSaveForTray(const std::string& name);
void NoteUploadForTray(bool sent);
// The tooltip as things are now (the next cycle changes every tick).
void RefreshTrayIcon();


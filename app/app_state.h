// Process-wide state of the running program. Touched only by the GUI thread.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>

extern HINSTANCE g_instance;        // for the dialog templates
extern char g_appTitle[100];        // string 103: the title at rest
extern char g_windowClass[100];     // string 109
extern HWND g_mainWindow;           // set first thing in WM_CREATE
extern HWND g_captureWindow;        // null when the capture window could not be made
extern int32_t g_countdown;         // ms until the next automatic capture
extern bool g_cycleBusy;            // a cycle is saving, or waiting for its upload to end
extern std::string g_lastSavedFileName;  // no folder; empty until the first save
extern std::string g_lastUploadCopy;     // what the upload sends for it instead; empty: the picture

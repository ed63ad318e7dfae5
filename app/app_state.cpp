#include "app_state.h"

HINSTANCE g_instance = nullptr;
char g_appTitle[100] = "";
char g_windowClass[100] = "";
HWND g_mainWindow = nullptr;
HWND g_captureWindow = nullptr;
int32_t g_countdown = 0;
bool g_cycleBusy = false;
std::string g_lastSavedFileName;
std::string g_lastUploadCopy;

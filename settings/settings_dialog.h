// The settings dialog (template 129), opened modally by the settings command.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// The ten fields as the dialog took them on OK.
struct SettingsValues {
    std::string st, msg, localDir, server, id, pass, dutJpg, dir;
    int32_t jpegQ = 0, timer = 0;
};

// Opened with the address of a SettingsValues as its parameter, which it fills on OK.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Every field into the settings file, in the order of the dialog; false when one could
// not be written.
bool StoreSettings(const SettingsValues& values);

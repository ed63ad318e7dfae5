// The connection dialog (template 130): port, data connection, TLS and atomic replace of
// the upload, opened modally from the file menu.
#pragma once
#include <windows.h>

#include <cstdint>

// The five connection keys as the dialog took them on OK. mode and tls are indexes into
// the words of Setting::ftpMode and Setting::ftpTls; -1 leaves a stored value that is
// none of them as it is (the dialog shows no choice for it).
struct ConnectionValues {
    int32_t port = 21;
    int mode = 0;
    bool atomic = false;
    int tls = 0;
    bool tlsInsecure = false;
};

// Opened with the address of a ConnectionValues as its parameter, which it fills on OK.
// A port outside 1..65535 is refused with a message, and the dialog stays open.
INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Those five keys into the settings file, and nothing else; false when one could not be written.
bool StoreConnection(const ConnectionValues& values);

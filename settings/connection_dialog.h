// The connection dialog (template 130): port, data connection, TLS and atomic replace of
// the upload, opened modally from the file menu.
#pragma once
#include <windows.h>

#include <string>

#include "upload_core.h"

// The connection keys as the dialog took them on OK.
struct ConnectionValues {
    int port = kDefaultFtpPort;
    FtpMode mode = FtpMode::active;
    bool atomic = false;
    FtpTls tls = FtpTls::none;
    bool tlsInsecure = false;
    // protocol as stored: "ftp", "sftp", or a word of a hand-edited file that the dialog
    // keeps unless another protocol is chosen; the SSH key file and the pinned host key.
    std::string protocol = "ftp";
    std::string sshKey, sshHostKey;
};

// Opened with the address of a ConnectionValues as its parameter, which it fills on OK.
// A port outside 1..65535 is refused with a message, and the dialog stays open.
INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Those keys into the settings file, and nothing else.
void StoreConnection(const ConnectionValues& values);

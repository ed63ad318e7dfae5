// The connection dialog (template 130): port, data connection, TLS and atomic replace of
// the upload, opened modally from the file menu.
#pragma once
#include <windows.h>

#include <string>

#include "sftp_core.h"
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
    // For the test only, read on the dialog's thread: the login as stored.
    std::string server, user, password, dir;
    // Runs the connection test with these values (on a worker thread: it may take 15 s);
    // given by the caller, which knows the upload. Without one the test button does nothing.
    ProbeReport (*tester)(const ConnectionValues& values) = nullptr;
};

// Opened with the address of a ConnectionValues as its parameter, which it fills on OK.
// A port outside 1..65535 is refused with a message, and the dialog stays open.
INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Those keys into the settings file, and nothing else.
void StoreConnection(const ConnectionValues& values);

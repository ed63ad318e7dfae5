// The connection dialog (template 130): protocol, port, data connection, TLS, atomic
// replace, SSH key file and host key of the upload, and a connection test; opened modally
// from the file menu.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

struct ConnectionValues;

// What a connection test tells the dialog: one sentence for the user and, when the server
// showed an SSH host key that is not the pinned one, that key, which the dialog offers to
// trust.
struct ConnectionTestResult {
    std::string sentence;
    std::string fingerprint, keyType;  // empty: nothing to trust
    bool keyChanged = false;           // a different key is pinned
};

// The connection keys as the dialog took them on OK. mode, tls and protocol are indexes
// into the words of Setting::ftpMode, Setting::ftpTls and Setting::protocol; -1 leaves a
// stored value that is none of them as it is (the dialog shows no choice for it).
struct ConnectionValues {
    int32_t port = 21;
    int mode = 0;
    bool atomic = false;
    int tls = 0;
    bool tlsInsecure = false;
    int protocol = 0;
    // The SSH key file and the pinned host key.
    std::string sshKey, sshHostKey;
    // For the test only, read on the dialog's thread: the login as stored.
    std::string server, user, password, dir;
    // Runs the connection test with these values (on a worker thread: it may take 15 s);
    // given by the caller, which knows the upload. Without one the test button does nothing.
    ConnectionTestResult (*tester)(const ConnectionValues& values) = nullptr;
};

// Opened with the address of a ConnectionValues as its parameter, which it fills on OK.
// A port outside 1..65535 is refused with a message, and the dialog stays open.
INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Those keys into the settings file, and nothing else; false when one could not be written.
bool StoreConnection(const ConnectionValues& values);
